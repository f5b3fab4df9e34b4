// panelsim demo, send and compose: the server generation's plug-ins run on
// the substitute host, against the emulated modem, in a working folder of
// their own.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "host/modem.h"
#include "host/serial.h"
#include "host/server_pipeline.h"
#include "host/sms.h"
#include "host/workdir.h"
#include "macro/codes.h"

namespace panelsim {
namespace {

struct ServerOptions {
  std::string plugins = DefaultPluginDir();
  host::ServerChain chain = host::ServerChain::FlagChained;
  host::ServerSettings settings;
  std::uint16_t mask = 0;
  bool maskGiven = false;
  bool quiet = false;
  std::string modem;  // a real modem's serial device instead of the emulated one
  int baud = 115200;
};

host::ServerSettings SampleSettings() {
  host::ServerSettings s;
  s.scheduleEnabled = 1;
  s.sendMode = 1;
  s.sendInterval = 0;
  s.replyTimeout = 30;
  s.numbers = {"9161234567", "9261234567", "812345678"};
  s.title = "Котельная №2";
  s.events = {{true, "Давление котла выше"}, {true, "Пламя погасло"}, {true, "Насос 3 остановлен"},
              {true, "Утечка газа"}};
  return s;
}

const char kServerHelp[] =
    "  --to NUMBER        a recipient's national number, up to 10 digits (at most 3)\n"
    "  --title TEXT       the message title (UTF-8, up to 20 characters)\n"
    "  --event TEXT       the next event's text (UTF-8, up to 20 characters; at most 16)\n"
    "  --mask N           the active events as a bit mask (decimal or 0x..)\n"
    "  --active I,J,...   the active events by number, from 0\n"
    "  --chain flags|word the flag-chained plug-ins (default) or the error-word ones\n"
    "  --plugins DIR      where the plug-ins are\n"
    "  --modem DEVICE     drive a real modem on this serial line (100 ms a tick)\n"
    "  --baud N           its speed (default 115200)\n";

bool ParseMask(const std::string& text, std::uint16_t* mask) {
  char* end = nullptr;
  unsigned long v = std::strtoul(text.c_str(), &end, 0);
  if (end == text.c_str() || *end != '\0' || v > 0xFFFF) return false;
  *mask = static_cast<std::uint16_t>(v);
  return true;
}

bool ParseActive(const std::string& text, std::uint16_t* mask) {
  *mask = 0;
  std::size_t at = 0;
  while (at <= text.size()) {
    std::size_t comma = text.find(',', at);
    std::string item = text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
    char* end = nullptr;
    unsigned long v = std::strtoul(item.c_str(), &end, 10);
    if (item.empty() || *end != '\0' || v > 15) return false;
    *mask = static_cast<std::uint16_t>(*mask | (1u << v));
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  return true;
}

// Parses the options shared by send and compose. Returns false after printing
// what is wrong.
bool ParseServerOptions(const char* command, const std::vector<std::string>& args,
                        ServerOptions* o) {
  bool customNumbers = false;
  bool customEvents = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size()) {
        std::fprintf(stderr, "panelsim %s: %s needs a value\n", command, a.c_str());
        return false;
      }
      *out = args[++i];
      return true;
    };
    std::string v;
    if (a == "--quiet") {
      o->quiet = true;
      continue;
    }
    if (!value(&v)) return false;
    if (a == "--to") {
      if (v.empty() || v.size() > 10 || v.find_first_not_of("0123456789") != std::string::npos) {
        std::fprintf(stderr, "panelsim %s: --to %s: a number is 1 to 10 digits\n", command,
                     v.c_str());
        return false;
      }
      if (!customNumbers) o->settings.numbers.clear();
      customNumbers = true;
      o->settings.numbers.push_back(v);
    } else if (a == "--title") {
      o->settings.title = v;
    } else if (a == "--event") {
      if (!customEvents) o->settings.events.clear();
      customEvents = true;
      o->settings.events.push_back({true, v});
    } else if (a == "--mask") {
      if (!ParseMask(v, &o->mask)) {
        std::fprintf(stderr, "panelsim %s: --mask %s: not a 16-bit number\n", command, v.c_str());
        return false;
      }
      o->maskGiven = true;
    } else if (a == "--active") {
      if (!ParseActive(v, &o->mask)) {
        std::fprintf(stderr, "panelsim %s: --active %s: event numbers 0 to 15\n", command,
                     v.c_str());
        return false;
      }
      o->maskGiven = true;
    } else if (a == "--chain") {
      if (v != "flags" && v != "word") {
        std::fprintf(stderr, "panelsim %s: --chain is flags or word\n", command);
        return false;
      }
      o->chain = v == "flags" ? host::ServerChain::FlagChained : host::ServerChain::ErrorWordOnly;
    } else if (a == "--plugins") {
      o->plugins = v;
    } else if (a == "--modem") {
      o->modem = v;
    } else if (a == "--baud") {
      o->baud = std::atoi(v.c_str());
      if (o->baud <= 0) {
        std::fprintf(stderr, "panelsim %s: --baud %s: not a baud rate\n", command, v.c_str());
        return false;
      }
    } else {
      std::fprintf(stderr, "panelsim %s: unknown option %s\n", command, a.c_str());
      return false;
    }
  }
  if (o->settings.numbers.size() > 3) {
    std::fprintf(stderr, "panelsim %s: at most 3 recipients\n", command);
    return false;
  }
  if (o->settings.events.size() > 16) {
    std::fprintf(stderr, "panelsim %s: at most 16 events\n", command);
    return false;
  }
  for (const auto* text : {&o->settings.title}) {
    if (host::Utf8ToUcs2(*text).size() > 20) {
      std::fprintf(stderr, "panelsim %s: --title: at most 20 characters\n", command);
      return false;
    }
  }
  for (const auto& e : o->settings.events) {
    if (host::Utf8ToUcs2(e.text).size() > 20) {
      std::fprintf(stderr, "panelsim %s: --event %s: at most 20 characters\n", command,
                   e.text.c_str());
      return false;
    }
  }
  if (!o->maskGiven) {
    o->mask = static_cast<std::uint16_t>((1u << o->settings.events.size()) - 1u);
  }
  return true;
}

