// srv_compose_text and srv_compose_events: the message file from the
// template and the event mask.
#include <gtest/gtest.h>

#include "macro/codes.h"
#include "plugin_fixture.h"
#include "server_files.h"
#include "sweep.h"

namespace {

using namespace testing_support;

constexpr int kError = 6007;
constexpr int kMask = 5999;

class Composer : public PluginTest {
 protected:
  void Use(const char* name) {
    LoadPlugin(name);
    if (IsSkipped()) return;
    Canary();
    for (int i = 0; i < 8; ++i) panel.Word(DeviceLW, 6000 + i) = static_cast<std::uint16_t>(0x100 + i);
    textComposer = std::string(name) == "srv_compose_text";
  }

  // Runs the composer with this template and mask; returns the message text
  // ("" and *written false when no message file was written).
  std::u16string Compose(const std::string& templ, std::uint16_t mask, bool* written = nullptr) {
    if (!templ.empty()) {
      EXPECT_TRUE(work.Write("SMSProfile_3.bin", templ));
    }
    std::remove("SMSMessage.bin");
    panel.Word(DeviceLW, kMask) = mask;
    Remember();
    host::ResetCalls();
    EXPECT_EQ(Call(), 0);
    if (textComposer) {
      ExpectChangesOnlyIn({{DeviceLW, 6000, 8}});
    } else {
      ExpectChangesOnlyIn({{DeviceLW, kError, 1}});
    }
    ExpectNothingHeld();
    std::string bytes;
    bool ok = work.Read("SMSMessage.bin", &bytes);
    if (written) *written = ok;
    if (!ok) return u"";
    bool wellFormed = false;
    std::u16string text = MessageText(bytes, &wellFormed);
    EXPECT_TRUE(wellFormed) << "count word and length disagree";
    return text;
  }

  std::uint16_t Error() { return panel.Word(DeviceLW, kError); }
  std::uint32_t Flags() { return panel.GetPair(DeviceLW, 6003); }
  bool textComposer = false;
};

class BothComposers : public Composer, public ::testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override { Use(GetParam()); }
};

INSTANTIATE_TEST_SUITE_P(Composers, BothComposers,
                         ::testing::Values("srv_compose_text", "srv_compose_events"),
                         [](const auto& info) { return std::string(info.param); });

TEST_P(BothComposers, TitleAndNumberedLines) {
  std::u16string text = Compose(TemplateFile("T", {{1, "A"}, {0, "B"}, {1, "C"}}), 5);
  EXPECT_EQ(text, u"[T]\n1. A\n2. C\n");
  EXPECT_EQ(text.size(), 14u);
  EXPECT_EQ(Error(), 0);
  std::string bytes;
  ASSERT_TRUE(work.Read("SMSMessage.bin", &bytes));
  EXPECT_EQ(bytes.size(), 30u) << "count word and 14 units, nothing more";
}

