// panelsim chain: one or more alarm messages through the chain generation,
// the chain dispatcher and the emulated modem. Shows the modem traffic, the
// status text and every SMS the phones received.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <cstdlib>
#include <string>
#include <vector>

#include "commands.h"
#include "host/chain.h"
#include "host/modem.h"
#include "host/serial.h"
#include "host/panel.h"
#include "host/plugin.h"
#include "host/workdir.h"
#include "macro/chain_registers.h"
#include "macro/codes.h"
#include "macro/registers.h"

namespace panelsim {
namespace {

struct ChainOptions {
  std::string dir = DefaultPluginDir();
  std::string composer = "link_compose_alarms";
  std::string title = "Boiler house";
  std::vector<std::string> alarms;
  std::vector<std::string> phones;
  long maskA = -1;  // -1: every given alarm
  long maskB = -1;
  int messages = 1;
  int timeout = 10;  // units of ten ticks
  std::vector<std::string> silent;  // commands the modem leaves unanswered
  bool calls = false;               // list every macro call
  bool quiet = false;               // only the status texts and the SMS received
  std::string modem;                // a real modem's serial device
  int baud = 115200;
};

const char* const kSampleAlarms[] = {"Pressure high", "Temperature low", "Pump 2 failure",
                                     "Door open", "Flame lost"};
const char* const kSamplePhones[] = {"9123456789", "9876543210"};

// UTF-8 to UCS2 (code points above U+FFFF and broken sequences become U+FFFD).
std::u16string Ucs2(const std::string& utf8) {
  std::u16string out;
  for (std::size_t i = 0; i < utf8.size();) {
    auto c = static_cast<unsigned char>(utf8[i]);
    int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    char32_t cp = extra == 0 ? c : extra == 1 ? c & 0x1F : extra == 2 ? c & 0x0F : c & 0x07;
    bool ok = extra >= 0 && i + static_cast<std::size_t>(extra) < utf8.size();
    for (int k = 1; ok && k <= extra; ++k) {
      auto n = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
      ok = (n >> 6) == 2;
      cp = (cp << 6) | (n & 0x3F);
    }
    out.push_back(ok && cp <= 0xFFFF ? static_cast<char16_t>(cp) : u'\uFFFD');
    i += ok ? static_cast<std::size_t>(extra) + 1 : 1;
  }
  return out;
}

void PutUnits(host::Panel& panel, int address, const std::u16string& text, int words) {
  for (int i = 0; i < words; ++i) {
    panel.Word(DeviceRW, address + i) = i < static_cast<int>(text.size()) ? text[static_cast<std::size_t>(i)] : 0;
  }
}

bool ParseNumber(const std::string& s, long max, long* out) {
  char* end = nullptr;
  long v = std::strtol(s.c_str(), &end, 0);
  if (s.empty() || *end != '\0' || v < 0 || v > max) return false;
  *out = v;
  return true;
}

int Usage(const char* problem, const std::string& what) {
  std::fprintf(stderr, "panelsim chain: %s%s\n", problem, what.c_str());
  return 2;
}

const char kHelp[] =
    "usage: panelsim chain [OPTIONS]\n"
    "Composes the alarm list from recipe registers, encodes the phone numbers, and runs\n"
    "the chain (sequencer, composer, PDU structure builder, sender, reply checker, error\n"
    "reporter) through the emulated modem. Without texts it uses a sample recipe.\n"
    "  --title TEXT        title, up to 20 characters (UTF-8)\n"
    "  --alarm TEXT        alarm text i, up to 20 characters; up to 16, in order\n"
    "  --mask-a N          RW 90, default: every given alarm\n"
    "  --mask-b N          RW 91, default: every given alarm\n"
    "  --phone DIGITS      a ten-digit number (country code 7 is put in front); up to 5\n"
    "  --messages N        send the list N times (later messages skip the modem set-up)\n"
    "  --timeout UNITS     reply time-out in units of ten ticks (default 10)\n"
    "  --silent COMMAND    the modem leaves the first input starting with COMMAND\n"
    "                      unanswered (\"AT\", \"AT+CMGS\", \"<PDU>\"); may repeat\n"
    "  --modem DEVICE      drive a real modem on this serial line (100 ms a tick)\n"
    "  --baud N            its speed (default 115200)\n"
    "  --composer NAME     link_compose_alarms (default) or link_compose_events\n"
    "  --plugins DIR       the plug-ins to load\n"
    "  --calls             list every macro call\n"
    "  --quiet             show only the status texts and the SMS received\n";

// 0 to run, -1 after --help, else the exit code of a usage error.
int Parse(const std::vector<std::string>& args, ChainOptions* o) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kHelp, stdout);
      return -1;
    }
    if (a == "--calls" || a == "--quiet") {
      (a == "--calls" ? o->calls : o->quiet) = true;
      continue;
    }
    if (i + 1 >= args.size()) return Usage("missing value after ", a);
    const std::string& v = args[++i];
    long n = 0;
    if (a == "--plugins") {
      o->dir = v;
    } else if (a == "--composer") {
      o->composer = v;
    } else if (a == "--title") {
      o->title = v;
    } else if (a == "--alarm") {
      o->alarms.push_back(v);
    } else if (a == "--phone") {
      o->phones.push_back(v);
    } else if (a == "--mask-a" && ParseNumber(v, 0xFFFF, &n)) {
      o->maskA = n;
    } else if (a == "--mask-b" && ParseNumber(v, 0xFFFF, &n)) {
      o->maskB = n;
    } else if (a == "--messages" && ParseNumber(v, 100, &n) && n > 0) {
      o->messages = static_cast<int>(n);
    } else if (a == "--timeout" && ParseNumber(v, 0xFFFF, &n)) {
      o->timeout = static_cast<int>(n);
    } else if (a == "--silent") {
      o->silent.push_back(v);
    } else if (a == "--modem") {
      o->modem = v;
    } else if (a == "--baud" && ParseNumber(v, 4000000, &n) && n > 0) {
      o->baud = static_cast<int>(n);
    } else {
      return Usage("bad option or value: ", a + " " + v);
    }
  }
  if (o->alarms.empty()) o->alarms.assign(std::begin(kSampleAlarms), std::end(kSampleAlarms));
  if (o->phones.empty()) o->phones.assign(std::begin(kSamplePhones), std::end(kSamplePhones));
  if (o->alarms.size() > kChainEntries) return Usage("at most 16 alarms", "");
  if (o->phones.size() > 5) return Usage("at most 5 phone numbers", "");
  for (const std::string& t : o->alarms) {
    if (Ucs2(t).size() > kChainTextWords) return Usage("longer than 20 characters: ", t);
  }
  if (Ucs2(o->title).size() > kChainTextWords) return Usage("longer than 20 characters: ", o->title);
  for (const std::string& p : o->phones) {
    if (p.size() > 10) return Usage("a phone number has ten digits: ", p);
  }
  return 0;
}

