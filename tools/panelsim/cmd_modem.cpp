// panelsim modem: the emulated modem served on a pseudo-terminal for any
// program to talk to, and a health check of a real modem on a serial line.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "commands.h"
#include "host/modem.h"
#include "host/serial.h"

namespace panelsim {
namespace {

std::atomic<bool> stopRequested{false};

extern "C" void OnStopSignal(int) { stopRequested = true; }

const char kModemHelp[] =
    "usage: panelsim modem --pty [--exit-after N] [--quiet]\n"
    "       panelsim modem check --modem DEVICE [--baud N]\n"
    "\n"
    "--pty    serves the emulated GSM modem on a new pseudo-terminal and prints\n"
    "         its path on the first line (\"modem on /dev/pts/N\"). Every SMS the\n"
    "         modem is given is decoded and printed as it completes:\n"
    "           SMS to +79161234567 (2 parts): <text, control characters escaped>\n"
    "         --exit-after N stops after N complete SMS; otherwise it runs until\n"
    "         interrupted. --quiet leaves out the traffic.\n"
    "check    asks a modem on a serial line AT, AT+CPIN?, AT+CREG?, AT+CSQ and\n"
    "         AT+CSCA? and says in plain words whether it can send SMS.\n";

int Serve(const std::vector<std::string>& args) {
  long exitAfter = -1;
  bool quiet = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--pty") continue;
    if (args[i] == "--quiet") {
      quiet = true;
    } else if (args[i] == "--exit-after" && i + 1 < args.size()) {
      exitAfter = std::strtol(args[++i].c_str(), nullptr, 10);
    } else {
      std::fprintf(stderr, "panelsim modem: unexpected '%s'\n%s", args[i].c_str(), kModemHelp);
      return 2;
    }
  }
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
  host::EmulatedModem modem;
  long count = 0;
  std::string error;
  int rc = host::ServeModemOnPty(
      modem,
      [](const std::string& path) {
        std::printf("modem on %s\n", path.c_str());
        std::fflush(stdout);
      },
      [&count, quiet](const host::ReceivedSms& sms) {
        (void)quiet;
        std::printf("SMS to %s (%d part%s): %s\n", sms.number.c_str(), sms.parts,
                    sms.parts == 1 ? "" : "s", ShowControls(sms.text).c_str());
        std::fflush(stdout);
        ++count;
      },
      [&count, exitAfter, &modem, quiet]() {
        if (!quiet) {
          for (const host::ModemAnswer& a : modem.TakeAnswers()) {
            std::printf("  %s %s -> %s%s%s\n", a.pdu ? "PDU" : "cmd",
                        host::VisibleText(a.input).c_str(), host::VisibleText(a.bytes).c_str(),
                        a.note.empty() ? "" : "  # ", a.note.c_str());
          }
          std::fflush(stdout);
        }
        return stopRequested.load() || (exitAfter >= 0 && count >= exitAfter);
      },
      &error);
  if (rc != 0) std::fprintf(stderr, "panelsim modem: %s\n", error.c_str());
  return rc;
}

// One line of the health report: what was asked, what came back, and what it means.
struct Health {
  bool ok = true;
  std::vector<std::string> lines;
  void Add(bool good, const std::string& text) {
    ok = ok && good;
    lines.push_back(std::string(good ? "  ok    " : "  FAIL  ") + text);
  }
};

std::string Value(const std::string& answer, const std::string& prefix) {
  std::size_t at = answer.find(prefix);
  if (at == std::string::npos) return {};
  std::size_t end = answer.find_first_of("\r\n", at);
  return answer.substr(at + prefix.size(), end == std::string::npos ? std::string::npos : end - at - prefix.size());
}

bool HasOk(const std::string& answer) { return answer.find("OK") != std::string::npos; }

int Check(const std::vector<std::string>& args) {
  std::string device;
  int baud = 115200;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--modem" && i + 1 < args.size()) {
      device = args[++i];
    } else if (args[i] == "--baud" && i + 1 < args.size()) {
      baud = std::atoi(args[++i].c_str());
    } else {
      std::fprintf(stderr, "panelsim modem check: unexpected '%s'\n%s", args[i].c_str(), kModemHelp);
      return 2;
    }
  }
  if (device.empty()) {
    std::fprintf(stderr, "panelsim modem check: give --modem DEVICE\n");
    return 2;
  }
  host::SerialPort port;
  std::string error;
  if (!port.Open(device, baud, &error)) {
    std::fprintf(stderr, "panelsim modem check: %s\n", error.c_str());
    return 1;
  }
  Health h;
  std::string at = host::ModemExchange(port, "AT", 2000);
  h.Add(HasOk(at), at.empty() ? "AT: no answer; check the cable, the power and the baud rate"
                              : "AT: the modem answers");
  if (!HasOk(at)) {
    for (const auto& l : h.lines) std::printf("%s\n", l.c_str());
    return 1;
  }
  std::string pin = Value(host::ModemExchange(port, "AT+CPIN?", 2000), "+CPIN: ");
  h.Add(pin == "READY", pin.empty() ? "AT+CPIN?: no SIM status (is a SIM inserted?)"
                                    : "AT+CPIN?: SIM " + (pin == "READY" ? std::string("ready")
                                                                         : "needs " + pin));
  std::string reg = Value(host::ModemExchange(port, "AT+CREG?", 2000), "+CREG: ");
  std::string stat = reg.substr(reg.find(',') == std::string::npos ? reg.size() : reg.find(',') + 1, 1);
  const char* regText = stat == "1"   ? "registered on the home network"
                        : stat == "5" ? "registered, roaming"
                        : stat == "2" ? "searching for a network"
                        : stat == "3" ? "registration denied"
                                      : "not registered";
  h.Add(stat == "1" || stat == "5", std::string("AT+CREG?: ") + regText);
  std::string csq = Value(host::ModemExchange(port, "AT+CSQ", 2000), "+CSQ: ");
  int rssi = csq.empty() ? 99 : std::atoi(csq.c_str());
  std::string signal = rssi == 99 ? "no signal" : std::to_string(-113 + 2 * rssi) + " dBm";
  h.Add(rssi != 99 && rssi >= 5, "AT+CSQ: signal " + signal + (rssi != 99 && rssi < 10 ? " (weak)" : ""));
  std::string sca = Value(host::ModemExchange(port, "AT+CSCA?", 2000), "+CSCA: ");
  h.Add(!sca.empty() && sca.rfind("\"\"", 0) != 0,
        sca.empty() ? "AT+CSCA?: no SMS centre set; SMS cannot be sent"
                    : "AT+CSCA?: SMS centre " + sca.substr(0, sca.find(',')));
  for (const auto& l : h.lines) std::printf("%s\n", l.c_str());
  std::printf("%s\n", h.ok ? "the modem is ready to send SMS" : "the modem is not ready to send SMS");
  return h.ok ? 0 : 1;
}

}  // namespace

int RunModem(const std::vector<std::string>& args) {
  if (args.empty() || args[0] == "--help") {
    std::printf("%s", kModemHelp);
    return args.empty() ? 2 : 0;
  }
  if (args[0] == "check") return Check(std::vector<std::string>(args.begin() + 1, args.end()));
  if (args[0] == "--pty") return Serve(args);
  std::fprintf(stderr, "panelsim modem: say --pty or check\n%s", kModemHelp);
  return 2;
}

}  // namespace panelsim