void PrintInbox(const host::SmsInbox& inbox) {
  std::printf("\nSMS received:\n");
  if (inbox.All().empty()) std::printf("  (none)\n");
  for (const host::ReceivedSms& sms : inbox.All()) {
    std::printf("  to %s, %d part%s:\n", sms.number.c_str(), sms.parts, sms.parts == 1 ? "" : "s");
    std::string text = sms.text;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    std::string indented = "    ";
    for (char c : text) {
      indented += c;
      if (c == '\n') indented += "    ";
    }
    std::printf("%s\n", indented.c_str());
  }
  for (const host::PendingSms& p : inbox.Pending()) {
    std::printf("  to %s: incomplete, %zu of %d parts\n", p.number.c_str(), p.received.size(),
                p.total);
  }
}

const char* ResultName(std::uint16_t code) {
  switch (code) {
    case TransmitComplete: return "every line sent and answered";
    case ErrModemError: return "the modem answered ERROR";
    case ErrReplyTimeout: return "the modem did not answer in time";
    case ErrNoEvents: return "no listed event is active";
    default: return "";
  }
}

int RunPipeline(const char* command, ServerOptions& o) {
  host::ServerPipeline pipeline(o.plugins, o.chain);
  std::string error;
  if (!pipeline.Load(&error)) {
    std::fprintf(stderr, "panelsim %s: %s\n", command, error.c_str());
    return 1;
  }
  host::WorkDir work;
  host::Panel panel;
  panel.SetTicks(1);
  // The emulated modem in virtual time, or a real one on a serial line.
  host::ModemLink emulated;
  host::SerialPort port;
  std::unique_ptr<host::SerialModemLink> serial;
  host::ModemPort* link = &emulated;
  if (!o.modem.empty()) {
    if (!port.Open(o.modem, o.baud, &error)) {
      std::fprintf(stderr, "panelsim %s: %s\n", command, error.c_str());
      return 1;
    }
    serial = std::make_unique<host::SerialModemLink>(port);
    if (!o.quiet) {
      serial->onTrace = [](const std::string& line) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
      };
    }
    link = serial.get();
  }
  std::uint16_t stored = pipeline.StoreSettings(panel, o.settings);
  std::uint16_t loaded = stored == 0 ? pipeline.LoadSettings(panel) : stored;
  if (loaded != 0) {
    std::fprintf(stderr, "panelsim %s: the settings store answered %u\n", command, loaded);
    return 1;
  }
  std::printf("settings stored and loaded: %zu recipient%s, %zu event%s, mask 0x%04X, %s\n",
              o.settings.numbers.size(), o.settings.numbers.size() == 1 ? "" : "s",
              o.settings.events.size(), o.settings.events.size() == 1 ? "" : "s", o.mask,
              o.chain == host::ServerChain::FlagChained ? "flag-chained plug-ins"
                                                        : "error-word plug-ins");
  if (!o.quiet) {
    // The transmitter is called once per step; its outcome is shown at the end.
    pipeline.onCall = [](const std::string& name, host::Panel& p) {
      if (name.rfind("srv_transmit", 0) == 0) return;
      std::printf("  %-22s LW 6007 = %u\n", name.c_str(), p.Word(DeviceLW, 6007));
    };
  }
  if (serial && !o.quiet) std::printf("\nmodem traffic on %s:\n", o.modem.c_str());
  host::PipelineRun run = pipeline.Run(panel, *link, o.mask, /*forceSend=*/true);
  if (!o.quiet && !serial) std::printf("\nmodem traffic:\n%s", link->TraceText().c_str());
  std::printf("\nresult: %u %s (after %s, %d transmitter calls)\n", run.result,
              ResultName(run.result), run.stoppedAt.c_str(), run.transmitterCalls);
  if (serial) {
    std::printf("the SMS went to the modem on %s\n", o.modem.c_str());
  } else {
    PrintInbox(emulated.modem.inbox());
  }
  return run.result == TransmitComplete ? 0 : 1;
}

}  // namespace

