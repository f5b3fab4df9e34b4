// panel_alarm_texts: removes the leading and trailing spaces of the texts the
// operator types for the chain's alarm list, in place in the recipe words: the
// title (RW 92..111) on every call, and the text of every entry i whose bit is
// set in mask A (RW 90), at RW 112 + 20 i. Macro 1 of the chain's macro vector.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "macro/abi.h"
#include "macro/bytes.h"
#include "macro/codes.h"
#include "macro/registers.h"

namespace {

constexpr std::uint16_t kSpace = 0x0020;
constexpr int kMaskAAddress = 90;
constexpr int kTitleAddress = 92;
constexpr int kFirstTextAddress = 112;
constexpr int kTextWords = 20;
constexpr int kTexts = 16;
// One unit more than a text, always 0, so every text read is terminated.
constexpr std::size_t kWorkUnits = kTextWords + 1;

// The work buffer, released on every path out of the call.
struct WorkBuffer {
  std::uint16_t* units = static_cast<std::uint16_t*>(std::malloc(kWorkUnits * 2));
  ~WorkBuffer() { std::free(units); }
  std::span<std::uint16_t, kWorkUnits> span() {
    return std::span<std::uint16_t, kWorkUnits>(units, kWorkUnits);
  }
};

}  // namespace

// Moves the text after its leading spaces to the front and zero-fills the
// units it leaves behind. A 0 unit is not a space.
int TrimLeft_Unicode(std::span<std::uint16_t> text) {
  std::size_t count = text.size();
  std::size_t first = 0;
  while (first < count && text[first] == kSpace) ++first;
  if (first == 0 || first == count) return 0;
  std::memmove(text.data(), text.data() + first, (count - first) * 2);
  std::memset(text.data() + (count - first), 0, first * 2);
  return 0;
}

// Turns the trailing spaces into 0 units, skipping 0 units on the way; unit 0
// is never examined.
int TrimRight_Unicode(std::span<std::uint16_t> text) {
  for (std::size_t i = text.size(); i-- > 1;) {
    if (text[i] == kSpace) {
      text[i] = 0;
    } else if (text[i] != 0) {
      break;
    }
  }
  return 0;
}

int Trim_Unicode(std::span<std::uint16_t> text) {
  TrimLeft_Unicode(text);
  TrimRight_Unicode(text);
  return 0;
}

namespace {

// A text the host could not deliver is left alone: writing back the zeros of
// the work buffer would erase what the operator typed.
void TrimTextAt(HostVector host, int address, std::span<std::uint16_t, kWorkUnits> work) {
  std::memset(work.data(), 0, work.size_bytes());
  if (xReadLocal(host, "RW", address, kTextWords, work.data(), 0) != 1) return;
  Trim_Unicode(work);
  (void)xWriteLocal(host, "RW", address, kTextWords, work.data(), 0);
}

void SetRecordWord(std::uint8_t* record, int word, std::uint16_t value) {
  if (record != nullptr) PutU16(record + 2 * word, value);
}

}  // namespace

extern "C" int macro_main(MacroWord, MacroWord, MacroWord, MacroWord, MacroWord, MacroWord,
                          MacroWord p6, MacroWord, HostVector host) {
  // The host record has no alignment guarantee: its words are written bytewise.
  auto* record = reinterpret_cast<std::uint8_t*>(p6);
  std::uint16_t maskA = 0;
  (void)xReadLocal(host, "RW", kMaskAAddress, 1, &maskA, 0);

  WorkBuffer work;
  if (work.units == nullptr) {
    // Select this macro again; no text is changed.
    std::uint16_t self = SetMacroVector(kAlarmTextsMacro);
    SetRecordWord(record, AlarmTextsVectorWord, self);
    SetRecordWord(record, AlarmTextsFailureWord, self);
    return 0;
  }
  TrimTextAt(host, kTitleAddress, work.span());
  for (int i = 0; i < kTexts; ++i) {
    if ((maskA >> i) & 1u) TrimTextAt(host, kFirstTextAddress + kTextWords * i, work.span());
  }
  SetRecordWord(record, AlarmTextsVectorWord, 0);
  SetRecordWord(record, AlarmTextsFailureWord, 0);
  SetRecordWord(record, AlarmTextsStatusWord, AlarmTextsDone);
  return 0;
}
