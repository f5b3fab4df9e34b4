// panel_alarm_texts: the title (RW 92..111) and the texts selected by mask A
// (RW 90; text i at RW 112 + 20 i) lose their leading and trailing spaces in
// place; the record gets 0, 0, 16, or 2, 2 when there is no work buffer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/faults.h"
#include "macro/codes.h"
#include "plugin_fixture.h"
#include "sweep.h"

namespace {

using host::CallClass;
using testing_support::FaultFired;
using testing_support::SweepRun;

constexpr int kMaskA = 90;
constexpr int kMaskB = 91;
constexpr int kTitle = 92;
constexpr int kTexts = 112;
constexpr int kUnits = 20;
constexpr std::uint16_t kRecordCanary = 0x7777;
constexpr std::uint16_t kSelectItself = 0x2;  // macro-vector value of macro 1

int TextAddress(int i) { return kTexts + kUnits * i; }

class AlarmTexts : public testing_support::PluginTest {
 protected:
  void SetUp() override {
    LoadPlugin("panel_alarm_texts");
    if (IsSkipped() || HasFatalFailure()) return;
    // Count only this test's calls: unloading an earlier copy of the plug-in
    // releases what its start-up code allocated before the counting began.
    host::ResetCalls();
    Prepare();
  }

  // Canary everywhere, the masks and the record prefilled.
  void Prepare(std::uint16_t maskA = 0, std::uint16_t maskB = 0) {
    panel.Fill(testing_support::kCanaryWord, testing_support::kCanaryBit);
    panel.Word(DeviceRW, kMaskA) = maskA;
    panel.Word(DeviceRW, kMaskB) = maskB;
    for (int k = 0; k < 8; ++k) panel.record[k] = kRecordCanary;
    panel.log.clear();
  }

  void Put(int address, const std::u16string& text) {
    for (int k = 0; k < kUnits; ++k) {
      panel.Word(DeviceRW, address + k) = k < static_cast<int>(text.size()) ? text[k] : 0;
    }
  }

  std::u16string Get(int address) {
    std::u16string text;
    for (int k = 0; k < kUnits; ++k) text.push_back(panel.Word(DeviceRW, address + k));
    return text;
  }

  bool Wrote(int address) {
    for (const auto& a : panel.log) {
      if (a.write && a.device == DeviceRW && a.address == address) return true;
    }
    return false;
  }

