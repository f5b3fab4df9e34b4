#include "host/server_pipeline.h"

#include <algorithm>

#include "macro/codes.h"

namespace host {
namespace {

constexpr int kFlags = 6003, kState = 6005, kError = 6007, kMask = 5999;

const char* const kFlagChained[] = {"srv_store_settings", "srv_dispatch", "srv_compose_text",
                                    "srv_encode_pdu_alt", "srv_build_script_alt",
                                    "srv_transmit_alt"};
const char* const kErrorWordOnly[] = {"srv_store_settings", "srv_dispatch", "srv_compose_events",
                                      "srv_encode_pdu", "srv_build_script", "srv_transmit"};

void PutUcs2(Panel& panel, int address, const std::u16string& text, int units) {
  for (int i = 0; i < units; ++i) {
    panel.Word(DeviceLW, address + i) =
        i < static_cast<int>(text.size()) ? text[static_cast<std::size_t>(i)] : 0;
  }
}

std::uint32_t Flags(Panel& p) { return p.GetPair(DeviceLW, kFlags); }
void SetFlags(Panel& p, std::uint32_t f) { p.SetPair(DeviceLW, kFlags, f); }

}  // namespace

std::u16string Utf8ToUcs2(const std::string& utf8) {
  std::u16string out;
  std::size_t i = 0;
  auto cont = [&utf8](std::size_t at) {
    return at < utf8.size() && (static_cast<unsigned char>(utf8[at]) & 0xC0) == 0x80;
  };
  while (i < utf8.size()) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out.push_back(c);
      i += 1;
    } else if ((c & 0xE0) == 0xC0 && cont(i + 1)) {
      out.push_back(static_cast<char16_t>(((c & 0x1F) << 6) | (utf8[i + 1] & 0x3F)));
      i += 2;
    } else if ((c & 0xF0) == 0xE0 && cont(i + 1) && cont(i + 2)) {
      out.push_back(static_cast<char16_t>(((c & 0x0F) << 12) | ((utf8[i + 1] & 0x3F) << 6) |
                                          (utf8[i + 2] & 0x3F)));
      i += 3;
    } else {
      out.push_back(0xFFFD);
      i += 1;
      while (cont(i)) ++i;
    }
  }
  return out;
}

void PutServerSettings(Panel& panel, const ServerSettings& s) {
  panel.Word(DeviceLW, 6100) = static_cast<std::uint16_t>(s.scheduleEnabled);
  panel.Word(DeviceLW, 6101) = static_cast<std::uint16_t>(s.sendMode);
  panel.Word(DeviceLW, 6102) = static_cast<std::uint16_t>(s.sendInterval);
  panel.Word(DeviceLW, 6103) = static_cast<std::uint16_t>(s.replyTimeout);
  for (int a = 6200; a < 6246; ++a) panel.Word(DeviceLW, a) = 0;
  panel.Word(DeviceLW, 6200) = static_cast<std::uint16_t>(std::min<std::size_t>(s.numbers.size(), 3));
  for (std::size_t i = 0; i < s.numbers.size() && i < 3; ++i) {
    panel.PutText(DeviceLW, 6201 + 15 * static_cast<int>(i), s.numbers[i].substr(0, 10), 5);
  }
  PutUcs2(panel, 6300, Utf8ToUcs2(s.title), 20);
  for (int i = 0; i < 16; ++i) {
    int base = 6320 + 25 * i;
    bool have = i < static_cast<int>(s.events.size());
    panel.Word(DeviceLW, base) = have && s.events[static_cast<std::size_t>(i)].enabled ? 1 : 0;
    for (int r = 1; r < 5; ++r) panel.Word(DeviceLW, base + r) = 0;
    PutUcs2(panel, base + 5, have ? Utf8ToUcs2(s.events[static_cast<std::size_t>(i)].text) : u"",
            20);
  }
}

ServerPipeline::ServerPipeline(std::string pluginDir, ServerChain chain)
    : dir_(std::move(pluginDir)), chain_(chain) {}