TEST_P(BothComposers, WhichEventsAreListedAndHowTheyAreNumbered) {
  struct Case {
    const char* name;
    std::string title;
    std::vector<Event> events;
    std::uint16_t mask;
    std::u16string want;
  } cases[] = {
      {"mask bit without enabled", "T", {{0, "A"}, {1, "B"}}, 3, u"[T]\n1. B\n"},
      {"enabled without mask bit", "T", {{1, "A"}, {1, "B"}}, 2, u"[T]\n1. B\n"},
      {"empty text skips its number", "", {{1, "A"}, {1, ""}, {1, "C"}}, 7, u"1. A\n3. C\n"},
      {"no title line for an empty title", "", {{1, "A"}, {1, "B"}}, 3, u"1. A\n2. B\n"},
      {"only empty texts and no title", "", {{1, ""}, {1, ""}}, 3, u""},
      {"one empty text under a title", "Head", {{1, ""}}, 1, u"[Head]\n"},
      {"Cyrillic text", "Тревога", {{1, "Пожар"}}, 1, u"[Тревога]\n1. Пожар\n"},
      {"enabled word any nonzero", "", {{0x8000, "Z"}}, 1, u"1. Z\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bool written = false;
    EXPECT_EQ(Compose(TemplateFile(c.title, c.events), c.mask, &written), c.want);
    EXPECT_TRUE(written);
    EXPECT_EQ(Error(), 0);
  }
}

TEST_P(BothComposers, FullFieldsGiveTheirFirstTwentyUnits) {
  std::string twenty = "ABCDEFGHIJKLMNOPQRST";
  std::string templ = TemplateFile(twenty, {{1, twenty}});
  // Each full field is followed by a nonzero word (event 0's enabled word after
  // the title, event 1's after event 0's text), which must not be read as text.
  PutU16(templ, 90, 0x0058);
  std::u16string text = Compose(templ, 1);
  EXPECT_EQ(text, u"[" + U16(twenty) + u"]\n1. " + U16(twenty) + u"\n");
}

TEST_P(BothComposers, SixteenEventsNumberedOneToSixteen) {
  std::vector<Event> events;
  for (int i = 0; i < 16; ++i) events.push_back({1, std::string(20, static_cast<char>('a' + i))});
  std::u16string text = Compose(TemplateFile("ABCDEFGHIJKLMNOPQRST", events), 0xFFFF);
  std::u16string want = u"[ABCDEFGHIJKLMNOPQRST]\n";
  for (int i = 0; i < 16; ++i) {
    want += U16(std::to_string(i + 1) + ". " + std::string(20, static_cast<char>('a' + i)) + "\n");
  }
  EXPECT_EQ(text, want);
  EXPECT_EQ(text.size(), 23u + 9 * 24 + 7 * 25) << "the longest message";
}

TEST_P(BothComposers, MissingTemplateIs245AndTheOldMessageStays) {
  ASSERT_TRUE(work.Write("SMSMessage.bin", "old"));
  panel.Word(DeviceLW, kMask) = 1;
  Remember();
  EXPECT_EQ(Call(), 0);
  EXPECT_EQ(Error(), ErrTemplateRead);
  std::string bytes;
  ASSERT_TRUE(work.Read("SMSMessage.bin", &bytes));
  EXPECT_EQ(bytes, "old");
  EXPECT_EQ(panel.Word(DeviceLW, 6003), 0x103) << "flags as they were";
  EXPECT_EQ(panel.Word(DeviceLW, 6005), 0x105) << "state as it was";
}

TEST_P(BothComposers, UnreadableMaskIs242) {
  ASSERT_TRUE(work.Write("SMSProfile_3.bin", TemplateFile("T", {{1, "A"}})));
  panel.readFault = {textComposer ? 2 : 1, false, 0};
  EXPECT_EQ(Call(), 0);
  EXPECT_EQ(Error(), ErrRegisterRead);
  std::string bytes;
  EXPECT_FALSE(work.Read("SMSMessage.bin", &bytes));
}

// Every allocation, file operation and register access failed in turn:
// either the right message or a documented code, with the previous message
// file intact unless the new one was complete; nothing held.
TEST_P(BothComposers, UnderFaults) {
  FaultPoints points = SweepEveryFault(GetParam(), panel, [&](const SweepRun& run) {
    ASSERT_TRUE(run.work->Write("SMSProfile_3.bin", TemplateFile("T", {{1, "A"}, {1, "B"}})));
    ASSERT_TRUE(run.work->Write("SMSMessage.bin", "previous"));
    for (int i = 0; i < 8; ++i) panel.Word(DeviceLW, 6000 + i) = static_cast<std::uint16_t>(0x100 + i);
    panel.Word(DeviceLW, kMask) = 3;
    Remember();
    EXPECT_EQ(Call(), 0);
    if (textComposer) {
      ExpectChangesOnlyIn({{DeviceLW, 6000, 8}});
    } else {
      ExpectChangesOnlyIn({{DeviceLW, kError, 1}});
    }
    std::string bytes;
    ASSERT_TRUE(run.work->Read("SMSMessage.bin", &bytes));
    bool fresh = MessageText(bytes) == u"[T]\n1. A\n2. B\n";
    std::uint16_t code = Error();
    if (panel.WordsChangedSince(words).empty()) {
      // Nothing reached the registers: the block could not be read (nothing
      // done) or the result could not be written (the message is there).
      ASSERT_TRUE(RegisterFault(run) && FaultFired(run));
      if (run.kind == FaultKind::RegisterRead) {
        EXPECT_EQ(bytes, "previous");
      } else {
        EXPECT_TRUE(fresh);
      }
      return;
    }
    if (code == 0) {
      EXPECT_TRUE(fresh);
      if (textComposer) {
        EXPECT_EQ(panel.Word(DeviceLW, 6003), 0x103 | MessageReady);
      }
      return;
    }
    EXPECT_TRUE(FaultFired(run));
    if (textComposer) {
      EXPECT_EQ(panel.Word(DeviceLW, 6003), 0x103) << "MessageReady only after success";
    }
    switch (code) {
      case ErrOutOfMemory: case ErrTemplateRead: case ErrFileCreate: case ErrRegisterRead:
        EXPECT_EQ(bytes, "previous") << code;
        break;
      case ErrRegisterWrite:
        // LW 6007 refused the 0 after the file was written.
        EXPECT_FALSE(textComposer);
        EXPECT_TRUE(fresh);
        break;
      default:
        ADD_FAILURE() << "undocumented code " << code;
    }
  });
  EXPECT_GT(points.alloc, 0);
  EXPECT_GT(points.file, 0);
  EXPECT_GT(points.read, 0);
  EXPECT_GT(points.write, 0);
}

class TextComposer : public Composer {
 protected:
  void SetUp() override { Use("srv_compose_text"); }
};

TEST_F(TextComposer, NoListedEventGivesTheAllClearMessage) {
  EXPECT_EQ(Compose(TemplateFile("T", {{1, "A"}}), 0), u"[T]\nОК.");
  EXPECT_EQ(Compose(TemplateFile("", {{1, "A"}}), 0), u"ОК.");
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Flags() & MessageReady, static_cast<std::uint32_t>(MessageReady));
}

