// The chain's record words in any state, with any reply and tick values:
// the sequencer, the error reporter, the reply checker and the sender each
// called once on the same record. Each must change only its bound words and
// do what its table says for the values it finds.
//
// Input: record words 0..5, the tick counter, the send tick, then the reply
// text for LW 100..199.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>

#include "fixtures.h"

namespace {

using namespace fuzz;

using Record = std::vector<std::uint16_t>;

void Load(Harness& h, const Record& r) {
  for (std::size_t i = 0; i < r.size(); ++i) h.SetRecord(static_cast<int>(i), r[i]);
}

void ExpectRecord(Harness& h, const char* p, const Record& want) {
  for (std::size_t i = 0; i < want.size(); ++i) {
    Expect(h.Record(static_cast<int>(i)) == want[i], p,
           "record word " + std::to_string(i) + " is " + std::to_string(h.Record(static_cast<int>(i))) +
               ", not " + std::to_string(want[i]));
  }
}

void Sequencer(Harness& h, Record r) {
  Load(h, r);
  h.Call("link_sequencer");
  switch (r[3]) {
    case 0: r[3] = 1; break;
    case 1: r[1] = 0x4; r[3] = 2; break;
    case 2: r[1] = 0x8; r[3] = 4; break;
    case 4: r[1] = 0x10; r[4] = 0; r[3] = 8; break;
    case 8:
      if (r[4] == 64) {
        r[3] = 32;
      } else {
        r[1] = 0x20;
        r[3] = 16;
      }
      break;
    case 16: r[1] = 0x10; r[3] = 8; break;
    case 32: case 64: r[2] = 0; r[1] = 0; r[3] = 0; break;
    default: break;  // a state outside the table changes nothing
  }
  ExpectRecord(h, "link_sequencer", r);
}

std::string RequestName(std::uint16_t state) {
  switch (state) {
    case 1: return "AT";
    case 2: return "ATE0";
    case 4: return "AT+CMGF";
    case 8: return "AT+CSCS";
    case 16: return "AT+CMGS";
    case 32: return "PDU Package";
    default: return "Unknown";
  }
}

void Reporter(Harness& h, Record r) {
  Load(h, r);
  h.Call("link_report_error");
  std::string text;
  if (r[1] & 0x4) {
    text = "ERROR: execution macro 'LINK_COMPOSE_ALARMS'!";
    r[1] = 0;
  } else if (r[1] & 0x8) {
    text = "ERROR: execution macro 'SMS_CREATE_STRUCTURE_PDU'!";
    r[1] = 0;
  } else if (r[1] & 0x20) {
    text = "ERROR: not response to the request '" + RequestName(r[3]) + "'!";
    r[2] = 0;
    r[1] = 0;
  }
  r[4] = 64;
  r[0] = 0x80;
  ExpectRecord(h, "link_report_error", r);
  text.resize(200, '\0');
  Expect(h.Bytes(DeviceRW, 432, 100) == text, "link_report_error", "status text");
}

void Checker(Harness& h, Record r, std::uint32_t now, std::uint32_t sent, const std::string& area) {
  Load(h, r);
  h.Call("link_check_reply");
  std::string reply = area.substr(0, strnlen(area.data(), area.size()));
  bool ok = reply.find("OK") != std::string::npos;
  bool accepted;
  switch (r[2]) {
    case 1: case 2: case 4: case 8: case 32: accepted = ok; break;
    case 16: accepted = reply.find('>') != std::string::npos; break;
    default: accepted = true; break;
  }
  if ((r[3] & 0x2) != 0 || accepted) {
    r[0] = 0x80;
  } else if (sent + static_cast<std::uint32_t>(r[4]) * 10u <= now) {
    r[0] = 0x40;
    r[1] = 0x20;
  }
  ExpectRecord(h, "link_check_reply", r);
}

void Sender(Harness& h, Record r, std::uint32_t now) {
  Load(h, r);
  h.Call("link_send_sequence");
  std::uint16_t s = h.Record(3);
  Expect(s == 0 || s == 1 || s == 2 || s == 4 || s == 8 || s == 16 || s == 32 || s == 64, "link_send_sequence",
         "send state " + std::to_string(s) + " outside the table");
  Expect(h.Record(0) == 0x80, "link_send_sequence", "did not hand back to the sequencer");
  Expect(h.Pair(DeviceLW, 1007) == now, "link_send_sequence", "LW 1007 is not the tick");
  Expect(h.Bytes(DeviceLW, 100, 100) == std::string(200, '\0'), "link_send_sequence", "reply area not cleared");
  Expect((h.TransmitFlag() == 1) == (s != 64), "link_send_sequence", "transmit flag and final state disagree");
  Expect((h.Record(2) & ~0x3) == 0, "link_send_sequence", "send flags beyond bits 0 and 1");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  Record r;
  for (int i = 0; i < 6; ++i) r.push_back(in.ConsumeIntegral<std::uint16_t>());
  auto now = in.ConsumeIntegral<std::uint32_t>();
  auto sent = in.ConsumeIntegral<std::uint32_t>();
  Bytes reply = Padded(in.ConsumeRemainingBytes<std::uint8_t>(), 200);
  std::string area = AsString(reply);
  Harness& h = Harness::Get();
  h.Reset();
  h.SetPair(DeviceLW, 9034, now);
  h.SetPair(DeviceLW, 1007, sent);
  h.SetBytes(DeviceLW, 100, reply);
  h.SetWords(DeviceRW, 2000, std::vector<std::uint16_t>{2, 17, 4, 0x3030, 0x3130, 0x001A, 1, 1, 0x4141});
  Sequencer(h, r);
  Reporter(h, r);
  Checker(h, r, now, sent, area);
  // No plug-in sets send flags beyond bits 0 and 1; the sender keeps what it finds.
  Record senderRecord = r;
  senderRecord[2] &= 0x3;
  Sender(h, senderRecord, now);
  return 0;
}
