// A fixture for plug-in tests: the plug-in loaded from this target's plugins
// folder, a panel prefilled with a canary pattern, a fresh working folder, and
// a check that nothing outside the plug-in's documented registers changed.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/catalog.h"
#include "host/faults.h"
#include "host/panel.h"
#include "host/plugin.h"
#include "host/workdir.h"
#include "support.h"

namespace testing_support {

inline constexpr std::uint16_t kCanaryWord = 0xA55A;
inline constexpr std::uint8_t kCanaryBit = 0x5A;

// A documented register window: `count` elements of `device` from `first`.
struct Window {
  int device;
  int first;
  int count;
};

class PluginTest : public ::testing::Test {
 protected:
  // Loads `name`; skips the test when this target does not build it.
  void LoadPlugin(const std::string& name) {
    const host::CatalogEntry* e = host::FindDeliverable(name);
    ASSERT_NE(e, nullptr) << name << " is not a deliverable";
    if (!BuiltHere(*e)) GTEST_SKIP() << name << " is a PC build only";
    plugin = LoadOrFail(PluginPath(name));
    ASSERT_TRUE(plugin);
  }

  // Prefills every register with the canary and remembers the state.
  void Canary() {
    panel.Fill(kCanaryWord, kCanaryBit);
    Remember();
  }

  void Remember() {
    words = panel.SnapshotWords();
    bits = panel.SnapshotBits();
  }

  int Call(const host::MacroCall& call = host::MacroCall{}) { return plugin->Call(panel, call); }

  // Fails for every word or bit changed since Remember() outside `allowed`.
  void ExpectChangesOnlyIn(const std::vector<Window>& allowed) {
    auto inside = [&allowed](int device, int address) {
      for (const Window& w : allowed) {
        if (w.device == device && address >= w.first && address < w.first + w.count) return true;
      }
      return false;
    };
    int reported = 0;
    for (auto [d, a] : panel.WordsChangedSince(words)) {
      if (!inside(d, a) && reported++ < 10) ADD_FAILURE() << "word " << d << ":" << a << " changed";
    }
    for (auto [d, a] : panel.BitsChangedSince(bits)) {
      if (!inside(d, a) && reported++ < 10) ADD_FAILURE() << "bit " << d << ":" << a << " changed";
    }
  }

  void ExpectNothingHeld() {
    EXPECT_EQ(host::Calls().stats.openFiles, 0) << "files left open";
    EXPECT_EQ(host::Calls().stats.liveAllocations, 0) << "allocations not released";
  }

  host::Panel panel;
  host::WorkDir work;
  std::unique_ptr<host::Plugin> plugin;
  std::vector<std::uint16_t> words;
  std::vector<std::uint8_t> bits;
};

}  // namespace testing_support
