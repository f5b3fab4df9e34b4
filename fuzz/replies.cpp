// Modem replies in LW 100..199, any 200 bytes, as the chain's reply checker
// judges them for each request type and as both transmitters see and check
// them. A reply is the text up to its first NUL or all 200 bytes.
//
// Input: the 200 reply bytes, then (from the end) the request type.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>

#include "fixtures.h"

namespace {

using namespace fuzz;

constexpr int kFlags = 6003, kState = 6005, kError = 6007, kLineIndex = 6012;

bool Has(const std::string& reply, const char* what) { return reply.find(what) != std::string::npos; }

void Checker(Harness& h, std::uint16_t request, const std::string& reply) {
  const char* p = "link_check_reply";
  h.SetPair(DeviceLW, 9034, 1000);
  h.SetPair(DeviceLW, 1007, 1000);
  h.SetRecord(0, 0x20);
  h.SetRecord(1, 0);
  h.SetRecord(2, request);
  h.SetRecord(3, 1);
  h.SetRecord(4, 0);  // time-out 0: a reply that does not satisfy fails at once
  h.Call(p);
  bool accepted = request == 16 ? Has(reply, ">")
                  : (request == 1 || request == 2 || request == 4 || request == 8 || request == 32) ? Has(reply, "OK")
                                                                                                    : true;
  Expect(h.Record(0) == (accepted ? 0x80 : 0x40), p, "request " + std::to_string(request) + " judged wrongly");
  Expect(h.Record(1) == (accepted ? 0 : 0x20), p, "failure mask");
}

void Transmitter(Harness& h, const char* p, const std::string& area, const std::string& reply) {
  bool alt = std::string(p) == "srv_transmit_alt";
  h.WriteFile("SMSMessage.at", RecordFile({"AT\r\n", "ATE0\r\n"}));
  // Waiting: any first byte but NUL is a reply.
  ServerBlock(h, StateAwaitReply, ScriptReady);
  h.SetBytes(DeviceLW, 100, Bytes(area.begin(), area.end()));
  h.Call(p);
  Expect(h.Pair(DeviceLW, kState) == (area[0] != 0 ? StateCheckReply : StateAwaitReply), p, "reply seen wrongly");
  // Checking: "ERROR" anywhere in the text stops the machine with 229.
  ServerBlock(h, StateCheckReply, ScriptReady);
  h.SetWord(DeviceLW, kLineIndex, 0);
  h.SetWord(DeviceLW, 6013, 2);
  h.Call(p);
  if (Has(reply, "ERROR")) {
    Expect(h.Word(DeviceLW, kError) == ErrModemError && h.Pair(DeviceLW, kState) == 0, p, "ERROR not refused");
    Expect(h.Pair(DeviceLW, kFlags) == (alt ? SchedulerArmed : 0u), p, "flags after the stop");
  } else {
    Expect(h.Word(DeviceLW, kError) == 0 && h.Pair(DeviceLW, kState) == StateSendLine, p, "a reply refused");
    Expect(h.Word(DeviceLW, kLineIndex) == 1, p, "lineIndex not moved on");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  auto request = in.ConsumeIntegral<std::uint16_t>();
  Bytes bytes = Padded(in.ConsumeRemainingBytes<std::uint8_t>(), 200);
  std::string area = AsString(bytes);
  std::string reply = area.substr(0, strnlen(area.data(), area.size()));

  Harness& h = Harness::Get();
  h.Reset();
  h.WriteFile("SMSProfile_1.bin", SendSettingsFile(1, 0, 1, 3));
  h.SetBytes(DeviceLW, 100, bytes);
  Checker(h, request, reply);
  Checker(h, static_cast<std::uint16_t>(1u << (request % 7)), reply);
  Transmitter(h, "srv_transmit", area, reply);
  Transmitter(h, "srv_transmit_alt", area, reply);
  return 0;
}
