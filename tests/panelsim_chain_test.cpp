// panelsim chain: its exit status follows the messages it sent, and it
// refuses texts and numbers that do not fit the recipe registers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../tools/panelsim/commands.h"
#include "support.h"

std::string panelsim::DefaultPluginDir() { return MACRO_PLUGIN_DIR; }

namespace {

using Args = std::vector<std::string>;

TEST(PanelsimChain, SucceedsOnlyWhenEveryMessageGotThrough) {
  if (testing_support::PanelTarget()) GTEST_SKIP() << "the sequencer is a PC build only";
  EXPECT_EQ(panelsim::RunChain(Args{}), 0) << "the sample recipe";
  EXPECT_EQ(panelsim::RunChain(Args{"--title", "Котельная", "--alarm", "Насос 1", "--alarm", "Door",
                                    "--mask-a", "2", "--phone", "9161234567", "--messages", "2"}),
            0);
  EXPECT_EQ(panelsim::RunChain(Args{"--silent", "AT+CMGS", "--messages", "2", "--timeout", "2"}), 1)
      << "the first message fails";
  EXPECT_EQ(panelsim::RunChain(Args{"--phone", "12345"}), 1) << "no valid number: the builder fails";
  EXPECT_EQ(panelsim::RunChain(Args{"--help"}), 0);
  EXPECT_EQ(panelsim::RunChain(Args{"--quiet", "--calls"}), 0);
}

TEST(PanelsimChain, RejectsWhatDoesNotFit) {
  const Args wrong[] = {{"--alarm", std::string(21, 'x')},
                        {"--title", "123456789012345678901"},
                        {"--phone", "91234567890"},
                        {"--mask-a", "65536"},
                        {"--messages", "0"},
                        {"--timeout"},
                        {"--colour", "red"}};
  for (const Args& a : wrong) EXPECT_EQ(panelsim::RunChain(a), 2) << a[0];
  Args many;
  for (int i = 0; i < 17; ++i) many.insert(many.end(), {"--alarm", "a"});
  EXPECT_EQ(panelsim::RunChain(many), 2);
}

}  // namespace
