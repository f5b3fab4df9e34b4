#include "harness.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "host/catalog.h"
#include "host/faults.h"
#include "macro/codes.h"

namespace fuzz {
namespace {

using Files = std::vector<std::string>;

constexpr char kSendSettings[] = "SMSProfile_1.bin";
constexpr char kRecipients[] = "SMSProfile_2.bin";
constexpr char kTemplate[] = "SMSProfile_3.bin";
constexpr char kServerProfile[] = "SMSServerProfile.bin";
constexpr char kMessage[] = "SMSMessage.bin";
constexpr char kFrames[] = "SMSMessage.txt";
constexpr char kScript[] = "SMSMessage.at";
constexpr char kPhoneBook[] = "panel_phone_book.bin";

// Registers of the shared map.
constexpr Window kCommand{DeviceLW, 0, 100};
constexpr Window kReply{DeviceLW, 100, 100};
constexpr Window kRequestBit{DeviceLB, 0, 1};
constexpr Window kSentTick{DeviceLW, 1007, 2};
constexpr Window kEventMask{DeviceLW, 5999, 1};
constexpr Window kBlock{DeviceLW, 6000, 8};
constexpr Window kTransmitterBlock{DeviceLW, 6000, 14};
constexpr Window kErrorWord{DeviceLW, 6007, 1};
constexpr Window kTicks{DeviceLW, 9034, 2};
constexpr Window kSendSettingsWindow{DeviceLW, 6100, 4};
constexpr Window kRecipientsWindow{DeviceLW, 6200, 46};
constexpr Window kTemplateWindow{DeviceLW, 6300, 420};
constexpr Window kPhoneBookWindow{DeviceLW, 6000, 271};
constexpr Window kStatusText{DeviceRW, 432, 100};
// The composer's recipe block (masks, title, sixteen texts): RW 90..431.
constexpr Window kAlarmBlock{DeviceRW, 90, 342};
constexpr Window kAlarmTexts{DeviceRW, 92, 340};
// The part encoder's block: RW 80..421.
constexpr Window kPartBlock{DeviceRW, 80, 342};
// The message area: the sender may read part records up to the end of RW.
constexpr Window kMessageArea{DeviceRW, 2000, 65536 - 2000};
// The composer writes the length and at most 412 characters.
constexpr Window kComposedText{DeviceRW, 2000, 413};
constexpr Window kPartEncoderText{DeviceRW, 2000, 500};
// The number encoder: RW 4, the numbers from RW 5 (the sixth begins inside
// the output area, RW 30..79, and never validates).
constexpr Window kNumberInputs{DeviceRW, 4, 31};
constexpr Window kNumberOutputs{DeviceRW, 30, 50};
constexpr Window kGprsData{DeviceFRW, 0, 433};

std::vector<Rules> MakeRules() {
  std::vector<Rules> r;
  r.push_back({"srv_dispatch", {kBlock, kEventMask, kTicks}, {kBlock}, {}, false, {kServerProfile}, {}});
  r.push_back({"srv_compose_text", {kBlock, kEventMask}, {kBlock}, {}, false, {kMessage}, {}});
  r.push_back({"srv_compose_events", {kEventMask}, {kErrorWord}, {}, false, {kMessage}, {}});
  r.push_back({"srv_store_settings",
               {kBlock, kSendSettingsWindow, kRecipientsWindow, kTemplateWindow},
               {kBlock, kSendSettingsWindow, kRecipientsWindow, kTemplateWindow},
               {}, false, {kSendSettings, kRecipients, kTemplate}, {}});
  r.push_back({"srv_encode_pdu", {}, {kErrorWord}, {}, false, {kFrames}, {}});
  r.push_back({"srv_encode_pdu_alt", {kBlock}, {kBlock}, {}, false, {kFrames}, {kMessage}});
  r.push_back({"srv_build_script", {}, {kErrorWord}, {}, false, {kScript}, {}});
  r.push_back({"srv_build_script_alt", {kBlock}, {kBlock}, {}, false, {kScript}, {kFrames}});
  r.push_back({"srv_build_script_stub", {}, {}, {}, false, {}, {}});
  r.push_back({"srv_transmit", {kTransmitterBlock, kReply, kTicks},
               {kTransmitterBlock, kCommand, kReply, kRequestBit}, {}, false, {}, {}});
  r.push_back({"srv_transmit_alt", {kTransmitterBlock, kReply, kTicks},
               {kTransmitterBlock, kCommand, kReply, kRequestBit}, {}, false, {}, {kScript}});
  r.push_back({"link_send_sequence", {kMessageArea, kTicks}, {kReply, kCommand, kStatusText, kSentTick},
               {SenderVectorWord, SenderFlagsWord, SenderStateWord, SenderPartIndexWord,
                SenderPartOffsetWord},
               true, {}, {}});
  for (const char* composer : {"link_compose_alarms", "link_compose_events"}) {
    r.push_back({composer, {kAlarmBlock}, {kComposedText}, {ComposerVectorWord, ComposerFailureWord},
                 false, {}, {}});
  }
  r.push_back({"link_encode_parts", {kPartBlock}, {kPartEncoderText}, {PartEncoderCountWord}, false,
               {}, {}});
  r.push_back({"link_encode_number", {kNumberInputs}, {kNumberOutputs}, {}, false, {}, {}});
  r.push_back({"link_sequencer", {}, {},
               {SequencerVectorWord, SequencerFailureWord, SequencerStateWord, SequencerSendStateWord},
               false, {}, {}});
  r.push_back({"link_check_reply", {kTicks, kSentTick, kReply}, {},
               {CheckerVectorWord, CheckerFailureWord}, false, {}, {}});
  r.push_back({"link_report_error", {}, {kStatusText},
               {ReporterVectorWord, ReporterFailureWord, ReporterFlagsWord, ReporterSequencerStateWord},
               false, {}, {}});
  r.push_back({"panel_phone_book", {kPhoneBookWindow}, {kPhoneBookWindow}, {PhoneBookResultWord},
               false, {kPhoneBook}, {}});
  r.push_back({"panel_alarm_texts", {{DeviceRW, 90, 1}, kAlarmTexts}, {kAlarmTexts},
               {AlarmTextsVectorWord, AlarmTextsFailureWord, AlarmTextsStatusWord}, false, {}, {}});
  r.push_back({"panel_common_stub", {}, {}, {}, false, {}, {}});
  r.push_back({"panel_title_stub", {}, {}, {}, false, {}, {}});
  r.push_back({"net_send_connection", {kTicks}, {kCommand, kSentTick}, {GprsMacroVectorWord}, true,
               {}, {}});
  r.push_back({"net_load_settings", {}, {kGprsData}, {}, false, {}, {}});
  r.push_back({"net_service_stub", {}, {}, {}, false, {}, {}});
  return r;
}

const std::vector<Rules>& AllRules() {
  static const std::vector<Rules> rules = MakeRules();
  return rules;
}

bool Inside(const std::vector<Window>& windows, int device, int address, int count) {
  for (const Window& w : windows) {
    if (w.device == device && address >= w.first && count >= 0 &&
        static_cast<long>(address) + count <= static_cast<long>(w.first) + w.count) {
      return true;
    }
  }
  return false;
}

bool Listed(const Files& files, const std::string& name) {
  return std::find(files.begin(), files.end(), name) != files.end();
}

std::string AccessText(const host::RegisterAccessRecord& a) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%s of %d elements at %d:%d (kind %d)", a.write ? "write" : "read",
                a.count, a.device, a.address, a.kind);
  return buf;
}

}  // namespace

