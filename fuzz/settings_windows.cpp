// The settings windows LW 6100..6103, 6200..6245 and 6300..6719 as an
// operator may leave them, saved into the three files by the settings store
// (with freshly encoded destination addresses) and loaded back.
//
// Input: the 470 words of the three windows, then (from the end) the flags.
#include <fuzzer/FuzzedDataProvider.h>

#include "fixtures.h"

namespace {

using namespace fuzz;

constexpr char kPlugin[] = "srv_store_settings";
constexpr int kFlags = 6003, kState = 6005, kError = 6007;

// The recipient list as the save writes it, or false when a listed number
// holds a character other than a digit before its first NUL.
bool Encoded(Bytes list, Bytes* out) {
  std::size_t count = U16(list, 0);
  if (count > 3) count = 3;
  for (std::size_t i = 0; i < count; ++i) {
    std::string number;
    for (std::size_t k = 0; k < 10 && list[2 + 30 * i + k] != 0; ++k) number.push_back(static_cast<char>(list[2 + 30 * i + k]));
    for (char c : number) {
      if (c < '0' || c > '9') return false;
    }
    std::string address = AddressOf(number);
    std::fill_n(list.begin() + 12 + 30 * static_cast<long>(i), 20, 0);
    std::copy(address.begin(), address.end(), list.begin() + 12 + 30 * static_cast<long>(i));
  }
  *out = list;
  return true;
}

std::string File(Harness& h, const char* name) {
  std::string bytes;
  h.ReadFile(name, &bytes);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  auto flags = in.ConsumeIntegral<std::uint32_t>();
  Bytes windows = Padded(in.ConsumeRemainingBytes<std::uint8_t>(), 2 * (4 + 46 + 420));
  std::span<const std::uint8_t> all(windows);
  Bytes send(all.begin(), all.begin() + 8);
  Bytes list(all.begin() + 8, all.begin() + 100);
  Bytes tmpl(all.begin() + 100, all.end());

  Harness& h = Harness::Get();
  h.Reset();
  h.SetBytes(DeviceLW, 6100, send);
  h.SetBytes(DeviceLW, 6200, list);
  h.SetBytes(DeviceLW, 6300, tmpl);
  ServerBlock(h, StateStoreSettings, flags);
  h.Call(kPlugin);

  Expect(h.Pair(DeviceLW, kState) == 0, kPlugin, "state is not 0 after a save");
  Expect(File(h, "SMSProfile_1.bin") == AsString(send), kPlugin, "SMSProfile_1.bin is not LW 6100..6103");
  Bytes encoded;
  if (!Encoded(list, &encoded)) {
    Expect(h.Word(DeviceLW, kError) == ErrNoPhoneNumber, kPlugin, "a number that is no number saved");
    Expect(!h.HasFile("SMSProfile_2.bin") && !h.HasFile("SMSProfile_3.bin"), kPlugin, "saved past a bad number");
    Expect(h.Pair(DeviceLW, kFlags) == flags, kPlugin, "flags changed by a failed save");
    return 0;
  }
  Expect(h.Word(DeviceLW, kError) == 0, kPlugin, "save failed: " + std::to_string(h.Word(DeviceLW, kError)));
  Expect(File(h, "SMSProfile_2.bin") == AsString(encoded), kPlugin, "SMSProfile_2.bin is not the encoded list");
  Expect(File(h, "SMSProfile_3.bin") == AsString(tmpl), kPlugin, "SMSProfile_3.bin is not LW 6300..6719");
  std::uint32_t armed = U16(send, 0) != 0 ? flags | SchedulerArmed : flags;
  Expect(h.Pair(DeviceLW, kFlags) == armed, kPlugin, "SchedulerArmed does not follow scheduleEnabled");

  ServerBlock(h, StateLoadSettings, flags);
  h.Call(kPlugin);
  Expect(h.Word(DeviceLW, kError) == 0, kPlugin, "load failed");
  Expect(h.Bytes(DeviceLW, 6100, 4) == AsString(send) && h.Bytes(DeviceLW, 6200, 46) == AsString(encoded) &&
             h.Bytes(DeviceLW, 6300, 420) == AsString(tmpl),
         kPlugin, "the windows are not the saved files");
  Expect(h.Pair(DeviceLW, kFlags) == (flags & ~std::uint32_t{SchedulerArmed}), kPlugin, "a load keeps SchedulerArmed");
  return 0;
}
