// The substitute host itself: register areas, faults on demand, the access
// log and the loader's redirection of a plug-in's C library calls.
#include <gtest/gtest.h>

#include "host/catalog.h"
#include "host/faults.h"
#include "host/panel.h"
#include "host/workdir.h"
#include "probe.h"
#include "support.h"

namespace {

TEST(Panel, RefusesAccessOutsideAnAreaOrOfTheWrongKind) {
  host::Panel panel;
  HostVectorExtended v = panel.ExtendedVector();
  std::uint16_t w[2] = {1, 2};
  struct Case {
    int device, kind, address, count;
    int want;
  } cases[] = {
      {DeviceLW, KindWord, 0, 1, 1},
      {DeviceLW, KindWord, host::kAreaWords - 2, 2, 1},
      {DeviceLW, KindWord, host::kAreaWords - 1, 2, 0},
      {DeviceLW, KindWord, -1, 1, 0},
      {DeviceLW, KindBit, 0, 1, 0},
      {DeviceLB, KindWord, 0, 1, 0},
      {DeviceLB, KindBit, 0, 1, 1},
      {238, KindWord, 0, 1, 0},
      {256, KindWord, 0, 1, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(v.WriteRegisters(c.device, c.kind, c.address, c.count, w, 0), c.want)
        << c.device << "/" << c.kind << " at " << c.address;
  }
  EXPECT_EQ(panel.log.size(), sizeof cases / sizeof cases[0]) << "refused accesses are logged too";
}

TEST(Panel, FaultsHitTheNthAccessOnceOrFromThenOn) {
  host::Panel panel;
  HostVectorExtended v = panel.ExtendedVector();
  std::uint16_t w = 0;
  panel.readFault = {2, false, 2};
  EXPECT_EQ(v.ReadRegisters(DeviceLW, KindWord, 0, 1, &w, 0), 1);
  EXPECT_EQ(v.ReadRegisters(DeviceLW, KindWord, 0, 1, &w, 0), 2);
  EXPECT_EQ(v.ReadRegisters(DeviceLW, KindWord, 0, 1, &w, 0), 1);
  panel.writeFault = {1, true, 0};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(v.WriteRegisters(DeviceLW, KindWord, 0, 1, &w, 0), 0);
  w = 5;
  EXPECT_EQ(panel.Word(DeviceLW, 0), 0) << "a failed write changes nothing";
}

TEST(Panel, TicksLiveInLw9034AndWrap) {
  host::Panel panel;
  panel.SetTicks(0xFFFFFFF0u);
  panel.Advance(0x20);
  EXPECT_EQ(panel.Ticks(), 0x10u);
  EXPECT_EQ(panel.Word(DeviceLW, 9034), 0x10);
  EXPECT_EQ(panel.Word(DeviceLW, 9035), 0);
}

TEST(Catalog, TwentySixDeliverablesWithTheirVectors) {
  int n = 0;
  const host::CatalogEntry* all = host::Deliverables(&n);
  EXPECT_EQ(n, 26);
  int basic = 0, pcOnly = 0;
  for (int i = 0; i < n; ++i) {
    basic += all[i].vectorWords == 12;
    pcOnly += !all[i].panelBuild;
  }
  EXPECT_EQ(basic, 12);
  EXPECT_EQ(pcOnly, 7);
  ASSERT_NE(host::FindDeliverable("panel_phone_book"), nullptr);
  EXPECT_EQ(host::FindDeliverable("panel_phone_book")->vectorWords, 15);
  EXPECT_EQ(host::FindDeliverable("panel_alarm_texts")->vectorWords, 12);
  EXPECT_EQ(host::FindDeliverable("runtime_probe"), nullptr);
}

TEST(Loader, CountsAndFailsOnlyThePluginsOwnCalls) {
  std::string error;
  auto probe = host::Plugin::Load(testing_support::TestPluginPath("runtime_probe"), &error);
  ASSERT_TRUE(probe) << error;
  EXPECT_FALSE(probe->known());
  EXPECT_EQ(probe->vectorWords(), 15);
  host::Panel panel;
  host::WorkDir work;
  ASSERT_TRUE(work.Write("f.bin", "abc"));
  host::ResetCalls();
  std::string buffer(3, '\0');
  ProbeRequest r{};
  r.op = ProbeLoadData;
  r.path = "f.bin";
  r.buffer = reinterpret_cast<std::uint8_t*>(buffer.data());
  r.length = 3;
  host::MacroCall call;
  call.word[0] = reinterpret_cast<MacroWord>(&r);
  probe->Call(panel, call);
  EXPECT_EQ(buffer, "abc");
  const host::CallStats& s = host::Calls().stats;
  EXPECT_GE(s.calls[1], 3) << "existence test, open, read, close";
  EXPECT_EQ(s.fileOpens, 1);
  EXPECT_EQ(s.openFiles, 0);
  // The test program's own file calls are not the plug-in's.
  int before = s.calls[1];
  std::string copy;
  ASSERT_TRUE(work.Read("f.bin", &copy));
  EXPECT_EQ(host::Calls().stats.calls[1], before);
}

TEST(Loader, ReportsAMissingLibrary) {
  std::string error;
  EXPECT_EQ(host::Plugin::Load(testing_support::PluginPath("no_such_plugin"), &error), nullptr);
  EXPECT_FALSE(error.empty());
}

TEST(Loader, NamesAndPaths) {
  EXPECT_EQ(host::PluginNameOf("/a/b/srv_dispatch.so"), "srv_dispatch");
  EXPECT_EQ(host::PluginNameOf("C:\\x\\srv_dispatch.dll"), "srv_dispatch");
  EXPECT_EQ(host::PluginNameOf("plain"), "plain");
}

}  // namespace