const Rules& RulesOf(const std::string& plugin) {
  for (const Rules& r : AllRules()) {
    if (r.plugin == plugin) return r;
  }
  Violation(plugin, "no rules for this plug-in");
}

void Violation(const std::string& plugin, const std::string& what) {
  std::fprintf(stderr, "\n*** %s: %s\n", plugin.c_str(), what.c_str());
  std::fflush(stderr);
  std::abort();
}

std::vector<std::uint8_t> Padded(std::span<const std::uint8_t> file, std::size_t length) {
  std::vector<std::uint8_t> out(length, 0);
  std::copy_n(file.begin(), std::min(length, file.size()), out.begin());
  return out;
}

namespace {

Harness* the = nullptr;

void Release() {
  delete the;
  the = nullptr;
}

}  // namespace

Harness& Harness::Get() {
  if (the == nullptr) {
    the = new Harness();
    std::atexit(Release);  // unloads the plug-ins and removes the working folder
  }
  return *the;
}

Harness::~Harness() = default;

Harness::Harness() : record_(host::kRecordWords, kRecordCanary) {
  int count = 0;
  const host::CatalogEntry* all = host::Deliverables(&count);
  for (int i = 0; i < count; ++i) {
    std::string error;
    std::string path = std::string(MACRO_PLUGIN_DIR) + "/" + host::PluginFileName(all[i].name);
    auto plugin = host::Plugin::Load(path, &error);
    if (!plugin) Violation(all[i].name, "cannot load: " + error);
    plugins_[all[i].name] = std::move(plugin);
  }
  panel_.Fill(kCanaryWord, kCanaryBit);
  Reset();
}

