// The runtime linked into the 15-word plug-ins, called directly against the
// substitute host's panel.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/panel.h"
#include "macro/bytes.h"
#include "macro/draw.h"
#include "macro/modem.h"
#include "macro/registers.h"
#include "macro/server.h"

namespace {

TEST(SetMacroVector, SingleBitOrZero) {
  struct Case {
    std::uint16_t n;
    std::uint16_t want;
  } cases[] = {{0, 1}, {1, 2}, {7, 128}, {13, 8192}, {15, 32768}, {16, 0}, {31, 0}, {32, 0},
               {255, 0}, {65535, 0}};
  for (const Case& c : cases) EXPECT_EQ(SetMacroVector(c.n), c.want) << "n=" << c.n;
}

TEST(Trim1, CutsSpacesAtBothEndsOnly) {
  struct Case {
    const char* in;
    const char* want;
  } cases[] = {
      {"LW", "LW"},       {"  LW", "LW"},       {"LW  ", "LW"},     {" LW ", "LW"},
      {"L W", "L W"},     {"L W  ", "L W"},     {"", ""},           {"    ", ""},
      {"\tLW", "\tLW"},   {"LW\t", "LW\t"},     {" a  b ", "a  b"},
  };
  for (const Case& c : cases) EXPECT_STREQ(trim1(c.in), c.want) << "'" << c.in << "'";
}

TEST(Trim1, KeepsAtMost4095Characters) {
  std::string longName(5000, 'x');
  const char* t = trim1(longName.c_str());
  EXPECT_EQ(std::strlen(t), 4095u);
  std::string trailing = std::string(4095, 'y') + "     ";
  EXPECT_EQ(std::strlen(trim1(trailing.c_str())), 4095u);
}

class RuntimeOnPanel : public ::testing::Test {
 protected:
  host::Panel panel;
  HostVector Vector() { return panel.ExtendedVector(); }
};

struct NameCase {
  const char* name;
  bool write;
  int code;  // 0: no host call
  int kind;
};

TEST_F(RuntimeOnPanel, DeviceNamesReachTheHostAsCodeAndKind) {
  const NameCase cases[] = {
      {"LW", false, 255, 2},    {" LW ", false, 255, 2},  {"LW", true, 255, 2},
      {"lw", false, 0, 0},      {"L W", false, 0, 0},     {"", false, 0, 0},
      {"LB", true, 254, 0},     {"RW", false, 253, 2},    {"RB", false, 252, 0},
      {"RWI", false, 251, 2},   {"RBI", false, 250, 0},   {"LW.B", false, 249, 0},
      {"LW.B", true, 0, 0},     {"LW.b", true, 249, 0},   {"LW.b", false, 0, 0},
      {"ERW0", false, 248, 2},  {"ERW1", false, 247, 2},  {"ERW2", false, 246, 2},
      {"ERWI0", false, 245, 2}, {"ERWI1", false, 244, 2}, {"ERWI2", false, 243, 2},
      {"FRW", true, 242, 2},    {"FRB", false, 241, 0},   {"FRWI", false, 240, 2},
      {"FRBI", false, 239, 0},  {"FRBI2", false, 0, 0},   {"XW", true, 0, 0},
  };
  for (const NameCase& c : cases) {
    panel.log.clear();
    std::uint16_t buffer[1] = {0xBEEF};
    int r = c.write ? xWriteLocal(Vector(), c.name, 7, 1, buffer, 0)
                    : xReadLocal(Vector(), c.name, 7, 1, buffer, 0);
    SCOPED_TRACE(std::string(c.name) + (c.write ? " write" : " read"));
    if (c.code == 0) {
      EXPECT_EQ(r, 0);
      EXPECT_TRUE(panel.log.empty());
      EXPECT_EQ(buffer[0], 0xBEEF) << "a refused read leaves the buffer alone";
      continue;
    }
    ASSERT_EQ(panel.log.size(), 1u);
    EXPECT_EQ(panel.log[0].device, c.code);
    EXPECT_EQ(panel.log[0].kind, c.kind);
    EXPECT_EQ(panel.log[0].address, 7);
    EXPECT_EQ(panel.log[0].count, 1);
    EXPECT_EQ(panel.log[0].write, c.write);
  }
}

TEST_F(RuntimeOnPanel, HostResultIsPassedOnUnchanged) {
  panel.readFault = {1, true, 2};
  std::uint16_t w = 0;
  EXPECT_EQ(xReadLocal(Vector(), "LW", 0, 1, &w, 0), 2);
  panel.writeFault = {1, true, 0};
  EXPECT_EQ(xWriteLocal(Vector(), "LW", 0, 1, &w, 0), 0);
  panel.readFault = {};
  EXPECT_EQ(xReadLocal(Vector(), "LW", 0, 1, &w, 0), 1);
}

TEST_F(RuntimeOnPanel, WordsAreLittleEndianLowWordFirst) {
  panel.SetTicks(0x12345678u);
  EXPECT_EQ(panel.Word(DeviceLW, 9034), 0x5678);
  EXPECT_EQ(panel.Word(DeviceLW, 9035), 0x1234);
  EXPECT_EQ(ReadTickCounter(Vector()), 0x12345678u);
  std::uint8_t bytes[4];
  ASSERT_EQ(xReadLocal(Vector(), "LW", 9034, 2, bytes, 0), 1);
  EXPECT_EQ(GetU32(bytes), 0x12345678u);
}

TEST_F(RuntimeOnPanel, ModemCommandIsZeroFilledAndCutAt200Bytes) {
  panel.Fill(0xA5A5, 0);
  PlaceModemCommand(Vector(), "AT\r\n");
  EXPECT_EQ(panel.GetText(DeviceLW, 0, 100), "AT\r\n");
  for (int i = 2; i < 100; ++i) ASSERT_EQ(panel.Word(DeviceLW, i), 0) << i;
  EXPECT_EQ(panel.Word(DeviceLW, 100), 0xA5A5) << "the reply area is not the command's";

  std::string full(250, 'Z');
  PlaceModemCommand(Vector(), full.c_str());
  EXPECT_EQ(panel.GetText(DeviceLW, 0, 100), std::string(200, 'Z'));
  EXPECT_EQ(panel.Word(DeviceLW, 100), 0xA5A5);

  ClearModemReply(Vector());
  for (int i = 100; i < 200; ++i) ASSERT_EQ(panel.Word(DeviceLW, i), 0) << i;
  EXPECT_EQ(panel.Word(DeviceLW, 200), 0xA5A5);

  RaiseTransmitRequest(Vector());
  EXPECT_EQ(panel.Bit(DeviceLB, 0), 1);
  const auto& last = panel.log.back();
  EXPECT_EQ(last.device, DeviceLB);
  EXPECT_EQ(last.kind, KindBit);
  EXPECT_EQ(last.count, 1);

  NoteChainSentTick(Vector(), 0x00020003u);
  EXPECT_EQ(panel.Word(DeviceLW, 1007), 3);
  EXPECT_EQ(panel.Word(DeviceLW, 1008), 2);

  std::uint8_t flag = 0;
  RaiseTransmitFlag(reinterpret_cast<MacroWord>(&flag));
  EXPECT_EQ(flag, 1);
  RaiseTransmitFlag(0);  // no flag record: nothing to do
}

// Colours, pens and brushes.

TEST(Colors, DepthConversion) {
  struct Case {
    int depth;
    std::uint32_t in;
    std::uint32_t want;
  } cases[] = {
      {16, 0xFF8040u, (31u << 11) | (32u << 5) | 8u},
      {16, 0xFFFFFFu, 0xFFFFu},
      {8, 0xFFFFFFu, 0xFFFFFFu},
      {8, 0x000000u, 0u},
      {8, 0xFF0000u, 0x939393u},  // sqrt(255*255/3) = 147.2
      {8, 0x102030u, 0x222222u},  // sqrt((256+1024+2304)/3) = 34.5
      {24, 0x123456u, 0x123456u},
      {32, 0xFF00FFu, 0xFF00FFu},
      {0, 0xABCDEFu, 0xABCDEFu},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ConvertColor(c.depth, c.in), c.want) << "depth " << c.depth << " colour " << c.in;
  }
  EXPECT_EQ(RGBGray(255, 255, 255), 0xFFFFFFu);
}

