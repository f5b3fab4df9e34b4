// The AT script "SMSMessage.at" (a line count and 200-byte lines), as both
// transmitters send it line by line. The host's part is played here: each
// raised line is taken and answered at once with a reply the input picks.
//
// Input: the file's bytes, then (from the end) one reply choice per line.
#include <fuzzer/FuzzedDataProvider.h>

#include "fixtures.h"

namespace {

using namespace fuzz;

constexpr int kFlags = 6003, kState = 6005, kError = 6007, kLineIndex = 6012;
constexpr std::size_t kLinesChecked = 12;

const std::string kReplies[] = {"\r\nOK\r\n", "\r\n> ", "\r\nERROR\r\n", "\r\n+CMS ERROR: 304\r\n",
                                "\r\n+CMGS: 7\r\n\r\nOK\r\n", "garbage \x7f"};

bool Refused(const std::string& reply) { return reply.find("ERROR") != std::string::npos; }

void Transmit(Harness& h, const char* p, std::span<const std::uint8_t> file, const std::vector<int>& replies) {
  bool alt = std::string(p) == "srv_transmit_alt";
  h.WriteFile("SMSMessage.at", file);
  ServerBlock(h, StateScriptReady, ScriptReady | 0x0100);
  h.SetPair(DeviceLW, 9034, 5000);
  std::size_t count = U16(file, 0);
  std::size_t line = 0;
  std::string reply;
  for (int call = 0; call < 2 + 3 * static_cast<int>(kLinesChecked); ++call) {
    h.Call(p);
    if (h.Bit(DeviceLB, 0) == 1) {
      Expect(line < count, p, "a line past the count went out");
      Bytes want = Padded(file.subspan(std::min(file.size(), 2 + 200 * line)), 200);
      Expect(h.Bytes(DeviceLW, 0, 100) == AsString(want), p, "line " + std::to_string(line) + " is not its record");
      h.TakeCommand();
      reply = kReplies[replies[line % replies.size()]];
      Bytes words(reply.begin(), reply.end());
      words.resize(200, 0);
      h.SetBytes(DeviceLW, 100, words);
      ++line;
    }
    if (h.Pair(DeviceLW, kState) == StateIdle) break;
  }
  if (h.Pair(DeviceLW, kState) != StateIdle) {
    Expect(count > kLinesChecked, p, "the machine did not stop");
    return;
  }
  std::uint16_t code = h.Word(DeviceLW, kError);
  if (count == 0) {
    Expect(code == ErrEmptyScript && line == 0, p, "an empty script did not stop with 231");
  } else if (Refused(reply)) {
    Expect(code == ErrModemError, p, "a refused line did not stop with 229");
    Expect(h.Word(DeviceLW, kLineIndex) == line - 1, p, "lineIndex is not the refused line");
  } else {
    Expect(code == TransmitComplete && line == count, p, "did not complete with 1 after every line");
  }
  std::uint32_t flags = alt ? 0x0100 | SchedulerArmed : 0x0100;
  Expect(h.Pair(DeviceLW, kFlags) == flags, p, "flags after the stop");
  Expect(h.HasFile("SMSMessage.at") == !alt, p, "script after the stop");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  std::vector<int> replies;
  for (std::size_t i = 0; i < 4; ++i) replies.push_back(in.ConsumeIntegralInRange<int>(0, 5));
  Bytes file = in.ConsumeRemainingBytes<std::uint8_t>();
  Harness& h = Harness::Get();
  h.Reset();
  h.WriteFile("SMSProfile_1.bin", SendSettingsFile(1, 0, 1, 3));
  Transmit(h, "srv_transmit", file, replies);
  Transmit(h, "srv_transmit_alt", file, replies);
  return 0;
}