std::vector<std::uint16_t>& Harness::ExpectedWords(int device) {
  auto& w = words_[device];
  if (w.empty()) w.assign(host::kAreaWords, kCanaryWord);
  return w;
}

std::vector<std::uint8_t>& Harness::ExpectedBits(int device) {
  auto& b = bits_[device];
  if (b.empty()) b.assign(host::kAreaBits, kCanaryBit);
  return b;
}

void Harness::Reset() {
  // Only the areas an input or a plug-in touched differ from the canary;
  // their expected copies stay allocated for the next input.
  for (auto& [device, expected] : words_) {
    std::fill_n(&panel_.Word(device, 0), host::kAreaWords, kCanaryWord);
    std::fill(expected.begin(), expected.end(), kCanaryWord);
  }
  for (auto& [device, expected] : bits_) {
    std::fill_n(&panel_.Bit(device, 0), host::kAreaBits, kCanaryBit);
    std::fill(expected.begin(), expected.end(), kCanaryBit);
  }
  std::fill(panel_.record.begin(), panel_.record.end(), kRecordCanary);
  std::fill(record_.begin(), record_.end(), kRecordCanary);
  panel_.transmitFlag = 0;
  panel_.log.clear();
  panel_.drawCalls.clear();
  for (const std::string& f : work_.Files()) std::remove(f.c_str());
}

void Harness::SetWord(int device, int address, std::uint16_t value) {
  panel_.Word(device, address) = value;
  ExpectedWords(device)[static_cast<std::size_t>(address)] = value;
}

void Harness::SetWords(int device, int address, std::span<const std::uint16_t> values) {
  for (std::size_t i = 0; i < values.size(); ++i) SetWord(device, address + static_cast<int>(i), values[i]);
}

void Harness::SetBytes(int device, int address, std::span<const std::uint8_t> bytes) {
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    unsigned hi = i + 1 < bytes.size() ? bytes[i + 1] : 0u;
    SetWord(device, address + static_cast<int>(i / 2), static_cast<std::uint16_t>(bytes[i] | (hi << 8)));
  }
}

void Harness::SetPair(int device, int address, std::uint32_t value) {
  SetWord(device, address, static_cast<std::uint16_t>(value));
  SetWord(device, address + 1, static_cast<std::uint16_t>(value >> 16));
}

void Harness::SetRecord(int word, std::uint16_t value) {
  panel_.record[static_cast<std::size_t>(word)] = value;
  record_[static_cast<std::size_t>(word)] = value;
}

void Harness::WriteFile(const std::string& name, std::span<const std::uint8_t> bytes) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void Harness::WriteFile(const std::string& name, const std::string& bytes) {
  WriteFile(name, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                                bytes.size()));
}

void Harness::RemoveFile(const std::string& name) { std::remove(name.c_str()); }

bool Harness::ReadFile(const std::string& name, std::string* bytes) const {
  return work_.Read(name, bytes);
}

bool Harness::HasFile(const std::string& name) const {
  std::string ignored;
  return ReadFile(name, &ignored);
}

std::string Harness::Bytes(int device, int address, int words) {
  std::string out;
  for (int i = 0; i < words; ++i) {
    std::uint16_t w = panel_.Word(device, address + i);
    out.push_back(static_cast<char>(w & 0xFF));
    out.push_back(static_cast<char>(w >> 8));
  }
  return out;
}

void Harness::TakeCommand() {
  panel_.transmitFlag = 0;
  panel_.Bit(DeviceLB, 0) = 0;
  ExpectedBits(DeviceLB)[0] = 0;
}

std::map<std::string, std::string> Harness::FolderContents() const {
  std::map<std::string, std::string> files;
  for (const std::string& f : work_.Files()) work_.Read(f, &files[f]);
  return files;
}