TEST_F(TextComposer, SuccessSetsMessageReadyAndKeepsTheRestOfTheBlock) {
  panel.Word(DeviceLW, kError) = 0x77;
  Compose(TemplateFile("T", {{1, "A"}}), 1);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(panel.Word(DeviceLW, 6003), 0x103 | MessageReady);
  for (int a : {6000, 6001, 6002, 6004, 6005, 6006}) {
    EXPECT_EQ(panel.Word(DeviceLW, a), 0x100 + (a - 6000)) << a;
  }
}

TEST_F(TextComposer, UnreadableControlBlockWritesNothing) {
  ASSERT_TRUE(work.Write("SMSProfile_3.bin", TemplateFile("T", {{1, "A"}})));
  panel.readFault = {1, false, 0};
  Remember();
  EXPECT_EQ(Call(), 0);
  EXPECT_TRUE(panel.WordsChangedSince(words).empty());
  std::string bytes;
  EXPECT_FALSE(work.Read("SMSMessage.bin", &bytes));
}

class EventsComposer : public Composer {
 protected:
  void SetUp() override { Use("srv_compose_events"); }
};

TEST_F(EventsComposer, NoListedEventIs240AndNoFile) {
  ASSERT_TRUE(work.Write("SMSMessage.bin", "previous"));
  panel.Word(DeviceLW, kMask) = 0;
  ASSERT_TRUE(work.Write("SMSProfile_3.bin", TemplateFile("T", {{0, "A"}})));
  for (std::uint16_t mask : {0, 1}) {
    panel.Word(DeviceLW, kMask) = mask;
    Remember();
    EXPECT_EQ(Call(), 0);
    EXPECT_EQ(Error(), ErrNoEvents);
    ExpectChangesOnlyIn({{DeviceLW, kError, 1}});
    std::string bytes;
    ASSERT_TRUE(work.Read("SMSMessage.bin", &bytes));
    EXPECT_EQ(bytes, "previous");
  }
}

TEST_F(EventsComposer, SuccessWritesOnlyLw6007) {
  panel.Word(DeviceLW, kError) = 0x77;
  Compose(TemplateFile("T", {{1, "A"}}), 1);
  EXPECT_EQ(Error(), 0);
  for (const auto& a : panel.log) {
    if (a.write) {
      EXPECT_EQ(a.address, kError);
    }
    if (!a.write) {
      EXPECT_EQ(a.address, kMask) << "reads only the event mask";
    }
  }
}

TEST_F(EventsComposer, AFailedSuccessWriteIsReportedAs241) {
  ASSERT_TRUE(work.Write("SMSProfile_3.bin", TemplateFile("T", {{1, "A"}})));
  panel.Word(DeviceLW, kMask) = 1;
  panel.writeFault = {1, false, 0};
  EXPECT_EQ(Call(), 0);
  EXPECT_EQ(Error(), ErrRegisterWrite);
  std::string bytes;
  EXPECT_TRUE(work.Read("SMSMessage.bin", &bytes)) << "the message was written before";
}

}  // namespace
