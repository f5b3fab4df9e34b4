// The server control block LW 6000..6013 and the event mask LW 5999 in any
// state, read by every server plug-in in turn with well-formed data files.
// Each must keep to its view of the block and leave LW 6000..6002 and the
// fields it does not own as it found them.
//
// Input: fifteen words for LW 5999..6013, then the tick counter.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>

#include "fixtures.h"

namespace {

using namespace fuzz;

constexpr int kFlags = 6003, kState = 6005, kError = 6007;

const char* const kServerPlugins[] = {
    "srv_dispatch",     "srv_compose_text",     "srv_compose_events",    "srv_store_settings",
    "srv_encode_pdu",   "srv_encode_pdu_alt",   "srv_build_script",      "srv_build_script_alt",
    "srv_build_script_stub", "srv_transmit",    "srv_transmit_alt",
};

void Files(Harness& h) {
  h.WriteFile("SMSProfile_1.bin", SendSettingsFile(1, 1, 0, 3));
  h.WriteFile("SMSProfile_2.bin", RecipientsFile({"9123456789"}));
  h.WriteFile("SMSProfile_3.bin", TemplateFile(u"T", {u"A", u"B"}));
  h.WriteFile("SMSMessage.bin", MessageFile(u"[T]\n1. A\n"));
  h.WriteFile("SMSMessage.txt", RecordFile({"0001000B919721436587F900080400410042"}));
  h.WriteFile("SMSMessage.at", RecordFile({"AT\r\n", "ATE0\r\n"}));
}

// The settings windows as a screen would leave them for a save.
void Windows(Harness& h) {
  h.SetWords(DeviceLW, 6100, std::vector<std::uint16_t>{1, 1, 0, 3});
  std::string recipients = RecipientsFile({"9123456789"});
  h.SetBytes(DeviceLW, 6200, Bytes(recipients.begin(), recipients.end()));
  std::string tmpl = TemplateFile(u"T", {u"A"});
  h.SetBytes(DeviceLW, 6300, Bytes(tmpl.begin(), tmpl.end()));
}

bool Among(std::uint16_t code, std::initializer_list<int> codes) {
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

void Check(Harness& h, const std::string& p, const std::vector<std::uint16_t>& block) {
  auto word = [&h](int a) { return h.Word(DeviceLW, a); };
  std::uint32_t state = block[6] | static_cast<std::uint32_t>(block[7]) << 16;
  std::uint16_t code = word(kError);
  if (p == "srv_build_script_stub") return;  // the canary compare is the whole check
  for (int a = 6000; a < 6003; ++a) Expect(word(a) == block[1 + a - 6000], p, "LW 6000..6002 changed");
  if (p == "srv_compose_events") {
    // Events 0 and 1 are enabled: a message only when one of them is active.
    Expect(code == ((block[0] & 3) != 0 ? 0 : ErrNoEvents), p, "code " + std::to_string(code));
    return;
  }
  if (p == "srv_encode_pdu" || p == "srv_build_script") {
    Expect(code == 0, p, "failed: " + std::to_string(code));
    return;
  }
  if (p == "srv_store_settings") {
    Expect(code == 0 && h.Pair(DeviceLW, kState) == 0, p, "not state 0 and error 0");
    return;
  }
  if (p == "srv_transmit" || p == "srv_transmit_alt") {
    bool running = state >= StateScriptReady && state <= StateCheckReply;
    if (!running) Expect(code == ErrBadState, p, "state " + std::to_string(state) + " without 228");
    Expect(Among(code, {0, TransmitComplete, ErrBadState, ErrModemError, ErrReplyTimeout, ErrEmptyScript,
                        ErrSendSettingsRead, ErrFileMissing, ErrFileOpen, ErrFileSeek}),
           p, "undocumented code " + std::to_string(code));
    if (h.Pair(DeviceLW, kState) == 0) Expect((h.Pair(DeviceLW, kFlags) & ScriptReady) == 0, p, "stopped with ScriptReady");
    return;
  }
  if (p == "srv_dispatch") {
    Expect(code == 0, p, "failed: " + std::to_string(code));
    Expect(h.Pair(DeviceLW, kState) == state, p, "state changed");
    return;
  }
  // compose_text, encode_pdu_alt and build_script_alt succeed with these files.
  Expect(code == 0, p, "failed: " + std::to_string(code));
  std::uint32_t flag = p == "srv_compose_text" ? MessageReady : p == "srv_encode_pdu_alt" ? FramesReady : ScriptReady;
  std::uint32_t flags = block[4] | static_cast<std::uint32_t>(block[5]) << 16;
  Expect(h.Pair(DeviceLW, kFlags) == (flags | flag), p, "flags are not the old ones and its own bit");
  std::uint32_t wantState = p == "srv_build_script_alt" ? static_cast<std::uint32_t>(StateScriptReady) : state;
  Expect(h.Pair(DeviceLW, kState) == wantState, p, "state");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  std::vector<std::uint16_t> block;
  for (int i = 0; i < 15; ++i) block.push_back(in.ConsumeIntegral<std::uint16_t>());
  auto now = in.ConsumeIntegral<std::uint32_t>();

  Harness& h = Harness::Get();
  h.Reset();
  for (const char* p : kServerPlugins) {
    Files(h);
    Windows(h);
    h.SetWords(DeviceLW, 5999, block);
    h.SetPair(DeviceLW, 9034, now);
    h.Call(p);
    Check(h, p, block);
  }
  return 0;
}
