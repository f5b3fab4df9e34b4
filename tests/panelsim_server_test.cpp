// panelsim demo, send and compose, called as functions: their exit codes for
// good and bad command lines. What they print comes from the pipeline whose
// results the pipeline tests check.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands.h"
#include "host/workdir.h"

std::string panelsim::DefaultPluginDir() { return MACRO_PLUGIN_DIR; }

namespace {

using Args = std::vector<std::string>;

TEST(PanelsimServer, DemoAndSendDeliver) {
  host::WorkDir work;  // the commands make their own working folder inside
  EXPECT_EQ(panelsim::RunDemo({"--quiet"}), 0);
  EXPECT_EQ(panelsim::RunDemo({"--chain", "word", "--quiet"}), 0);
  EXPECT_EQ(panelsim::RunSend({"--to", "9161112233", "--title", "Цех", "--event", "Авария",
                               "--event", "Дверь", "--active", "0,1", "--quiet"}),
            0);
  EXPECT_EQ(panelsim::RunCompose({"--title", "T", "--event", "A", "--mask", "0x1"}), 0);
  EXPECT_TRUE(work.Files().empty()) << "nothing left in the caller's folder";
}

TEST(PanelsimServer, SendReportsAMessageThatCannotGo) {
  // The error-word composer makes no message without an active event.
  EXPECT_EQ(panelsim::RunSend({"--to", "9161112233", "--event", "A", "--mask", "0", "--chain",
                               "word", "--quiet"}),
            1);
}

TEST(PanelsimServer, RejectsBadCommandLines) {
  const Args bad[] = {
      {"--to", "12x", "--event", "A"},
      {"--to", "12345678901", "--event", "A"},
      {"--to", "1", "--to", "2", "--to", "3", "--to", "4", "--event", "A"},
      {"--to", "1", "--title", "123456789012345678901"},
      {"--to", "1", "--event", "Двадцать один символ!"},
      {"--to", "1", "--mask", "70000"},
      {"--to", "1", "--active", "16"},
      {"--to", "1", "--active", "1,,2"},
      {"--to", "1", "--chain", "other"},
      {"--to", "1", "--unknown", "x"},
      {"--to"},
      {"--event", "A"},
  };
  for (const Args& a : bad) {
    std::string line;
    for (const auto& s : a) line += s + " ";
    EXPECT_EQ(panelsim::RunSend(a), 2) << line;
  }
}

}  // namespace