PenParam Pen(int style, int width, std::uint32_t color = 0) {
  return PenParam{static_cast<std::int32_t>((static_cast<std::uint32_t>(width) << 16) |
                                            (static_cast<std::uint32_t>(style) & 0xFFFFu)),
                  color};
}

TEST(Pens, StyleAndWidthAreClamped) {
  struct Case {
    int style, width, wantStyle, wantWidth;
  } cases[] = {{9, 0, 5, 1}, {-2, 12, 0, 8}, {3, 4, 3, 4}, {5, 8, 5, 8}, {0, 1, 0, 1},
               {-32768, -5, 0, 1}, {32767, 32767, 5, 8}};
  for (const auto& c : cases) {
    PenParam p = Pen(c.style, c.width, 0x123456);
    CheckPenParam(24, &p);
    EXPECT_EQ(p.styleWidth, Pen(c.wantStyle, c.wantWidth).styleWidth)
        << "style " << c.style << " width " << c.width;
    EXPECT_EQ(p.color, 0x123456u);
  }
}

TEST(Brushes, StyleIsClampedToItsRange) {
  struct Case {
    std::int32_t style, want;
  } cases[] = {{300, 276}, {30, 27}, {-1, 256}, {0, 0}, {27, 27}, {256, 256}, {0x100 | 5, 261},
               {0x1FF, 276}, {0x200, 27}};
  for (const auto& c : cases) {
    BrushParam b{c.style, 0, 0};
    CheckBrushParam(24, &b);
    EXPECT_EQ(b.style, c.want) << "style " << c.style;
  }
}

