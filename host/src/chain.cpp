#include "host/chain.h"

#include <algorithm>

#include "macro/codes.h"

namespace host {
namespace {

using V = ChainValues;

// The binding table: which word of which macro's record carries which value.
constexpr ChainBinding kComposer[] = {
    {&V::macroVector, ComposerVectorWord},
    {&V::failureMask, ComposerFailureWord},
};
constexpr ChainBinding kPduBuilder[] = {
    {&V::macroVector, PduBuilderVectorWord},
    {&V::failureMask, PduBuilderFailureWord},
};
constexpr ChainBinding kSender[] = {
    {&V::macroVector, SenderVectorWord},     {&V::sendFlags, SenderFlagsWord},
    {&V::sendState, SenderStateWord},        {&V::partIndex, SenderPartIndexWord},
    {&V::partOffset, SenderPartOffsetWord},
};
constexpr ChainBinding kChecker[] = {
    {&V::macroVector, CheckerVectorWord},    {&V::failureMask, CheckerFailureWord},
    {&V::sendState, CheckerSendStateWord},   {&V::sendFlags, CheckerFlagsWord},
    {&V::replyTimeout, CheckerTimeoutWord},
};
constexpr ChainBinding kReporter[] = {
    {&V::macroVector, ReporterVectorWord},   {&V::failureMask, ReporterFailureWord},
    {&V::sendFlags, ReporterFlagsWord},      {&V::sendState, ReporterSendStateWord},
    {&V::sequencerState, ReporterSequencerStateWord},
};
constexpr ChainBinding kSequencer[] = {
    {&V::macroVector, SequencerVectorWord},  {&V::failureMask, SequencerFailureWord},
    {&V::sequencerState, SequencerStateWord}, {&V::sendState, SequencerSendStateWord},
};
constexpr ChainBinding kConnection[] = {
    {&V::profileCommand, GprsProfileCommandWord},
    {&V::connectionVector, GprsMacroVectorWord},
};
constexpr ChainBinding kAfterConnection[] = {
    {&V::profileCommand, GprsProfileCommandWord},
    {&V::connectionVector, GprsMacroVectorWord},
    {&V::replyTimeout, kConnectionTimeoutWord},
};

// What the record's unbound words hold during a call, to see a macro that
// writes outside its binding.
constexpr std::uint16_t kUnbound = 0xD00D;

int LowestBit(std::uint16_t vector) {
  for (int n = 0; n < 16; ++n) {
    if ((vector & (1u << n)) != 0) return n;
  }
  return -1;
}

}  // namespace

std::span<const ChainBinding> BindingOf(int macro) {
  switch (macro) {
    case ComposerMacro: return kComposer;
    case PduBuilderMacro: return kPduBuilder;
    case SenderMacro: return kSender;
    case CheckerMacro: return kChecker;
    case ErrorReporterMacro: return kReporter;
    case SequencerMacro: return kSequencer;
    case kGprsSendConnectionMacro: return kConnection;
    case kGprsAfterCommandMacro: return kAfterConnection;
    default: return {};
  }
}

bool ChainDispatcher::Attach(int number, std::unique_ptr<Plugin> plugin) {
  if (BindingOf(number).empty() || !plugin) return false;
  handlers_[number] = Handler{std::move(plugin), nullptr};
  return true;
}

bool ChainDispatcher::Attach(int number, HostMacro macro) {
  if (BindingOf(number).empty() || macro == nullptr) return false;
  handlers_[number] = Handler{nullptr, macro};
  return true;
}

bool ChainDispatcher::AttachChain(const std::string& dir, std::string* error,
                                  const std::string& composer) {
  const struct {
    int number;
    std::string name;
  } plugins[] = {
      {ComposerMacro, composer},
      {SenderMacro, "link_send_sequence"},
      {CheckerMacro, "link_check_reply"},
      {ErrorReporterMacro, "link_report_error"},
      {SequencerMacro, "link_sequencer"},
  };
  for (const auto& p : plugins) {
    auto plugin = Plugin::Load(dir + "/" + PluginFileName(p.name), error);
    if (!plugin) return false;
    Attach(p.number, std::move(plugin));
  }
  std::string ignored;
  if (auto connection = Plugin::Load(dir + "/" + PluginFileName("net_send_connection"), &ignored)) {
    Attach(kGprsSendConnectionMacro, std::move(connection));
  }
  Attach(PduBuilderMacro, PduStructureBuilder);
  Attach(kGprsAfterCommandMacro, AfterConnectionCommand);
  return true;
}

bool ChainDispatcher::StartMessage() {
  if (values.macroVector != 0 || values.sequencerState != SequencerIdle) return false;
  values.macroVector = static_cast<std::uint16_t>(1u << SequencerMacro);
  return true;
}

bool ChainDispatcher::StartConnection(std::uint16_t command) {
  if (values.connectionVector != 0) return false;
  values.profileCommand = command;
  values.connectionVector = static_cast<std::uint16_t>(1u << kGprsSendConnectionMacro);
  return true;
}

int ChainDispatcher::Selected() const {
  int n = LowestBit(values.macroVector);
  return n >= 0 ? n : LowestBit(values.connectionVector);
}

bool ChainDispatcher::AtRest() const {
  return values.macroVector == 0 && values.failureMask == 0 &&
         values.sequencerState == SequencerIdle && values.connectionVector == 0;
}

int ChainDispatcher::Step() {
  int macro = Selected();
  if (macro < 0) return -1;
  auto handler = handlers_.find(macro);
  if (handler == handlers_.end()) return -2;
  std::span<const ChainBinding> binding = BindingOf(macro);
  std::vector<std::uint16_t>& record = panel_.record;
  std::fill(record.begin(), record.end(), kUnbound);
  for (const ChainBinding& b : binding) record[static_cast<std::size_t>(b.word)] = values.*b.value;

  if (handler->second.plugin) {
    handler->second.plugin->Call(panel_);
  } else {
    handler->second.macro(panel_, record);
  }

  for (const ChainBinding& b : binding) values.*b.value = record[static_cast<std::size_t>(b.word)];
  for (std::size_t i = 0; i < record.size(); ++i) {
    bool bound = std::any_of(binding.begin(), binding.end(),
                             [i](const ChainBinding& b) { return b.word == static_cast<int>(i); });
    if (!bound && record[i] != kUnbound) {
      violations.push_back("macro " + std::to_string(macro) + " wrote record word " +
                           std::to_string(i));
    }
  }
  if (onCall) onCall(macro);
  return macro;
}

}  // namespace host
