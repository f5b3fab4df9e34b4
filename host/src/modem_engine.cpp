// The emulated modem: V.250 command lines, the dialogue tables, PDU input
// and faults on demand.
#include <cctype>
#include <cstdio>

#include "host/modem.h"

namespace host {

ModemFault ModemFault::Error(std::string command, int nth) {
  ModemFault f;
  f.kind = ModemFaultKind::Error;
  f.command = std::move(command);
  f.nth = nth;
  return f;
}

ModemFault ModemFault::Silent(std::string command, int nth) {
  ModemFault f = Error(std::move(command), nth);
  f.kind = ModemFaultKind::Silent;
  return f;
}

ModemFault ModemFault::Late(std::string command, std::uint32_t ticks, int nth) {
  ModemFault f = Error(std::move(command), nth);
  f.kind = ModemFaultKind::Late;
  f.ticks = ticks;
  return f;
}

ModemFault ModemFault::Garbage(std::string command, int nth) {
  ModemFault f = Error(std::move(command), nth);
  f.kind = ModemFaultKind::Garbage;
  return f;
}

ModemFault ModemFault::Restart(std::string command, int nth) {
  ModemFault f = Error(std::move(command), nth);
  f.kind = ModemFaultKind::Restart;
  return f;
}

namespace {

constexpr char kCtrlZ = 0x1A;
constexpr char kEsc = 0x1B;
constexpr char kBackspace = 0x08;
constexpr std::size_t kMaxLine = 560;     // characters of one command line
constexpr std::size_t kMaxPduHex = 400;   // hex digits of one PDU (the longest is 352)
constexpr std::size_t kMaxEcho = 1024;
constexpr int kMinSubmitOctets = 7;       // first octet, MR, empty DA, PID, DCS, UDL
constexpr int kMaxSubmitOctets = 164;

enum class Form : std::uint8_t { Exec, Read, Test, Set };

// One command of a command line, as the dialogue tables see it.
struct Command {
  std::string name;  // upper case: "+CMGS", "E", "&F", "^SICS"
  Form form = Form::Exec;
  std::string args;  // as given: after '=' for Set, the digits of a basic command
};

enum class Outcome : std::uint8_t { Ok, Error, Prompt, CmeError, CmsError };

struct Result {
  Outcome outcome = Outcome::Ok;
  int code = 0;
};

constexpr Result kOk{};
constexpr Result kError{Outcome::Error, 0};
constexpr Result kPrompt{Outcome::Prompt, 0};
constexpr Result Cme(int code) { return {Outcome::CmeError, code}; }
constexpr Result Cms(int code) { return {Outcome::CmsError, code}; }

// +CME ERROR codes of 3GPP TS 27.007 9.2 that this modem reports.
constexpr int kCmeNotSupported = 4;
constexpr int kCmeBadParameters = 50;
// +CMS ERROR codes of 3GPP TS 27.005 3.2.5.
constexpr int kCmsNotSupported = 303;
constexpr int kCmsBadPdu = 304;
constexpr int kCmsNoServiceCentre = 330;

struct CmeText {
  int code;
  const char* text;
};
constexpr CmeText kCmeTexts[] = {
    {kCmeNotSupported, "operation not supported"},
    {kCmeBadParameters, "Incorrect parameters"},
};

// Answers that need no state: the command with its form ("?" read, "=?"
// test, nothing for exec) and the information text ("" for OK alone).
struct CannedAnswer {
  const char* command;
  const char* info;
};
constexpr CannedAnswer kCannedAnswers[] = {
    {"+CPIN?", "+CPIN: READY"},
    {"+CSQ", "+CSQ: 20,99"},
    {"+CSQ=?", "+CSQ: (0-31,99),(0-7,99)"},
    {"+CGMI", "EMULATED"},
    {"+CGMM", "GSM MODEM"},
    {"+CGMR", "REVISION 1.0"},
    {"+CGSN", "490154203237518"},
    {"+CIMI", "001010123456789"},
    {"+CMGS=?", ""},
    {"+CSCA=?", ""},
    {"^SICS=?", ""},
};

constexpr const char* kCharsets[] = {"GSM", "IRA", "UCS2", "HEX", "8859-1"};

char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

std::string UpperCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = Upper(c);
  return out;
}

bool StartsWithAnyCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (Upper(text[i]) != Upper(prefix[i])) return false;
  }
  return true;
}

