// The connection profile "gprs_ConnectionProfileSettings.bin", from which
// net_send_connection builds one "at^sics=0,<tag>,<value>" command per call.
//
// Input: the file's bytes, then (from the end) the profile command, the
// macro-vector word and the tick counter.
#include <fuzzer/FuzzedDataProvider.h>

#include "fixtures.h"

namespace {

using namespace fuzz;

constexpr char kPlugin[] = "net_send_connection";

struct Field {
  const char* tag;
  std::size_t offset;
  std::size_t length;
};
constexpr Field kFields[] = {{"conType", 0, 6},   {"inactTo", 6, 6}, {"user", 12, 32}, {"passwd", 44, 32},
                             {"apn", 76, 100},    {"dns1", 176, 16}, {"dns2", 192, 16}};

// The command for a profile command 0..7: a field's text ends at its first
// NUL or control character, so nothing but the final CR LF ends the line.
std::string Command(std::span<const std::uint8_t> profile, std::uint16_t command) {
  if (command == 0) return "";
  const Field& f = kFields[command - 1];
  std::string value;
  for (std::size_t i = 0; i < f.length; ++i) {
    std::uint8_t c = profile[f.offset + i];
    if (c < 0x20 || c == 0x7F) break;
    value.push_back(static_cast<char>(c));
  }
  return std::string("at^sics=0,") + f.tag + "," + value + "\r\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  auto command = in.ConsumeIntegralInRange<std::uint16_t>(0, 9);
  auto vector = in.ConsumeIntegral<std::uint16_t>();
  auto now = in.ConsumeIntegral<std::uint32_t>();
  bool present = in.ConsumeBool();
  Bytes file = in.ConsumeRemainingBytes<std::uint8_t>();
  Bytes profile = Padded(file, 208);

  Harness& h = Harness::Get();
  h.Reset();
  if (present) h.WriteFile("gprs_ConnectionProfileSettings.bin", file);
  h.SetRecord(0, command);
  h.SetRecord(1, vector);
  h.SetPair(DeviceLW, 9034, now);
  h.Call(kPlugin);

  bool placed = (vector & 0x1000) != 0 && present && command <= 7;
  if (!placed) {
    Expect(h.Record(1) == vector && h.TransmitFlag() == 0, kPlugin, "acted without bit 12, file or command");
    Expect(h.Word(DeviceLW, 0) == kCanaryWord && h.Word(DeviceLW, 1007) == kCanaryWord, kPlugin,
           "wrote registers without bit 12, file or command");
    return 0;
  }
  std::string want = Command(profile, command);
  want.resize(200, '\0');
  Expect(h.Bytes(DeviceLW, 0, 100) == want, kPlugin, "wrong command text");
  Expect(h.Pair(DeviceLW, 1007) == now, kPlugin, "LW 1007 is not the tick");
  Expect(h.TransmitFlag() == 1, kPlugin, "transmit flag not raised");
  Expect(h.Record(1) == 0x2000, kPlugin, "macro vector is not bit 13 alone");
  return 0;
}
