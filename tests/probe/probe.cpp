// Test plug-in: runs the helper named by the request behind word 0.
#include <span>

#include "macro/abi.h"
#include "macro/modem.h"
#include "macro/server.h"
#include "probe.h"

namespace {

void Run(ProbeRequest& r, HostVector host) {
  std::uint16_t* out = r.nullOut ? nullptr : &r.code;
  std::span<std::uint8_t> bytes(r.buffer, r.length);
  auto* words = reinterpret_cast<std::uint16_t*>(r.buffer);
  std::span<std::uint16_t> wordSpan(words, r.length / 2);
  switch (r.op) {
    case ProbeLoadData: r.result = LoadData(r.path, bytes, out); break;
    case ProbeLoadDataAt: r.result = LoadData(r.path, bytes, r.offset, out); break;
    case ProbeSaveData: r.result = SaveData(r.path, bytes, out); break;
    case ProbeAppendData: r.result = AppendData(r.path, bytes, out); break;
    case ProbeBeforeData: r.result = BeforeData(r.path, bytes, r.offset, out); break;
    case ProbeLoadSaveData:
      r.result = LoadSaveData(r.path, bytes, r.direction, r.mode, out);
      break;
    case ProbeLoadProfile: r.result = LoadProfile(wordSpan, r.offset, host, out); break;
    case ProbeSaveProfile: r.result = SaveProfile(wordSpan, r.offset, host, out); break;
    case ProbeBlockCall: {
      ServerControlBlock block{};
      if (BeginBlockCall(host, block, r.viewWords) != 0) {
        r.code = block.word[BlockError];
        r.result = -1;
        break;
      }
      block.word[BlockError] = 0;
      bool failed = r.direction == 1;
      if (!failed) SetBlockFlags(block, BlockFlagsOf(block) | r.setFlags);
      EndBlockCall(host, block, r.viewWords, failed, r.code, true, r.clearFlags);
      r.result = 0;
      break;
    }
    case ProbeErrorWordCall:
      EndErrorWordCall(host, r.direction == 1, r.code);
      r.result = 0;
      break;
    case ProbeModemCommand:
      PlaceModemCommand(host, r.mode);
      ClearModemReply(host);
      RaiseTransmitRequest(host);
      r.result = static_cast<std::int32_t>(ReadTickCounter(host));
      break;
    default: r.result = -2; break;
  }
}

}  // namespace

extern "C" int macro_main(MacroWord p0, MacroWord, MacroWord, MacroWord, MacroWord, MacroWord,
                          MacroWord, MacroWord, HostVector host) {
  auto* request = reinterpret_cast<ProbeRequest*>(p0);
  if (request != nullptr) Run(*request, host);
  return 0;
}
