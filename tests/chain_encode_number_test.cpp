// The phone number encoder: destination-address texts in RW 30 + 10i, the
// stop at the first invalid number, the stop after five numbers because the
// sixth input is the first result, and storage faults.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chain_support.h"
#include "sweep.h"

namespace {

using testing_support::ChainPluginTest;
using testing_support::GetBytes;
using testing_support::PutBytes;

class NumberEncoder : public ChainPluginTest {
 protected:
  void SetUp() override {
    LoadFresh("link_encode_number");
    if (IsSkipped() || HasFatalFailure()) return;
    Canary();
  }

  void PutNumbers(std::uint16_t count, const std::vector<std::string>& numbers) {
    panel.Word(DeviceRW, kPhoneCountAddress) = count;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
      std::string ten = numbers[i];
      ten.resize(10, '\0');
      PutBytes(panel, DeviceRW, kPhoneNumberAddress + 5 * static_cast<int>(i), ten);
    }
    Remember();
  }

  // The twenty bytes of destination address i.
  std::string Address(int i) {
    return GetBytes(panel, DeviceRW, kDestinationAddress + kDestinationWords * i, kDestinationWords);
  }

  static std::string Encoded(const std::string& sixteen) { return sixteen + std::string(4, '\0'); }
};

TEST_F(NumberEncoder, EncodesInternationalNumbersWithCountryCodeSeven) {
  PutNumbers(3, {"9123456789", "0000000000", "9876543210"});
  EXPECT_EQ(Call(), 0);
  EXPECT_EQ(Address(0), Encoded("0B919721436587F9"));
  EXPECT_EQ(Address(1), Encoded("0B910700000000F0"));
  EXPECT_EQ(Address(2), Encoded("0B919778563412F0"));
  ExpectChangesOnlyIn({{DeviceRW, kDestinationAddress, 3 * kDestinationWords}});
  ExpectNothingHeld();
}

// The inputs of numbers 5 and above lie in the output area: the sixth input
// is the first result, which is not ten digits.
TEST_F(NumberEncoder, StopsAfterFiveNumbers) {
  PutNumbers(7, {"9000000001", "9000000002", "9000000003", "9000000004", "9000000005",
                 "9000000006", "9000000007"});
  EXPECT_EQ(Call(), 0);
  EXPECT_EQ(Address(0), Encoded("0B919700000000F1"));
  EXPECT_EQ(Address(4), Encoded("0B919700000000F5"));
  ExpectChangesOnlyIn({{DeviceRW, kDestinationAddress, 5 * kDestinationWords}});
  ExpectNothingHeld();
}

TEST_F(NumberEncoder, TheFirstInvalidNumberEndsTheCall) {
  struct Case {
    const char* name;
    std::string second;
  } cases[] = {
      {"nine digits", "912345678"},
      {"a space among the ten", "91234 6789"},
      {"a NUL among the ten", std::string("91234\0" "6789", 10)},
      {"a letter", "91234a6789"},
      {"empty", ""},
  };
  for (const Case& c : cases) {
    Canary();
    PutNumbers(3, {"9123456789", c.second, "9876543210"});
    EXPECT_EQ(Call(), 0);
    EXPECT_EQ(Address(0), Encoded("0B919721436587F9")) << c.name;
    ExpectChangesOnlyIn({{DeviceRW, kDestinationAddress, kDestinationWords}});
  }
  ExpectNothingHeld();
}

TEST_F(NumberEncoder, NoNumbersWriteNothing) {
  PutNumbers(0, {"9123456789"});
  EXPECT_EQ(Call(), 0);
  ExpectChangesOnlyIn({});
}

// The number buffer first, then one result per number: a failure stops the
// call there and earlier results stay. Register results are not examined: a
// count that cannot be read is 0, a number that cannot be read is no number
// and stops the call, a result that cannot be written is skipped.
TEST_F(NumberEncoder, UnderFaults) {
  const std::string want[3] = {Encoded("0B919721436587F9"), Encoded("0B919700000000F2"),
                               Encoded("0B919778563412F0")};
  std::string untouched;  // ten canary words
  for (int i = 0; i < kDestinationWords; ++i) untouched += "\x5A\xA5";
  testing_support::FaultPoints points = testing_support::SweepEveryFault(
      "link_encode_number", panel, [&](const testing_support::SweepRun& run) {
        Canary();
        PutNumbers(3, {"9123456789", "9000000002", "9876543210"});
        EXPECT_EQ(Call(), 0);
        ExpectChangesOnlyIn({{DeviceRW, kDestinationAddress, 3 * kDestinationWords}});
        bool fired = testing_support::FaultFired(run);
        int written = 3;
        if (run.kind == testing_support::FaultKind::Alloc && fired) written = run.nth - 2 < 0 ? 0 : run.nth - 2;
        bool prefix = true;  // results stop at the first number not encoded
        for (int i = 0; i < 3; ++i) {
          std::string a = Address(i);
          if (a == want[i]) {
            EXPECT_TRUE(prefix || run.kind == testing_support::FaultKind::RegisterWrite) << "result " << i;
            continue;
          }
          EXPECT_EQ(a, untouched)
              << "result " << i << " neither encoded nor left alone";
          prefix = false;
          if (i < written && run.kind == testing_support::FaultKind::Alloc) ADD_FAILURE() << "result " << i;
        }
        if (!fired) {
          EXPECT_TRUE(prefix);
        }
      });
  EXPECT_EQ(points.alloc, 8);
  EXPECT_EQ(points.read, 2 * 4) << "the count and three numbers";
  EXPECT_EQ(points.write, 2 * 3);
}

}  // namespace
