// The GPRS data settings "gprs_DataSettings.bin", stored field by field,
// copied entry by entry into FRW 0..432.
//
// Input: the file's bytes; an empty input stands for a missing file.
#include "fixtures.h"

namespace {

using namespace fuzz;

constexpr char kPlugin[] = "net_load_settings";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::span<const std::uint8_t> file(data, size);
  Bytes image = Padded(file, 836);
  Harness& h = Harness::Get();
  h.Reset();
  if (size != 0) h.WriteFile("gprs_DataSettings.bin", file);
  h.Call(kPlugin);
  for (int i = 0; i < 16; ++i) {
    Expect(h.Word(DeviceFRW, 1 + i) == 17 + 26 * i, kPlugin, "address table");
  }
  if (size == 0) {
    Expect(h.Word(DeviceFRW, 0) == kCanaryWord && h.Word(DeviceFRW, 17) == kCanaryWord, kPlugin,
           "wrote entries without a file");
    return 0;
  }
  Expect(h.Word(DeviceFRW, 0) == U16(image, 2), kPlugin, "header word");
  for (std::size_t i = 0; i < 16; ++i) {
    int block = 17 + 26 * static_cast<int>(i);
    std::string where = " of entry " + std::to_string(i);
    Expect(h.Word(DeviceFRW, block) == U16(image, 4 + 2 * i), kPlugin, "word 1" + where);
    Expect(h.Word(DeviceFRW, block + 1) == U16(image, 36 + 2 * i), kPlugin, "word 2" + where);
    Expect(h.Word(DeviceFRW, block + 2) == U16(image, 68 + 2 * i), kPlugin, "word 3" + where);
    Expect(h.Bytes(DeviceFRW, block + 3, 8) == AsString(std::span(image).subspan(100 + 16 * i, 16)), kPlugin,
           "16-byte text" + where);
    Expect(h.Bytes(DeviceFRW, block + 11, 15) == AsString(std::span(image).subspan(356 + 30 * i, 30)), kPlugin,
           "30-byte text" + where);
  }
  return 0;
}
