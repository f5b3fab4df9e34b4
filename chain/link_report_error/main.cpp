// The chain's error reporter (macro 6): turns the failure mask into one line
// of status text in RW 432..531, ends the chain through the sequencer state
// and hands back to the sequencer. After a missing modem answer it also
// clears the send flags, so the next message repeats the modem set-up.
#include <span>

#include "ascii_text.h"
#include "chain_record.h"
#include "macro/chain_registers.h"
#include "macro/codes.h"
#include "macro/registers.h"

namespace {

constexpr std::size_t kTextBytes = 2 * kStatusTextWords;  // 200

const char* RequestName(std::uint16_t request) {
  switch (request) {
    case SendAt: return "AT";
    case SendEchoOff: return "ATE0";
    case SendPduMode: return "AT+CMGF";
    case SendCharset: return "AT+CSCS";
    case SendAnnounce: return "AT+CMGS";
    case SendData: return "PDU Package";
    default: return "Unknown";
  }
}

// "ERROR: not response to the request '<name>'!" at the start of `buffer`.
char* InfoNotResponse(std::span<char> buffer, std::uint16_t request) {
  if (buffer.empty()) return buffer.data();
  buffer[0] = '\0';
  AppendAscii(buffer, "ERROR: not response to the request '");
  AppendAscii(buffer, RequestName(request));
  AppendAscii(buffer, "'!");
  return buffer.data();
}

// Writes the text for the first failure bit, in the order 2, 3, 5, and
// clears the whole mask with it. Other bits alone leave the mask as it is.
void DescribeFailure(MacroWord record, std::span<char> text) {
  if ((GetRecordWord(record, ReporterFailureWord) & FailedComposer) != 0) {
    AppendAscii(text, "ERROR: execution macro 'LINK_COMPOSE_ALARMS'!");
    PutRecordWord(record, ReporterFailureWord, 0);
  }
  if ((GetRecordWord(record, ReporterFailureWord) & FailedPduBuilder) != 0) {
    AppendAscii(text, "ERROR: execution macro 'SMS_CREATE_STRUCTURE_PDU'!");
    PutRecordWord(record, ReporterFailureWord, 0);
  }
  if ((GetRecordWord(record, ReporterFailureWord) & FailedChecker) != 0) {
    InfoNotResponse(text, GetRecordWord(record, ReporterSendStateWord));
    PutRecordWord(record, ReporterFlagsWord, 0);
    PutRecordWord(record, ReporterFailureWord, 0);
  }
}

}  // namespace

extern "C" int macro_main(MacroWord, MacroWord, MacroWord, MacroWord, MacroWord, MacroWord,
                          MacroWord record, MacroWord, HostVector host) {
  PutRecordWord(record, ReporterSequencerStateWord, SequencerEndByError);
  char text[kTextBytes] = {};
  DescribeFailure(record, text);
  xWriteLocal(host, "RW", kStatusTextAddress, kStatusTextWords, text, 0);
  PutRecordWord(record, ReporterVectorWord, SetMacroVector(SequencerMacro));
  return 0;
}
