// net_load_settings: copies the GPRS data settings file "gprs_DataSettings.bin"
// into the FRW recipe words. The file keeps the 16 entries field by field; the
// FRW copy keeps them entry by entry in 26-word blocks from FRW 17, after a
// table of the blocks' start addresses in FRW 1..16 and the header in FRW 0.
#include <cstdint>
#include <span>

#include "macro/abi.h"
#include "macro/bytes.h"
#include "macro/registers.h"
#include "settings_file.h"

namespace {

constexpr char kDataSettingsFile[] = "gprs_DataSettings.bin";
constexpr std::size_t kFileBytes = 836;
constexpr int kEntries = 16;

// File layout: field by field, each field for entries 0..15 in a row.
constexpr std::size_t kHeaderOffset = 2;  // bytes 0..1 are not copied
constexpr std::size_t kWord1Offset = 4;
constexpr std::size_t kWord2Offset = 36;
constexpr std::size_t kWord3Offset = 68;
constexpr std::size_t kShortTextOffset = 100;
constexpr std::size_t kShortTextBytes = 16;
constexpr std::size_t kLongTextOffset = 356;
constexpr std::size_t kLongTextBytes = 30;

// FRW layout: header, address table, then one block per entry.
constexpr int kHeaderAddress = 0;
constexpr int kTableAddress = 1;
constexpr int kFirstBlock = 17;
constexpr int kBlockWords = 26;
constexpr int kBlockWord1 = 0;
constexpr int kBlockWord2 = 1;
constexpr int kBlockWord3 = 2;
constexpr int kBlockShortText = 3;
constexpr int kBlockLongText = 11;

using SettingsImage = std::span<std::uint8_t, kFileBytes>;

int BlockAddress(int entry) { return kFirstBlock + kBlockWords * entry; }

// Writes a text field of the image, two bytes per word, as the file holds it.
void WriteText(HostVector host, int address, std::span<std::uint8_t> text) {
  (void)xWriteLocal(host, "FRW", address, static_cast<int>(text.size() / 2), text.data(), 0);
}

// Writes one little-endian word of the image.
void WriteWord(HostVector host, int address, std::span<const std::uint8_t, 2> le) {
  std::uint16_t word = GetU16(le.data());
  (void)xWriteLocal(host, "FRW", address, 1, &word, 0);
}

void WriteAddressTable(HostVector host) {
  std::uint16_t table[kEntries];
  for (int i = 0; i < kEntries; ++i) table[i] = static_cast<std::uint16_t>(BlockAddress(i));
  (void)xWriteLocal(host, "FRW", kTableAddress, kEntries, table, 0);
}

void WriteEntry(HostVector host, SettingsImage image, int i) {
  int block = BlockAddress(i);
  std::size_t at = 2 * static_cast<std::size_t>(i);
  WriteWord(host, block + kBlockWord1, image.subspan(kWord1Offset + at).first<2>());
  WriteWord(host, block + kBlockWord2, image.subspan(kWord2Offset + at).first<2>());
  WriteWord(host, block + kBlockWord3, image.subspan(kWord3Offset + at).first<2>());
  WriteText(host, block + kBlockShortText,
            image.subspan(kShortTextOffset + kShortTextBytes * i, kShortTextBytes));
  WriteText(host, block + kBlockLongText,
            image.subspan(kLongTextOffset + kLongTextBytes * i, kLongTextBytes));
}

}  // namespace

// Reads the data settings file into `image`; a short file reads as zeros past
// its end. nullptr when the file cannot be opened or read.
std::uint8_t* LoadSettingDataFromFile(SettingsImage image) {
  return ReadSettingsImage(kDataSettingsFile, image);
}

extern "C" int macro_main(MacroWord, MacroWord, MacroWord, MacroWord, MacroWord, MacroWord,
                          MacroWord, MacroWord, HostVector host) {
  WriteAddressTable(host);
  std::uint8_t image[kFileBytes];
  if (LoadSettingDataFromFile(image) == nullptr) return 0;
  for (int i = 0; i < kEntries; ++i) WriteEntry(host, image, i);
  // The header goes last, after every block.
  WriteWord(host, kHeaderAddress, SettingsImage(image).subspan<kHeaderOffset, 2>());
  return 0;
}