bool IsDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// A small decimal value: digits only, at most 3 of them; -1 otherwise.
int SmallNumber(std::string_view s) {
  if (!IsDigits(s) || s.size() > 3) return -1;
  int v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  return v;
}

std::string Trim(std::string_view s) {
  std::size_t b = 0;
  std::size_t e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  return std::string(s.substr(b, e - b));
}

std::string Unquote(std::string_view s) {
  std::string t = Trim(s);
  if (t.size() >= 2 && t.front() == '"' && t.back() == '"') return t.substr(1, t.size() - 2);
  return t;
}

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '!' || c == '%' || c == '-' || c == '.' ||
         c == '/' || c == ':' || c == '_';
}

// Reads the next command of a line from position *at; false on bad syntax.
bool ParseCommand(const std::string& line, std::size_t* at, Command* c) {
  std::size_t i = *at;
  const std::size_t n = line.size();
  const char first = Upper(line[i]);
  if (first == '+' || first == '^' || first == '$' || first == '%') {
    const std::size_t start = i++;
    while (i < n && IsNameChar(line[i])) ++i;
    if (i - start < 2) return false;
    c->name = UpperCase(std::string_view(line).substr(start, i - start));
    if (i + 1 < n && line[i] == '=' && line[i + 1] == '?') {
      c->form = Form::Test;
      i += 2;
    } else if (i < n && line[i] == '=') {
      c->form = Form::Set;
      const std::size_t args = ++i;
      bool quoted = false;
      while (i < n && (quoted || line[i] != ';')) {
        if (line[i] == '"') quoted = !quoted;
        ++i;
      }
      c->args = line.substr(args, i - args);
    } else if (i < n && line[i] == '?') {
      c->form = Form::Read;
      ++i;
    }
  } else {
    std::size_t start = i;
    if (first == '&') ++i;
    if (i >= n || !std::isalpha(static_cast<unsigned char>(line[i]))) return false;
    ++i;
    c->name = UpperCase(std::string_view(line).substr(start, i - start));
    start = i;
    while (i < n && std::isdigit(static_cast<unsigned char>(line[i]))) ++i;
    c->args = line.substr(start, i - start);
  }
  *at = i;
  return true;
}

std::string Hex4(unsigned v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04X", v & 0xFFFFu);
  return buf;
}

}  // namespace

struct EmulatedModem::Core {
  Core(EmulatedModem& owner, ModemOptions o) : owner(owner), options(std::move(o)) {
    settings = Defaults();
    nextReference = options.firstMessageReference & 0xFF;
  }

  using Handler = Result (Core::*)(const Command&, std::string& info);
  struct HandlerEntry {
    const char* name;
    Handler run;
  };
  static const HandlerEntry kHandlers[];

  EmulatedModem& owner;
  const ModemOptions options;
  ModemSettings settings;
  bool pduMode = false;
  int announced = 0;
  std::string line;
  bool lineOverflow = false;
  std::string echo;  // raw characters of the input in progress
  std::string pdu;
  bool pduOverflow = false;
  std::vector<ModemAnswer> answers;
  std::uint32_t inputs = 0;
  int nextReference = 0;
  int restarts = 0;
  std::vector<SentSms> sent;
  SmsInbox inbox;
  std::vector<std::string> connection;

  ModemSettings Defaults() const {
    ModemSettings s;
    s.serviceCentre = options.serviceCentre;
    return s;
  }

  void Restart() {
    settings = Defaults();
    pduMode = false;
    line.clear();
    lineOverflow = false;
    echo.clear();
    pdu.clear();
    pduOverflow = false;
    ++restarts;
    if (options.bootBanner.empty()) return;
    ModemAnswer a;
    a.bytes = options.bootBanner;
    a.note = "start-up";
    answers.push_back(std::move(a));
  }

