// Fault sweeps: run a scenario with the Nth call of a class failing, for
// N = 1, 2, ... until a run sees no fault, once failing only that call and
// once failing every call from it on. Every run must end with the correct
// result or a documented failure, and must release what it opened.
//
// The classes are a plug-in's allocations and file operations (counted and
// failed by the loader's redirection of its imports) and its register reads
// and writes (failed by the panel). SweepEveryFault runs all four and counts
// the fault points per plug-in for the reliability figures: each test
// program writes its counts to MACRO_RELIABILITY_DIR/<program>.tsv when it
// ends.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <string>

#include "host/faults.h"
#include "host/panel.h"
#include "host/plugin.h"
#include "host/workdir.h"

namespace testing_support {

enum class FaultKind { Alloc, File, RegisterRead, RegisterWrite };

inline const char* FaultKindName(FaultKind k) {
  switch (k) {
    case FaultKind::Alloc: return "alloc";
    case FaultKind::File: return "file";
    case FaultKind::RegisterRead: return "register-read";
    case FaultKind::RegisterWrite: return "register-write";
  }
  return "?";
}

struct SweepRun {
  const host::WorkDir* work;  // the run's fresh working folder
  int nth;
  bool persistent;
  FaultKind kind = FaultKind::Alloc;
  host::Panel* panel = nullptr;  // register sweeps: the panel and its count before the run
  int base = 0;
};

// Whether the current run has failed a call of the class yet.
inline bool FaultFired(host::CallClass cls) {
  return host::Calls().stats.failed[static_cast<int>(cls)] > 0;
}

// Whether the run's fault has hit: its call class failed a call, or the
// plug-in made the Nth register access of the direction.
inline bool FaultFired(const SweepRun& run) {
  switch (run.kind) {
    case FaultKind::Alloc: return FaultFired(host::CallClass::Alloc);
    case FaultKind::File: return FaultFired(host::CallClass::File);
    case FaultKind::RegisterRead: return run.panel->reads - run.base >= run.nth;
    case FaultKind::RegisterWrite: return run.panel->writes - run.base >= run.nth;
  }
  return false;
}

inline bool RegisterFault(const SweepRun& run) {
  return run.kind == FaultKind::RegisterRead || run.kind == FaultKind::RegisterWrite;
}

// `scenario` prepares its files in the fresh working folder, runs and checks
// the outcome for the run it is told about. Returns how many fault points the
// sweep exercised.
inline int FaultSweep(host::CallClass cls, const std::function<void(const SweepRun&)>& scenario,
                      int limit = 200) {
  int points = 0;
  for (bool persistent : {false, true}) {
    for (int n = 1; n <= limit; ++n) {
      host::WorkDir work;
      host::ResetCalls();
      host::Calls().fault[static_cast<int>(cls)] = host::CallFault{n, persistent};
      // The scenario arms the plug-in call itself; counters only see its calls.
      SweepRun run{&work, n, persistent,
                   cls == host::CallClass::Alloc ? FaultKind::Alloc : FaultKind::File};
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

// The same for the panel's register reads or writes: the Nth access of the
// direction the scenario makes returns 0 without touching anything, and with
// `persistent` every later one too.
inline int RegisterSweep(host::Panel& panel, FaultKind kind,
                         const std::function<void(const SweepRun&)>& scenario, int limit = 200) {
  int points = 0;
  bool write = kind == FaultKind::RegisterWrite;
  for (bool persistent : {false, true}) {
    for (int n = 1; n <= limit; ++n) {
      host::WorkDir work;
      host::ResetCalls();
      int base = write ? panel.writes : panel.reads;
      (write ? panel.writeFault : panel.readFault) = host::RegisterFault{base + n, persistent, 0};
      SweepRun run{&work, n, persistent, kind, &panel, base};
      scenario(run);
      bool fired = FaultFired(run);
      panel.readFault = host::RegisterFault{};
      panel.writeFault = host::RegisterFault{};
      EXPECT_EQ(host::Calls().stats.openFiles, 0) << "files left open, N=" << n;
      EXPECT_EQ(host::Calls().stats.liveAllocations, 0) << "memory held, N=" << n;
      if (!fired) break;
      ++points;
      if (::testing::Test::HasFailure()) {
        ADD_FAILURE() << "at " << FaultKindName(kind) << " fault N=" << n
                      << (persistent ? " (persistent)" : " (once)");
        return points;
      }
    }
  }
  return points;
}

// Fault points exercised, by kind.
struct FaultPoints {
  int alloc = 0;
  int file = 0;
  int read = 0;
  int write = 0;
  int total() const { return alloc + file + read + write; }
};

// The points of every sweep of this program, by plug-in.
inline std::map<std::string, FaultPoints>& FaultTally() {
  static std::map<std::string, FaultPoints> tally;
  return tally;
}

// Writes the tally when the program's tests are done.
class FaultTallyWriter : public ::testing::Environment {
 public:
  void TearDown() override {
    if (FaultTally().empty()) return;
    std::ofstream out(host::NativePath(MACRO_RELIABILITY_DIR) + "/" + MACRO_TEST_NAME + ".tsv",
                      std::ios::binary | std::ios::trunc);
    for (const auto& [plugin, p] : FaultTally()) {
      out << plugin << "\talloc\t" << p.alloc << "\n" << plugin << "\tfile\t" << p.file << "\n"
          << plugin << "\tregister\t" << p.read + p.write << "\n";
    }
  }
};

inline const bool kFaultTallyRegistered =
    (::testing::AddGlobalTestEnvironment(new FaultTallyWriter), true);

// Runs `scenario` under every kind of fault in turn (allocations, file
// operations, register reads, register writes), adds the points to the
// tally under `plugin` and returns them. The scenario sees which kind hit
// in run.kind; FaultFired(run) says whether it did.
inline FaultPoints SweepEveryFault(const std::string& plugin, host::Panel& panel,
                                   const std::function<void(const SweepRun&)>& scenario,
                                   int limit = 200) {
  FaultPoints p;
  p.alloc = FaultSweep(host::CallClass::Alloc, scenario, limit);
  p.file = FaultSweep(host::CallClass::File, scenario, limit);
  p.read = RegisterSweep(panel, FaultKind::RegisterRead, scenario, limit);
  p.write = RegisterSweep(panel, FaultKind::RegisterWrite, scenario, limit);
  FaultPoints& t = FaultTally()[plugin];
  t.alloc += p.alloc;
  t.file += p.file;
  t.read += p.read;
  t.write += p.write;
  return p;
}

}  // namespace testing_support
