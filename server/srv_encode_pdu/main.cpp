// srv_encode_pdu: turns "SMSMessage.bin" into the PDU frame file
// "SMSMessage.txt" (one PDU per recipient and part) and reports through
// LW 6007 alone.
#include "macro/abi.h"
#include "macro/server.h"
#include "server/pdu.h"

extern "C" int macro_main(MacroWord, MacroWord, MacroWord, MacroWord, MacroWord, MacroWord,
                          MacroWord, MacroWord, HostVector host) {
  std::uint16_t err = 0;
  bool failed = EncodeMessageFrames(&err, false) != 0;
  EndErrorWordCall(host, failed, err);
  return 0;
}