  void ExpectDone() {
    EXPECT_EQ(panel.record[0], 0);
    EXPECT_EQ(panel.record[1], 0);
    EXPECT_EQ(panel.record[2], AlarmTextsDone);
    EXPECT_EQ(panel.record[3], kRecordCanary) << "only words 0 to 2 are written";
  }
};

// A text padded with 0 units to the 20 words of its field.
std::u16string Field(std::u16string text) {
  text.resize(kUnits, u'\0');
  return text;
}

TEST_F(AlarmTexts, TrimsLeadingAndTrailingSpacesOnly) {
  const std::u16string letters = u"ABCDEFGHIJKLMNOPQRST";
  struct Case {
    const char* name;
    std::u16string in;
    std::u16string want;
  } cases[] = {
      {"spaces at both ends", u"  AB  ", u"AB"},
      {"inner space kept", u"A B", u"A B"},
      {"inner spaces kept, ends trimmed", u"  A  B  ", u"A  B"},
      {"20 spaces", std::u16string(20, u' '), u""},
      {"one space", u" ", u""},
      {"empty", u"", u""},
      {"full without spaces", letters, letters},
      {"full with a leading space", u" " + letters.substr(0, 19), letters.substr(0, 19)},
      {"full with two leading spaces", u"  " + letters.substr(0, 18), letters.substr(0, 18)},
      {"full with a trailing space", letters.substr(0, 19) + u" ", letters.substr(0, 19)},
      {"UCS2 letters", u" \u0391\u00e9 \u4e2d ", u"\u0391\u00e9 \u4e2d"},
      {"no-break space is not a space", u"\u00a0A\u00a0", u"\u00a0A\u00a0"},
      {"text after a 0 unit", std::u16string(u"A\0 B ", 5), std::u16string(u"A\0 B", 4)},
  };
  for (const Case& c : cases) {
    Prepare();
    Put(kTitle, Field(c.in));
    Remember();
    EXPECT_EQ(Call(), 0);
    EXPECT_EQ(Get(kTitle), Field(c.want)) << c.name;
    ExpectChangesOnlyIn({{DeviceRW, kTitle, kUnits}});
    ExpectDone();
  }
}

// Mask A alone selects the texts; the title is trimmed whatever the mask.
TEST_F(AlarmTexts, TrimsTheTitleAndTheTextsSelectedInMaskA) {
  for (std::uint16_t maskA : {0x0000, 0x8021, 0xFFFF}) {
    Prepare(maskA, 0x0006);
    Put(kTitle, Field(u" Title "));
    for (int i = 0; i < 16; ++i) Put(TextAddress(i), Field(u"  text  "));
    Remember();
    EXPECT_EQ(Call(), 0);
    EXPECT_EQ(Get(kTitle), Field(u"Title")) << "mask " << maskA;
    std::vector<testing_support::Window> changed{{DeviceRW, kTitle, kUnits}};
    for (int i = 0; i < 16; ++i) {
      bool selected = (maskA >> i) & 1;
      EXPECT_EQ(Get(TextAddress(i)), Field(selected ? u"text" : u"  text  "))
          << "mask " << maskA << " text " << i;
      EXPECT_EQ(Wrote(TextAddress(i)), selected) << "mask " << maskA << " text " << i;
      if (selected) changed.push_back({DeviceRW, TextAddress(i), kUnits});
    }
    ExpectChangesOnlyIn(changed);
    ExpectDone();
  }
}

TEST_F(AlarmTexts, ASecondCallRewritesTheSameTexts) {
  Prepare(0x0003);
  Put(kTitle, Field(u"  T "));
  Put(TextAddress(0), Field(u" x y "));
  Put(TextAddress(1), Field(std::u16string(20, u' ')));
  EXPECT_EQ(Call(), 0);
  Remember();
  panel.log.clear();
  EXPECT_EQ(Call(), 0);
  ExpectChangesOnlyIn({});
  EXPECT_TRUE(Wrote(kTitle) && Wrote(TextAddress(0)) && Wrote(TextAddress(1)));
  EXPECT_EQ(Get(TextAddress(0)), Field(u"x y"));
  EXPECT_EQ(Get(TextAddress(1)), Field(u""));
  ExpectDone();
}

// Without its work buffer the macro selects itself again and changes no text.
// A text that cannot be read is not written back: the zeros of the work
// buffer would erase it. A mask that cannot be read selects no text.
TEST_F(AlarmTexts, UnderFaults) {
  testing_support::FaultPoints points =
      testing_support::SweepEveryFault("panel_alarm_texts", panel, [&](const SweepRun& run) {
        Prepare(0x0009);
        Put(kTitle, Field(u" T "));
        Put(TextAddress(0), Field(u" x "));
        Put(TextAddress(3), Field(u"y  "));
        Remember();
        EXPECT_EQ(Call(), 0);
        ExpectChangesOnlyIn({{DeviceRW, kTitle, kUnits}, {DeviceRW, TextAddress(0), kUnits},
                             {DeviceRW, TextAddress(3), kUnits}});
        bool fired = testing_support::FaultFired(run);
        if (run.kind == testing_support::FaultKind::Alloc && fired) {
          EXPECT_EQ(panel.record[0], kSelectItself);
          EXPECT_EQ(panel.record[1], kSelectItself);
          EXPECT_EQ(panel.record[2], kRecordCanary) << "word 2 keeps its value";
          ExpectChangesOnlyIn({});
          for (const auto& a : panel.log) EXPECT_FALSE(a.write) << "register written at " << a.address;
          return;
        }
        ExpectDone();
        // Each text is trimmed, or left as it was; never anything else.
        const std::pair<int, std::u16string> texts[] = {
            {kTitle, u" T "}, {TextAddress(0), u" x "}, {TextAddress(3), u"y  "}};
        for (const auto& [address, before] : texts) {
          std::u16string now = Get(address);
          std::u16string trimmed = before.substr(before.find_first_not_of(u' '));
          trimmed = trimmed.substr(0, trimmed.find_last_not_of(u' ') + 1);
          EXPECT_TRUE(now == Field(trimmed) || now == Field(before)) << "text at " << address;
          if (!fired) {
            EXPECT_EQ(now, Field(trimmed)) << "text at " << address;
          }
        }
      });
  EXPECT_EQ(points.alloc, 2) << "one allocation, failed once and persistently";
  EXPECT_EQ(points.file, 0);
  EXPECT_EQ(points.read, 2 * 4) << "the mask, the title and two texts";
  EXPECT_EQ(points.write, 2 * 3);
}

}  // namespace
