// srv_encode_pdu_alt: the PDU encoder that consumes "SMSMessage.bin" and
// announces the frame file with FramesReady in the control block.
#include "macro/abi.h"
#include "macro/codes.h"
#include "macro/server.h"
#include "server/pdu.h"

extern "C" int macro_main(MacroWord, MacroWord, MacroWord, MacroWord, MacroWord, MacroWord,
                          MacroWord, MacroWord, HostVector host) {
  ServerControlBlock block;
  if (BeginBlockCall(host, block, kBlockViewWords) != 0) return 0;
  std::uint16_t err = 0;
  bool ok = EncodeMessageFrames(&err, true) == 0;
  if (ok) SetBlockFlags(block, BlockFlagsOf(block) | FramesReady);
  EndBlockCall(host, block, kBlockViewWords, !ok, err, false, 0);
  return 0;
}
