// srv_dispatch: when a send is raised, and what it remembers of it.
#include <gtest/gtest.h>

#include "macro/codes.h"
#include "plugin_fixture.h"
#include "server_files.h"
#include "sweep.h"

namespace {

using namespace testing_support;

constexpr int kFlags = 6003, kState = 6005, kError = 6007, kMask = 5999;

class Dispatch : public PluginTest {
 protected:
  void SetUp() override {
    LoadPlugin("srv_dispatch");
    if (IsSkipped()) return;
    Canary();
    for (int i = 0; i < 8; ++i) panel.Word(DeviceLW, 6000 + i) = 0;
  }

  // One call with these settings, mask and tick. Returns whether a send was
  // raised (SendDue set by this call).
  bool Tick(int mode, int interval, std::uint16_t mask, std::uint32_t now, int enabled = 1) {
    EXPECT_TRUE(work.Write("SMSProfile_1.bin", SendSettingsFile(enabled, mode, interval, 3)));
    panel.Word(DeviceLW, kMask) = mask;
    panel.SetTicks(now);
    panel.SetPair(DeviceLW, kFlags, SchedulerArmed);
    panel.SetPair(DeviceLW, kState, 12);
    Remember();
    host::ResetCalls();
    EXPECT_EQ(Call(), 0);
    ExpectChangesOnlyIn({{DeviceLW, 6000, 8}});
    ExpectNothingHeld();
    EXPECT_EQ(host::Calls().stats.calls[0], 0) << "the scheduler allocates nothing";
    bool raised = (Flags() & SendDue) != 0;
    if (raised) {
      EXPECT_EQ(Flags() & SchedulerArmed, 0u) << "a raised send disarms the scheduler";
    }
    return raised;
  }

  std::string Profile() {
    std::string s;
    EXPECT_TRUE(work.Read("SMSServerProfile.bin", &s));
    return s;
  }
  std::uint16_t Error() { return panel.Word(DeviceLW, kError); }
  std::uint32_t Flags() { return panel.GetPair(DeviceLW, kFlags); }
};

TEST_F(Dispatch, SchedulingOffOnlyDisarms) {
  EXPECT_FALSE(Tick(0, 0, 5, 1000, 0));
  EXPECT_EQ(Flags(), 0u);
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(panel.GetPair(DeviceLW, kState), 12u) << "a successful call keeps the state";
  std::string s;
  EXPECT_FALSE(work.Read("SMSServerProfile.bin", &s)) << "neither read nor created";
}

TEST_F(Dispatch, FirstSendCreatesTheProfile) {
  EXPECT_TRUE(Tick(0, 0, 5, 0x00012345));
  EXPECT_EQ(Error(), 0);
  EXPECT_EQ(Profile(), ServerProfileFile(5, 0x00012345, 0x00012345));
}

TEST_F(Dispatch, ModeZeroSendsWhileAnyEventIsActiveAtMostOncePerInterval) {
  ASSERT_TRUE(work.Write("SMSServerProfile.bin", ServerProfileFile(1, 1000, 1000)));
  struct Step {
    std::uint16_t mask;
    std::uint32_t now;
    bool raised;
  } steps[] = {
      {0, 100000, false},   // nothing active: never
      {1, 1000 + 1199, false},
      {1, 1000 + 1200, true},  // interval 2: exactly 1200 ticks later
      {1, 2200 + 600, false},
      {3, 2200 + 1200, true},
  };
  for (const Step& s : steps) {
    EXPECT_EQ(Tick(0, 2, s.mask, s.now), s.raised) << "mask " << s.mask << " at " << s.now;
  }
  EXPECT_EQ(Profile(), ServerProfileFile(3, 3400, 3400));
}

TEST_F(Dispatch, ModeOneSendsWhenTheMaskChanges) {
  ASSERT_TRUE(work.Write("SMSServerProfile.bin", ServerProfileFile(5, 1000, 1000)));
  EXPECT_FALSE(Tick(1, 1, 5, 1000000)) << "same mask, however late";
  EXPECT_FALSE(Tick(1, 1, 4, 1000 + 599)) << "changed, but inside the interval";
  EXPECT_EQ(Profile(), ServerProfileFile(5, 1000, 1000)) << "nothing stored without a send";
  EXPECT_TRUE(Tick(1, 1, 4, 1000 + 600));
  EXPECT_FALSE(Tick(1, 0, 4, 5000));
  EXPECT_TRUE(Tick(1, 0, 0, 5001)) << "events clearing is a change too";
}

TEST_F(Dispatch, ACounterThatWentBackCountsFromZero) {
  ASSERT_TRUE(work.Write("SMSServerProfile.bin", ServerProfileFile(0, 500000, 500000)));
  EXPECT_FALSE(Tick(0, 1, 1, 599));
  EXPECT_TRUE(Tick(0, 1, 1, 600));
  EXPECT_EQ(Profile(), ServerProfileFile(1, 600, 600));
}

TEST_F(Dispatch, Failures) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    int mode;
    std::uint16_t code;
  } cases[] = {
      {"mode 2", [] {}, 2, ErrBadState},
      {"mask unreadable", [this] { panel.readFault = {panel.reads + 2, false, 0}; }, 0,
       ErrRegisterRead},
      {"server profile unopenable",
       [this] {
         ASSERT_TRUE(work.Write("SMSServerProfile.bin", ServerProfileFile(0, 0, 0)));
         host::Calls();
       },
       -1, ErrServerProfileRead},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.arrange();
    if (c.mode == -1) {
      // existence test, settings open/read/close, then the profile's open fails
      ASSERT_TRUE(work.Write("SMSProfile_1.bin", SendSettingsFile(1, 0, 0, 3)));
      panel.SetPair(DeviceLW, kState, 12);
      host::ResetCalls();
      host::Calls().fault[1] = host::CallFault{6, false};
      EXPECT_EQ(Call(), 0);
      host::Calls().fault[1] = host::CallFault{};
    } else {
      Tick(c.mode, 0, 1, 1000);
    }
    EXPECT_EQ(Error(), c.code);
    EXPECT_EQ(panel.GetPair(DeviceLW, kState), 0u) << "a stop resets the state";
    EXPECT_EQ(Flags() & SendDue, 0u);
  }
  std::remove("SMSProfile_1.bin");
  panel.SetPair(DeviceLW, kState, 12);
  EXPECT_EQ(Call(), 0);
  EXPECT_EQ(Error(), ErrSendSettingsRead);
}

