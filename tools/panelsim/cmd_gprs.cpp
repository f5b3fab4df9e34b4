// panelsim gprs: sends the seven connection-profile commands of a profile
// file through the emulated modem by running net_send_connection in its
// chain (profile command in record word 0, bit 12 of the macro vector in
// word 1, the host's macro 13 after each command), and shows what the modem
// received with the password masked.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "cli.h"
#include "commands.h"
#include "host/chain.h"
#include "host/files.h"
#include "host/modem.h"
#include "host/panel.h"
#include "host/plugin.h"
#include "host/serial.h"
#include "macro/codes.h"
#include "macro/registers.h"

namespace panelsim {
namespace {

constexpr char kPlugin[] = "net_send_connection";

// The macro-vector value with which the sender hands on to macro 13.
constexpr std::uint16_t kHandedOn = 1u << kGprsAfterCommandMacro;

// Macro 13's reply time-out, in units of 10 ticks, and a bound on the calls
// of one run (seven commands take fourteen).
constexpr std::uint16_t kReplyTimeout = 5;
constexpr int kCallLimit = 200;

// Enters a folder for the lifetime of the object and returns to the previous one.
class InFolder {
 public:
  explicit InFolder(const std::string& dir) {
    previous_ = std::filesystem::current_path(error_);
    if (!error_) std::filesystem::current_path(dir, error_);
  }
  ~InFolder() {
    std::error_code ignored;
    if (!error_) std::filesystem::current_path(previous_, ignored);
  }
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;
  const std::error_code& error() const { return error_; }

