// The data-file and register helpers of the server plug-ins, run inside a
// plug-in built like the shipped ones, with the C library calls of that
// plug-in counted and failed on demand.
#include <gtest/gtest.h>

#include <string>

#include "host/faults.h"
#include "host/panel.h"
#include "host/workdir.h"
#include "macro/codes.h"
#include "probe.h"
#include "support.h"
#include "sweep.h"

namespace {

using host::CallClass;
using testing_support::FaultFired;
using testing_support::FaultSweep;
using testing_support::SweepRun;

class Helpers : public ::testing::Test {
 protected:
  void SetUp() override {
    probe = testing_support::LoadOrFail(testing_support::TestPluginPath("runtime_probe"));
    ASSERT_TRUE(probe != nullptr);
    ASSERT_GT(probe->interposed(), 0) << "the probe's C library calls must be redirected";
  }

  // Runs one helper in the probe. `code` starts as given.
  ProbeRequest Run(ProbeRequest r) {
    host::MacroCall call;
    call.word[0] = reinterpret_cast<MacroWord>(&r);
    EXPECT_EQ(probe->Call(panel, call), 0);
    return r;
  }

  ProbeRequest Load(const char* path, std::string& buffer, int offset = -1) {
    ProbeRequest r{};
    r.op = offset < 0 ? ProbeLoadData : ProbeLoadDataAt;
    r.path = path;
    r.buffer = reinterpret_cast<std::uint8_t*>(buffer.data());
    r.length = static_cast<std::uint32_t>(buffer.size());
    r.offset = offset < 0 ? 0 : offset;
    return Run(r);
  }

  ProbeRequest Write(ProbeOp op, const char* path, std::string data, int offset = 0) {
    ProbeRequest r{};
    r.op = op;
    r.path = path;
    r.buffer = reinterpret_cast<std::uint8_t*>(data.data());
    r.length = static_cast<std::uint32_t>(data.size());
    r.offset = offset;
    return Run(r);
  }

  static std::string Contents(const host::WorkDir& w, const std::string& name) {
    std::string s;
    EXPECT_TRUE(w.Read(name, &s)) << name;
    return s;
  }

