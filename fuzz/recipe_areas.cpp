// The recipe words the chain's text plug-ins read, in any state: the phone
// numbers of RW 4.. (link_encode_number), the part encoder's block RW 80..421
// (link_encode_parts), the composer's block RW 90..431 (link_compose_alarms,
// link_compose_events) and the texts the trimmer tidies (panel_alarm_texts).
//
// Input: RW 0..431, two bytes a word.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>

#include "fixtures.h"

namespace {

using namespace fuzz;

constexpr int kWords = 432;
using Recipe = std::vector<std::uint16_t>;

// A 20-unit text of the recipe, up to its first 0.
std::u16string Text(const Recipe& rw, int address) {
  std::u16string t;
  for (int i = 0; i < 20 && rw[static_cast<std::size_t>(address + i)] != 0; ++i) {
    t.push_back(static_cast<char16_t>(rw[static_cast<std::size_t>(address + i)]));
  }
  return t;
}

std::string NumberBytes(const Recipe& rw, int address) {
  std::string b;
  for (int i = 0; i < 5; ++i) {
    std::uint16_t w = rw[static_cast<std::size_t>(address + i)];
    b.push_back(static_cast<char>(w & 0xFF));
    b.push_back(static_cast<char>(w >> 8));
  }
  return b;
}

void EncodeNumbers(Harness& h, Recipe rw) {
  const char* p = "link_encode_number";
  h.Call(p);
  for (int i = 0; i < rw[4] && 5 + 5 * i + 5 <= kWords; ++i) {
    std::string number = NumberBytes(rw, 5 + 5 * i);
    bool digits = true;
    for (char c : number) digits = digits && c >= '0' && c <= '9';
    if (!digits) break;
    std::string address = AddressOf(number);
    address.resize(20, '\0');
    for (int k = 0; k < 10; ++k) {
      rw[static_cast<std::size_t>(30 + 10 * i + k)] = static_cast<std::uint16_t>(
          static_cast<unsigned char>(address[2 * k]) | static_cast<unsigned char>(address[2 * k + 1]) << 8);
    }
  }
  for (int a = 30; a < 80; ++a) {
    Expect(h.Word(DeviceRW, a) == rw[static_cast<std::size_t>(a)], p, "RW " + std::to_string(a) + " after encoding");
  }
}

void EncodeParts(Harness& h, const Recipe& rw) {
  const char* p = "link_encode_parts";
  h.Call(p);
  std::uint16_t listed = rw[80] & rw[81];
  std::u16string text = Text(rw, 82) + u"\n\n";
  for (int i = 0; i < 16; ++i) {
    if ((listed >> i) & 1u) text += Text(rw, 102 + 20 * i) + u"\n";
  }
  for (int i = 0; i < 500; ++i) {
    std::uint16_t want = i < static_cast<int>(text.size()) ? text[static_cast<std::size_t>(i)] : 0;
    Expect(h.Word(DeviceRW, 2000 + i) == want, p, "RW " + std::to_string(2000 + i) + " is not the text or zero");
  }
  Expect(h.Record(0) == (text.size() + 66) / 67, p, "part count");
}

void Compose(Harness& h, const char* p, const Recipe& rw) {
  h.Call(p);
  std::uint16_t listed = rw[90] & rw[91];
  std::u16string text = Text(rw, 92) + u"\n";
  int k = 0;
  for (int i = 0; i < 16; ++i) {
    if (((listed >> i) & 1u) == 0) continue;
    std::string number = std::to_string(++k) + ". ";
    text += std::u16string(number.begin(), number.end()) + Text(rw, 112 + 20 * i) + u"\n";
  }
  Expect(h.Record(0) == 0x80 && h.Record(1) == 0, p, "did not hand back to the sequencer");
  Expect(h.Word(DeviceRW, 2000) == text.size(), p, "length word");
  for (std::size_t i = 0; i < text.size(); ++i) {
    Expect(h.Word(DeviceRW, 2001 + static_cast<int>(i)) == text[i], p, "composed text");
  }
}

// The trimmer's reading of one text: 20 units and a 0 unit, leading spaces
// moved out, trailing spaces cleared.
void Trim(Recipe& rw, int address) {
  std::uint16_t t[21] = {};
  for (int i = 0; i < 20; ++i) t[i] = rw[static_cast<std::size_t>(address + i)];
  int first = 0;
  while (t[first] == 0x20) ++first;
  if (first > 0) {
    std::memmove(t, t + first, (21 - first) * 2);
    std::memset(t + 21 - first, 0, first * 2);
  }
  for (int i = 20; i >= 1; --i) {
    if (t[i] == 0x20) {
      t[i] = 0;
    } else if (t[i] != 0) {
      break;
    }
  }
  for (int i = 0; i < 20; ++i) rw[static_cast<std::size_t>(address + i)] = t[i];
}

void TrimTexts(Harness& h, Recipe& rw) {
  const char* p = "panel_alarm_texts";
  Trim(rw, 92);
  for (int i = 0; i < 16; ++i) {
    if ((rw[90] >> i) & 1u) Trim(rw, 112 + 20 * i);
  }
  for (int pass = 0; pass < 2; ++pass) {  // a second call changes nothing
    h.Call(p);
    Expect(h.Record(0) == 0 && h.Record(1) == 0 && h.Record(2) == 16, p, "record words after trimming");
    for (int a = 92; a < kWords; ++a) {
      Expect(h.Word(DeviceRW, a) == rw[static_cast<std::size_t>(a)], p, "RW " + std::to_string(a) + " after trimming");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  Bytes bytes = Padded(in.ConsumeRemainingBytes<std::uint8_t>(), 2 * kWords);
  Recipe rw(kWords);
  for (int i = 0; i < kWords; ++i) rw[static_cast<std::size_t>(i)] = U16(bytes, 2 * static_cast<std::size_t>(i));

  Harness& h = Harness::Get();
  h.Reset();
  h.SetWords(DeviceRW, 0, rw);
  EncodeNumbers(h, rw);
  for (int a = 30; a < 80; ++a) rw[static_cast<std::size_t>(a)] = h.Word(DeviceRW, a);
  EncodeParts(h, rw);
  Compose(h, "link_compose_alarms", rw);
  Compose(h, "link_compose_events", rw);
  TrimTexts(h, rw);
  Compose(h, "link_compose_alarms", rw);
  return 0;
}
