// panelsim gprs: sends the seven connection-profile commands of a profile
// file through the emulated modem by running net_send_connection the way its
// chain does (profile command in record word 0, bit 12 of the macro vector in
// word 1), standing in for macro 13 between the commands, and shows what the
// modem received with the password masked.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "cli.h"
#include "commands.h"
#include "host/files.h"
#include "host/modem.h"
#include "host/panel.h"
#include "host/plugin.h"
#include "macro/codes.h"
#include "macro/registers.h"

namespace panelsim {
namespace {

constexpr char kPlugin[] = "net_send_connection";

// The macro-vector values of the chain: bit 12 selects the sender, bit 13 the
// macro that follows each command.
constexpr std::uint16_t kSelectSender = 1u << kGprsSendConnectionMacro;
constexpr std::uint16_t kHandedOn = 1u << kGprsAfterCommandMacro;

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

// The modem's reply ends with the final result code "OK".
bool EndsWithOk(std::string answer) {
  while (!answer.empty() && (answer.back() == '\r' || answer.back() == '\n')) answer.pop_back();
  return answer.size() >= 2 && answer.compare(answer.size() - 2, 2, "OK") == 0;
}

// "0,passwd,secret" as the modem keeps it, with the value masked.
std::string MaskSetting(const std::string& setting) {
  return host::MaskProfileSecrets("^sics=" + setting).substr(6);
}

void ClearReplyArea(host::Panel& panel) {
  for (int w = 0; w < kModemReplyWords; ++w) panel.Word(DeviceLW, kModemReplyAddress + w) = 0;
}

}  // namespace

GprsRun RunGprsProfile(const std::string& plugins, const std::string& dir) {
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
  if (!std::filesystem::is_regular_file(file)) {
    run.error = "no " + file + " in " + dir;
    return run;
  }

  host::Panel panel;
  host::ModemLink link;
  for (std::uint16_t command = GprsProfileConType; command <= GprsProfileDns2; ++command) {
    GprsStep step;
    step.command = command;
    step.tag = host::ConnectionFields()[command - GprsProfileConType].tag;
    panel.record[GprsProfileCommandWord] = command;
    panel.record[GprsMacroVectorWord] = kSelectSender;
    ClearReplyArea(panel);
    plugin->Call(panel);
    step.vector = panel.record[GprsMacroVectorWord];
    const bool raised = link.AfterCall(panel);
    step.placed = raised && step.vector == kHandedOn;
    if (raised) step.sent = link.trace().back().text;
    link.Tick(panel, link.answerDelay);
    step.answer = panel.GetText(DeviceLW, kModemReplyAddress, kModemReplyWords);
    step.accepted = step.placed && EndsWithOk(step.answer);
    run.steps.push_back(step);
    if (!step.placed) break;  // bit 12 stays set: the plug-in would try the same again
  }
  run.profile = link.modem.connectionSettings();
  run.trace = link.TraceText();
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
    out += std::string(11, ' ') + "<- " + shown(s.answer) + (s.accepted ? "" : "  (no OK)") +
           "\n";
    accepted += s.accepted ? 1 : 0;
  }
  out += "the modem's connection profile:\n";
  if (run.profile.empty()) out += "  (nothing set)\n";
  for (const std::string& setting : run.profile) {
    out += "  " + host::VisibleText(showSecrets ? setting : MaskSetting(setting)) + "\n";
  }
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
  if (int status = ParseArgs(app, args); status >= 0) return status;

  const GprsRun run = RunGprsProfile(plugins, dir);
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
  return allAccepted ? 0 : 1;
}

}  // namespace panelsim