void Harness::Call(const std::string& name) {
  auto it = plugins_.find(name);
  if (it == plugins_.end()) Violation(name, "not loaded");
  const Rules& rules = RulesOf(name);
  std::map<std::string, std::string> before = FolderContents();
  std::size_t logFrom = panel_.log.size();
  std::uint8_t flagBefore = panel_.transmitFlag;
  host::ResetCalls();

  int result = it->second->Call(panel_);

  if (result != 0) Violation(name, "macro_main returned " + std::to_string(result));
  const host::CallStats& stats = host::Calls().stats;
  if (stats.liveAllocations != 0) {
    Violation(name, std::to_string(stats.liveAllocations) + " allocations not released");
  }
  if (stats.openFiles != 0) Violation(name, std::to_string(stats.openFiles) + " files left open");
  if (!panel_.drawCalls.empty()) Violation(name, "called a drawing or SQL slot");
  if (!rules.transmitFlag && panel_.transmitFlag != flagBefore) {
    Violation(name, "changed the transmit flag");
  }
  for (int word : rules.record) record_[static_cast<std::size_t>(word)] = panel_.record[static_cast<std::size_t>(word)];
  if (panel_.record != record_) {
    auto at = std::mismatch(record_.begin(), record_.end(), panel_.record.begin()).first - record_.begin();
    Violation(name, "changed record word " + std::to_string(at));
  }
  CheckRegisters(rules, logFrom);
  CheckFiles(rules, before);
}

void Harness::CheckRegisters(const Rules& rules, std::size_t logFrom) {
  for (std::size_t i = logFrom; i < panel_.log.size(); ++i) {
    const host::RegisterAccessRecord& a = panel_.log[i];
    const std::vector<Window>& allowed = a.write ? rules.writes : rules.reads;
    if (!Inside(allowed, a.device, a.address, a.count)) {
      Violation(rules.plugin, AccessText(a) + " outside its registers");
    }
    if (!a.write || a.result != 1) continue;
    // An allowed write: the expected contents follow the panel.
    if (panel_.IsWordArea(a.device)) {
      auto& expected = ExpectedWords(a.device);
      std::copy_n(&panel_.Word(a.device, a.address), a.count, expected.begin() + a.address);
    } else {
      auto& expected = ExpectedBits(a.device);
      std::copy_n(&panel_.Bit(a.device, a.address), a.count, expected.begin() + a.address);
    }
  }
  panel_.log.erase(panel_.log.begin() + static_cast<std::ptrdiff_t>(logFrom), panel_.log.end());
  // The canary compare: every area as the inputs and the allowed writes left it.
  static const std::vector<std::uint16_t> canaryWords(host::kAreaWords, kCanaryWord);
  static const std::vector<std::uint8_t> canaryBits(host::kAreaBits, kCanaryBit);
  for (int d = kLowestDeviceCode; d <= kHighestDeviceCode; ++d) {
    bool words = panel_.IsWordArea(d);
    const void* now = words ? static_cast<const void*>(&panel_.Word(d, 0)) : &panel_.Bit(d, 0);
    const void* want = nullptr;
    std::size_t bytes = words ? host::kAreaWords * 2 : host::kAreaBits;
    if (words) {
      auto e = words_.find(d);
      want = e == words_.end() ? canaryWords.data() : e->second.data();
    } else {
      auto e = bits_.find(d);
      want = e == bits_.end() ? canaryBits.data() : e->second.data();
    }
    if (std::memcmp(now, want, bytes) == 0) continue;
    std::size_t at = 0;
    while (static_cast<const char*>(now)[at] == static_cast<const char*>(want)[at]) ++at;
    Violation(rules.plugin, std::string(words ? "register " : "bit ") + std::to_string(d) + ":" +
                                std::to_string(words ? at / 2 : at) + " changed outside its windows");
  }
}

void Harness::CheckFiles(const Rules& rules, const std::map<std::string, std::string>& before) {
  std::map<std::string, std::string> after = FolderContents();
  for (const auto& [name, bytes] : after) {
    auto was = before.find(name);
    bool changed = was == before.end() || was->second != bytes;
    if (changed && !Listed(rules.writesFiles, name)) {
      Violation(rules.plugin, (was == before.end() ? "created " : "changed ") + name);
    }
  }
  for (const auto& [name, bytes] : before) {
    if (after.count(name) == 0 && !Listed(rules.removesFiles, name)) {
      Violation(rules.plugin, "removed " + name);
    }
  }
}

}  // namespace fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Load the plug-ins before the fuzzer starts, so their coverage counts.
  fuzz::Harness::Get();
  return 0;
}
