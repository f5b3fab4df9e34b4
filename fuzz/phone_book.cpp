// The phone book "panel_phone_book.bin", loaded into LW 6000..6270 and saved
// back with the entries not in use cleared.
//
// Input: the file's bytes, then (from the end) a request word for a third call.
#include <fuzzer/FuzzedDataProvider.h>

#include "fixtures.h"

namespace {

using namespace fuzz;

constexpr char kPlugin[] = "panel_phone_book";
constexpr char kFile[] = "panel_phone_book.bin";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  auto request = in.ConsumeIntegral<std::uint16_t>();
  Bytes file = in.ConsumeRemainingBytes<std::uint8_t>();
  Bytes image = Padded(file, 542);

  Harness& h = Harness::Get();
  h.Reset();
  h.WriteFile(kFile, file);

  h.SetRecord(0, 0);  // load
  h.Call(kPlugin);
  Expect(h.Record(1) == 0, kPlugin, "load failed: " + std::to_string(h.Record(1)));
  Expect(h.Bytes(DeviceLW, 6000, 271) == AsString(image), kPlugin, "LW 6000..6270 is not the file");

  h.SetRecord(0, 1);  // save
  h.Call(kPlugin);
  Expect(h.Record(1) == 0, kPlugin, "save failed: " + std::to_string(h.Record(1)));
  Bytes saved = image;
  for (std::size_t i = U16(image, 0); i < 3; ++i) std::fill_n(saved.begin() + 2 + 180 * static_cast<long>(i), 180, 0);
  std::string bytes;
  Expect(h.ReadFile(kFile, &bytes) && bytes == AsString(saved), kPlugin, "saved file is not the cleared image");

  // Any other request does nothing at all.
  if (request > 1) {
    h.SetRecord(0, request);
    h.SetRecord(1, 0x7777);
    h.RemoveFile(kFile);
    h.Call(kPlugin);
    Expect(h.Record(1) == 0x7777 && !h.HasFile(kFile), kPlugin, "request " + std::to_string(request) + " did something");
  }
  return 0;
}
