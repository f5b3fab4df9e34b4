// net_send_connection: sets up the modem's GPRS connection profile one
// parameter per call. When bit 12 of its macro vector (record word 1) is set,
// it builds the "at^sics=0,<tag>,<value>" command for the profile command in
// record word 0 from "gprs_ConnectionProfileSettings.bin", places it in
// LW 0..99, notes the tick in LW 1007, raises the transmit flag and hands
// over to macro 13.
#include <cstdint>
#include <cstring>
#include <span>

#include "macro/abi.h"
#include "macro/bytes.h"
#include "macro/codes.h"
#include "macro/modem.h"
#include "macro/registers.h"
#include "settings_file.h"

namespace {

constexpr char kProfileFile[] = "gprs_ConnectionProfileSettings.bin";
constexpr std::size_t kProfileBytes = 208;
constexpr std::size_t kCommandBytes = kModemCommandWords * 2;  // 200

struct ProfileField {
  const char* tag;
  std::size_t offset;
  std::size_t length;
};

// The fields of the profile file, in the order of profile commands 1 to 7.
constexpr ProfileField kFields[] = {
    {"conType", 0, 6},  {"inactTo", 6, 6},  {"user", 12, 32}, {"passwd", 44, 32},
    {"apn", 76, 100},   {"dns1", 176, 16},  {"dns2", 192, 16},
};

using ProfileImage = std::span<std::uint8_t, kProfileBytes>;
using CommandBuffer = std::span<char, kCommandBytes>;

// A field's text ends at its first NUL or control character: a CR, LF or
// Ctrl-Z in the file must not reach the modem as a command of its own.
bool EndsField(std::uint8_t c) { return c < 0x20 || c == 0x7F; }

// Appends `text` to the NUL-terminated text in `buffer`, keeping a NUL.
void Append(std::span<char> buffer, std::size_t& end, const char* text, std::size_t length) {
  for (std::size_t i = 0; i < length && end + 1 < buffer.size(); ++i) buffer[end++] = text[i];
  buffer[end] = '\0';
}

}  // namespace

// Reads the connection profile file into `image`; a short file reads as zeros
// past its end. nullptr when the file cannot be opened or read.
std::uint8_t* LoadSettingDataFromFile(ProfileImage image) {
  return ReadSettingsImage(kProfileFile, image);
}

// Appends "at^sics=0,", the tag, ",", the field's text and "\r\n" to the text
// in `buffer`, never past its end. Returns the buffer.
char* GetATCommand(std::span<char> buffer, const char* tag, std::span<const std::uint8_t> field) {
  if (buffer.empty()) return buffer.data();
  std::size_t end = 0;
  while (end + 1 < buffer.size() && buffer[end] != '\0') ++end;
  Append(buffer, end, "at^sics=0,", 10);
  Append(buffer, end, tag, std::strlen(tag));
  Append(buffer, end, ",", 1);
  std::size_t n = 0;
  while (n < field.size() && !EndsField(field[n])) ++n;
  Append(buffer, end, reinterpret_cast<const char*>(field.data()), n);
  Append(buffer, end, "\r\n", 2);
  return buffer.data();
}

// Builds the command for `command` in the zero-filled buffer: empty for 0,
// one parameter for 1 to 7, nullptr for anything else.
char* ATCommand(std::uint16_t command, CommandBuffer buffer,
                std::span<const std::uint8_t, kProfileBytes> settings) {
  std::memset(buffer.data(), 0, buffer.size());
  if (command == GprsProfileEmpty) return buffer.data();
  if (command > GprsProfileDns2) return nullptr;
  const ProfileField& f = kFields[command - GprsProfileConType];
  return GetATCommand(buffer, f.tag, settings.subspan(f.offset, f.length));
}

extern "C" int macro_main(MacroWord, MacroWord, MacroWord, MacroWord, MacroWord p4, MacroWord,
                          MacroWord p6, MacroWord, HostVector host) {
  // The host record has no alignment guarantee: its words are accessed bytewise.
  auto* record = reinterpret_cast<std::uint8_t*>(p6);
  if (record == nullptr) return 0;
  std::uint8_t* vectorWord = record + 2 * GprsMacroVectorWord;
  if ((GetU16(vectorWord) & SetMacroVector(kGprsSendConnectionMacro)) == 0) return 0;

  std::uint8_t settings[kProfileBytes];
  if (LoadSettingDataFromFile(settings) == nullptr) return 0;
  char command[kCommandBytes];
  if (ATCommand(GetU16(record + 2 * GprsProfileCommandWord), command, settings) == nullptr) {
    return 0;
  }
  // A command the host did not take is not announced: the flag would send
  // whatever LW 0..99 held before. Bit 12 stays, so the macro tries again.
  if (PlaceModemCommand(host, command) != 1) return 0;
  (void)NoteChainSentTick(host, ReadTickCounter(host));
  RaiseTransmitFlag(p4);
  PutU16(vectorWord, SetMacroVector(kGprsAfterCommandMacro));
  return 0;
}
