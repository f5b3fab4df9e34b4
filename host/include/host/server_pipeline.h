// The server generation run the way a panel project wires it: the host calls
// the scheduler, and each completion signal (a flag bit, or a clean LW 6007)
// makes it call the next plug-in, until the transmitter stops. The substitute
// host plays the panel's part: it clears SendDue, MessageReady and
// FramesReady once it has reacted to them, and moves the modem traffic.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/modem.h"
#include "host/panel.h"
#include "host/plugin.h"

namespace host {

enum class ServerChain {
  FlagChained,    // compose_text, encode_pdu_alt, build_script_alt, transmit_alt by flags
  ErrorWordOnly,  // compose_events, encode_pdu, build_script, transmit, each on LW 6007 = 0
};

struct ServerEvent {
  bool enabled = true;
  std::string text;  // UTF-8, at most 20 UCS2 units
};

// What an operator types on the settings screens.
struct ServerSettings {
  int scheduleEnabled = 1;
  int sendMode = 0;
  int sendInterval = 0;   // units of 600 ticks
  int replyTimeout = 30;  // units of 10 ticks
  std::vector<std::string> numbers;  // national numbers, at most 3
  std::string title;                 // UTF-8
  std::vector<ServerEvent> events;   // at most 16
};

struct PipelineStep {
  std::string plugin;
  std::uint16_t error;  // LW 6007 after the call
};

struct PipelineRun {
  bool sendRaised = false;
  std::uint16_t result = 0;    // LW 6007 when the run ended (1: every line sent)
  std::string stoppedAt;       // the plug-in whose code ended the run
  std::vector<PipelineStep> steps;
  int transmitterCalls = 0;
};

class ServerPipeline {
 public:
  ServerPipeline(std::string pluginDir, ServerChain chain);
  ~ServerPipeline();

  // Loads the plug-ins the chain needs. False with a reason when one is missing.
  bool Load(std::string* error);

  // Puts the settings into LW 6100.., 6200.., 6300.. and has
  // srv_store_settings save them (state 8); returns LW 6007.
  std::uint16_t StoreSettings(Panel& panel, const ServerSettings& settings);
  // Has srv_store_settings load the files into the registers (state 7).
  std::uint16_t LoadSettings(Panel& panel);

  // One pass: the scheduler with this event mask (or a forced send), then the
  // chain of plug-ins up to the transmitter's stop. Each call is followed by
  // the modem link and one tick.
  PipelineRun Run(Panel& panel, ModemPort& link, std::uint16_t mask, bool forceSend = false,
                  int maxTransmitterCalls = 5000);

  // Called after every plug-in call with its name (for traces).
  std::function<void(const std::string&, Panel&)> onCall;

 private:
  int Call(const std::string& name, Panel& panel, ModemPort* link);
  std::string dir_;
  ServerChain chain_;
  std::vector<std::unique_ptr<Plugin>> plugins_;
  std::vector<std::string> names_;
};

// Register windows of the settings, as the settings screens fill them.
void PutServerSettings(Panel& panel, const ServerSettings& settings);

// UTF-8 to UCS2 units; characters outside the BMP become U+FFFD.
std::u16string Utf8ToUcs2(const std::string& utf8);

}  // namespace host
