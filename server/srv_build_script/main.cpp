// srv_build_script: turns the PDU frame file into the AT script
// "SMSMessage.at" and reports through LW 6007 alone.
#include "macro/abi.h"
#include "macro/server.h"
#include "server/script.h"

extern "C" int macro_main(MacroWord, MacroWord, MacroWord, MacroWord, MacroWord, MacroWord,
                          MacroWord, MacroWord, HostVector host) {
  std::uint16_t err = 0;
  bool failed = BuildScriptFile(&err, false) != 0;
  EndErrorWordCall(host, failed, err);
  return 0;
}