int RunDemo(const std::vector<std::string>& args) {
  ServerOptions o;
  o.settings = SampleSettings();
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--help") {
      std::printf("usage: panelsim demo [--chain flags|word] [--plugins DIR] [--quiet]\n"
                  "Runs the server plug-ins with sample settings through the emulated modem,\n"
                  "then the chain plug-ins with their sample recipe (PC builds only).\n");
      return 0;
    }
    rest.push_back(args[i]);
  }
  if (!ParseServerOptions("demo", rest, &o)) return 2;
  o.mask = 0b0111;
  int server = RunPipeline("demo", o);
  int chain = RunChainDemo(o.plugins, o.quiet);
  return server != 0 ? server : chain;
}

int RunSend(const std::vector<std::string>& args) {
  for (const std::string& a : args) {
    if (a == "--help") {
      std::printf("usage: panelsim send --to NUMBER... [--title TEXT] --event TEXT... [options]\n"
                  "Sends one message through the server plug-ins and the emulated modem.\n%s"
                  "  --quiet            show only the result and the SMS received\n",
                  kServerHelp);
      return 0;
    }
  }
  ServerOptions o;
  o.settings = host::ServerSettings{};
  o.settings.replyTimeout = 30;
  if (!ParseServerOptions("send", args, &o)) return 2;
  if (o.settings.numbers.empty()) {
    std::fprintf(stderr, "panelsim send: give at least one --to NUMBER\n");
    return 2;
  }
  return RunPipeline("send", o);
}

}  // namespace panelsim