TEST(Brushes, BothColoursFollowTheDepth) {
  BrushParam b{0, 0xFF8040u, 0xFFFFFFu};
  CheckBrushParam(16, &b);
  EXPECT_EQ(b.color1, (31u << 11) | (32u << 5) | 8u);
  EXPECT_EQ(b.color2, 0xFFFFu);
}

TEST_F(RuntimeOnPanel, DrawingWrappersClampAndPassOn) {
  panel.colorDepth = 16;
  panel.drawResult = 42;
  PenParam pen = Pen(9, 0, 0xFF8040u);
  BrushParam brush{300, 0xFFFFFFu, 0};
  const std::int32_t wantPen = Pen(5, 1).styleWidth;
  const long long wantColor = (31 << 11) | (32 << 5) | 8;

  EXPECT_EQ(DrawLinex(Vector(), 1, 2, 3, 4, pen), 42);
  EXPECT_EQ(DrawRectx(Vector(), 1, 2, 3, 4, pen, brush), 42);
  EXPECT_EQ(DrawRndRectx(Vector(), 1, 2, 3, 4, 5, pen, brush), 42);
  EXPECT_EQ(DrawPolygx(Vector(), 77, -3, pen, brush), 42);
  EXPECT_EQ(DrawEclipsx(Vector(), 1, 2, 3, 4, pen, brush), 42);
  EXPECT_EQ(DrawArcx(Vector(), 1, 2, 3, 4, 30, 90, pen), 42);
  EXPECT_EQ(DrawPiex(Vector(), 1, 2, 3, 4, 30, 90, pen, brush), 42);
  EXPECT_EQ(DrawPolygx(Vector(), 77, 0, pen, brush), 42);

  using V = std::vector<long long>;
  const V b{276, 0xFFFF, 0};
  auto cat = [](V a, const V& more) {
    a.insert(a.end(), more.begin(), more.end());
    return a;
  };
  const V p{wantPen, wantColor};
  const std::vector<std::pair<int, V>> want = {
      {4, cat({1, 2, 3, 4}, p)},
      {5, cat(cat({1, 2, 3, 4}, p), b)},
      {6, cat(cat({1, 2, 3, 4, 5}, p), b)},
      {7, cat(cat({77, 1}, p), b)},
      {8, cat(cat({1, 2, 3, 4}, p), b)},
      {9, cat({1, 2, 3, 4, 270, 330}, p)},
      {10, cat(cat({1, 2, 3, 4, 270, 330}, p), b)},
      {7, cat(cat({77, 1}, p), b)},
  };
  // Every wrapper asks for the colour depth first, then calls its own slot.
  ASSERT_EQ(panel.drawCalls.size(), want.size() * 2);
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(panel.drawCalls[2 * i].slot, 11);
    EXPECT_EQ(panel.drawCalls[2 * i + 1].slot, want[i].first) << i;
    EXPECT_EQ(panel.drawCalls[2 * i + 1].args, want[i].second) << "slot " << want[i].first;
  }
}

