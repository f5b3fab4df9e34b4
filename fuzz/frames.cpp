// The PDU frame file "SMSMessage.txt" (a record count and 200-byte records),
// as both AT script builders turn it into "SMSMessage.at".
//
// Input: the file's bytes.
#include <cctype>
#include <cstring>

#include "fixtures.h"

namespace {

using namespace fuzz;

constexpr int kError = 6007, kFlags = 6003, kState = 6005;
constexpr std::size_t kMaxRecords = 327;  // 2 + 200 P must fit in 16 bits
constexpr std::size_t kMinPdu = 16;

bool IsPdu(const std::string& record) {
  if (record.size() < kMinPdu || record.size() % 2 != 0) return false;
  for (char c : record) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// The PDU texts of the records, or false when one is not a PDU the modem can take.
bool Records(std::span<const std::uint8_t> file, std::vector<std::string>* pdus) {
  std::size_t count = U16(file, 0);
  if (count > kMaxRecords) return false;
  Bytes image = Padded(file, 2 + 200 * count);
  for (std::size_t p = 0; p < count; ++p) {
    const char* record = reinterpret_cast<const char*>(image.data() + 2 + 200 * p);
    std::size_t n = strnlen(record, 200);
    if (n == 200) return false;
    pdus->push_back(std::string(record, n));
    if (!IsPdu(pdus->back())) return false;
  }
  return true;
}

std::string Script(const std::vector<std::string>& pdus) {
  std::vector<std::string> lines = {"AT\r\n", "ATE0\r\n", "AT+CMGF=0\r\n", "AT+CSCS=\"UCS2\"\r\n"};
  for (const std::string& pdu : pdus) {
    lines.push_back("AT+CMGS=" + std::to_string((pdu.size() - 2) / 2) + "\r\n");
    lines.push_back(pdu + "\x1A");
  }
  return RecordFile(lines);
}

void Build(Harness& h, const char* p, std::span<const std::uint8_t> file) {
  bool alt = std::string(p) == "srv_build_script_alt";
  h.WriteFile("SMSMessage.txt", file);
  h.WriteFile("SMSMessage.at", std::string("previous"));
  ServerBlock(h, StateIdle, 0x0100);
  h.Call(p);
  std::string script;
  Expect(h.ReadFile("SMSMessage.at", &script), p, "the script file is gone");
  std::vector<std::string> pdus;
  std::uint16_t code = h.Word(DeviceLW, kError);
  if (U16(file, 0) == 0 || !Records(file, &pdus)) {
    std::uint16_t want = U16(file, 0) == 0 ? ErrNoContent : ErrInputRead;
    Expect(code == want, p, "got " + std::to_string(code) + " for an unusable frame file");
    Expect(script == "previous", p, "script changed for an unusable frame file");
    Expect(h.HasFile("SMSMessage.txt"), p, "an unusable frame file was consumed");
    if (alt) Expect(h.Pair(DeviceLW, kState) == 0 && h.Pair(DeviceLW, kFlags) == 0x0100, p, "state or flags changed");
    return;
  }
  Expect(code == 0, p, "failed: " + std::to_string(code));
  Expect(script == Script(pdus), p, "wrong script");
  Expect(h.HasFile("SMSMessage.txt") == !alt, p, "frame file after the run");
  if (alt) {
    Expect(h.Pair(DeviceLW, kState) == StateScriptReady, p, "state not 10");
    Expect(h.Pair(DeviceLW, kFlags) == (0x0100 | ScriptReady), p, "ScriptReady not set");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::span<const std::uint8_t> file(data, size);
  Harness& h = Harness::Get();
  h.Reset();
  Build(h, "srv_build_script", file);
  Build(h, "srv_build_script_alt", file);
  return 0;
}