namespace panelsim {
namespace {

std::string Hex2(unsigned v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02X", v & 0xFFu);
  return b;
}

const char* TypeOfNumber(std::uint8_t type) {
  switch (type & 0x70) {
    case 0x10: return "international";
    case 0x20: return "national";
    case 0x50: return "alphanumeric";
    default: return "unknown type";
  }
}

void PrintPdu(std::size_t index, std::size_t count, const std::string& hex) {
  std::printf("\nPDU %zu of %zu: %s\n", index + 1, count, hex.c_str());
  host::SmsDecodeResult d = host::DecodeSubmitPdu(hex);
  if (!d.ok) {
    std::printf("  not a valid SMS-SUBMIT: %s\n", d.error.c_str());
    return;
  }
  const host::SmsSubmit& s = d.sms;
  std::printf("  %-18s %s\n", "service centre",
              s.serviceCentre.number.empty() ? "00 (the modem's own)" : s.serviceCentre.number.c_str());
  std::printf("  %-18s %s: SMS-SUBMIT%s%s\n", "first octet", Hex2(s.firstOctet).c_str(),
              s.validityFormat == 0 ? ", no validity period" : ", validity period",
              s.headerPresent ? ", user data header" : "");
  std::printf("  %-18s %s\n", "reference (TP-MR)", Hex2(s.messageReference).c_str());
  std::printf("  %-18s %s (%s, %d digits)\n", "destination", s.destination.number.c_str(),
              TypeOfNumber(s.destination.type), s.destination.length);
  std::printf("  %-18s %s\n", "protocol id", Hex2(s.protocolId).c_str());
  std::printf("  %-18s %s: %s\n", "coding", Hex2(s.dataCoding).c_str(),
              s.alphabet == host::SmsAlphabet::Ucs2   ? "UCS2"
              : s.alphabet == host::SmsAlphabet::Data8 ? "8-bit data"
                                                       : "GSM 7-bit");
  std::printf("  %-18s %u\n", "user data length", s.userDataLength);
  if (s.concat) {
    std::printf("  %-18s concatenated, %s reference %u, part %u of %u\n", "header",
                s.concat->reference16 ? "16-bit" : "8-bit", s.concat->reference,
                s.concat->sequence, s.concat->total);
  } else {
    std::printf("  %-18s none\n", "header");
  }
  std::printf("  %-18s \"%s\"\n", "text", ShowControls(s.text).c_str());
  std::printf("  %-18s %zu octets after the service centre (AT+CMGS=%zu)\n", "length",
              s.tpduOctets, s.tpduOctets);
}

std::string ReadFile(const host::WorkDir& work, const char* name) {
  std::string bytes;
  work.Read(name, &bytes);
  return bytes;
}

}  // namespace

int RunCompose(const std::vector<std::string>& args) {
  std::vector<std::string> rest;
  std::string templateFile;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--help") {
      std::printf("usage: panelsim compose [--template FILE] [--title TEXT] [--event TEXT]...\n"
                  "                        [--mask N | --active I,J] [--to NUMBER]...\n"
                  "Composes the message with srv_compose_text, encodes it with srv_encode_pdu\n"
                  "and shows the text and every PDU, decoded field by field.\n%s"
                  "  --template FILE    an SMSProfile_3.bin to take the title and events from\n",
                  kServerHelp);
      return 0;
    }
    if (args[i] == "--template" && i + 1 < args.size()) {
      templateFile = args[++i];
      continue;
    }
    rest.push_back(args[i]);
  }
  ServerOptions o;
  o.settings = host::ServerSettings{};
  o.settings.numbers = {"9161234567"};
  if (!ParseServerOptions("compose", rest, &o)) return 2;
  std::string templateBytes;
  if (!templateFile.empty()) {
    std::FILE* f = std::fopen(host::NativePath(templateFile).c_str(), "rb");
    if (f == nullptr) {
      std::fprintf(stderr, "panelsim compose: cannot read %s\n", templateFile.c_str());
      return 1;
    }
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) templateBytes.append(buf, n);
    std::fclose(f);
  }

  std::string error;
  std::unique_ptr<host::Plugin> store, compose, encode;
  for (auto [slot, name] : {std::pair{&store, "srv_store_settings"},
                            std::pair{&compose, "srv_compose_text"},
                            std::pair{&encode, "srv_encode_pdu"}}) {
    *slot = host::Plugin::Load(o.plugins + "/" + host::PluginFileName(name), &error);
    if (!*slot) {
      std::fprintf(stderr, "panelsim compose: %s\n", error.c_str());
      return 1;
    }
  }
  host::WorkDir work;
  host::Panel panel;
  host::PutServerSettings(panel, o.settings);
  panel.SetPair(DeviceLW, 6005, StateStoreSettings);
  store->Call(panel);
  if (!templateBytes.empty()) work.Write("SMSProfile_3.bin", templateBytes);
  panel.Word(DeviceLW, 5999) = o.mask;
  compose->Call(panel);
  std::uint16_t code = panel.Word(DeviceLW, 6007);
  if (code != 0) {
    std::fprintf(stderr, "panelsim compose: srv_compose_text answered %u\n", code);
    return 1;
  }
  std::string message = ReadFile(work, "SMSMessage.bin");
  std::u16string units;
  for (std::size_t at = 2; at + 1 < message.size(); at += 2) {
    units.push_back(static_cast<char16_t>(static_cast<unsigned char>(message[at]) |
                                          (static_cast<unsigned char>(message[at + 1]) << 8)));
  }
  std::string utf8;
  for (char16_t u : units) host::AppendUtf8(utf8, u);
  std::printf("message (SMSMessage.bin, %zu UCS2 units, mask 0x%04X):\n%s\n", units.size(),
              o.mask, utf8.c_str());

  encode->Call(panel);
  code = panel.Word(DeviceLW, 6007);
  if (code != 0) {
    std::fprintf(stderr, "panelsim compose: srv_encode_pdu answered %u\n", code);
    return 1;
  }
  std::string frames = ReadFile(work, "SMSMessage.txt");
  std::size_t count = frames.size() >= 2 ? (static_cast<unsigned char>(frames[0]) |
                                            (static_cast<unsigned char>(frames[1]) << 8))
                                         : 0;
  std::printf("\nSMSMessage.txt: %zu PDU%s\n", count, count == 1 ? "" : "s");
  for (std::size_t k = 0; k < count && 2 + 200 * (k + 1) <= frames.size(); ++k) {
    const char* record = frames.data() + 2 + 200 * k;
    PrintPdu(k, count, std::string(record, strnlen(record, 200)));
  }
  return 0;
}

std::string ShowControls(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      char b[8];
      std::snprintf(b, sizeof b, "\\x%02X", static_cast<unsigned char>(c));
      out += b;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace panelsim