  void Echo(char c) {
    if (echo.size() < kMaxEcho) echo.push_back(c);
  }

  void Byte(char c) {
    if (pduMode) {
      PduByte(c);
    } else {
      CommandByte(c);
    }
  }

  void CommandByte(char c) {
    const bool between = line.empty() && !lineOverflow;
    if (c == '\r') {
      if (between) {
        echo.clear();
      } else {
        FinishLine();
      }
      return;
    }
    if (between && (c == '\n' || c == ' ')) return;  // between command lines
    Echo(c);
    if (c == kBackspace) {
      if (!line.empty()) line.pop_back();
      return;
    }
    if (line.size() < kMaxLine) {
      line.push_back(c);
    } else {
      lineOverflow = true;
    }
  }

  void PduByte(char c) {
    if (c == kCtrlZ) return FinishPdu(true);
    if (c == kEsc) return FinishPdu(false);
    if (c == '\r' || c == '\n') return;  // line breaks inside a PDU are skipped
    Echo(c);
    if (pdu.size() < kMaxPduHex) {
      pdu.push_back(c);
    } else {
      pduOverflow = true;
    }
  }

  void FinishLine() {
    std::string input = std::move(line);
    const bool overflow = lineOverflow;
    std::string echoed = std::move(echo) + "\r";
    line.clear();
    echo.clear();
    lineOverflow = false;
    Complete(input, false, echoed, [&](std::string*) {
      return overflow ? Final(kError) : RunLine(input);
    });
  }

  void FinishPdu(bool send) {
    std::string hex = std::move(pdu);
    const bool overflow = pduOverflow;
    std::string echoed = std::move(echo);
    pduMode = false;
    pdu.clear();
    echo.clear();
    pduOverflow = false;
    Complete(hex, true, echoed, [&](std::string* note) {
      if (!send) {
        *note = "cancelled by Esc";
        return Final(kOk);
      }
      return Submit(hex, overflow, note);
    });
  }

  const ModemFault* FaultFor(const std::string& name, std::uint32_t* delay) {
    const ModemFault* hit = nullptr;
    for (ModemFault& f : owner.faults) {
      if (!StartsWithAnyCase(name, f.command)) continue;
      ++f.seen;
      const bool hits = f.nth <= 0 || f.seen == f.nth || (f.persistent && f.seen > f.nth);
      if (!hits) continue;
      if (f.kind == ModemFaultKind::Late) {
        *delay += f.ticks;
      } else if (hit == nullptr) {
        hit = &f;
      }
    }
    return hit;
  }

  // Runs one completed input under the faults; `run` answers it when it is carried out.
  template <typename Run>
  void Complete(const std::string& input, bool isPdu, const std::string& echoed, Run run) {
    ModemAnswer a;
    a.index = ++inputs;
    a.input = input;
    a.pdu = isPdu;
    const std::string name = isPdu ? std::string(kPduFaultPrefix) + input : input;
    const ModemFault* f = FaultFor(name, &a.delay);
    const std::string echoBack = settings.echo ? echoed : std::string();  // ATE0 still echoes itself
    const ModemFaultKind kind = f ? f->kind : ModemFaultKind::Late;
    if (kind == ModemFaultKind::Restart) {
      a.note = "fault: restart";
      answers.push_back(std::move(a));
      Restart();
      return;
    }
    if (kind == ModemFaultKind::Silent) {
      a.note = "fault: silent";
      answers.push_back(std::move(a));
      return;
    }
    if (kind == ModemFaultKind::Error) {
      a.note = "fault: error";
      a.bytes = echoBack + (f->answer.empty() ? Final(kError) : f->answer);
    } else {
      a.bytes = echoBack + run(&a.note);
    }
    if (kind == ModemFaultKind::Garbage) {
      a.note = Join(a.note, "fault: garbage");
      a.bytes = f->answer.empty() ? std::string(kModemGarbage) : f->answer;
    }
    if (a.delay != 0) a.note = Join(a.note, "fault: late by " + std::to_string(a.delay) + " ticks");
    answers.push_back(std::move(a));
  }

  static std::string Join(const std::string& a, const std::string& b) { return a.empty() ? b : a + "; " + b; }

