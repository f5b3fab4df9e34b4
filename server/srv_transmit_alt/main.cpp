// srv_transmit_alt: the transmitter for an unattended pipeline: when it stops
// it removes the sent script and re-arms the scheduler.
#include "macro/abi.h"
#include "server/transmit.h"

extern "C" int macro_main(MacroWord, MacroWord, MacroWord, MacroWord, MacroWord, MacroWord,
                          MacroWord, MacroWord, HostVector host) {
  TransmitStep(host, TransmitCleanUp);
  return 0;
}
