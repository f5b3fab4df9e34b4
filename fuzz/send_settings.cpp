// The send settings "SMSProfile_1.bin", as the settings store loads them
// into LW 6100..6103, as the scheduler decides by them, and as a waiting
// transmitter reads its reply time-out from them.
//
// Input: the file's bytes, then (from the end) the tick counter, the event
// mask and the tick at which the transmitter sent its line.
#include <fuzzer/FuzzedDataProvider.h>

#include "fixtures.h"

namespace {

using namespace fuzz;

constexpr int kMask = 5999, kFlags = 6003, kState = 6005, kError = 6007, kSentTick = 6008,
              kCheckTick = 6010;

void Scheduler(Harness& h, std::span<const std::uint8_t> s, std::uint32_t now, std::uint16_t mask) {
  const char* p = "srv_dispatch";
  ServerBlock(h, StateIdle, SchedulerArmed | 0x0100);
  h.SetWord(DeviceLW, kMask, mask);
  h.SetPair(DeviceLW, 9034, now);
  h.Call(p);
  std::string profile;
  bool created = h.ReadFile("SMSServerProfile.bin", &profile);
  std::uint32_t flags = h.Pair(DeviceLW, kFlags);
  if (U16(s, 0) == 0) {
    Expect(h.Word(DeviceLW, kError) == 0, p, "scheduling off: not 0");
    Expect(flags == 0x0100, p, "scheduling off: SchedulerArmed not cleared alone");
    Expect(!created, p, "scheduling off: the server profile was created");
    return;
  }
  Expect(created && profile.size() == 10, p, "no 10-byte server profile");
  std::uint16_t mode = U16(s, 2);
  if (mode > 1) {
    Expect(h.Word(DeviceLW, kError) == ErrBadState && h.Pair(DeviceLW, kState) == 0, p,
           "send mode " + std::to_string(mode) + " not refused with 228");
    Expect(profile == std::string(10, '\0'), p, "profile not the zero record");
    return;
  }
  Expect(h.Word(DeviceLW, kError) == 0, p, "failed");
  // A fresh profile: last mask 0, last send 0, in both modes a send is wanted
  // for any mask but 0.
  bool raised = mask != 0 && now >= static_cast<std::uint32_t>(U16(s, 4) * 600u);
  Expect(((flags & SendDue) != 0) == raised, p, "SendDue does not follow the interval");
  if (!raised) {
    Expect(profile == std::string(10, '\0'), p, "profile changed without a send");
    Expect(flags == (0x0100 | SchedulerArmed), p, "flags changed without a send");
    return;
  }
  std::string want = ServerProfileFile(mask, now, now);
  Expect(profile == want, p, "profile is not mask, now, now");
  Expect(flags == (0x0100 | SendDue), p, "SchedulerArmed not cleared with the send");
}

void Waiting(Harness& h, const char* p, std::span<const std::uint8_t> s, std::uint32_t now,
             std::uint32_t sent) {
  bool alt = std::string(p) == "srv_transmit_alt";
  ServerBlock(h, StateAwaitReply, ScriptReady | 0x0100);
  h.SetPair(DeviceLW, kSentTick, sent);
  h.SetPair(DeviceLW, 9034, now);
  for (int i = 0; i < 100; ++i) h.SetWord(DeviceLW, 100 + i, 0);
  h.WriteFile("SMSMessage.at", RecordFile({"AT\r\n"}));
  h.Call(p);
  std::uint32_t deadline = sent + static_cast<std::uint32_t>(U16(s, 6)) * 10u;
  Expect(h.Pair(DeviceLW, kCheckTick) == now, p, "checkTick is not the tick");
  if (now < deadline) {
    Expect(h.Word(DeviceLW, kError) == 0 && h.Pair(DeviceLW, kState) == StateAwaitReply, p,
           "stopped before the time-out");
    Expect(h.HasFile("SMSMessage.at"), p, "script removed while waiting");
    return;
  }
  Expect(h.Word(DeviceLW, kError) == ErrReplyTimeout && h.Pair(DeviceLW, kState) == 0, p,
         "no 230 at the time-out");
  std::uint32_t flags = alt ? 0x0100 | SchedulerArmed : 0x0100;
  Expect(h.Pair(DeviceLW, kFlags) == flags, p, "flags after the stop");
  Expect(h.HasFile("SMSMessage.at") == !alt, p, "script after the stop");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  auto now = in.ConsumeIntegral<std::uint32_t>();
  auto mask = in.ConsumeIntegral<std::uint16_t>();
  auto sent = in.ConsumeIntegral<std::uint32_t>();
  Bytes file = in.ConsumeRemainingBytes<std::uint8_t>();
  Bytes s = Padded(file, 8);

  Harness& h = Harness::Get();
  h.Reset();
  h.WriteFile("SMSProfile_1.bin", file);
  h.WriteFile("SMSProfile_2.bin", RecipientsFile({"9123456789"}));
  h.WriteFile("SMSProfile_3.bin", TemplateFile(u"T", {u"A"}));

  ServerBlock(h, StateLoadSettings);
  h.Call("srv_store_settings");
  Expect(h.Word(DeviceLW, kError) == 0, "srv_store_settings", "load failed");
  for (int i = 0; i < 4; ++i) {
    Expect(h.Word(DeviceLW, 6100 + i) == U16(s, 2 * static_cast<std::size_t>(i)), "srv_store_settings",
           "LW 6100.. is not the file");
  }
  Expect((h.Pair(DeviceLW, kFlags) & SchedulerArmed) == 0, "srv_store_settings", "SchedulerArmed after a load");

  Scheduler(h, s, now, mask);
  h.RemoveFile("SMSServerProfile.bin");
  Waiting(h, "srv_transmit", s, now, sent);
  Waiting(h, "srv_transmit_alt", s, now, sent);
  return 0;
}
