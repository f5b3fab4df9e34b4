// The composed message "SMSMessage.bin" (a unit count and UCS2 units), as
// both PDU encoders read it. The PDUs are checked with the host's own
// decoder, which shares nothing with the encoders, and text by text.
//
// Input: the file's bytes, then (from the end) the number of recipients.
#include <fuzzer/FuzzedDataProvider.h>

#include "fixtures.h"

namespace {

using namespace fuzz;

constexpr int kError = 6007;
constexpr std::size_t kMaxUnits = 255 * 39;  // 255 parts: the part fields are 8 bits
const std::vector<std::string> kNumbers = {"9123456789", "812345678", "0123456789"};

void Encode(Harness& h, const char* p, std::span<const std::uint8_t> file, std::size_t recipients) {
  bool alt = std::string(p) == "srv_encode_pdu_alt";
  std::vector<std::string> numbers(kNumbers.begin(), kNumbers.begin() + static_cast<long>(recipients));
  h.RemoveFile("SMSMessage.txt");
  h.WriteFile("SMSMessage.bin", file);
  h.WriteFile("SMSProfile_2.bin", RecipientsFile(numbers));
  ServerBlock(h, StateIdle);
  h.Call(p);
  std::size_t n = U16(file, 0);
  std::string frames;
  bool framed = h.ReadFile("SMSMessage.txt", &frames);
  std::uint16_t code = h.Word(DeviceLW, kError);
  if (n == 0 || n > kMaxUnits) {
    Expect(code == (n == 0 ? ErrOutOfMemory : ErrInputRead), p,
           "message of " + std::to_string(n) + " units gave " + std::to_string(code));
    Expect(!framed, p, "frame file for a message that cannot be sent");
    Expect(h.HasFile("SMSMessage.bin"), p, "an unsendable message was consumed");
    return;
  }
  Expect(code == 0, p, "failed: " + std::to_string(code));
  Expect(h.HasFile("SMSMessage.bin") == !alt, p, "message file after the run");
  std::u16string text;
  for (std::size_t i = 0; i < n; ++i) text.push_back(static_cast<char16_t>(U16(file, 2 + 2 * i)));
  std::vector<std::string> addresses;
  for (const std::string& number : numbers) addresses.push_back(AddressOf(number));
  CheckFrameTexts(p, frames, addresses, text);
  CheckFrames(p, frames, numbers, text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  auto recipients = in.ConsumeIntegralInRange<std::size_t>(0, 3);
  Bytes file = in.ConsumeRemainingBytes<std::uint8_t>();
  Harness& h = Harness::Get();
  h.Reset();
  Encode(h, "srv_encode_pdu", file, recipients);
  Encode(h, "srv_encode_pdu_alt", file, recipients);
  return 0;
}
