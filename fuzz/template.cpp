// The message template "SMSProfile_3.bin", as the settings store loads it
// into LW 6300..6719 and as both server composers read it.
//
// Input: the file's bytes, then (from the end) the event mask.
#include <fuzzer/FuzzedDataProvider.h>

#include "fixtures.h"
#include "macro/codes.h"

namespace {

using namespace fuzz;

constexpr int kMask = 5999, kError = 6007, kFlags = 6003;

std::string Message(const std::u16string& text) { return MessageFile(text); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  auto mask = in.ConsumeIntegral<std::uint16_t>();
  Bytes file = in.ConsumeRemainingBytes<std::uint8_t>();
  Bytes image = Padded(file, 840);

  Harness& h = Harness::Get();
  h.Reset();
  h.WriteFile("SMSProfile_1.bin", SendSettingsFile(1, 0, 1, 3));
  h.WriteFile("SMSProfile_2.bin", RecipientsFile({"9123456789"}));
  h.WriteFile("SMSProfile_3.bin", file);

  // The settings store copies the first 840 bytes into LW 6300.., zeros past a short file.
  ServerBlock(h, StateLoadSettings);
  h.Call("srv_store_settings");
  Expect(h.Word(DeviceLW, kError) == 0, "srv_store_settings", "load failed");
  for (int i = 0; i < 420; ++i) {
    Expect(h.Word(DeviceLW, 6300 + i) == U16(image, 2 * static_cast<std::size_t>(i)),
           "srv_store_settings", "LW " + std::to_string(6300 + i) + " is not the file's word");
  }

  // The text composer: the listed events, or the all-clear word.
  ServerBlock(h, StateIdle);
  h.SetWord(DeviceLW, kMask, mask);
  h.Call("srv_compose_text");
  Expect(h.Word(DeviceLW, kError) == 0, "srv_compose_text", "failed");
  Expect((h.Pair(DeviceLW, kFlags) & MessageReady) != 0, "srv_compose_text", "MessageReady not set");
  std::string bytes;
  Expect(h.ReadFile("SMSMessage.bin", &bytes), "srv_compose_text", "no message file");
  Expect(bytes == Message(*ComposedMessage(image, mask, true)), "srv_compose_text", "wrong message");

  // The event composer: the same message when an event is listed, else 240
  // and the message file as it was.
  h.WriteFile("SMSMessage.bin", std::string("previous"));
  h.Call("srv_compose_events");
  std::optional<std::u16string> events = ComposedMessage(image, mask, false);
  Expect(h.ReadFile("SMSMessage.bin", &bytes), "srv_compose_events", "message file gone");
  if (!events) {
    Expect(h.Word(DeviceLW, kError) == ErrNoEvents, "srv_compose_events", "no event listed, not 240");
    Expect(bytes == "previous", "srv_compose_events", "message file changed without events");
  } else {
    Expect(h.Word(DeviceLW, kError) == 0, "srv_compose_events", "failed");
    Expect(bytes == Message(*events), "srv_compose_events", "wrong message");
  }
  return 0;
}
