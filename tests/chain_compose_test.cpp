// The chain's composer (under both its names) and the message part encoder:
// the UCS2 text they leave in the message area, the length or part count,
// the record words they write, and the composer's exit when storage runs out.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "chain_support.h"
#include "sweep.h"

namespace {

using testing_support::ChainPluginTest;
using testing_support::GetUnits;
using testing_support::PutUnits;
using testing_support::Window;

// Twenty characters, no zero unit among them.
std::u16string Full(char16_t first) {
  std::u16string s;
  for (int i = 0; i < 20; ++i) s.push_back(static_cast<char16_t>(first + i));
  return s;
}

struct Recipe {
  std::uint16_t maskA = 0;
  std::uint16_t maskB = 0;
  std::u16string title;
  std::map<int, std::u16string> texts;
};

class Composer : public ChainPluginTest, public ::testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override {
    LoadFresh(GetParam());
    if (IsSkipped() || HasFatalFailure()) return;
    Canary();
    FillRecord();
  }

  void Put(const Recipe& r) {
    panel.Word(DeviceRW, kAlarmMaskAAddress) = r.maskA;
    panel.Word(DeviceRW, kAlarmMaskBAddress) = r.maskB;
    for (int i = 0; i < 20; ++i) panel.Word(DeviceRW, kAlarmTitleAddress + i) = 0;
    PutUnits(panel, kAlarmTitleAddress, r.title);
    for (int e = 0; e < 16; ++e) {
      for (int i = 0; i < 20; ++i) panel.Word(DeviceRW, kAlarmTextAddress + 20 * e + i) = 0;
    }
    for (const auto& [e, text] : r.texts) PutUnits(panel, kAlarmTextAddress + 20 * e, text);
    for (int i = 0; i < 500; ++i) {
      panel.Word(DeviceRW, kMessageAreaAddress + i) = testing_support::kCanaryWord;
    }
    Remember();
  }

  // The composed text, checked against RW 2000 = L and the window it may use.
  std::u16string Composed() {
    int length = panel.Word(DeviceRW, kMessageAreaAddress);
    ExpectChangesOnlyIn({{DeviceRW, kMessageAreaAddress, length + 1}});
    EXPECT_EQ(panel.Word(DeviceRW, kMessageAreaAddress + 1 + length), testing_support::kCanaryWord)
        << "nothing is written past the text";
    return GetUnits(panel, kMessageAreaAddress + 1, length);
  }

  void ExpectHandedBack() {
    EXPECT_EQ(Rec(ComposerVectorWord), 0x80);
    EXPECT_EQ(Rec(ComposerFailureWord), 0);
    ExpectRecordChangesOnlyIn({ComposerVectorWord, ComposerFailureWord});
  }
};

TEST_P(Composer, SixteenFullEntriesGiveL412) {
  Recipe r{0xFFFF, 0xFFFF, Full(u'A'), {}};
  for (int e = 0; e < 16; ++e) r.texts[e] = Full(static_cast<char16_t>(0x0410 + e));
  Put(r);
  EXPECT_EQ(Call(), 0);
  std::u16string want = Full(u'A') + u"\n";
  for (int e = 0; e < 16; ++e) {
    std::string number = std::to_string(e + 1) + ". ";
    want += std::u16string(number.begin(), number.end()) + Full(static_cast<char16_t>(0x0410 + e)) + u"\n";
  }
  ASSERT_EQ(want.size(), 412u);
  EXPECT_EQ(panel.Word(DeviceRW, kMessageAreaAddress), 412);
  EXPECT_EQ(Composed(), want);
  ExpectHandedBack();
  ExpectNothingHeld();
}

TEST_P(Composer, ListsEntriesSelectedInBothMasksNumberedInOrder) {
  struct Case {
    const char* name;
    Recipe recipe;
    std::u16string want;
  } cases[] = {
      {"nothing selected", {0, 0, u"Plant", {{0, u"x"}}}, u"Plant\n"},
      {"masks share no bit", {0x0001, 0x0002, u"Plant", {{0, u"x"}, {1, u"y"}}}, u"Plant\n"},
      {"RW 91 bits alone list nothing", {0x0000, 0xFFFF, u"T", {{3, u"z"}}}, u"T\n"},
      {"empty title starts with the line feed", {0x0001, 0x0001, u"", {{0, u"Pump"}}}, u"\n1. Pump\n"},
      {"entries 4 and 9 are numbered 1 and 2",
       {0x0210, 0xFFFF, u"Alarms", {{4, u"Door"}, {9, u"Fire"}, {5, u"Not listed"}}},
       u"Alarms\n1. Door\n2. Fire\n"},
      {"an empty selected text keeps its number", {0x0003, 0x0003, u"T", {{1, u"B"}}}, u"T\n1. \n2. B\n"},
      {"a full title is taken whole", {0, 0, Full(u'a'), {}}, Full(u'a') + u"\n"},
      {"the tenth listed entry takes two digits",
       {0xFFC0, 0xFFC0, u"", {{15, u"last"}}},
       u"\n1. \n2. \n3. \n4. \n5. \n6. \n7. \n8. \n9. \n10. last\n"},
  };
  for (const Case& c : cases) {
    Put(c.recipe);
    FillRecord();
    EXPECT_EQ(Call(), 0);
    EXPECT_EQ(Composed(), c.want) << c.name;
    ExpectHandedBack();
  }
  ExpectNothingHeld();
}

