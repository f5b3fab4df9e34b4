// srv_store_settings: copies the three settings files into their register
// windows (state 7) or the windows into the files, with freshly encoded
// destination addresses (state 8). Every call leaves state 0.
#include <span>

#include "macro/abi.h"
#include "macro/codes.h"
#include "macro/server.h"
#include "phone.h"
#include "server/settings.h"

namespace {

struct Window {
  const char* file;
  int address;
  int words;
  std::uint16_t readError;   // the file could not be read
  std::uint16_t writeError;  // the file could not be written
};

constexpr Window kSendSettings{kSendSettingsFile, kSendSettingsAddress, kSendSettingsWords,
                               ErrSendSettingsRead, ErrSendSettingsWrite};
constexpr Window kRecipients{kRecipientListFile, kRecipientListAddress, kRecipientListWords,
                             ErrRecipientsRead, ErrRecipientsWrite};
constexpr Window kTemplate{kMessageTemplateFile, kMessageTemplateAddress, kMessageTemplateWords,
                           ErrTemplateRead, ErrTemplateWrite};

// The largest window, as words and as the bytes of its file.
union WindowImage {
  std::uint16_t words[kMessageTemplateWords];
  std::uint8_t bytes[kMessageTemplateBytes];
};

bool FileToRegisters(HostVector host, const Window& w, WindowImage& image, std::uint16_t* err) {
  std::span<std::uint8_t> bytes(image.bytes, static_cast<std::size_t>(w.words) * 2);
  if (LoadData(w.file, bytes, err) != 0) {
    SetError(w.readError, err);
    return false;
  }
  return SaveProfile(std::span<std::uint16_t>(image.words, w.words), w.address, host, err) == 0;
}

bool LoadSettings(HostVector host, ServerControlBlock& block, std::uint16_t* err) {
  SetBlockFlags(block, BlockFlagsOf(block) & ~std::uint32_t{SchedulerArmed});
  WindowImage image;
  return FileToRegisters(host, kSendSettings, image, err) &&
         FileToRegisters(host, kRecipients, image, err) &&
         FileToRegisters(host, kTemplate, image, err);
}

bool ReadWindow(HostVector host, const Window& w, WindowImage& image, std::uint16_t* err) {
  return LoadProfile(std::span<std::uint16_t>(image.words, w.words), w.address, host, err) == 0;
}

bool WriteFile(const Window& w, const WindowImage& image, std::uint16_t* err) {
  std::span<const std::uint8_t> bytes(image.bytes, static_cast<std::size_t>(w.words) * 2);
  if (SaveData(w.file, bytes, err) != 0) {
    SetError(w.writeError, err);
    return false;
  }
  return true;
}

bool StoreSettings(HostVector host, ServerControlBlock& block, std::uint16_t* err) {
  WindowImage image;
  if (!ReadWindow(host, kSendSettings, image, err) || !WriteFile(kSendSettings, image, err)) {
    return false;
  }
  bool scheduleEnabled = image.words[SettingScheduleEnabled] != 0;
  if (!ReadWindow(host, kRecipients, image, err)) return false;
  if (EncodePhoneList(image.bytes, err) != 0) return false;
  if (!WriteFile(kRecipients, image, err)) return false;
  if (!ReadWindow(host, kTemplate, image, err) || !WriteFile(kTemplate, image, err)) return false;
  if (scheduleEnabled) SetBlockFlags(block, BlockFlagsOf(block) | SchedulerArmed);
  return true;
}

}  // namespace

extern "C" int macro_main(MacroWord, MacroWord, MacroWord, MacroWord, MacroWord, MacroWord,
                          MacroWord, MacroWord, HostVector host) {
  ServerControlBlock block;
  if (BeginBlockCall(host, block, kBlockViewWords) != 0) return 0;
  std::uint16_t err = 0;
  bool ok = true;
  switch (BlockStateOf(block)) {
    case StateLoadSettings: ok = LoadSettings(host, block, &err); break;
    case StateStoreSettings: ok = StoreSettings(host, block, &err); break;
    default: break;
  }
  SetBlockState(block, StateIdle);
  EndBlockCall(host, block, kBlockViewWords, !ok, err, true, 0);
  return 0;
}