// Every file operation and register access failed in turn (the scheduler
// allocates nothing): a raised send, or a documented code with the last send
// still the one remembered.
TEST_F(Dispatch, UnderFaults) {
  FaultPoints points = SweepEveryFault("srv_dispatch", panel, [&](const SweepRun& run) {
    ASSERT_TRUE(run.work->Write("SMSProfile_1.bin", SendSettingsFile(1, 1, 0, 3)));
    ASSERT_TRUE(run.work->Write("SMSServerProfile.bin", ServerProfileFile(1, 10, 10)));
    for (int i = 0; i < 8; ++i) panel.Word(DeviceLW, 6000 + i) = 0;
    panel.Word(DeviceLW, kMask) = 2;
    panel.SetTicks(5000);
    Remember();
    EXPECT_EQ(Call(), 0);
    ExpectChangesOnlyIn({{DeviceLW, 6000, 8}});
    std::string profile;
    ASSERT_TRUE(run.work->Read("SMSServerProfile.bin", &profile));
    std::uint16_t code = Error();
    bool fired = FaultFired(run);
    if (panel.WordsChangedSince(words).empty()) {
      // The block could not be read (nothing done), or the write-back failed
      // after the send was recorded: the send is lost with it.
      ASSERT_TRUE(RegisterFault(run) && fired);
      EXPECT_EQ(profile, run.kind == FaultKind::RegisterRead ? ServerProfileFile(1, 10, 10)
                                                             : ServerProfileFile(2, 5000, 5000));
      return;
    }
    if (code == 0) {
      EXPECT_NE(Flags() & SendDue, 0u);
      // An unreadable tick counter reads as 0: the send is recorded at tick 0.
      bool zeroTick = run.kind == FaultKind::RegisterRead && fired;
      EXPECT_EQ(profile, zeroTick ? ServerProfileFile(2, 0, 0) : ServerProfileFile(2, 5000, 5000));
      return;
    }
    EXPECT_TRUE(fired);
    EXPECT_TRUE(code == ErrSendSettingsRead || code == ErrServerProfileRead || code == ErrFileCreate ||
                code == ErrRegisterRead)
        << code;
    EXPECT_EQ(code == ErrRegisterRead, run.kind == FaultKind::RegisterRead) << code;
    EXPECT_EQ(Flags() & SendDue, 0u);
    EXPECT_EQ(panel.GetPair(DeviceLW, kState), 0u);
    EXPECT_EQ(profile, ServerProfileFile(1, 10, 10)) << "the last send is still the one remembered";
  });
  EXPECT_EQ(points.alloc, 0);
  EXPECT_GT(points.file, 4);
  EXPECT_EQ(points.read, 2 * 3) << "block, mask, tick counter; once and from there on";
  EXPECT_EQ(points.write, 2);
}

}  // namespace
