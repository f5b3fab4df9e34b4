// panelsim phonebook: the command's register image reaches the file as the
// help describes it, and its exit status follows the result word.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../tools/panelsim/commands.h"
#include "host/workdir.h"
#include "support.h"

std::string panelsim::DefaultPluginDir() { return MACRO_PLUGIN_DIR; }

namespace {

using Args = std::vector<std::string>;

TEST(PanelsimPhonebook, SavesTheEntriesGivenAndLoadsThemBack) {
  host::WorkDir work;
  EXPECT_EQ(panelsim::RunPhonebook(Args{"load"}), 1) << "no file yet: result 254";
  EXPECT_EQ(panelsim::RunPhonebook(Args{"save", "--dir", work.path(), "--entry", "Alice 123",
                                        "--entry", "Bob", "--in-use", "1"}),
            0);
  std::string file;
  ASSERT_TRUE(work.Read("panel_phone_book.bin", &file));
  std::string want(542, '\0');
  want[0] = 1;
  want.replace(2, 9, "Alice 123");  // entry 1 is not in use: zeros
  EXPECT_EQ(file, want);
  EXPECT_EQ(panelsim::RunPhonebook(Args{"load", "--dir", work.path()}), 0);

  EXPECT_EQ(panelsim::RunPhonebook(Args{"save", "--entry", "A", "--entry", "B"}), 0);
  ASSERT_TRUE(work.Read("panel_phone_book.bin", &file));
  EXPECT_EQ(file.substr(0, 3), std::string("\2\0A", 3)) << "in use defaults to the entries given";
  EXPECT_EQ(file.substr(182, 1), "B");
}

TEST(PanelsimPhonebook, RejectsWrongArguments) {
  host::WorkDir work;
  const Args wrong[] = {{},
                        {"store"},
                        {"load", "--entry", "x"},
                        {"save", "--in-use", "-1"},
                        {"save", "--in-use", "70000"},
                        {"save", "--entry", std::string(181, 'x')},
                        {"save", "--entry", "1", "--entry", "2", "--entry", "3", "--entry", "4"},
                        {"save", "--dir"}};
  for (const Args& a : wrong) EXPECT_EQ(panelsim::RunPhonebook(a), 2) << a.size();
  EXPECT_TRUE(work.Files().empty());
  EXPECT_EQ(panelsim::RunPhonebook(Args{"save", "--dir", work.path() + "/absent"}), 1);
}

}  // namespace
