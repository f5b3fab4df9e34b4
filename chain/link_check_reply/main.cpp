// The chain's reply checker (macro 5): judges the modem's answer in
// LW 100..199 against the command the sender placed last (its send state).
// An acceptable answer hands back to the sequencer; none yet leaves the
// macro vector on this macro so that it is called again; none within the
// reply time-out selects the error reporter with this macro's failure bit.
#include <cstring>
#include <span>

#include "chain_record.h"
#include "macro/codes.h"
#include "macro/modem.h"
#include "macro/registers.h"
#include "macro/text.h"

namespace {

constexpr std::size_t kReplyBytes = 2 * kModemReplyWords;  // 200
constexpr std::uint32_t kTicksPerTimeoutUnit = 10;

bool Contains(std::span<const char> reply, const char* wanted) {
  std::size_t length = charlen(reply.data(), reply.size());
  std::size_t n = std::strlen(wanted);
  for (std::size_t at = 0; at + n <= length; ++at) {
    if (std::memcmp(reply.data() + at, wanted, n) == 0) return true;
  }
  return false;
}

// 1 when the reply satisfies the request type (the send state), else 0.
int CheckResponse(std::uint16_t request, std::span<const char> reply) {
  switch (request) {
    case SendAt:
    case SendEchoOff:
    case SendPduMode:
    case SendCharset:
    case SendData:
      return Contains(reply, "OK") ? 1 : 0;
    case SendAnnounce:
      return Contains(reply, ">") ? 1 : 0;
    default:
      return 1;
  }
}

std::uint32_t ReadSentTick(HostVector host) {
  std::uint16_t words[2] = {0, 0};
  xReadLocal(host, "LW", kChainSentTickAddress, 2, words, 0);
  return static_cast<std::uint32_t>(words[0]) | (static_cast<std::uint32_t>(words[1]) << 16);
}

}  // namespace

extern "C" int macro_main(MacroWord, MacroWord, MacroWord, MacroWord, MacroWord, MacroWord,
                          MacroWord record, MacroWord, HostVector host) {
  std::uint32_t now = ReadTickCounter(host);
  std::uint32_t sent = ReadSentTick(host);
  char reply[kReplyBytes] = {};
  xReadLocal(host, "LW", kModemReplyAddress, kModemReplyWords, reply, 0);

  // The first half of a long part record is accepted without an answer.
  bool accepted = (GetRecordWord(record, CheckerFlagsWord) & SecondHalfPending) != 0 ||
                  CheckResponse(GetRecordWord(record, CheckerSendStateWord), reply) == 1;
  if (accepted) {
    PutRecordWord(record, CheckerVectorWord, SetMacroVector(SequencerMacro));
    return 0;
  }
  std::uint32_t limit = sent + GetRecordWord(record, CheckerTimeoutWord) * kTicksPerTimeoutUnit;
  if (limit > now) return 0;  // still waiting
  PutRecordWord(record, CheckerVectorWord, SetMacroVector(ErrorReporterMacro));
  PutRecordWord(record, CheckerFailureWord, FailedChecker);
  return 0;
}