  host::Panel panel;
  std::unique_ptr<host::Plugin> probe;
};

TEST_F(Helpers, LoadDataZeroFillsPastTheEndOfTheFile) {
  struct Case {
    const char* name;
    std::string file;
    int offset;  // -1: four-argument form
    std::string want;
  } cases[] = {
      {"short file", std::string("\x01\x02", 2), -1, std::string("\x01\x02", 2) + std::string(8, '\0')},
      {"exact", "0123456789", -1, "0123456789"},
      {"longer file", "0123456789ABC", -1, "0123456789"},
      {"offset inside", "0123456789ABC", 5, "56789ABC" + std::string(2, '\0')},
      {"offset at end", "0123", 4, std::string(10, '\0')},
      {"offset past end", "0123", 100, std::string(10, '\0')},
      {"empty file", "", -1, std::string(10, '\0')},
  };
  for (const Case& c : cases) {
    host::WorkDir work;
    ASSERT_TRUE(work.Write("f.bin", c.file));
    std::string buffer(10, '\x55');
    ProbeRequest r = Load("f.bin", buffer, c.offset);
    EXPECT_EQ(r.result, 0) << c.name;
    EXPECT_EQ(r.code, 0) << c.name;
    EXPECT_EQ(buffer, c.want) << c.name;
  }
}

TEST_F(Helpers, LoadDataOfAMissingFileZeroesAndRecords254) {
  host::WorkDir work;
  for (int offset : {-1, 3}) {
    std::string buffer(6, '\x55');
    ProbeRequest r = Load("absent.bin", buffer, offset);
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(r.code, ErrFileMissing);
    EXPECT_EQ(buffer, std::string(6, '\0'));
  }
  EXPECT_TRUE(work.Files().empty());
}

TEST_F(Helpers, LoadDataRejectsNullArguments) {
  host::WorkDir work;
  std::string buffer(4, 'x');
  ProbeRequest r = Load(nullptr, buffer);
  EXPECT_EQ(r.result, -1);
  EXPECT_EQ(r.code, ErrNullArgument);
  ProbeRequest noBuffer{};
  noBuffer.op = ProbeLoadData;
  noBuffer.path = "f.bin";
  noBuffer.length = 4;
  r = Run(noBuffer);
  EXPECT_EQ(r.code, ErrNullArgument);
}

TEST_F(Helpers, ANullOutPointerStillFailsButRecordsNothing) {
  host::WorkDir work;
  std::string buffer(4, 'x');
  ProbeRequest r{};
  r.op = ProbeLoadData;
  r.path = "absent.bin";
  r.buffer = reinterpret_cast<std::uint8_t*>(buffer.data());
  r.length = 4;
  r.code = 77;
  r.nullOut = 1;
  r = Run(r);
  EXPECT_EQ(r.result, -1);
  EXPECT_EQ(r.code, 77);
}

// LoadData makes an existence test, an open, a seek, a read and a close.
TEST_F(Helpers, LoadDataFaultsEndInADocumentedCode) {
  int points = FaultSweep(CallClass::File, [&](const SweepRun& run) {
    ASSERT_TRUE(run.work->Write("f.bin", "0123456789"));
    std::string buffer(6, '\x55');
    ProbeRequest r = Load("f.bin", buffer, 2);
    if (!FaultFired(CallClass::File)) {
      EXPECT_EQ(r.result, 0);
      EXPECT_EQ(buffer, "234567");
      return;
    }
    if (r.result == 0) {
      // Only a failed close after a complete read may still succeed.
      EXPECT_EQ(buffer, "234567");
      return;
    }
    EXPECT_TRUE(r.code == ErrFileMissing || r.code == ErrFileOpen || r.code == ErrFileSeek)
        << r.code;
    EXPECT_EQ(buffer, std::string(6, '\0')) << "a failed load leaves no partial data";
  });
  EXPECT_GE(points, 8);
}

TEST_F(Helpers, LoadDataSeekFailureIs232AndOpenFailureIs253) {
  struct Case {
    int nth;  // 1 existence test, 2 open, 3 seek
    std::uint16_t code;
  } cases[] = {{1, ErrFileMissing}, {2, ErrFileOpen}, {3, ErrFileSeek}, {4, ErrFileOpen}};
  for (const Case& c : cases) {
    host::WorkDir work;
    ASSERT_TRUE(work.Write("f.bin", "0123456789"));
    host::ResetCalls();
    host::Calls().fault[1] = host::CallFault{c.nth, false};
    std::string buffer(4, 'x');
    ProbeRequest r = Load("f.bin", buffer, 1);
    host::Calls().fault[1] = host::CallFault{};
    EXPECT_EQ(r.result, -1) << c.nth;
    EXPECT_EQ(r.code, c.code) << c.nth;
    EXPECT_EQ(host::Calls().stats.openFiles, 0);
  }
}

TEST_F(Helpers, SaveDataCreatesAndReplacesWholeFiles) {
  host::WorkDir work;
  EXPECT_EQ(Write(ProbeSaveData, "s.bin", "first version").result, 0);
  EXPECT_EQ(Contents(work, "s.bin"), "first version");
  EXPECT_EQ(Write(ProbeSaveData, "s.bin", "v2").result, 0);
  EXPECT_EQ(Contents(work, "s.bin"), "v2");
  EXPECT_EQ(work.Files(), std::vector<std::string>{"s.bin"}) << "no temporary file is left";
  ProbeRequest r = Write(ProbeSaveData, nullptr, "x");
  EXPECT_EQ(r.result, -1);
  EXPECT_EQ(r.code, ErrNullArgument);
}

// A failed save reports 243 and leaves the previous file exactly as it was.
TEST_F(Helpers, SaveDataNeverReportsSuccessForLostDataNorDestroysTheOldFile) {
  int points = FaultSweep(CallClass::File, [&](const SweepRun& run) {
    ASSERT_TRUE(run.work->Write("s.bin", "previous settings"));
    ProbeRequest r = Write(ProbeSaveData, "s.bin", "new settings!");
    std::string now = Contents(*run.work, "s.bin");
    if (r.result == 0) {
      EXPECT_EQ(now, "new settings!");
    } else {
      EXPECT_EQ(r.code, ErrFileCreate);
      EXPECT_EQ(now, "previous settings");
      if (!run.persistent) {
        EXPECT_EQ(run.work->Files(), std::vector<std::string>{"s.bin"});
      }
    }
    if (FaultFired(CallClass::File) && r.result == 0) {
      ADD_FAILURE() << "a failed file call was reported as a saved file";
    }
  });
  EXPECT_GE(points, 6);
}

TEST_F(Helpers, AppendDataNeedsAnExistingFile) {
  host::WorkDir work;
  ProbeRequest r = Write(ProbeAppendData, "a.bin", "tail");
  EXPECT_EQ(r.result, -1);
  EXPECT_EQ(r.code, ErrFileMissing);
  EXPECT_TRUE(work.Files().empty()) << "append never creates the file";
  ASSERT_TRUE(work.Write("a.bin", "head-"));
  EXPECT_EQ(Write(ProbeAppendData, "a.bin", "tail").result, 0);
  EXPECT_EQ(Contents(work, "a.bin"), "head-tail");
}

TEST_F(Helpers, AppendDataChecksItsWrite) {
  int points = FaultSweep(CallClass::File, [&](const SweepRun& run) {
    ASSERT_TRUE(run.work->Write("a.bin", "head-"));
    ProbeRequest r = Write(ProbeAppendData, "a.bin", "tail");
    std::string now = Contents(*run.work, "a.bin");
    if (!FaultFired(CallClass::File)) {
      EXPECT_EQ(r.result, 0);
      EXPECT_EQ(now, "head-tail");
      return;
    }
    EXPECT_EQ(r.result, -1) << "a failed call is never success";
    EXPECT_TRUE(r.code == ErrFileMissing || r.code == ErrFileUpdateOpen) << r.code;
    EXPECT_TRUE(now == "head-" || now == "head-tail") << now;
  });
  EXPECT_GE(points, 6);
}

TEST_F(Helpers, BeforeDataOverwritesInPlaceWithoutTruncating) {
  host::WorkDir work;
  ASSERT_TRUE(work.Write("b.bin", "0123456789"));
  EXPECT_EQ(Write(ProbeBeforeData, "b.bin", "AB", 0).result, 0);
  EXPECT_EQ(Contents(work, "b.bin"), "AB23456789");
  EXPECT_EQ(Write(ProbeBeforeData, "b.bin", "xy", 8).result, 0);
  EXPECT_EQ(Contents(work, "b.bin"), "AB234567xy");
  ProbeRequest r = Write(ProbeBeforeData, "none.bin", "xy", 0);
  EXPECT_EQ(r.code, ErrFileMissing);
  EXPECT_EQ(work.Files(), std::vector<std::string>{"b.bin"});
}

TEST_F(Helpers, BeforeDataChecksSeekAndWrite) {
  int points = FaultSweep(CallClass::File, [&](const SweepRun& run) {
    ASSERT_TRUE(run.work->Write("b.bin", "0123456789"));
    ProbeRequest r = Write(ProbeBeforeData, "b.bin", "AB", 4);
    std::string now = Contents(*run.work, "b.bin");
    if (!FaultFired(CallClass::File)) {
      EXPECT_EQ(r.result, 0);
      EXPECT_EQ(now, "0123AB6789");
      return;
    }
    EXPECT_EQ(r.result, -1);
    EXPECT_TRUE(r.code == ErrFileMissing || r.code == ErrFileUpdateOpen || r.code == ErrFileSeek)
        << r.code;
    EXPECT_EQ(now.size(), 10u) << "never truncated";
  });
  EXPECT_GE(points, 6);
}

TEST_F(Helpers, LoadSaveDataWritesOrReadsWithTheGivenMode) {
  host::WorkDir work;
  std::string data = "abc";
  ProbeRequest r{};
  r.op = ProbeLoadSaveData;
  r.path = "m.bin";
  r.buffer = reinterpret_cast<std::uint8_t*>(data.data());
  r.length = 3;
  r.direction = 1;
  r.mode = "wb";
  EXPECT_EQ(Run(r).result, 0);
  EXPECT_EQ(Contents(work, "m.bin"), "abc");
  std::string back(3, '\0');
  r.buffer = reinterpret_cast<std::uint8_t*>(back.data());
  r.direction = 0;
  r.mode = "rb";
  EXPECT_EQ(Run(r).result, 0);
  EXPECT_EQ(back, "abc");
  r.path = "absent.bin";
  ProbeRequest failed = Run(r);
  EXPECT_EQ(failed.result, -1);
  EXPECT_EQ(failed.code, ErrFileUpdateOpen);
  r.mode = nullptr;
  EXPECT_EQ(Run(r).code, ErrNullArgument);
}

TEST_F(Helpers, LoadSaveDataReportsAFailedWrite) {
  FaultSweep(CallClass::File, [&](const SweepRun&) {
    std::string data = "abc";
    ProbeRequest r{};
    r.op = ProbeLoadSaveData;
    r.path = "m.bin";
    r.buffer = reinterpret_cast<std::uint8_t*>(data.data());
    r.length = 3;
    r.direction = 1;
    r.mode = "wb";
    r = Run(r);
    if (FaultFired(CallClass::File)) {
      EXPECT_EQ(r.result, -1);
      EXPECT_EQ(r.code, ErrFileUpdateOpen);
    } else {
      EXPECT_EQ(r.result, 0);
    }
  });
}

TEST_F(Helpers, HelpersAllocateNothing) {
  host::WorkDir work;
  ASSERT_TRUE(work.Write("f.bin", "0123456789"));
  host::ResetCalls();
  std::string buffer(4, 'x');
  Load("f.bin", buffer);
  Write(ProbeSaveData, "g.bin", "data");
  Write(ProbeAppendData, "g.bin", "more");
  Write(ProbeBeforeData, "g.bin", "D", 0);
  EXPECT_EQ(host::Calls().stats.calls[0], 0);
  EXPECT_EQ(Contents(work, "g.bin"), "Datamore");
}

TEST_F(Helpers, ModemCommandGoesOutThroughTheProbe) {
  panel.SetTicks(123456);
  ProbeRequest r{};
  r.op = ProbeModemCommand;
  r.mode = "AT+CMGF=0\r\n";
  r = Run(r);
  EXPECT_EQ(r.result, 123456);
  EXPECT_EQ(panel.GetText(DeviceLW, 0, 100), "AT+CMGF=0\r\n");
  EXPECT_EQ(panel.Bit(DeviceLB, 0), 1);
}

}  // namespace