 private:
  std::filesystem::path previous_;
  std::error_code error_;
};

// "0,passwd,secret" as the modem keeps it, with the value masked.
std::string MaskSetting(const std::string& setting) {
  return host::MaskProfileSecrets("^sics=" + setting).substr(6);
}

}  // namespace

GprsRun RunGprsProfile(const std::string& plugins, const std::string& dir, host::ModemPort* modem) {
  GprsRun run;
  std::string error;
  auto plugin = host::Plugin::Load(plugins + "/" + host::PluginFileName(kPlugin), &error);
  if (!plugin) {
    run.error = std::string("cannot load ") + kPlugin + ": " + error;
    return run;
  }
  const std::string file = host::DataFile(host::DataFileKind::ConnectionProfile).fileName;
  InFolder folder(dir);
  if (folder.error()) {
    run.error = "cannot enter " + dir + ": " + folder.error().message();
    return run;
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) {
    run.error = "no " + file + " in " + dir;
    return run;
  }

  // The connection-profile chain as the panel project runs it: the plug-in
  // as macro 12, the host's macro 13 judging each answer and selecting the
  // next command, the modem behind the link.
  host::Panel panel;
  host::ModemLink emulated;
  host::ModemPort& link = modem != nullptr ? *modem : emulated;
  host::ChainDispatcher chain(panel);
  chain.Attach(kGprsSendConnectionMacro, std::move(plugin));
  chain.Attach(kGprsAfterCommandMacro, host::AfterConnectionCommand);
  chain.values.replyTimeout = kReplyTimeout;
  chain.onCall = [&](int macro) {
    if (macro == kGprsSendConnectionMacro) {
      GprsStep step;
      step.command = chain.values.profileCommand;
      step.tag = host::ConnectionFields()[step.command - GprsProfileConType].tag;
      step.vector = chain.values.connectionVector;
      const std::string command = panel.GetText(DeviceLW, kModemCommandAddress, kModemCommandWords);
      const bool raised = link.AfterCall(panel);
      step.placed = raised && step.vector == kHandedOn;
      if (raised) step.sent = command;
      run.steps.push_back(step);
    } else {
      link.AfterCall(panel);
    }
    link.Tick(panel);
    if (!run.steps.empty() && run.steps.back().answer.empty()) {
      run.steps.back().answer = panel.GetText(DeviceLW, kModemReplyAddress, kModemReplyWords);
    }
  };
  chain.StartConnection(GprsProfileConType);
  for (int calls = 0; calls < kCallLimit && chain.Step() >= 0; ++calls) {
    GprsStep& last = run.steps.back();
    if (!last.placed) break;  // bit 12 stays set: the plug-in would try the same again
    // Macro 13 moved on to the next command, or past the last one.
    last.accepted = chain.values.profileCommand > last.command;
  }
  // What a real modem keeps is its own; the emulated one tells.
  if (modem == nullptr) run.profile = emulated.modem.connectionSettings();
  run.trace = link.TraceText();
  run.violations = chain.violations;
  return run;
}

std::string ShowGprs(const GprsRun& run, bool showSecrets, bool trace) {
  auto shown = [&](const std::string& text) {
    return host::VisibleText(showSecrets ? text : host::MaskProfileSecrets(text));
  };
  std::string out;
  int accepted = 0;
  for (const GprsStep& s : run.steps) {
    char head[64];
    std::snprintf(head, sizeof head, "%u %-8s ", s.command, s.tag);
    if (!s.placed) {
      char why[96];
      std::snprintf(why, sizeof why,
                    "not placed: the macro vector is 0x%04X, not 0x%04X (bit 13)\n", s.vector, kHandedOn);
      out += head + std::string(why);
      continue;
    }
    out += head + std::string("-> ") + shown(s.sent) + "\n";
    out += std::string(11, ' ') + "<- " + shown(s.answer) + (s.accepted ? "" : "  (not accepted)") +
           "\n";
    accepted += s.accepted ? 1 : 0;
  }
  out += "the modem's connection profile:\n";
  if (run.profile.empty()) out += run.external ? "  (kept by the modem)\n" : "  (nothing set)\n";
  for (const std::string& setting : run.profile) {
    out += "  " + host::VisibleText(showSecrets ? setting : MaskSetting(setting)) + "\n";
  }
  for (const std::string& v : run.violations) out += "record binding: " + v + "\n";
  if (trace) out += "trace:\n" + (showSecrets ? run.trace : host::MaskProfileSecrets(run.trace));
  char summary[64];
  std::snprintf(summary, sizeof summary, "%d of 7 commands accepted\n", accepted);
  return out + summary;
}

int RunGprs(const std::vector<std::string>& args) {
  CLI::App app(
      "Runs net_send_connection once for each profile command 1 to 7 with DIR as its working "
      "folder, sends each command it places to the emulated modem and shows the command and "
      "the modem's answer. The password is shown masked unless --show-secrets is given. Exit "
      "status 0 when the modem accepted all seven commands.",
      "panelsim gprs");
  std::string dir = ".";
  std::string plugins = DefaultPluginDir();
  bool showSecrets = false;
  bool trace = false;
  app.add_option("--dir", dir, "the folder with gprs_ConnectionProfileSettings.bin")
      ->capture_default_str();
  app.add_option("--plugins", plugins, "the folder of the plug-ins")->capture_default_str();
  app.add_flag("--show-secrets", showSecrets, "show the password as it is");
  app.add_flag("--trace", trace, "also show the modem link's trace, tick by tick");
  std::string device;
  int baud = 115200;
  app.add_option("--modem", device, "drive a real modem on this serial line (100 ms a tick)");
  app.add_option("--baud", baud, "its speed")->capture_default_str();
  if (int status = ParseArgs(app, args); status >= 0) return status;

  host::SerialPort port;
  std::unique_ptr<host::SerialModemLink> serial;
  if (!device.empty()) {
    std::string error;
    if (!port.Open(device, baud, &error)) {
      std::fprintf(stderr, "panelsim gprs: %s\n", error.c_str());
      return 1;
    }
    serial = std::make_unique<host::SerialModemLink>(port);
  }
  GprsRun run = RunGprsProfile(plugins, dir, serial.get());
  run.external = serial != nullptr;
  if (!run.error.empty()) {
    std::fprintf(stderr, "panelsim gprs: %s\n", run.error.c_str());
    return 1;
  }
  std::printf("%s with %s/%s\n", kPlugin, dir.c_str(),
              host::DataFile(host::DataFileKind::ConnectionProfile).fileName);
  std::fputs(ShowGprs(run, showSecrets, trace).c_str(), stdout);
  const bool allAccepted = run.steps.size() == 7 &&
                           std::all_of(run.steps.begin(), run.steps.end(),
                                       [](const GprsStep& s) { return s.accepted; });
  return allAccepted && run.violations.empty() ? 0 : 1;
}

}  // namespace panelsim
