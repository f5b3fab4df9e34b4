// srv_compose_text: writes the title and one numbered line per listed event
// to "SMSMessage.bin" (or the title and an all-clear word when no event is
// listed) and sets MessageReady.
#include <cstdlib>
#include <span>

#include "macro/abi.h"
#include "macro/codes.h"
#include "macro/memory.h"
#include "macro/registers.h"
#include "macro/server.h"
#include "server/compose.h"
#include "server/settings.h"

namespace {

// The message for the listed events, or the all-clear message.
std::uint16_t* CreateEventListMsg(const std::uint16_t* image, const std::uint16_t* mask,
                                  std::uint16_t* err) {
  if (image == nullptr || mask == nullptr) {
    SetError(ErrNullArgument, err);
    return nullptr;
  }
  int lines = GetEventsNumber(image + kFirstEventWord, mask, nullptr);
  ComposedMessage message{};
  if (!ComposeEventList(image, mask, lines, &message, err)) return nullptr;
  return message.units;
}

bool Compose(HostVector host, std::uint16_t* err) {
  std::uint16_t mask = 0;
  std::uint16_t image[kMessageTemplateWords];
  if (!LoadComposeInputs(host, &mask, image, err)) return false;
  Owned<std::uint16_t> message(CreateEventListMsg(image, &mask, err));
  if (!message) return false;
  return SaveMessage(ComposedMessage{message.get(), 0}, err) == 0;
}

}  // namespace

extern "C" int macro_main(MacroWord, MacroWord, MacroWord, MacroWord, MacroWord, MacroWord,
                          MacroWord, MacroWord, HostVector host) {
  ServerControlBlock block;
  if (BeginBlockCall(host, block, kBlockViewWords) != 0) return 0;
  std::uint16_t err = 0;
  bool ok = Compose(host, &err);
  if (ok) SetBlockFlags(block, BlockFlagsOf(block) | MessageReady);
  EndBlockCall(host, block, kBlockViewWords, !ok, err, false, 0);
  return 0;
}