  std::string RunLine(const std::string& text) {
    if (!StartsWithAnyCase(text, "AT")) return Final(kError);
    std::string info;
    std::size_t at = 2;
    for (;;) {
      while (at < text.size() && (text[at] == ' ' || text[at] == ';')) ++at;
      if (at >= text.size()) break;
      Command c;
      if (!ParseCommand(text, &at, &c)) return info + Final(kError);
      const Result r = RunCommand(c, info);
      if (r.outcome == Outcome::Prompt) return info + Prompt();  // the rest of the line is not read
      if (r.outcome != Outcome::Ok) return info + Final(r);
    }
    return info + Final(kOk);
  }

  Result RunCommand(const Command& c, std::string& info);

  std::string Submit(const std::string& hex, bool overflow, std::string* note) {
    if (overflow) {
      *note = "PDU longer than " + std::to_string(kMaxPduHex) + " hex digits";
      return Final(Cms(kCmsBadPdu));
    }
    std::vector<std::uint8_t> octets;
    if (!HexToOctets(hex, &octets, note)) return Final(Cms(kCmsBadPdu));
    const std::size_t centre = octets[0];
    if (1 + centre > octets.size()) {
      *note = "PDU ends inside the service-centre field";
      return Final(Cms(kCmsBadPdu));
    }
    const std::size_t tpdu = octets.size() - 1 - centre;
    if (tpdu != static_cast<std::size_t>(announced)) {
      *note = "AT+CMGS announced " + std::to_string(announced) + " octets, the PDU has " + std::to_string(tpdu) +
              " after the service-centre field";
      return Final(Cms(kCmsBadPdu));
    }
    SmsDecodeResult r = DecodeSubmitOctets(octets);
    if (!r.ok) {
      *note = r.error;
      return Final(Cms(kCmsBadPdu));
    }
    if (centre == 0 && settings.serviceCentre.empty()) {
      *note = "no service centre";
      return Final(Cms(kCmsNoServiceCentre));
    }
    const int mr = nextReference;
    nextReference = (nextReference + 1) & 0xFF;
    inbox.Add(r.sms);
    sent.push_back(SentSms{mr, hex, std::move(r.sms)});
    return Info("+CMGS: " + std::to_string(mr)) + Final(kOk);
  }

  // Framing of V.250: verbose answers are "\r\n<text>\r\n"; ATV0 sends
  // information text as "<text>\r\n" and result codes as digits and CR.
  std::string Info(std::string_view text) const {
    std::string t(text);
    return settings.verbose ? "\r\n" + t + "\r\n" : t + "\r\n";
  }

  std::string Prompt() const { return settings.verbose ? "\r\n> " : "> "; }

  std::string Final(const Result& r) const {
    switch (r.outcome) {
      case Outcome::Ok:
      case Outcome::Prompt:
        return settings.verbose ? "\r\nOK\r\n" : "0\r";
      case Outcome::CmsError:
        return Info("+CMS ERROR: " + std::to_string(r.code));
      case Outcome::CmeError:
        if (settings.errorReports == 1) return Info("+CME ERROR: " + std::to_string(r.code));
        if (settings.errorReports == 2) {
          for (const CmeText& t : kCmeTexts) {
            if (t.code == r.code) return Info(std::string("+CME ERROR: ") + t.text);
          }
          return Info("+CME ERROR: " + std::to_string(r.code));
        }
        break;
      case Outcome::Error:
        break;
    }
    return settings.verbose ? "\r\nERROR\r\n" : "4\r";
  }

  // A string parameter as the current character set (AT+CSCS) writes it.
  std::string InCharset(std::string_view ascii) const {
    if (settings.charset != "UCS2" && settings.charset != "HEX") return std::string(ascii);
    std::string out;
    for (char c : ascii) {
      const std::string h = Hex4(static_cast<unsigned char>(c));
      out += settings.charset == "UCS2" ? h : h.substr(2);
    }
    return out;
  }

