// net_service_stub: a macro slot of the panel project that has no work to do. The host
// may call it at any time; it touches no register and no file.
#include "macro/abi.h"

extern "C" int macro_main(MacroWord, MacroWord, MacroWord, MacroWord, MacroWord, MacroWord,
                          MacroWord, MacroWord, HostVector) {
  return 0;
}
