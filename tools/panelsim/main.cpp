// panelsim: runs the plug-ins off the panel, on a substitute host.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"

namespace panelsim {
namespace {

const Command kCommands[] = {
    {"list", "list [--plugins DIR]",
     "load every plug-in in DIR and call it once on an empty panel", RunList},
    {"phonebook", "phonebook load|save [--dir DIR]",
     "load or save the phone book file in DIR and show the result word", RunPhonebook},
    {"demo", "demo [--chain flags|word]",
     "send sample alarms through the server plug-ins and the emulated modem", RunDemo},
    {"send", "send --to NUMBER --event TEXT... [options]",
     "send one message through the server plug-ins and the emulated modem", RunSend},
    {"compose", "compose [--title T] [--event TEXT]... [--mask N]",
     "compose and encode a message and show its PDUs field by field", RunCompose},
    {"modem", "modem --pty | modem check --modem DEV",
     "serve the emulated modem on a pseudo-terminal, or check a real modem", RunModem},
    {"chain", "chain [--alarm TEXT]... [--phone DIGITS]... [...]",
     "send alarm lists through the chain and the emulated modem (--help)", RunChain},
    {"gprs", "gprs [--dir DIR] [--show-secrets]",
     "send the seven connection-profile commands of DIR's profile file to the modem", RunGprs},
    {"inspect", "inspect FILE... [--as KIND] [--json]",
     "show what a data file holds and what is wrong with it", RunInspect},
    {"settings", "settings write|check|read|example",
     "write the data files from a TOML file, or read them into one", RunSettings},
    {"soak", "soak --messages N [--seed S]",
     "both generations against a faulty emulated modem; every send delivered or explained", RunSoak},
};

void Usage(std::FILE* to) {
  std::fprintf(to, "usage: panelsim COMMAND [ARGS...]\n\ncommands:\n");
  for (const Command& c : kCommands) std::fprintf(to, "  %-40s %s\n", c.synopsis, c.summary);
}

}  // namespace

std::string DefaultPluginDir() { return MACRO_PLUGIN_DIR; }

}  // namespace panelsim

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    panelsim::Usage(stderr);
    return 2;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    panelsim::Usage(stdout);
    return 0;
  }
  for (const panelsim::Command& c : panelsim::kCommands) {
    if (args[0] == c.name) return c.run(std::vector<std::string>(args.begin() + 1, args.end()));
  }
  std::fprintf(stderr, "panelsim: unknown command '%s'\n\n", args[0].c_str());
  panelsim::Usage(stderr);
  return 2;
}