TEST_F(RuntimeOnPanel, SqlWrappersNeedTheFeatureBit) {
  panel.features = 0x3;  // every bit but FeatureSql
  panel.sqlResult = 9;
  EXPECT_EQ(SqlExex(Vector(), 1, 2), 0);
  EXPECT_EQ(SqlSelectx(Vector(), 1, 2, 3, 4, 5), 0);
  SqlFreex(Vector(), 1);
  EXPECT_TRUE(panel.drawCalls.empty());

  panel.features = FeatureSql;
  EXPECT_EQ(SqlExex(Vector(), 1, 2), 9);
  EXPECT_EQ(SqlSelectx(Vector(), 1, 2, 3, 4, 5), 9);
  SqlFreex(Vector(), 6);
  ASSERT_EQ(panel.drawCalls.size(), 3u);
  EXPECT_EQ(panel.drawCalls[0].slot, 12);
  EXPECT_EQ(panel.drawCalls[0].args, (std::vector<long long>{1, 2}));
  EXPECT_EQ(panel.drawCalls[1].slot, 13);
  EXPECT_EQ(panel.drawCalls[1].args, (std::vector<long long>{1, 2, 3, 4, 5}));
  EXPECT_EQ(panel.drawCalls[2].slot, 14);
  EXPECT_EQ(panel.drawCalls[2].args, (std::vector<long long>{6}));
}

// Register helpers of the server plug-ins.

TEST(SetErrorTest, StoresLow16BitsOrRefusesNull) {
  std::uint16_t code = 7;
  EXPECT_EQ(SetError(0x1F2, &code), 0);
  EXPECT_EQ(code, 0x1F2);
  EXPECT_EQ(SetError(0x12345, &code), 0);
  EXPECT_EQ(code, 0x2345);
  EXPECT_EQ(SetError(255, nullptr), -1);
}

TEST_F(RuntimeOnPanel, LoadProfileReadsWordsOrRecords242) {
  for (int i = 0; i < 4; ++i) panel.Word(DeviceLW, 6100 + i) = static_cast<std::uint16_t>(i + 1);
  std::uint16_t buf[4] = {9, 9, 9, 9};
  std::uint16_t code = 0;
  EXPECT_EQ(LoadProfile(buf, 6100, Vector(), &code), 0);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(buf[3], 4);

  for (int hostResult : {0, 2}) {
    panel.readFault = {1, true, hostResult};
    std::uint16_t again[4] = {9, 9, 9, 9};
    code = 0;
    EXPECT_EQ(LoadProfile(again, 6100, Vector(), &code), -1);
    EXPECT_EQ(code, ErrRegisterRead);
    EXPECT_EQ(again[0], 0) << "zeros when the host wrote nothing";
  }
  panel.readFault = {};
  code = 0;
  EXPECT_EQ(LoadProfile(std::span<std::uint16_t>(), 6100, Vector(), &code), -1);
  EXPECT_EQ(code, ErrNullArgument);
}

TEST_F(RuntimeOnPanel, SaveProfileWritesWordsOrRecords241) {
  std::uint16_t buf[2] = {0x1234, 0x5678};
  std::uint16_t code = 0;
  EXPECT_EQ(SaveProfile(buf, 6007, Vector(), &code), 0);
  EXPECT_EQ(panel.Word(DeviceLW, 6008), 0x5678);
  panel.writeFault = {panel.writes + 1, false, 0};
  EXPECT_EQ(SaveProfile(buf, 6007, Vector(), &code), -1);
  EXPECT_EQ(code, ErrRegisterWrite);
}