// Every allocation the composer makes may fail: the failure exit selects the
// error reporter with bit 2 and leaves the message area as it was. Register
// results are not examined: a failed read reads as zeros (a mask lists
// nothing, a text is empty), a failed write leaves its words, and the
// composer still hands back to the sequencer.
TEST_P(Composer, UnderFaults) {
  Recipe r{0x0111, 0x0111, u"Title", {{0, u"One"}, {4, u"Two"}, {8, u"Three"}}};
  const std::u16string full = u"Title\n1. One\n2. Two\n3. Three\n";
  testing_support::FaultPoints points =
      testing_support::SweepEveryFault(GetParam(), panel, [&](const testing_support::SweepRun& run) {
        Put(r);
        FillRecord();
        EXPECT_EQ(Call(), 0);
        ExpectChangesOnlyIn({{DeviceRW, kMessageAreaAddress, static_cast<int>(full.size()) + 1}});
        bool fired = testing_support::FaultFired(run);
        if (run.kind == testing_support::FaultKind::Alloc && fired) {
          EXPECT_EQ(Rec(ComposerVectorWord), 0x40);
          EXPECT_EQ(Rec(ComposerFailureWord), FailedComposer);
          ExpectRecordChangesOnlyIn({ComposerVectorWord, ComposerFailureWord});
          ExpectChangesOnlyIn({});
          return;
        }
        ExpectHandedBack();
        if (!fired) {
          EXPECT_EQ(Composed(), full);
        }
      });
  EXPECT_EQ(points.alloc, 8) << "the message buffer and three number texts, once and from then on";
  EXPECT_EQ(points.file, 0);
  EXPECT_EQ(points.read, 2 * 6) << "two masks, the title and three texts";
  EXPECT_EQ(points.write, 2 * 2) << "the length and the text";
}

INSTANTIATE_TEST_SUITE_P(BothNames, Composer,
                         ::testing::Values("link_compose_alarms", "link_compose_events"),
                         [](const auto& info) { return std::string(info.param); });

class PartEncoder : public ChainPluginTest {
 protected:
  void SetUp() override {
    LoadFresh("link_encode_parts");
    if (IsSkipped() || HasFatalFailure()) return;
    Canary();
    FillRecord();
  }

  // Title and texts of the given lengths, every text listed.
  void PutLengths(int title, std::initializer_list<int> texts) {
    for (int i = 0; i < 20 * 17; ++i) panel.Word(DeviceRW, kPartTitleAddress + i) = 0;
    PutUnits(panel, kPartTitleAddress, Full(u'A').substr(0, static_cast<std::size_t>(title)));
    std::uint16_t mask = 0;
    int e = 0;
    for (int n : texts) {
      PutUnits(panel, kPartTextAddress + 20 * e, Full(u'a').substr(0, static_cast<std::size_t>(n)));
      mask = static_cast<std::uint16_t>(mask | (1u << e++));
    }
    panel.Word(DeviceRW, kPartMaskAAddress) = mask;
    panel.Word(DeviceRW, kPartMaskBAddress) = mask;
    Remember();
  }

  // The text in RW 2000..2499 up to the zero fill, which must run to RW 2499.
  std::u16string Text() {
    ExpectChangesOnlyIn({{DeviceRW, kMessageAreaAddress, kPartEncoderTextWords}});
    std::u16string all = GetUnits(panel, kMessageAreaAddress, kPartEncoderTextWords);
    std::size_t end = all.find(u'\0');
    EXPECT_NE(end, std::u16string::npos);
    EXPECT_EQ(all.find_first_not_of(u'\0', end), std::u16string::npos) << "zero-filled to RW 2499";
    ExpectRecordChangesOnlyIn({PartEncoderCountWord});
    return all.substr(0, end);
  }
};

