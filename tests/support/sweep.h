// Fault sweeps: run a scenario with the Nth call of a class failing, for
// N = 1, 2, ... until a run sees no fault, once failing only that call and
// once failing every call from it on. Every run must end with the correct
// result or a documented failure, and must release what it opened.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "host/faults.h"
#include "host/workdir.h"

namespace testing_support {

struct SweepRun {
  const host::WorkDir* work;  // the run's fresh working folder
  int nth;
  bool persistent;
};

// `scenario` prepares its files in the fresh working folder, runs and checks
// the outcome for the run it is told about. Returns how many fault points the
// sweep exercised.
// Whether the current run has failed a call of the class yet.
inline bool FaultFired(host::CallClass cls) {
  return host::Calls().stats.failed[static_cast<int>(cls)] > 0;
}

inline int FaultSweep(host::CallClass cls, const std::function<void(const SweepRun&)>& scenario,
                      int limit = 200) {
  int points = 0;
  for (bool persistent : {false, true}) {
    for (int n = 1; n <= limit; ++n) {
      host::WorkDir work;
      host::ResetCalls();
      host::Calls().fault[static_cast<int>(cls)] = host::CallFault{n, persistent};
      // The scenario arms the plug-in call itself; counters only see its calls.
      SweepRun run{&work, n, persistent};
      scenario(run);
      bool fired = host::Calls().stats.failed[static_cast<int>(cls)] > 0;
      EXPECT_EQ(host::Calls().stats.openFiles, 0) << "files left open, N=" << n;
      EXPECT_EQ(host::Calls().stats.liveAllocations, 0) << "memory held, N=" << n;
      host::Calls().fault[static_cast<int>(cls)] = host::CallFault{};
      if (!fired) break;
      ++points;
      if (::testing::Test::HasFailure()) {
        ADD_FAILURE() << "at fault N=" << n << (persistent ? " (persistent)" : " (once)");
        return points;
      }
    }
  }
  return points;
}

}  // namespace testing_support
