// When the host takes a real modem's answer as complete.
#include <gtest/gtest.h>

#include "host/serial.h"

namespace {

TEST(SerialAnswer, FinalResultCodesAndThePrompt) {
  struct Case {
    const char* bytes;
    bool final;
  } cases[] = {
      {"AT\r\r\nOK\r\n", true},
      {"\r\nOK\r\n", true},
      {"\r\nERROR\r\n", true},
      {"\r\n+CMS ERROR: 304\r\n", true},
      {"\r\n+CME ERROR: 10\r\n", true},
      {"\r\n> ", true},
      {"\r\n+CMGS: 5\r\n", false},       // the result code is still to come
      {"\r\n+CMGS: 5\r\n\r\nOK\r\n", true},
      {"\r\nOK", false},                  // the line is not ended yet
      {"\r\n+CSQ: 20,99\r\n", false},
      {"", false},
      {"\r\nNO CARRIER\r\n", true},
      {"\r\nOKAY\r\n", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(host::IsFinalModemAnswer(c.bytes), c.final) << host::VisibleText(c.bytes);
  }
}

}  // namespace
