// srv_transmit: sends "SMSMessage.at" to the modem one line per step,
// judging every reply and time-out.
#include "macro/abi.h"
#include "server/transmit.h"

extern "C" int macro_main(MacroWord, MacroWord, MacroWord, MacroWord, MacroWord, MacroWord,
                          MacroWord, MacroWord, HostVector host) {
  TransmitStep(host, TransmitPlain);
  return 0;
}