  // A string parameter in the current character set back to ASCII; false when malformed.
  bool FromCharset(const std::string& text, std::string* out) const {
    const std::size_t unit = settings.charset == "UCS2" ? 4 : settings.charset == "HEX" ? 2 : 0;
    if (unit == 0) {
      *out = text;
      return true;
    }
    if (text.size() % unit != 0) return false;
    out->clear();
    for (std::size_t i = 0; i < text.size(); i += unit) {
      std::vector<std::uint8_t> octets;
      std::string error;
      if (!HexToOctets(std::string_view(text).substr(i, unit), &octets, &error)) return false;
      if (unit == 4 && octets[0] != 0) return false;  // only ASCII numbers here
      out->push_back(static_cast<char>(octets.back()));
    }
    return true;
  }

  // ---- Handlers: one per command that has state or checks its parameters.

  static Result Switch(const Command& c, bool* setting) {
    if (c.args.empty() || c.args == "0") {
      *setting = false;
    } else if (c.args == "1") {
      *setting = true;
    } else {
      return kError;
    }
    return kOk;
  }

  Result EchoCommand(const Command& c, std::string&) { return Switch(c, &settings.echo); }
  Result VerboseCommand(const Command& c, std::string&) { return Switch(c, &settings.verbose); }

  Result Quiet(const Command& c, std::string&) { return c.args.empty() || c.args == "0" ? kOk : kError; }

  Result Reset(const Command& c, std::string&) {
    if (!c.args.empty() && c.args != "0") return kError;
    settings = Defaults();
    return kOk;
  }

  Result Identify(const Command& c, std::string& info) {
    if (!c.args.empty() && c.args != "0") return kError;
    info += Info("EMULATED GSM MODEM");
    return kOk;
  }

  Result AnyValue(const Command&, std::string&) { return kOk; }

  // A switch a common modem takes at start-up and this one only remembers as
  // answered: numbers (and commas) to set, a fixed reading, a fixed range.
  Result Switch(const Command& c, std::string& info, const char* reading,
                       const char* range) {
    switch (c.form) {
      case Form::Set: {
        const std::string v = Trim(c.args);
        if (v.empty() || v.find_first_not_of("0123456789,") != std::string::npos) return kError;
        return kOk;
      }
      case Form::Read:
        info += Info(reading);
        return kOk;
      case Form::Test:
        info += Info(range);
        return kOk;
      case Form::Exec:
        break;
    }
    return kError;
  }

  Result Functionality(const Command& c, std::string& info) {
    return Switch(c, info, "+CFUN: 1", "+CFUN: (0,1,4),(0,1)");
  }
  Result CallWaiting(const Command& c, std::string& info) {
    return Switch(c, info, "+CCWA: 0", "+CCWA: (0,1)");
  }
  Result Ussd(const Command& c, std::string& info) {
    return Switch(c, info, "+CUSD: 0", "+CUSD: (0-2)");
  }

  // Message storage: phone memory and SIM, both empty, 30 places each.
  Result MessageStorage(const Command& c, std::string& info) {
    switch (c.form) {
      case Form::Test:
        info += Info("+CPMS: (\"ME\",\"SM\"),(\"ME\",\"SM\"),(\"ME\",\"SM\")");
        return kOk;
      case Form::Read:
        info += Info("+CPMS: \"ME\",0,30,\"ME\",0,30,\"ME\",0,30");
        return kOk;
      case Form::Set: {
        std::string args = UpperCase(c.args);
        std::size_t at = 0;
        while (at < args.size()) {
          std::size_t comma = args.find(',', at);
          std::string memory = Unquote(Trim(args.substr(at, comma == std::string::npos ? std::string::npos : comma - at)));
          if (memory != "ME" && memory != "SM") return Cms(kCmsNotSupported);
          if (comma == std::string::npos) break;
          at = comma + 1;
        }
        info += Info("+CPMS: 0,30,0,30,0,30");
        return kOk;
      }
      case Form::Exec:
        break;
    }
    return kError;
  }

