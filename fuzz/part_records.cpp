// The message area RW 2000.. holding part records in any state, sent by the
// chain's sender from the send state 0 on, one command per call, until it
// reports all parts sent. Every command it places is compared with what the
// part records hold.
//
// Input: the send flags, then the words of the message area from RW 2000.
#include <fuzzer/FuzzedDataProvider.h>

#include "fixtures.h"

namespace {

using namespace fuzz;

constexpr char kPlugin[] = "link_send_sequence";
constexpr int kArea = 2000;
constexpr int kMaxCalls = 48;

struct Sim {
  std::vector<std::uint16_t> area;  // RW 2000.. as the input set it; canary after it
  std::uint16_t flags, state = 0, index = 0, offset = 0;

  std::uint16_t Word(long address) const {
    if (address >= 65536) return 0;  // never read
    std::size_t i = static_cast<std::size_t>(address - kArea);
    return i < area.size() ? area[i] : kCanaryWord;
  }

  // `count` words from `address` as bytes, clamped to the register area and
  // to the 200-byte command.
  std::string Words(long address, long count) const {
    std::string out;
    for (long i = 0; i < count && i < 100 && address + i < 65536; ++i) {
      std::uint16_t w = Word(address + i);
      out.push_back(static_cast<char>(w & 0xFF));
      out.push_back(static_cast<char>(w >> 8));
    }
    return out;
  }

  void Advance() {
    if (state == 0) {
      offset = 1;
      index = 0;
      state = (flags & 1) ? 16 : 1;
    } else if (state != 32) {
      state = static_cast<std::uint16_t>(state * 2);
    } else if ((flags & 2) == 0) {
      ++index;
      state = index < Word(kArea) ? 16 : 64;
    }
  }

  // The command of the state, or false for the final step.
  bool Command(std::string* out) {
    switch (state) {
      case 0: case 1: *out = "AT\r\n"; return true;
      case 2: *out = "ATE0\r\n"; return true;
      case 4: *out = "AT+CMGF=0\r\n"; return true;
      case 8: *out = "AT+CSCS=\"UCS2\"\r\n"; return true;
      case 16:
        flags |= 1;
        *out = "AT+CMGS=" + std::to_string(Word(kArea + offset)).substr(0, 3) + "\r\n";
        return true;
      case 32: {
        long n = std::min<long>(Word(kArea + 1 + offset), 200);
        long data = kArea + 2 + offset;
        if ((flags & 2) != 0) {  // the second half ends the record
          flags &= static_cast<std::uint16_t>(~2u);
          *out = n > 100 ? Words(data + 100, n - 100) : "";
        } else if (n <= 100) {
          *out = Words(data, n);
        } else {
          flags |= 2;
          *out = Words(data, 100);
          return true;
        }
        offset = static_cast<std::uint16_t>(offset + n + 2);
        return true;
      }
      default:
        state = 64;
        return false;
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  Sim sim;
  sim.flags = in.ConsumeBool() ? 1 : 0;
  Bytes bytes = in.ConsumeRemainingBytes<std::uint8_t>();
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) sim.area.push_back(U16(bytes, i));

  Harness& h = Harness::Get();
  h.Reset();
  h.SetWords(DeviceRW, kArea, sim.area);
  h.SetRecord(2, sim.flags);
  h.SetRecord(3, 0);
  for (int call = 0; call < kMaxCalls; ++call) {
    bool last = sim.state == 64;
    h.SetPair(DeviceLW, 9034, static_cast<std::uint32_t>(call));
    h.Call(kPlugin);
    sim.Advance();
    std::string command;
    bool placed = sim.Command(&command);
    std::string at = " at call " + std::to_string(call) + ", state " + std::to_string(sim.state);
    Expect(h.Record(3) == sim.state && h.Record(2) == sim.flags && h.Record(4) == sim.index &&
               h.Record(5) == sim.offset,
           kPlugin, "send values" + at);
    Expect(h.Record(0) == 0x80, kPlugin, "did not hand back" + at);
    Expect(h.TransmitFlag() == (placed ? 1 : 0), kPlugin, "transmit flag" + at);
    if (placed) {
      command.resize(200, '\0');
      Expect(h.Bytes(DeviceLW, 0, 100) == command, kPlugin, "command" + at);
      h.TakeCommand();
    } else {
      std::string text = "SMS has been send successfully.";
      text.resize(200, '\0');
      Expect(h.Bytes(DeviceRW, 432, 100) == text, kPlugin, "success text" + at);
    }
    if (last) break;
  }
  return 0;
}
