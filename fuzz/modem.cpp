// The emulated modem's command parser and PDU input: any byte stream, with
// faults on demand. What it answers may not depend on how the stream is cut
// into pieces, every input is answered once, every SMS it accepts decodes,
// and nothing it sends grows without bound.
//
// Input: the fault to arm (kind, command prefix, nth), then the stream; the
// last bytes also pick where the stream is cut.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>

#include "fixtures.h"
#include "host/modem.h"

namespace {

using namespace fuzz;

constexpr char kWhat[] = "EmulatedModem";
constexpr std::size_t kMaxAnswer = 4096;

const char* const kPrefixes[] = {"", "AT", "AT+CMGS", "<PDU>", "ATE0", "AT+CSCS"};

struct Run {
  std::string output;
  std::vector<host::ModemAnswer> answers;
  std::uint32_t inputs = 0;
  std::size_t sent = 0;
};

Run Feed(const host::ModemFault* fault, const std::string& stream, const std::vector<std::size_t>& cuts,
         bool banner) {
  host::ModemOptions options;
  if (banner) options.bootBanner = "\r\n^SYSSTART\r\n";
  host::EmulatedModem modem(options);
  if (fault) modem.faults.push_back(*fault);
  std::size_t at = 0;
  for (std::size_t cut : cuts) {
    if (cut <= at || cut > stream.size()) continue;
    modem.Receive(std::string_view(stream).substr(at, cut - at));
    at = cut;
  }
  modem.Receive(std::string_view(stream).substr(at));
  Run r;
  r.answers = modem.TakeAnswers();
  for (const host::ModemAnswer& a : r.answers) r.output += a.bytes;
  r.inputs = modem.inputs();
  r.sent = modem.sent().size();
  for (const host::SentSms& s : modem.sent()) {
    host::SmsDecodeResult d = host::DecodeSubmitPdu(s.hex);
    Expect(d.ok, kWhat, "accepted an SMS its decoder refuses: " + d.error);
  }
  const host::SmsInbox& inbox = modem.inbox();
  std::size_t parts = 0;
  for (const host::ReceivedSms& sms : inbox.All()) parts += static_cast<std::size_t>(sms.parts);
  for (const host::PendingSms& p : inbox.Pending()) parts += p.received.size();
  Expect(parts + static_cast<std::size_t>(inbox.Duplicates()) == r.sent, kWhat, "the inbox lost or made up parts");
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  bool armed = in.ConsumeBool();
  host::ModemFault fault;
  fault.kind = static_cast<host::ModemFaultKind>(in.ConsumeIntegralInRange<int>(0, 4));
  fault.command = kPrefixes[in.ConsumeIntegralInRange<int>(0, 5)];
  fault.nth = in.ConsumeIntegralInRange<int>(0, 3);
  fault.persistent = in.ConsumeBool();
  fault.ticks = 5;
  bool banner = in.ConsumeBool();
  std::vector<std::size_t> cuts;
  for (int i = 0; i < 4; ++i) cuts.push_back(in.ConsumeIntegralInRange<std::size_t>(0, 512));
  std::sort(cuts.begin(), cuts.end());
  std::string stream = in.ConsumeRemainingBytesAsString();

  Run whole = Feed(armed ? &fault : nullptr, stream, {}, banner);
  Run pieces = Feed(armed ? &fault : nullptr, stream, cuts, banner);
  Expect(whole.output == pieces.output && whole.sent == pieces.sent, kWhat, "answers depend on how the stream is cut");
  std::uint32_t last = 0;
  std::uint32_t numbered = 0;
  for (const host::ModemAnswer& a : whole.answers) {
    Expect(a.bytes.size() <= kMaxAnswer, kWhat, "an answer of " + std::to_string(a.bytes.size()) + " bytes");
    if (a.index == 0) continue;  // a start-up banner
    Expect(a.index == last + 1, kWhat, "inputs answered out of order or twice");
    last = a.index;
    ++numbered;
  }
  Expect(numbered == whole.inputs, kWhat, "an input without its answer entry");
  return 0;
}