  Result ErrorReports(const Command& c, std::string& info) {
    switch (c.form) {
      case Form::Set: {
        const int v = SmallNumber(Trim(c.args));
        if (v < 0 || v > 2) return Cme(kCmeBadParameters);
        settings.errorReports = v;
        return kOk;
      }
      case Form::Read:
        info += Info("+CMEE: " + std::to_string(settings.errorReports));
        return kOk;
      case Form::Test:
        info += Info("+CMEE: (0-2)");
        return kOk;
      case Form::Exec:
        break;
    }
    return kError;
  }

  // PDU mode only: a modem without text mode refuses AT+CMGF=1.
  Result MessageFormat(const Command& c, std::string& info) {
    switch (c.form) {
      case Form::Exec:
        return kOk;
      case Form::Set: {
        const std::string v = Trim(c.args);
        if (v == "0") return kOk;
        if (v == "1") return Cms(kCmsNotSupported);
        return kError;
      }
      case Form::Read:
        info += Info("+CMGF: 0");
        return kOk;
      case Form::Test:
        info += Info("+CMGF: (0)");
        return kOk;
    }
    return kError;
  }

  Result CharacterSet(const Command& c, std::string& info) {
    switch (c.form) {
      case Form::Set: {
        const std::string wanted = UpperCase(Unquote(c.args));
        for (const char* cs : kCharsets) {
          if (wanted == cs) {
            settings.charset = cs;
            return kOk;
          }
        }
        return Cme(kCmeNotSupported);
      }
      case Form::Read:
        info += Info("+CSCS: \"" + settings.charset + "\"");
        return kOk;
      case Form::Test: {
        std::string list;
        for (const char* cs : kCharsets) list += std::string(list.empty() ? "" : ",") + "\"" + cs + "\"";
        info += Info("+CSCS: (" + list + ")");
        return kOk;
      }
      case Form::Exec:
        break;
    }
    return kError;
  }

  Result SendMessage(const Command& c, std::string&) {
    if (c.form == Form::Test) return kOk;
    if (c.form != Form::Set) return kError;
    const int length = SmallNumber(Trim(c.args));
    if (length < 0) return kError;
    if (length < kMinSubmitOctets || length > kMaxSubmitOctets) return Cms(kCmsBadPdu);
    announced = length;
    pduMode = true;
    return kPrompt;
  }

  Result ServiceCentre(const Command& c, std::string& info) {
    switch (c.form) {
      case Form::Read: {
        const std::string& sca = settings.serviceCentre;
        const int type = !sca.empty() && sca[0] == '+' ? 145 : 129;
        info += Info("+CSCA: \"" + InCharset(sca) + "\"," + std::to_string(type));
        return kOk;
      }
      case Form::Set: {
        const std::string args = Trim(c.args);
        const std::size_t close = args.empty() || args[0] != '"' ? 0 : args.find('"', 1);
        if (close == std::string::npos) return Cme(kCmeBadParameters);
        std::string number;
        if (!FromCharset(Unquote(args.substr(0, args.find(',', close))), &number)) return Cme(kCmeBadParameters);
        settings.serviceCentre = number;
        return kOk;
      }
      case Form::Test:
        return kOk;
      case Form::Exec:
        break;
    }
    return kError;
  }

  Result Registration(const Command& c, std::string& info) {
    switch (c.form) {
      case Form::Set: {
        const int v = SmallNumber(Trim(c.args));
        if (v < 0 || v > 2) return Cme(kCmeBadParameters);
        settings.registrationReports = v;
        return kOk;
      }
      case Form::Read:
        info += Info("+CREG: " + std::to_string(settings.registrationReports) + ",1");
        return kOk;
      case Form::Test:
        info += Info("+CREG: (0-2)");
        return kOk;
      case Form::Exec:
        break;
    }
    return kError;
  }

  Result MessageIndications(const Command& c, std::string& info) {
    switch (c.form) {
      case Form::Set:
        settings.newMessageIndications = Trim(c.args);
        return kOk;
      case Form::Read:
        info += Info("+CNMI: " + settings.newMessageIndications);
        return kOk;
      case Form::Test:
        info += Info("+CNMI: (0-2),(0-3),(0-3),(0-2),(0,1)");
        return kOk;
      case Form::Exec:
        break;
    }
    return kError;
  }

