// The two macros of the panel project that the chain calls but that are not
// plug-ins of this system, as the substitute host runs them.
#include <string>
#include <vector>

#include "host/chain.h"
#include "host/pdu.h"
#include "macro/chain_registers.h"
#include "macro/codes.h"
#include "macro/registers.h"

namespace host {
namespace {

constexpr int kMaxRecipients = 5;  // the number encoder never gets past five
constexpr std::size_t kMaxDataWords = 200;
constexpr char kEndOfPdu = '\x1A';  // Ctrl-Z ends the PDU after AT+CMGS
constexpr std::size_t kMaxParts = 255;

std::uint16_t SelectMacro(int n) { return static_cast<std::uint16_t>(1u << n); }

// The composed text of RW 2000 (length) and RW 2001.., or false when there
// is none or it runs past the register area.
bool ReadComposedText(Panel& panel, std::u16string* text) {
  int length = panel.Word(DeviceRW, kMessageAreaAddress);
  if (length == 0 || kMessageAreaAddress + 1 + length > kRegisterAreaWords) return false;
  for (int i = 0; i < length; ++i) {
    text->push_back(static_cast<char16_t>(panel.Word(DeviceRW, kMessageAreaAddress + 1 + i)));
  }
  return true;
}

// The destination addresses the number encoder left, or false when there is
// none or one of them is not an address.
bool ReadDestinations(Panel& panel, std::vector<std::string>* addresses) {
  int count = panel.Word(DeviceRW, kPhoneCountAddress);
  if (count > kMaxRecipients) count = kMaxRecipients;
  for (int i = 0; i < count; ++i) {
    std::string a = panel.GetText(DeviceRW, kDestinationAddress + kDestinationWords * i, kDestinationWords);
    if (!IsDestinationAddress(a)) return false;
    addresses->push_back(a);
  }
  return !addresses->empty();
}

struct PartRecordImage {
  std::uint16_t length;
  std::string data;  // the PDU and Ctrl-Z
};

// Writes P and the records from RW 2001. False when they do not fit.
bool WritePartRecords(Panel& panel, const std::vector<PartRecordImage>& records) {
  int offset = 1;
  for (const PartRecordImage& r : records) offset += 2 + static_cast<int>((r.data.size() + 1) / 2);
  if (kMessageAreaAddress + offset > kRegisterAreaWords) return false;
  panel.Word(DeviceRW, kMessageAreaAddress) = static_cast<std::uint16_t>(records.size());
  offset = 1;
  for (const PartRecordImage& r : records) {
    int words = static_cast<int>((r.data.size() + 1) / 2);
    panel.Word(DeviceRW, kMessageAreaAddress + offset) = r.length;
    panel.Word(DeviceRW, kMessageAreaAddress + offset + 1) = static_cast<std::uint16_t>(words);
    panel.PutText(DeviceRW, kMessageAreaAddress + offset + 2, r.data, words);
    offset += words + 2;
  }
  return true;
}

bool BuildPartRecords(Panel& panel, std::vector<PartRecordImage>* records) {
  std::u16string text;
  std::vector<std::string> addresses;
  if (!ReadComposedText(panel, &text) || !ReadDestinations(panel, &addresses)) return false;
  std::vector<std::u16string> parts = SplitMessage(text);
  if (parts.size() > kMaxParts) return false;
  // A reference that differs from one message to the next.
  auto reference = static_cast<std::uint8_t>(panel.Ticks());
  for (const std::string& address : addresses) {
    for (std::size_t i = 0; i < parts.size(); ++i) {
      Concatenation c{reference, static_cast<std::uint8_t>(parts.size()), static_cast<std::uint8_t>(i + 1)};
      std::string pdu = EncodeSmsSubmit(address, parts[i], parts.size() > 1 ? &c : nullptr);
      std::string data = pdu + kEndOfPdu;
      if ((data.size() + 1) / 2 > kMaxDataWords) return false;
      records->push_back(PartRecordImage{static_cast<std::uint16_t>(TpduOctets(pdu)), data});
    }
  }
  return true;
}

// The last non-empty line of an answer: the modem's result code, after the
// echo and any information lines (which may themselves hold "OK" or "ERROR").
std::string ResultLine(const std::string& reply) {
  std::size_t end = reply.find_last_not_of("\r\n");
  if (end == std::string::npos) return {};
  std::size_t begin = reply.find_last_of("\r\n", end);
  begin = begin == std::string::npos ? 0 : begin + 1;
  return reply.substr(begin, end + 1 - begin);
}

bool IsErrorResult(const std::string& line) {
  return line == "ERROR" || line.rfind("+CME ERROR", 0) == 0 || line.rfind("+CMS ERROR", 0) == 0;
}

}  // namespace

void PduStructureBuilder(Panel& panel, std::span<std::uint16_t> record) {
  std::vector<PartRecordImage> records;
  if (!BuildPartRecords(panel, &records) || !WritePartRecords(panel, records)) {
    record[PduBuilderVectorWord] = SelectMacro(ErrorReporterMacro);
    record[PduBuilderFailureWord] = FailedPduBuilder;
    return;
  }
  record[PduBuilderVectorWord] = SelectMacro(SequencerMacro);
}

void AfterConnectionCommand(Panel& panel, std::span<std::uint16_t> record) {
  std::string result = ResultLine(panel.GetText(DeviceLW, kModemReplyAddress, kModemReplyWords));
  if (result == "OK") {
    for (int i = 0; i < kModemReplyWords; ++i) panel.Word(DeviceLW, kModemReplyAddress + i) = 0;
    auto next = static_cast<std::uint16_t>(record[GprsProfileCommandWord] + 1);
    record[GprsProfileCommandWord] = next;
    record[GprsMacroVectorWord] = next <= GprsProfileDns2 ? SelectMacro(kGprsSendConnectionMacro) : 0;
    return;
  }
  std::uint32_t limit = panel.GetPair(DeviceLW, kChainSentTickAddress) +
                        10u * record[kConnectionTimeoutWord];
  if (!IsErrorResult(result) && limit > panel.Ticks()) return;  // still waiting
  record[GprsMacroVectorWord] = 0;
}

}  // namespace host
