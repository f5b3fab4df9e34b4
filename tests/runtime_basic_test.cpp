// The runtime of the 12-word plug-ins: the same register and drawing calls
// through the basic vector, which has no SQL slots.
#include <gtest/gtest.h>

#include <type_traits>

#include "host/panel.h"
#include "macro/draw.h"
#include "macro/registers.h"

namespace {

static_assert(std::is_same_v<HostVector, HostVectorBasic>);

TEST(BasicRuntime, RegisterAccessUsesTheBasicVector) {
  host::Panel panel;
  panel.Word(DeviceRW, 4) = 3;
  std::uint16_t w = 0;
  EXPECT_EQ(xReadLocal(panel.BasicVector(), " RW", 4, 1, &w, 0), 1);
  EXPECT_EQ(w, 3);
  w = 0x4142;
  EXPECT_EQ(xWriteLocal(panel.BasicVector(), "FRW ", 0, 1, &w, 0), 1);
  EXPECT_EQ(panel.Word(DeviceFRW, 0), 0x4142);
  EXPECT_EQ(xWriteLocal(panel.BasicVector(), "LW.B", 0, 1, &w, 0), 0);
}

TEST(BasicRuntime, DrawingGoesThroughSlotsFourToEleven) {
  host::Panel panel;
  panel.colorDepth = 8;
  PenParam pen{(1 << 16) | 2, 0xFFFFFF};
  BrushParam brush{30, 0, 0xFFFFFF};
  EXPECT_EQ(DrawRectx(panel.BasicVector(), 0, 0, 10, 10, pen, brush), 1);
  ASSERT_EQ(panel.drawCalls.size(), 2u);
  EXPECT_EQ(panel.drawCalls[0].slot, 11);
  EXPECT_EQ(panel.drawCalls[1].slot, 5);
  EXPECT_EQ(panel.drawCalls[1].args,
            (std::vector<long long>{0, 0, 10, 10, (1 << 16) | 2, 0xFFFFFF, 27, 0, 0xFFFFFF}));
}

}  // namespace
