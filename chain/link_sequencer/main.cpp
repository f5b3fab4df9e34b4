// The chain's sequencer (macro 7): one step of the chain per call. It arms
// the chain, selects the composer, the PDU structure builder, then the sender
// and the reply checker in turn until the sender reports all parts sent, and
// finally clears the macro vector and the failure mask. It touches no
// register; its whole interface is its record.
#include "chain_record.h"
#include "macro/codes.h"
#include "macro/registers.h"

namespace {

void Select(MacroWord record, std::uint16_t macro) {
  PutRecordWord(record, SequencerVectorWord, SetMacroVector(macro));
}

// Does the step of `state` and returns the state that follows it.
std::uint16_t Step(MacroWord record, std::uint16_t state) {
  switch (state) {
    case SequencerIdle:
      return SequencerCompose;
    case SequencerCompose:
      Select(record, ComposerMacro);
      return SequencerBuild;
    case SequencerBuild:
      Select(record, PduBuilderMacro);
      return SequencerStartSend;
    case SequencerStartSend:
      Select(record, SenderMacro);
      PutRecordWord(record, SequencerSendStateWord, SendStart);
      return SequencerCheck;
    case SequencerCheck:
      // After the final step the vector keeps the bit 7 the sender left.
      if (GetRecordWord(record, SequencerSendStateWord) == SendDone) return SequencerEnd;
      Select(record, CheckerMacro);
      return SequencerSendNext;
    case SequencerSendNext:
      Select(record, SenderMacro);
      return SequencerCheck;
    default:  // SequencerEnd and SequencerEndByError
      PutRecordWord(record, SequencerFailureWord, 0);
      PutRecordWord(record, SequencerVectorWord, 0);
      return SequencerIdle;
  }
}

bool KnownState(std::uint16_t state) {
  switch (state) {
    case SequencerIdle: case SequencerCompose: case SequencerBuild: case SequencerStartSend:
    case SequencerCheck: case SequencerSendNext: case SequencerEnd: case SequencerEndByError:
      return true;
    default:
      return false;
  }
}

}  // namespace

extern "C" int macro_main(MacroWord, MacroWord, MacroWord, MacroWord, MacroWord, MacroWord,
                          MacroWord record, MacroWord, HostVector) {
  std::uint16_t state = GetRecordWord(record, SequencerStateWord);
  // A state outside the table changes nothing: the chain waits until it is
  // set to a known state from outside.
  if (!KnownState(state)) return 0;
  PutRecordWord(record, SequencerStateWord, Step(record, state));
  return 0;
}
