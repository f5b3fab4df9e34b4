// srv_compose_events: writes "SMSMessage.bin" like srv_compose_text, but only
// when at least one event is listed, and reports through LW 6007 alone.
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

// The message for the listed events; nothing (240) when none is listed.
std::uint16_t* CreateEventListMsg(const std::uint16_t* image, const std::uint16_t* mask,
                                  std::uint16_t* err) {
  if (image == nullptr || mask == nullptr) {
    SetError(ErrNullArgument, err);
    return nullptr;
  }
  int lines = GetEventsNumber(image + kFirstEventWord, mask, err);
  if (lines == 0) return nullptr;
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
  if (SaveMessage(ComposedMessage{message.get(), 0}, err) != 0) return false;
  std::uint16_t done = 0;
  return SaveProfile(std::span<std::uint16_t>(&done, 1), kErrorWordAddress, host, err) == 0;
}

}  // namespace

extern "C" int macro_main(MacroWord, MacroWord, MacroWord, MacroWord, MacroWord, MacroWord,
                          MacroWord, MacroWord, HostVector host) {
  std::uint16_t err = 0;
  // On success LW 6007 already holds 0; a failure writes its code once more.
  if (!Compose(host, &err)) EndErrorWordCall(host, true, err);
  return 0;
}