TEST_F(PartEncoder, CountsSixtySevenCharacterParts) {
  struct Case {
    int title;
    std::initializer_list<int> texts;
    std::size_t length;
    std::uint16_t parts;
  } cases[] = {
      {0, {}, 2, 1},
      {20, {20, 20, 2}, 67, 1},
      {20, {20, 20, 3}, 68, 2},
      {20, {20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20, 20}, 358, 6},
  };
  for (const Case& c : cases) {
    PutLengths(c.title, c.texts);
    FillRecord();
    EXPECT_EQ(Call(), 0);
    EXPECT_EQ(Text().size(), c.length);
    EXPECT_EQ(Rec(PartEncoderCountWord), c.parts) << "L = " << c.length;
  }
}

TEST_F(PartEncoder, JoinsListedTextsWithoutNumbers) {
  PutUnits(panel, kPartTitleAddress, u"Plant");
  PutUnits(panel, kPartTextAddress + 20 * 2, u"Pump");
  for (int i = 0; i < 20; ++i) panel.Word(DeviceRW, kPartTextAddress + 20 * 5 + i) = 0;
  PutUnits(panel, kPartTextAddress + 20 * 7, Full(u'a'));
  PutUnits(panel, kPartTextAddress + 20 * 9, u"only in mask A");
  panel.Word(DeviceRW, kPartMaskAAddress) = 0x02A4;
  panel.Word(DeviceRW, kPartMaskBAddress) = 0x00A4;
  for (int i = 5; i < 20; ++i) panel.Word(DeviceRW, kPartTitleAddress + i) = 0;
  for (int i = 4; i < 20; ++i) panel.Word(DeviceRW, kPartTextAddress + 40 + i) = 0;
  Remember();
  EXPECT_EQ(Call(), 0);
  EXPECT_EQ(Text(), u"Plant\n\nPump\n\n" + Full(u'a') + u"\n");
  EXPECT_EQ(Rec(PartEncoderCountWord), 1);
}

// A title ended by a zero word before its 20th: the words after the zero
// are not part of it and must not show up past the text.
TEST_F(PartEncoder, WordsAfterTheTitlesEndStayOut) {
  PutLengths(0, {});
  PutUnits(panel, kPartTitleAddress, u"AB");
  PutUnits(panel, kPartTitleAddress + 3, u"CDEFGHIJKLMNOPQ");
  Remember();
  EXPECT_EQ(Call(), 0);
  EXPECT_EQ(Text(), u"AB\n\n");
  EXPECT_EQ(Rec(PartEncoderCountWord), 1);
}

// The part encoder has no failure exit and examines no register result: under
// every register fault it writes at most its 500 words and the part count.
TEST_F(PartEncoder, UnderFaults) {
  testing_support::FaultPoints points =
      testing_support::SweepEveryFault("link_encode_parts", panel, [&](const testing_support::SweepRun& run) {
        PutLengths(20, {20, 20, 20, 20});
        FillRecord();
        EXPECT_EQ(Call(), 0);
        ExpectChangesOnlyIn({{DeviceRW, kMessageAreaAddress, kPartEncoderTextWords}});
        ExpectRecordChangesOnlyIn({PartEncoderCountWord});
        if (!testing_support::FaultFired(run)) {
          EXPECT_EQ(Text().size(), 106u);
          EXPECT_EQ(Rec(PartEncoderCountWord), 2);
        } else if (run.kind != testing_support::FaultKind::RegisterWrite) {
          // What was read, however little, is counted.
          std::u16string all = GetUnits(panel, kMessageAreaAddress, kPartEncoderTextWords);
          std::size_t length = all.find(u'\0');
          EXPECT_EQ(Rec(PartEncoderCountWord), (length + 66) / 67);
        }
      });
  EXPECT_EQ(points.alloc + points.file, 0) << "nothing allocated, no file";
  EXPECT_EQ(points.read, 2 * 7) << "two masks, the title and four texts";
  EXPECT_EQ(points.write, 2);
}

TEST_F(PartEncoder, RewritesAllFiveHundredWordsEveryCall) {
  PutLengths(20, {20, 20, 20, 20, 20});
  EXPECT_EQ(Call(), 0);
  EXPECT_EQ(Text().size(), 127u);
  EXPECT_EQ(Rec(PartEncoderCountWord), 2);
  PutLengths(3, {});
  EXPECT_EQ(Call(), 0);
  EXPECT_EQ(Text(), u"ABC\n\n") << "nothing of the longer text survives";
  EXPECT_EQ(Rec(PartEncoderCountWord), 1);
}

}  // namespace