ServerPipeline::~ServerPipeline() = default;

bool ServerPipeline::Load(std::string* error) {
  plugins_.clear();
  names_.clear();
  const auto& names = chain_ == ServerChain::FlagChained ? kFlagChained : kErrorWordOnly;
  for (const char* name : names) {
    auto p = Plugin::Load(dir_ + "/" + PluginFileName(name), error);
    if (!p) return false;
    plugins_.push_back(std::move(p));
    names_.push_back(name);
  }
  return true;
}

int ServerPipeline::Call(const std::string& name, Panel& panel, ModemPort* link) {
  auto it = std::find(names_.begin(), names_.end(), name);
  if (it == names_.end()) return -1;
  int r = plugins_[static_cast<std::size_t>(it - names_.begin())]->Call(panel);
  if (link != nullptr) {
    link->AfterCall(panel);
    link->Tick(panel, 1);
  }
  if (onCall) onCall(name, panel);
  return r;
}

std::uint16_t ServerPipeline::StoreSettings(Panel& panel, const ServerSettings& settings) {
  PutServerSettings(panel, settings);
  panel.SetPair(DeviceLW, kState, StateStoreSettings);
  Call("srv_store_settings", panel, nullptr);
  return panel.Word(DeviceLW, kError);
}

std::uint16_t ServerPipeline::LoadSettings(Panel& panel) {
  panel.SetPair(DeviceLW, kState, StateLoadSettings);
  Call("srv_store_settings", panel, nullptr);
  return panel.Word(DeviceLW, kError);
}

PipelineRun ServerPipeline::Run(Panel& panel, ModemPort& link, std::uint16_t mask, bool forceSend,
                                int maxTransmitterCalls) {
  PipelineRun run;
  panel.Word(DeviceLW, kMask) = mask;
  auto step = [&](const std::string& name) {
    Call(name, panel, &link);
    run.steps.push_back({name, panel.Word(DeviceLW, kError)});
    return panel.Word(DeviceLW, kError);
  };
  auto stop = [&](const std::string& name) {
    run.result = panel.Word(DeviceLW, kError);
    run.stoppedAt = name;
    return run;
  };

  if (forceSend) {
    SetFlags(panel, Flags(panel) | SendDue);
  } else if (step("srv_dispatch") != 0) {
    return stop("srv_dispatch");
  }
  run.sendRaised = (Flags(panel) & SendDue) != 0;
  if (!run.sendRaised) return run;
  SetFlags(panel, Flags(panel) & ~std::uint32_t{SendDue});

  if (chain_ == ServerChain::FlagChained) {
    step("srv_compose_text");
    if (!(Flags(panel) & MessageReady)) return stop("srv_compose_text");
    SetFlags(panel, Flags(panel) & ~std::uint32_t{MessageReady});
    step("srv_encode_pdu_alt");
    if (!(Flags(panel) & FramesReady)) return stop("srv_encode_pdu_alt");
    SetFlags(panel, Flags(panel) & ~std::uint32_t{FramesReady});
    step("srv_build_script_alt");
    if (panel.GetPair(DeviceLW, kState) != StateScriptReady) return stop("srv_build_script_alt");
  } else {
    for (const char* name : {"srv_compose_events", "srv_encode_pdu", "srv_build_script"}) {
      if (step(name) != 0) return stop(name);
    }
    panel.SetPair(DeviceLW, kState, StateScriptReady);
  }

  const char* transmitter =
      chain_ == ServerChain::FlagChained ? "srv_transmit_alt" : "srv_transmit";
  while (run.transmitterCalls < maxTransmitterCalls) {
    ++run.transmitterCalls;
    Call(transmitter, panel, &link);
    if (panel.GetPair(DeviceLW, kState) == StateIdle) break;
  }
  run.steps.push_back({transmitter, panel.Word(DeviceLW, kError)});
  return stop(transmitter);
}

}  // namespace host