// The frame of a block-reading call: read the view, work, write it back.
class BlockCall : public RuntimeOnPanel {
 protected:
  void SetUp() override {
    panel.Fill(0xC3C3, 0);
    for (int i = 0; i < 14; ++i) panel.Word(DeviceLW, 6000 + i) = static_cast<std::uint16_t>(100 + i);
    before = panel.SnapshotWords();
  }
  std::vector<std::uint16_t> before;
};

TEST_F(BlockCall, ReadFailureLeavesEveryWordAlone) {
  panel.readFault = {1, false, 0};
  ServerControlBlock block{};
  EXPECT_EQ(BeginBlockCall(Vector(), block, kTransmitterViewWords), -1);
  EXPECT_EQ(block.word[BlockError], ErrControlBlockRead);
  EXPECT_EQ(panel.SnapshotWords(), before);
}

TEST_F(BlockCall, SuccessWritesTheViewBackWithFlagsAndCode) {
  ServerControlBlock block{};
  ASSERT_EQ(BeginBlockCall(Vector(), block, kBlockViewWords), 0);
  EXPECT_EQ(BlockFlagsOf(block), (104u << 16) | 103u);
  SetBlockFlags(block, BlockFlagsOf(block) | MessageReady);
  EndBlockCall(Vector(), block, kBlockViewWords, false, 0, true, 0);
  EXPECT_EQ(panel.Word(DeviceLW, 6003), 103 | MessageReady);
  EXPECT_EQ(panel.Word(DeviceLW, 6007), 0);
  EXPECT_EQ(panel.Word(DeviceLW, 6008), 108) << "an 8-word view ends at LW 6007";
  for (int a : {6000, 6001, 6002, 6004, 6005, 6006}) {
    EXPECT_EQ(panel.Word(DeviceLW, a), a - 6000 + 100) << a;
  }
}

TEST_F(BlockCall, FailureWithoutCodeEndsAs255AndResetsState) {
  ServerControlBlock block{};
  ASSERT_EQ(BeginBlockCall(Vector(), block, kTransmitterViewWords), 0);
  SetBlockFlags(block, ScriptReady | SchedulerArmed);
  EndBlockCall(Vector(), block, kTransmitterViewWords, true, 0, true, ScriptReady);
  EXPECT_EQ(panel.Word(DeviceLW, 6007), ErrGeneric);
  EXPECT_EQ(panel.GetPair(DeviceLW, 6005), StateIdle);
  EXPECT_EQ(panel.GetPair(DeviceLW, 6003), SchedulerArmed);
  EXPECT_EQ(panel.Word(DeviceLW, 6012), 112);
}

TEST_F(BlockCall, FailureKeepsARecordedCode) {
  ServerControlBlock block{};
  ASSERT_EQ(BeginBlockCall(Vector(), block, kBlockViewWords), 0);
  EndBlockCall(Vector(), block, kBlockViewWords, true, ErrTemplateRead, false, 0);
  EXPECT_EQ(panel.Word(DeviceLW, 6007), ErrTemplateRead);
  EXPECT_EQ(panel.GetPair(DeviceLW, 6005), (106u << 16) | 105u) << "state kept";
}

TEST_F(BlockCall, ErrorWordOnlyCallTouchesLw6007Alone) {
  EndErrorWordCall(Vector(), false, 0);
  auto after = panel.SnapshotWords();
  std::size_t changed = 0;
  for (std::size_t i = 0; i < after.size(); ++i) changed += after[i] != before[i];
  EXPECT_EQ(changed, 1u);
  EXPECT_EQ(panel.Word(DeviceLW, 6007), 0);
  EndErrorWordCall(Vector(), true, 0);
  EXPECT_EQ(panel.Word(DeviceLW, 6007), ErrGeneric);
  EndErrorWordCall(Vector(), true, ErrNoEvents);
  EXPECT_EQ(panel.Word(DeviceLW, 6007), ErrNoEvents);
  ASSERT_EQ(panel.log.size(), 3u);
  for (const auto& a : panel.log) {
    EXPECT_TRUE(a.write);
    EXPECT_EQ(a.address, 6007);
    EXPECT_EQ(a.count, 1);
  }
}

}  // namespace
