// The scheduler's own file "SMSServerProfile.bin" (last mask, last send
// tick, last check tick), whatever it holds, against the send settings and
// the event mask.
//
// Input: the file's bytes, then (from the end) the tick counter, the event
// mask, the send mode (0, 1 or 2) and the send interval.
#include <fuzzer/FuzzedDataProvider.h>

#include "fixtures.h"

namespace {

using namespace fuzz;

constexpr int kMask = 5999, kFlags = 6003, kState = 6005, kError = 6007;
constexpr char kPlugin[] = "srv_dispatch";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  auto now = in.ConsumeIntegral<std::uint32_t>();
  auto mask = in.ConsumeIntegral<std::uint16_t>();
  auto mode = in.ConsumeIntegralInRange<std::uint16_t>(0, 2);
  auto interval = in.ConsumeIntegral<std::uint16_t>();
  Bytes file = in.ConsumeRemainingBytes<std::uint8_t>();
  Bytes record = Padded(file, 10);

  Harness& h = Harness::Get();
  h.Reset();
  h.WriteFile("SMSProfile_1.bin", SendSettingsFile(1, mode, interval, 3));
  h.WriteFile("SMSServerProfile.bin", file);
  ServerBlock(h, StateIdle, SchedulerArmed | 0x0100);
  h.SetWord(DeviceLW, kMask, mask);
  h.SetPair(DeviceLW, 9034, now);
  h.Call(kPlugin);

  std::string after;
  Expect(h.ReadFile("SMSServerProfile.bin", &after), kPlugin, "the server profile is gone");
  if (mode > 1) {
    Expect(h.Word(DeviceLW, kError) == ErrBadState && h.Pair(DeviceLW, kState) == 0, kPlugin,
           "send mode 2 not refused with 228");
    Expect(after == AsString(file), kPlugin, "profile changed by a refused call");
    return 0;
  }
  Expect(h.Word(DeviceLW, kError) == 0, kPlugin, "failed");
  std::uint16_t lastMask = U16(record, 0);
  std::uint32_t lastSend = U16(record, 2) | static_cast<std::uint32_t>(U16(record, 4)) << 16;
  if (now < lastSend) lastSend = 0;  // the counter went back
  bool wanted = mode == 0 ? mask != 0 : mask != lastMask;
  bool raised = wanted && now >= lastSend + static_cast<std::uint32_t>(interval) * 600u;
  std::uint32_t flags = h.Pair(DeviceLW, kFlags);
  Expect(((flags & SendDue) != 0) == raised, kPlugin, "SendDue does not follow mode, mask and interval");
  if (raised) {
    Expect(after == ServerProfileFile(mask, now, now), kPlugin, "profile is not mask, now, now");
    Expect(flags == (0x0100 | SendDue), kPlugin, "flags after a send");
  } else {
    Expect(after == AsString(file), kPlugin, "profile changed without a send");
    Expect(flags == (0x0100 | SchedulerArmed), kPlugin, "flags changed without a send");
  }
  return 0;
}