  // at^sics=<profile>,<tag>,<value>: kept as given, value case included.
  Result ConnectionSetting(const Command& c, std::string&) {
    if (c.form != Form::Set || c.args.empty()) return c.form == Form::Test ? kOk : kError;
    connection.push_back(c.args);
    return kOk;
  }
};

const EmulatedModem::Core::HandlerEntry EmulatedModem::Core::kHandlers[] = {
    {"E", &Core::EchoCommand},
    {"V", &Core::VerboseCommand},
    {"Q", &Core::Quiet},
    {"Z", &Core::Reset},
    {"&F", &Core::Reset},
    {"I", &Core::Identify},
    {"&W", &Core::AnyValue},
    {"&C", &Core::AnyValue},
    {"&D", &Core::AnyValue},
    {"+CMEE", &Core::ErrorReports},
    {"+CMGF", &Core::MessageFormat},
    {"+CSCS", &Core::CharacterSet},
    {"+CMGS", &Core::SendMessage},
    {"+CSCA", &Core::ServiceCentre},
    {"+CREG", &Core::Registration},
    {"+CNMI", &Core::MessageIndications},
    {"+CFUN", &Core::Functionality},
    {"+CCWA", &Core::CallWaiting},
    {"+CUSD", &Core::Ussd},
    {"+CPMS", &Core::MessageStorage},
    {"^SICS", &Core::ConnectionSetting},
};

// Commands with state come first; the canned answers cover the rest.
Result EmulatedModem::Core::RunCommand(const Command& c, std::string& info) {
  for (const HandlerEntry& h : kHandlers) {
    if (c.name == h.name) return (this->*h.run)(c, info);
  }
  if (c.form == Form::Set) return kError;
  const std::string key = c.name + (c.form == Form::Read ? "?" : c.form == Form::Test ? "=?" : "");
  for (const CannedAnswer& a : kCannedAnswers) {
    if (key != a.command) continue;
    if (*a.info != '\0') info += Info(a.info);
    return c.args.empty() ? kOk : kError;
  }
  return kError;
}

EmulatedModem::EmulatedModem(ModemOptions options) : core_(std::make_unique<Core>(*this, std::move(options))) {}

EmulatedModem::~EmulatedModem() = default;

void EmulatedModem::Receive(std::string_view bytes) {
  for (char c : bytes) core_->Byte(c);
}

std::string EmulatedModem::TakeOutput() {
  std::string out;
  for (const ModemAnswer& a : core_->answers) out += a.bytes;
  core_->answers.clear();
  return out;
}

std::vector<ModemAnswer> EmulatedModem::TakeAnswers() {
  std::vector<ModemAnswer> out = std::move(core_->answers);
  core_->answers.clear();
  return out;
}

void EmulatedModem::Restart() { core_->Restart(); }
void EmulatedModem::AbandonPdu() {
  if (!core_->pduMode) return;
  core_->pduMode = false;
  core_->pdu.clear();
  core_->pduOverflow = false;
  core_->echo.clear();
}
bool EmulatedModem::AwaitingPdu() const { return core_->pduMode; }
const ModemSettings& EmulatedModem::settings() const { return core_->settings; }
const ModemOptions& EmulatedModem::options() const { return core_->options; }
const SmsInbox& EmulatedModem::inbox() const { return core_->inbox; }
const std::vector<SentSms>& EmulatedModem::sent() const { return core_->sent; }
const std::vector<std::string>& EmulatedModem::connectionSettings() const { return core_->connection; }
int EmulatedModem::restarts() const { return core_->restarts; }
void EmulatedModem::ClearRecords() {
  std::vector<SentSms>().swap(core_->sent);
  core_->inbox.Clear();
  std::vector<std::string>().swap(core_->connection);
}
std::uint32_t EmulatedModem::inputs() const { return core_->inputs; }

std::string VisibleText(std::string_view bytes) {
  std::string out;
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == 0x1A) {
      out += "^Z";
    } else if (c == 0x1B) {
      out += "<ESC>";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c < 0x20 || c >= 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out.push_back(ch);
    }
  }
  return out;
}

}  // namespace host