void PutRecipe(host::Panel& panel, const ChainOptions& o) {
  auto all = static_cast<std::uint16_t>((1u << o.alarms.size()) - 1);
  panel.Word(DeviceRW, kAlarmMaskAAddress) = static_cast<std::uint16_t>(o.maskA < 0 ? all : o.maskA);
  panel.Word(DeviceRW, kAlarmMaskBAddress) = static_cast<std::uint16_t>(o.maskB < 0 ? all : o.maskB);
  PutUnits(panel, kAlarmTitleAddress, Ucs2(o.title), kChainTextWords);
  for (int e = 0; e < kChainEntries; ++e) {
    std::u16string text = e < static_cast<int>(o.alarms.size()) ? Ucs2(o.alarms[static_cast<std::size_t>(e)]) : u"";
    PutUnits(panel, kAlarmTextAddress + kChainTextWords * e, text, kChainTextWords);
  }
  panel.Word(DeviceRW, kPhoneCountAddress) = static_cast<std::uint16_t>(o.phones.size());
  for (std::size_t i = 0; i < o.phones.size(); ++i) {
    panel.PutText(DeviceRW, kPhoneNumberAddress + kPhoneNumberWords * static_cast<int>(i), o.phones[i],
                  kPhoneNumberWords);
  }
}

const char* MacroName(int macro, const std::string& composer) {
  switch (macro) {
    case ComposerMacro: return composer.c_str();
    case PduBuilderMacro: return "PDU structure builder (host)";
    case SenderMacro: return "link_send_sequence";
    case CheckerMacro: return "link_check_reply";
    case ErrorReporterMacro: return "link_report_error";
    case SequencerMacro: return "link_sequencer";
    default: return "?";
  }
}

}  // namespace

