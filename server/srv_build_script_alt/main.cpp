// srv_build_script_alt: the script builder that consumes the PDU frame file
// and hands the script to the transmitter with state 10 and ScriptReady.
#include "macro/abi.h"
#include "macro/codes.h"
#include "macro/server.h"
#include "server/script.h"

extern "C" int macro_main(MacroWord, MacroWord, MacroWord, MacroWord, MacroWord, MacroWord,
                          MacroWord, MacroWord, HostVector host) {
  ServerControlBlock block;
  if (BeginBlockCall(host, block, kBlockViewWords) != 0) return 0;
  std::uint16_t err = 0;
  bool ok = BuildScriptFile(&err, true) == 0;
  if (ok) {
    SetBlockState(block, StateScriptReady);
    SetBlockFlags(block, BlockFlagsOf(block) | ScriptReady);
  }
  EndBlockCall(host, block, kBlockViewWords, !ok, err, false, 0);
  return 0;
}
