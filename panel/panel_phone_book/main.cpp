// panel_phone_book: keeps the panel's phone book, three entries edited on the
// panel's screens, in "panel_phone_book.bin". Word 0 of the host record asks
// for a load (0: file into LW 6000..6270) or a save (1: LW 6000..6270 into the
// file); word 1 receives the result. The entries' content belongs to the
// screens and is copied unchanged; a save clears the entries not in use.
#include <cstdint>
#include <cstring>
#include <span>

#include "macro/abi.h"
#include "macro/bytes.h"
#include "macro/codes.h"
#include "macro/registers.h"
#include "macro/server.h"

namespace {

constexpr char kPhoneBookFile[] = "panel_phone_book.bin";
constexpr int kWindowAddress = 6000;  // LW 6000..6270
constexpr int kWindowWords = 271;
constexpr std::size_t kImageBytes = kWindowWords * 2;  // 542
constexpr std::size_t kEntries = 3;
constexpr std::size_t kEntryBytes = 180;
constexpr std::size_t kFirstEntryOffset = 2;

using PhoneImage = std::span<std::uint8_t, kImageBytes>;

int Fail(std::uint16_t code, std::uint16_t* result) {
  SetError(code, result);
  return -1;
}

}  // namespace

// Zero-fills the image and reads up to 542 bytes of the file into it; a
// shorter file leaves zeros past its end. -1 with 254 when the file does not
// exist, 253 when it cannot be opened or read.
int LoadPhoneList(const char* path, PhoneImage image, std::uint16_t* result) {
  std::uint16_t code = 0;
  if (LoadData(path, image, &code) != 0) {
    return Fail(code == ErrFileMissing ? ErrFileMissing : ErrFileOpen, result);
  }
  return 0;
}

// Replaces the file with the 542 bytes. The new file is written and closed
// completely beside the old one before it takes its place, so a failure keeps
// the previous phone book; any failure gives -1 with 255.
int UpdatePhoneList(const char* path, std::span<const std::uint8_t, kImageBytes> image,
                    std::uint16_t* result) {
  std::uint16_t code = 0;
  if (SaveData(path, image, &code) != 0) return Fail(ErrGeneric, result);
  return 0;
}

namespace {

// Zeroes the entries at and after the number in use; 3 or more clears none.
void ClearUnusedEntries(PhoneImage image) {
  std::size_t inUse = GetU16(image.data());
  for (std::size_t i = inUse; i < kEntries; ++i) {
    std::memset(image.data() + kFirstEntryOffset + kEntryBytes * i, 0, kEntryBytes);
  }
}

// A window the host did not take is no loaded phone book: 255.
std::uint16_t LoadRequest(HostVector host) {
  std::uint8_t image[kImageBytes] = {};
  std::uint16_t result = 0;
  if (LoadPhoneList(kPhoneBookFile, image, &result) != 0) return result;
  if (xWriteLocal(host, "LW", kWindowAddress, kWindowWords, image, 0) != 1) {
    SetError(ErrGeneric, &result);
  }
  return result;
}

// A window the host did not deliver is not saved: its zeros would replace
// the phone book. 255, and the file stays as it was.
std::uint16_t SaveRequest(HostVector host) {
  std::uint8_t image[kImageBytes] = {};
  std::uint16_t result = 0;
  if (xReadLocal(host, "LW", kWindowAddress, kWindowWords, image, 0) != 1) {
    SetError(ErrGeneric, &result);
    return result;
  }
  ClearUnusedEntries(image);
  (void)UpdatePhoneList(kPhoneBookFile, image, &result);
  return result;
}

}  // namespace

extern "C" int macro_main(MacroWord, MacroWord, MacroWord, MacroWord, MacroWord, MacroWord,
                          MacroWord p6, MacroWord, HostVector host) {
  // The host record has no alignment guarantee: its words are accessed bytewise.
  auto* record = reinterpret_cast<std::uint8_t*>(p6);
  if (record == nullptr) return 0;
  std::uint8_t* resultWord = record + 2 * PhoneBookResultWord;
  switch (GetU16(record + 2 * PhoneBookRequestWord)) {
    case PhoneBookLoad:
      PutU16(resultWord, LoadRequest(host));
      return 0;
    case PhoneBookSave:
      PutU16(resultWord, SaveRequest(host));
      return 0;
    default:
      return 0;
  }
}