int RunChain(const std::vector<std::string>& args) {
  ChainOptions o;
  if (int rc = Parse(args, &o)) return rc < 0 ? 0 : rc;

  host::Panel panel;
  host::ModemLink emulated;
  for (const std::string& c : o.silent) emulated.modem.faults.push_back(host::ModemFault::Silent(c, 1));
  // A real modem on a serial line instead of the emulated one, in real time.
  std::string error;
  host::SerialPort port;
  std::unique_ptr<host::SerialModemLink> serial;
  if (!o.modem.empty()) {
    if (!port.Open(o.modem, o.baud, &error)) {
      std::fprintf(stderr, "panelsim chain: %s\n", error.c_str());
      return 1;
    }
    serial = std::make_unique<host::SerialModemLink>(port);
  }
  host::ModemPort& link = serial ? static_cast<host::ModemPort&>(*serial) : emulated;
  PutRecipe(panel, o);

  auto encoder = host::Plugin::Load(o.dir + "/" + host::PluginFileName("link_encode_number"), &error);
  host::ChainDispatcher chain(panel);
  if (!encoder || !chain.AttachChain(o.dir, &error, o.composer)) {
    std::fprintf(stderr, "panelsim chain: %s\n", error.c_str());
    return 1;
  }
  encoder->Call(panel);
  if (!o.quiet) std::printf("recipients:\n");
  for (std::size_t i = 0; i < o.phones.size() && !o.quiet; ++i) {
    std::printf("  %-10s -> RW %d: %s\n", o.phones[i].c_str(),
                kDestinationAddress + kDestinationWords * static_cast<int>(i),
                panel.GetText(DeviceRW, kDestinationAddress + kDestinationWords * static_cast<int>(i),
                              kDestinationWords).c_str());
  }

  chain.values.replyTimeout = static_cast<std::uint16_t>(o.timeout);
  chain.onCall = [&](int macro) {
    if (o.calls) std::printf("  tick %u: macro %d %s\n", panel.Ticks(), macro, MacroName(macro, o.composer));
    link.AfterCall(panel);
    link.Tick(panel);
  };

  int failures = 0;
  std::size_t traced = 0;
  for (int m = 1; m <= o.messages; ++m) {
    std::printf("\nmessage %d of %d\n", m, o.messages);
    chain.StartMessage();
    int calls = 0;
    while (chain.Step() >= 0 && ++calls < 100000) {
    }
    std::string trace = link.TraceText();
    if (!o.quiet) std::printf("modem traffic:\n%s", trace.substr(traced).c_str());
    traced = trace.size();
    std::string status = panel.GetText(DeviceRW, kStatusTextAddress, kStatusTextWords);
    std::printf("status text: %s\n", status.c_str());
    std::printf("%d macro calls; chain %s\n", calls, chain.AtRest() ? "at rest" : "NOT at rest");
    if (status.rfind("ERROR", 0) == 0 || !chain.AtRest() || !chain.violations.empty()) ++failures;
  }
  for (const std::string& v : chain.violations) std::printf("binding violated: %s\n", v.c_str());

  if (serial) {
    std::printf("\nthe SMS went to the modem on %s\n", o.modem.c_str());
    return failures == 0 ? 0 : 1;
  }
  std::printf("\nSMS received:\n");
  for (const host::ReceivedSms& sms : emulated.modem.inbox().All()) {
    std::printf("  to %s, %d part%s:\n", sms.number.c_str(), sms.parts, sms.parts == 1 ? "" : "s");
    std::size_t at = 0;
    while (at < sms.text.size()) {
      std::size_t end = sms.text.find('\n', at);
      if (end == std::string::npos) end = sms.text.size();
      std::printf("    | %s\n", sms.text.substr(at, end - at).c_str());
      at = end + 1;
    }
  }
  if (emulated.modem.inbox().All().empty()) std::printf("  none\n");
  return failures == 0 ? 0 : 1;
}

int RunChainDemo(const std::string& plugins, bool quiet) {
  std::printf("\n=== the chain generation: sample alarms through the macro vector\n");
  std::vector<std::string> files = host::ListFiles(plugins);
  if (std::find(files.begin(), files.end(), host::PluginFileName("link_sequencer")) == files.end()) {
    std::printf("the sequencer is a PC build only: no chain on this build\n");
    return 0;
  }
  std::vector<std::string> args = {"--plugins", plugins};
  if (quiet) args.push_back("--quiet");
  return RunChain(args);
}

}  // namespace panelsim
