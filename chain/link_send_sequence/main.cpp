// The chain's sender (macro 4): one modem command per call. First the set-up
// (AT, ATE0, AT+CMGF=0, AT+CSCS="UCS2"), then for every part record of the
// message area an AT+CMGS with the announced length and the part's PDU data,
// and finally the success text. Every call clears the reply area, notes the
// tick in LW 1007 and hands back to the sequencer; the reply checker judges
// the answer between two calls.
#include <cstring>
#include <span>

#include "ascii_text.h"
#include "chain_record.h"
#include "macro/chain_registers.h"
#include "macro/codes.h"
#include "macro/modem.h"
#include "macro/registers.h"

namespace {

constexpr std::size_t kCommandBytes = 2 * kModemCommandWords;  // 200
constexpr std::uint16_t kHalfWords = kModemCommandWords;        // 100 data words per command
constexpr std::uint16_t kMaxDataWords = 2 * kHalfWords;         // a record holds at most 200
constexpr char kSuccessText[] = "SMS has been send successfully.";

// Part records: word 0 the announced length, word 1 the data count N,
// words 2..N+1 the PDU data. `partOffset` counts from RW 2000.
constexpr int kLengthWord = 0;
constexpr int kCountWord = 1;
constexpr int kDataWord = 2;

struct SendValues {
  std::uint16_t flags;
  std::uint16_t state;
  std::uint16_t partIndex;
  std::uint16_t partOffset;
};

SendValues LoadValues(MacroWord record) {
  return SendValues{GetRecordWord(record, SenderFlagsWord), GetRecordWord(record, SenderStateWord),
                    GetRecordWord(record, SenderPartIndexWord),
                    GetRecordWord(record, SenderPartOffsetWord)};
}

void StoreValues(MacroWord record, const SendValues& v) {
  PutRecordWord(record, SenderFlagsWord, v.flags);
  PutRecordWord(record, SenderStateWord, v.state);
  PutRecordWord(record, SenderPartIndexWord, v.partIndex);
  PutRecordWord(record, SenderPartOffsetWord, v.partOffset);
}

// Reads up to `count` words of the message area into `buffer`, never past
// the buffer nor past the end of the register area.
void ReadMessageWords(HostVector host, int address, std::size_t count, std::span<char> buffer) {
  if (address < 0 || address >= kRegisterAreaWords) return;
  std::size_t room = static_cast<std::size_t>(kRegisterAreaWords - address);
  if (count > room) count = room;
  if (count > buffer.size() / 2) count = buffer.size() / 2;
  if (count == 0) return;
  xReadLocal(host, "RW", address, static_cast<int>(count), buffer.data(), 0);
}

std::uint16_t ReadMessageWord(HostVector host, int address) {
  std::uint16_t word = 0;
  ReadMessageWords(host, address, 1, std::span<char>(reinterpret_cast<char*>(&word), 2));
  return word;
}

int RecordAddress(const SendValues& v, int word) {
  return kMessageAreaAddress + v.partOffset + word;
}

// Step 1: the state this call moves to.
void Advance(HostVector host, SendValues& v) {
  if (v.state == SendStart) {
    v.partOffset = 1;
    v.partIndex = 0;
    v.state = (v.flags & SetupSent) != 0 ? SendAnnounce : SendAt;
  } else if (v.state != SendData) {
    v.state = static_cast<std::uint16_t>(v.state * 2);
  } else if ((v.flags & SecondHalfPending) == 0) {
    std::uint16_t parts = ReadMessageWord(host, kMessageAreaAddress);
    ++v.partIndex;
    v.state = v.partIndex < parts ? SendAnnounce : SendDone;
  }
}

// "AT+CMGS=" with the first three digits of the record's length word.
void Announce(HostVector host, SendValues& v, std::span<char> command) {
  v.flags |= SetupSent;
  AppendAscii(command, "AT+CMGS=");
  // The bounded write keeps the first three digits of a longer number.
  char digits[4] = {};
  FormatDecimal(digits, ReadMessageWord(host, RecordAddress(v, kLengthWord)));
  AppendAscii(command, digits);
  AppendAscii(command, "\r\n");
}

// The record's PDU data, in two halves when it has more than 100 words. A
// count above 200 is taken as 200: no more fits the two commands. A pending
// second half always ends the record, even when the count word no longer
// says it has one: left pending, the sender would stay in this state and
// the checker accept every reply unread, with no end to the message.
void PlaceData(HostVector host, SendValues& v, std::span<char> command) {
  std::uint16_t count = ReadMessageWord(host, RecordAddress(v, kCountWord));
  if (count > kMaxDataWords) count = kMaxDataWords;
  int data = RecordAddress(v, kDataWord);
  if ((v.flags & SecondHalfPending) != 0) {
    v.flags &= static_cast<std::uint16_t>(~SecondHalfPending);
    if (count > kHalfWords) ReadMessageWords(host, data + kHalfWords, count - kHalfWords, command);
  } else if (count <= kHalfWords) {
    ReadMessageWords(host, data, count, command);
  } else {
    v.flags |= SecondHalfPending;
    ReadMessageWords(host, data, kHalfWords, command);
    return;
  }
  v.partOffset = static_cast<std::uint16_t>(v.partOffset + count + kDataWord);
}

void ShowSuccess(HostVector host, std::span<char> text) {
  AppendAscii(text, kSuccessText);
  xWriteLocal(host, "RW", kStatusTextAddress, kStatusTextWords, text.data(), 0);
}

// Step 3: builds the command of the state. False when there is none to place.
bool BuildCommand(HostVector host, SendValues& v, std::span<char> command) {
  switch (v.state) {
    case SendStart:  // only a 16-bit overflow of the doubling gets here
    case SendAt:
      AppendAscii(command, "AT\r\n");
      return true;
    case SendEchoOff:
      AppendAscii(command, "ATE0\r\n");
      return true;
    case SendPduMode:
      AppendAscii(command, "AT+CMGF=0\r\n");
      return true;
    case SendCharset:
      AppendAscii(command, "AT+CSCS=\"UCS2\"\r\n");
      return true;
    case SendAnnounce:
      Announce(host, v, command);
      return true;
    case SendData:
      PlaceData(host, v, command);
      return true;
    default:
      v.state = SendDone;
      ShowSuccess(host, command);
      return false;
  }
}

}  // namespace

extern "C" int macro_main(MacroWord, MacroWord, MacroWord, MacroWord, MacroWord transmitFlag,
                          MacroWord, MacroWord record, MacroWord, HostVector host) {
  SendValues v = LoadValues(record);
  Advance(host, v);
  char command[kCommandBytes] = {};
  xWriteLocal(host, "LW", kModemReplyAddress, kModemReplyWords, command, 0);
  if (BuildCommand(host, v, command)) {
    xWriteLocal(host, "LW", kModemCommandAddress, kModemCommandWords, command, 0);
    RaiseTransmitFlag(transmitFlag);
  }
  NoteChainSentTick(host, ReadTickCounter(host));
  StoreValues(record, v);
  PutRecordWord(record, SenderVectorWord, SetMacroVector(SequencerMacro));
  return 0;
}
