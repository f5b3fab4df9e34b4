// The substitute host's side of the chain: one set of chain values, the
// binding table that says which record word of which macro carries each of
// them, the dispatcher that turns a set macro-vector bit into a call of the
// macro with that number, and the two macros of the panel project that are
// not plug-ins here (the PDU structure builder, macro 3, and the macro that
// follows a connection-profile command, macro 13).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "host/panel.h"
#include "host/plugin.h"
#include "macro/codes.h"

namespace host {

// Macro 13 finds the reply time-out in word 2 of its record; words 0 and 1
// are net_send_connection's (GprsProfileCommandWord, GprsMacroVectorWord).
inline constexpr int kConnectionTimeoutWord = 2;

// The values the macros pass to one another. The host keeps them between
// calls; a macro sees them only in its record words during its call.
struct ChainValues {
  std::uint16_t macroVector = 0;
  std::uint16_t failureMask = 0;
  std::uint16_t sendFlags = 0;
  std::uint16_t sendState = 0;
  std::uint16_t sequencerState = 0;
  std::uint16_t partIndex = 0;
  std::uint16_t partOffset = 0;
  std::uint16_t replyTimeout = 0;  // units of ten ticks; set by the panel project
  // The connection-profile chain has a vector of its own.
  std::uint16_t connectionVector = 0;
  std::uint16_t profileCommand = 0;
};

// One row of a macro's binding: the record word that carries a value.
struct ChainBinding {
  std::uint16_t ChainValues::*value;
  int word;
};

// The binding of macro `macro`; empty for a number the chain does not use.
std::span<const ChainBinding> BindingOf(int macro);

// A macro the host runs itself: the panel and the macro's record words.
using HostMacro = void (*)(Panel& panel, std::span<std::uint16_t> record);

// Macro 3: turns the composed text of RW 2000.. into part records holding
// one SMS-SUBMIT PDU ending with Ctrl-Z per recipient and part, addressed
// with the destination addresses of RW 30 + 10i (count in RW 4, at most
// five). Hands back with bit 7; fails with bit 6 and failure bit 3 when
// there is no text, no or a malformed address, or the records do not fit.
void PduStructureBuilder(Panel& panel, std::span<std::uint16_t> record);

// Macro 13: waits for the modem's answer to the last profile command and
// judges its result line (the last non-empty one, after echo and information
// lines). "OK" moves on to the next command (bit 12) until command 7 is done
// (vector 0); "ERROR", "+CME ERROR" or "+CMS ERROR", or no result within the
// reply time-out, ends the chain (vector 0) with the failed command left in
// word 0.
void AfterConnectionCommand(Panel& panel, std::span<std::uint16_t> record);

class ChainDispatcher {
 public:
  explicit ChainDispatcher(Panel& panel) : panel_(panel) {}

  // Runs `plugin` (or `macro`) whenever bit `number` is selected. False for
  // a number without a binding.
  bool Attach(int number, std::unique_ptr<Plugin> plugin);
  bool Attach(int number, HostMacro macro);

  // Loads the chain plug-ins of `dir` (the composer under `composer`) and
  // net_send_connection when the folder holds it, and attaches macros 3 and
  // 13. Returns false with `error` when a chain plug-in cannot be loaded.
  bool AttachChain(const std::string& dir, std::string* error,
                   const std::string& composer = "link_compose_alarms");

  // Sets bit 7 when the chain rests (vector 0, sequencer state 0).
  bool StartMessage();
  // Sets bit 12 for profile command `command` when that chain rests.
  bool StartConnection(std::uint16_t command);

  // The macro the vectors select: the lowest bit of the chain's vector, else
  // of the connection-profile vector; -1 when both are 0.
  int Selected() const;

  // Calls the selected macro once: its bound values go into its record
  // words before the call and come back after it. Returns the macro number,
  // -1 when nothing is selected, -2 when nothing is attached for the bit.
  int Step();

  // Whether both chains rest: vectors, failure mask and sequencer state 0.
  bool AtRest() const;

  ChainValues values;
  // Record words outside its binding that a macro changed, one line each.
  std::vector<std::string> violations;
  // Called after every call with the macro number.
  std::function<void(int macro)> onCall;

 private:
  struct Handler {
    std::unique_ptr<Plugin> plugin;
    HostMacro macro = nullptr;
  };
  Panel& panel_;
  std::map<int, Handler> handlers_;
};

}  // namespace host
