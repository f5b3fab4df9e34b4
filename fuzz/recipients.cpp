// The recipient list "SMSProfile_2.bin", as the settings store loads it into
// LW 6200..6245 and as both PDU encoders copy its destination addresses.
//
// Input: the file's bytes, then (from the end) which message to encode.
#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>

#include "fixtures.h"

namespace {

using namespace fuzz;

constexpr int kError = 6007, kFlags = 6003;

const std::u16string kMessages[] = {
    u"AB",
    u"\u041F\u0440\u0438\u0432\u0435\u0442, a message of forty units: \u20AC\u20AC",
    std::u16string(78, u'x') + u"y",
};

// The addresses an encoder copies, or false when one of the listed entries
// holds no text of at most 16 characters.
bool Addresses(std::span<const std::uint8_t> list, std::vector<std::string>* out) {
  std::size_t count = U16(list, 0);
  if (count > 3) count = 3;  // the record holds three entries
  for (std::size_t i = 0; i < count; ++i) {
    const char* field = reinterpret_cast<const char*>(list.data() + 12 + 30 * i);
    std::size_t n = strnlen(field, 20);
    if (n > 16) return false;
    out->push_back(std::string(field, n));
  }
  return true;
}

void Encode(Harness& h, const char* p, std::span<const std::uint8_t> list, const std::u16string& text) {
  bool alt = std::string(p) == "srv_encode_pdu_alt";
  h.RemoveFile("SMSMessage.txt");
  h.WriteFile("SMSMessage.bin", MessageFile(text));
  ServerBlock(h, StateIdle);
  h.Call(p);
  std::vector<std::string> addresses;
  std::string frames;
  bool framed = h.ReadFile("SMSMessage.txt", &frames);
  Expect(h.HasFile("SMSMessage.bin") == !alt, p, "message file after the run");
  if (!Addresses(list, &addresses)) {
    Expect(h.Word(DeviceLW, kError) == ErrRecipientsRead, p, "a bad address not refused with 247");
    Expect(!framed, p, "frame file written for a bad address");
    return;
  }
  Expect(h.Word(DeviceLW, kError) == 0, p, "failed: " + std::to_string(h.Word(DeviceLW, kError)));
  Expect(framed, p, "no frame file");
  CheckFrameTexts(p, frames, addresses, text);
  if (alt) Expect((h.Pair(DeviceLW, kFlags) & FramesReady) != 0, p, "FramesReady not set");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const std::u16string& text = kMessages[in.ConsumeIntegralInRange<int>(0, 2)];
  Bytes file = in.ConsumeRemainingBytes<std::uint8_t>();
  Bytes list = Padded(file, 92);

  Harness& h = Harness::Get();
  h.Reset();
  h.WriteFile("SMSProfile_1.bin", SendSettingsFile(1, 0, 1, 3));
  h.WriteFile("SMSProfile_2.bin", file);
  h.WriteFile("SMSProfile_3.bin", TemplateFile(u"T", {u"A"}));

  ServerBlock(h, StateLoadSettings);
  h.Call("srv_store_settings");
  Expect(h.Word(DeviceLW, kError) == 0, "srv_store_settings", "load failed");
  for (int i = 0; i < 46; ++i) {
    Expect(h.Word(DeviceLW, 6200 + i) == U16(list, 2 * static_cast<std::size_t>(i)), "srv_store_settings",
           "LW 6200.. is not the file");
  }
  Encode(h, "srv_encode_pdu", list, text);
  Encode(h, "srv_encode_pdu_alt", list, text);
  return 0;
}
