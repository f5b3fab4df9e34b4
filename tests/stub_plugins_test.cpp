// The empty plug-ins: loaded from this target's plugins folder, called with
// every kind of parameter, they return 0 and touch no register, no record,
// no flag and no file.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/catalog.h"
#include "host/faults.h"
#include "host/panel.h"
#include "host/workdir.h"
#include "support.h"
#include "sweep.h"

namespace {

const char* const kStubs[] = {"srv_build_script_stub", "panel_common_stub", "panel_title_stub",
                              "net_service_stub"};

class StubPlugin : public ::testing::TestWithParam<const char*> {};

TEST_P(StubPlugin, ReturnsZeroAndTouchesNothing) {
  const host::CatalogEntry* entry = host::FindDeliverable(GetParam());
  ASSERT_NE(entry, nullptr);
  if (!testing_support::BuiltHere(*entry)) {
    GTEST_SKIP() << GetParam() << " is a PC build only";
  }
  auto plugin = testing_support::LoadOrFail(testing_support::PluginPath(GetParam()));
  ASSERT_TRUE(plugin);
  EXPECT_EQ(plugin->vectorWords(), entry->vectorWords);

  host::Panel panel;
  panel.Fill(0x5AA5, 0xA5);  // canary everywhere
  for (auto& w : panel.record) w = 0x3CC3;
  panel.transmitFlag = 0x77;
  panel.SetTicks(0x00C0FFEEu);
  const auto words = panel.SnapshotWords();
  const auto bits = panel.SnapshotBits();
  const auto record = panel.record;

  const MacroWord patterns[][8] = {
      {0, 0, 0, 0, 0, 0, 0, 0},
      {1, 2, 3, 4, 5, 6, 7, 8},
      {~MacroWord{0}, ~MacroWord{0}, ~MacroWord{0}, ~MacroWord{0}, ~MacroWord{0}, ~MacroWord{0},
       ~MacroWord{0}, ~MacroWord{0}},
  };
  host::WorkDir work;
  host::ResetCalls();
  for (const auto& p : patterns) {
    host::MacroCall call;
    std::memcpy(call.word, p, sizeof call.word);
    call.hostPointers = false;
    EXPECT_EQ(plugin->Call(panel, call), 0);
  }
  EXPECT_EQ(plugin->Call(panel), 0) << "with the host's flag and record behind words 4 and 6";

  EXPECT_TRUE(panel.log.empty()) << "register accesses: " << panel.log.size();
  EXPECT_TRUE(panel.drawCalls.empty());
  EXPECT_TRUE(panel.WordsChangedSince(words).empty());
  EXPECT_TRUE(panel.BitsChangedSince(bits).empty());
  EXPECT_EQ(panel.record, record);
  EXPECT_EQ(panel.transmitFlag, 0x77);
  const host::CallStats& s = host::Calls().stats;
  EXPECT_EQ(s.calls[0], 0) << "allocations";
  EXPECT_EQ(s.calls[1], 0) << "file calls";
  EXPECT_TRUE(work.Files().empty());

  // Nothing to fail: no sweep finds a fault point.
  testing_support::FaultPoints points =
      testing_support::SweepEveryFault(GetParam(), panel, [&](const testing_support::SweepRun&) {
        EXPECT_EQ(plugin->Call(panel), 0);
      });
  EXPECT_EQ(points.total(), 0);
}

INSTANTIATE_TEST_SUITE_P(Empty, StubPlugin, ::testing::ValuesIn(kStubs),
                         [](const auto& info) { return std::string(info.param); });

// The plugins folder holds what this target ships.
TEST(PluginsFolder, HoldsEveryStubBuiltForThisTarget) {
  std::string ext = host::PluginFileName("");
  std::vector<std::string> present = host::ListFiles(MACRO_PLUGIN_DIR);
  for (const char* name : kStubs) {
    const host::CatalogEntry* e = host::FindDeliverable(name);
    bool there = std::find(present.begin(), present.end(), name + ext) != present.end();
    EXPECT_EQ(there, testing_support::BuiltHere(*e)) << name;
  }
  for (const std::string& f : present) {
    ASSERT_GT(f.size(), ext.size());
    std::string name = f.substr(0, f.size() - ext.size());
    const host::CatalogEntry* e = host::FindDeliverable(name);
    ASSERT_NE(e, nullptr) << f << " is not a deliverable";
    EXPECT_TRUE(testing_support::BuiltHere(*e)) << f << " does not belong in this build";
  }
}

}  // namespace
