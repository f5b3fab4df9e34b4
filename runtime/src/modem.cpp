#include "macro/modem.h"

#include <cstring>

#include "macro/bytes.h"
#include "macro/registers.h"

int PlaceModemCommand(HostVector host, const char* text) {
  std::uint8_t area[kModemCommandWords * 2] = {};
  if (text != nullptr) {
    std::size_t n = 0;
    while (n < sizeof area && text[n] != '\0') {
      area[n] = static_cast<std::uint8_t>(text[n]);
      ++n;
    }
  }
  return xWriteLocal(host, "LW", kModemCommandAddress, kModemCommandWords, area, 0);
}

int ClearModemReply(HostVector host) {
  std::uint8_t area[kModemReplyWords * 2] = {};
  return xWriteLocal(host, "LW", kModemReplyAddress, kModemReplyWords, area, 0);
}

int RaiseTransmitRequest(HostVector host) {
  std::uint8_t one = 1;
  return xWriteLocal(host, "LB", kTransmitRequestBit, 1, &one, 0);
}

std::uint32_t ReadTickCounter(HostVector host) {
  std::uint16_t words[2] = {0, 0};
  xReadLocal(host, "LW", kTickAddress, 2, words, 0);
  return GetWordPair(words, 0);
}

int NoteChainSentTick(HostVector host, std::uint32_t tick) {
  std::uint16_t words[2];
  SetWordPair(words, 0, tick);
  return xWriteLocal(host, "LW", kChainSentTickAddress, 2, words, 0);
}

void RaiseTransmitFlag(MacroWord flagWord) {
  auto* flag = reinterpret_cast<volatile std::uint8_t*>(flagWord);
  if (flag != nullptr) *flag = 1;
}
