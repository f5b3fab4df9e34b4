// panelsim inspect: shows what a data file of the plug-ins holds, field by
// field with its byte offset, and what is wrong with it. The decoding is the
// host's (host/files.h); this file only lays it out, as text or as JSON.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli.h"
#include "commands.h"
#include "host/files.h"
#include "host/modem.h"
#include "host/sms.h"

namespace panelsim {
namespace {

using host::DataFileKind;

// ---------------------------------------------------------------------------
// Building the tree.

Node Object(std::string key, long offset = -1, std::string note = "") {
  Node n;
  n.type = Node::Type::Object;
  n.key = std::move(key);
  n.offset = offset;
  n.note = std::move(note);
  return n;
}

Node Array(std::string key) {
  Node n = Object(std::move(key));
  n.type = Node::Type::Array;
  return n;
}

Node Integer(std::string key, long long value, long offset = -1, std::string note = "") {
  Node n = Object(std::move(key), offset, std::move(note));
  n.type = Node::Type::Integer;
  n.number = value;
  return n;
}

Node Text(std::string key, std::string utf8, long offset = -1, std::string note = "") {
  Node n = Object(std::move(key), offset, std::move(note));
  n.type = Node::Type::Text;
  n.text = std::move(utf8);
  return n;
}

Node Bytes(std::string key, std::string bytes, long offset = -1, std::string note = "") {
  Node n = Text(std::move(key), std::move(bytes), offset, std::move(note));
  n.type = Node::Type::Bytes;
  return n;
}

Node Null(std::string key, std::string note = "") {
  Node n = Object(std::move(key), -1, std::move(note));
  n.type = Node::Type::Null;
  return n;
}

std::string Printf(const char* format, auto... args) {
  char buf[160];
  std::snprintf(buf, sizeof buf, format, args...);
  return buf;
}

std::string Hex(const std::vector<std::uint8_t>& octets) {
  std::string out;
  for (std::uint8_t o : octets) out += Printf("%02X", o);
  return out;
}

// Raw bytes without their trailing zeros.
std::string TrimZeros(std::string bytes) {
  while (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
  return bytes;
}

std::string Units(std::size_t n) { return Printf("%zu unit%s", n, n == 1 ? "" : "s"); }

std::string TickNote(unsigned value, unsigned ticks, const char* unit) {
  return Printf("x %u ticks: %u %s at a 100 ms tick", ticks, value, unit);
}

// ---------------------------------------------------------------------------
// One node per kind of file.

Node SendSettingsNode(const host::SendSettings& s) {
  Node n = Object("content");
  n.children.push_back(
      Integer("scheduleEnabled", s.scheduleEnabled, 0, s.scheduleEnabled ? "on" : "off"));
  n.children.push_back(Integer("sendMode", s.sendMode, 2,
                               s.sendMode == 0   ? "send while any event is active"
                               : s.sendMode == 1 ? "send when the active events change"
                                                 : "unknown mode"));
  n.children.push_back(Integer("sendInterval", s.sendInterval, 4,
                               TickNote(s.sendInterval, 600, "min")));
  n.children.push_back(Integer("replyTimeout", s.replyTimeout, 6,
                               TickNote(s.replyTimeout, 10, "s")));
  return n;
}

Node RecipientListNode(const host::RecipientList& r) {
  Node n = Object("content");
  n.children.push_back(Integer("count", r.count, 0, "entries in use"));
  Node entries = Array("entries");
  for (std::size_t i = 0; i < r.entries.size(); ++i) {
    const long at = static_cast<long>(2 + 30 * i);
    Node e = Object(Printf("entry %zu", i), at, i < r.count ? "in use" : "not in use");
    e.children.push_back(Bytes("number", r.entries[i].number, at));
    e.children.push_back(Bytes("address", r.entries[i].address, at + 10));
    entries.children.push_back(std::move(e));
  }
  n.children.push_back(std::move(entries));
  return n;
}

Node MessageTemplateNode(const host::MessageTemplate& t) {
  Node n = Object("content");
  n.children.push_back(Text("title", host::Utf16ToUtf8(t.title), 0, Units(t.title.size())));
  Node events = Array("events");
  for (std::size_t i = 0; i < t.events.size(); ++i) {
    const host::TemplateEvent& ev = t.events[i];
    const long at = static_cast<long>(40 + 50 * i);
    Node e = Object(Printf("event %zu", i), at);
    e.children.push_back(Integer("enabled", ev.enabled, at));
    Node reserved = Array("reserved");
    reserved.offset = at + 2;
    for (std::uint16_t w : ev.reserved) reserved.children.push_back(Integer("", w));
    e.children.push_back(std::move(reserved));
    e.children.push_back(Text("text", host::Utf16ToUtf8(ev.text), at + 10, Units(ev.text.size())));
    e.blank = ev.enabled == 0 && ev.text.empty() &&
              std::all_of(ev.reserved.begin(), ev.reserved.end(),
                          [](std::uint16_t w) { return w == 0; });
    events.children.push_back(std::move(e));
  }
  n.children.push_back(std::move(events));
  return n;
}

std::string MaskNote(unsigned mask) {
  if (mask == 0) return "no event";
  std::string note = "events";
  for (unsigned i = 0; i < 16; ++i) {
    if (mask & (1u << i)) note += Printf(" %u", i);
  }
  return note;
}

Node ServerProfileNode(const host::ServerProfile& s) {
  Node n = Object("content");
  n.children.push_back(Integer("lastMask", s.lastMask, 0, MaskNote(s.lastMask)));
  n.children.push_back(Integer("lastSendTick", s.lastSendTick, 2));
  n.children.push_back(Integer("lastCheckTick", s.lastCheckTick, 6));
  return n;
}

Node MessageNode(const host::MessageFile& m) {
  Node n = Object("content");
  n.children.push_back(Integer("count", m.count, 0, "units announced"));
  n.children.push_back(Text("text", host::Utf16ToUtf8(m.text), 2, Units(m.text.size())));
  return n;
}

const char* AlphabetName(host::SmsAlphabet a) {
  switch (a) {
    case host::SmsAlphabet::Gsm7: return "GSM 7-bit";
    case host::SmsAlphabet::Data8: return "8-bit data";
    case host::SmsAlphabet::Ucs2: return "UCS2";
  }
  return "";
}

// The fields of a decoded SMS-SUBMIT, appended to `n`.
void AddSubmitFields(Node& n, const host::SmsSubmit& s) {
  n.children.push_back(Text("serviceCentre", s.serviceCentre.number, -1,
                            s.serviceCentre.number.empty() ? "the modem's own" : ""));
  n.children.push_back(Integer("firstOctet", s.firstOctet, -1,
                               Printf("0x%02X%s", s.firstOctet,
                                      s.headerPresent ? ", with a user-data header" : "")));
  n.children.push_back(Integer("messageReference", s.messageReference));
  n.children.push_back(Text("destination", s.destination.number, -1,
                            Printf("type 0x%02X, %d digits", s.destination.type,
                                   s.destination.length)));
  n.children.push_back(Integer("protocolId", s.protocolId));
  n.children.push_back(Integer("dataCoding", s.dataCoding, -1, AlphabetName(s.alphabet)));
  n.children.push_back(Integer("userDataLength", s.userDataLength));
  std::vector<std::uint8_t> header;  // with its length octet, as sent
  if (s.headerPresent) header.push_back(static_cast<std::uint8_t>(s.header.size()));
  header.insert(header.end(), s.header.begin(), s.header.end());
  n.children.push_back(Bytes("userDataHeader", Hex(header), -1, s.headerPresent ? "" : "none"));
  if (s.concat) {
    Node c = Object("concatenation", -1, "");
    c.children.push_back(Integer("reference", s.concat->reference));
    c.children.push_back(Integer("parts", s.concat->total));
    c.children.push_back(Integer("part", s.concat->sequence));
    n.children.push_back(std::move(c));
  } else {
    n.children.push_back(Null("concatenation", "one part"));
  }
  n.children.push_back(Text("text", s.text));
}

Node PduFramesNode(const host::PduFrameFile& f) {
  Node n = Object("content");
  n.children.push_back(Integer("count", f.count, 0, "records announced"));
  Node records = Array("records");
  for (std::size_t k = 0; k < f.records.size(); ++k) {
    const host::PduRecord& r = f.records[k];
    Node rec = Object(Printf("record %zu", k), static_cast<long>(2 + 200 * k));
    rec.children.push_back(Bytes("pdu", r.text, -1, Printf("%zu characters", r.text.size())));
    if (r.pdu.ok) AddSubmitFields(rec, r.pdu.sms);
    records.children.push_back(std::move(rec));
  }
  n.children.push_back(std::move(records));
  return n;
}

Node AtScriptNode(const host::AtScriptFile& f) {
  Node n = Object("content");
  n.children.push_back(Integer("count", f.count, 0, "records announced"));
  Node records = Array("records");
  for (std::size_t k = 0; k < f.records.size(); ++k) {
    const host::ScriptRecord& r = f.records[k];
    Node rec = Object(Printf("record %zu", k), static_cast<long>(2 + 200 * k));
    rec.children.push_back(Bytes("command", r.text));
    if (r.isPdu && r.pdu.ok) {
      rec.children.push_back(Text("destination", r.pdu.sms.destination.number));
      if (r.pdu.sms.concat) {
        rec.children.push_back(Text("part", Printf("%u of %u, reference %u",
                                                   r.pdu.sms.concat->sequence,
                                                   r.pdu.sms.concat->total,
                                                   r.pdu.sms.concat->reference)));
      }
      rec.children.push_back(Text("text", r.pdu.sms.text));
    }
    records.children.push_back(std::move(rec));
  }
  n.children.push_back(std::move(records));
  return n;
}

Node PhoneBookNode(const host::PhoneBook& p) {
  Node n = Object("content");
  n.children.push_back(Integer("inUse", p.inUse, 0, "entries in use"));
  Node entries = Array("entries");
  for (std::size_t i = 0; i < p.entries.size(); ++i) {
    entries.children.push_back(Bytes(Printf("entry %zu", i), TrimZeros(p.entries[i]),
                                     static_cast<long>(2 + 180 * i),
                                     i < p.inUse ? "in use" : "not in use"));
  }
  n.children.push_back(std::move(entries));
  return n;
}

Node ConnectionProfileNode(const host::ConnectionProfile& c, bool showSecrets) {
  Node n = Object("content");
  for (std::size_t i = 0; i < host::kConnectionFields; ++i) {
    const host::ConnectionField& f = host::ConnectionFields()[i];
    std::string value = c.fields[i];
    std::string note = Printf("%zu of %zu characters", value.size(), f.length);
    if (f.secret && !showSecrets && !value.empty()) {
      value = std::string(host::kSecretMask);
      note = "masked; --show-secrets shows it";
    }
    n.children.push_back(Bytes(f.tag, value, static_cast<long>(f.offset), note));
  }
  return n;
}

Node DataSettingsNode(const host::DataSettings& d) {
  Node n = Object("content");
  n.children.push_back(Integer("unused", d.unused, 0, "not read by the loader"));
  n.children.push_back(Integer("header", d.header, 2, "to FRW 0"));
  Node entries = Array("entries");
  for (std::size_t i = 0; i < d.entries.size(); ++i) {
    const host::DataSettingsEntry& e = d.entries[i];
    const long frw = static_cast<long>(17 + 26 * i);
    Node entry = Object(Printf("entry %zu", i), -1, Printf("to FRW %ld..%ld", frw, frw + 25));
    entry.children.push_back(Integer("word1", e.word1, static_cast<long>(4 + 2 * i)));
    entry.children.push_back(Integer("word2", e.word2, static_cast<long>(36 + 2 * i)));
    entry.children.push_back(Integer("word3", e.word3, static_cast<long>(68 + 2 * i)));
    entry.children.push_back(Bytes("text16", TrimZeros(e.text16), static_cast<long>(100 + 16 * i)));
    entry.children.push_back(Bytes("text30", TrimZeros(e.text30), static_cast<long>(356 + 30 * i)));
    entry.blank = e.word1 == 0 && e.word2 == 0 && e.word3 == 0 &&
                  TrimZeros(e.text16).empty() && TrimZeros(e.text30).empty();
    entries.children.push_back(std::move(entry));
  }
  n.children.push_back(std::move(entries));
  return n;
}

template <class T>
void Take(InspectResult& r, host::Decoded<T> d, Node (*node)(const T&)) {
  r.content = node(d.value);
  r.problems = std::move(d.problems);
}

// ---------------------------------------------------------------------------
// Text.

// A quoted value: control characters, quotes and backslashes escaped; bytes of
// 8-bit text outside ASCII as \xNN; UTF-8 text as it is.
std::string Quoted(const std::string& s, bool bytes) {
  std::string out = "\"";
  for (char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"') {
      out += "\\\"";
    } else if (c < 0x20 || c == 0x7F || c == '\\' || (bytes && c >= 0x80)) {
      out += host::VisibleText(std::string(1, ch));
    } else {
      out.push_back(ch);
    }
  }
  return out + "\"";
}

std::string Scalar(const Node& n) {
  switch (n.type) {
    case Node::Type::Integer: return std::to_string(n.number);
    case Node::Type::Text: return Quoted(n.text, false);
    case Node::Type::Bytes: return Quoted(n.text, true);
    case Node::Type::Null: return "-";
    case Node::Type::Array: {
      std::string out = "[";
      for (std::size_t i = 0; i < n.children.size(); ++i) {
        out += (i ? ", " : "") + Scalar(n.children[i]);
      }
      return out + "]";
    }
    default: return "";
  }
}

// A value shown on one line: a scalar, or a list of unnamed scalars.
bool IsLeaf(const Node& n) {
  if (n.type == Node::Type::Object) return false;
  if (n.type != Node::Type::Array) return true;
  for (const Node& c : n.children) {
    if (!c.key.empty() || c.type == Node::Type::Object || c.type == Node::Type::Array) {
      return false;
    }
  }
  return true;
}

std::string Offset(long offset) {
  return offset >= 0 ? Printf("%6ld", offset) : std::string(6, ' ');
}

void TextLines(const Node& n, int depth, std::string& out) {
  std::size_t width = 0;
  for (const Node& c : n.children) width = std::max(width, c.key.size());
  const std::string indent(static_cast<std::size_t>(2 + 2 * depth), ' ');
  for (std::size_t i = 0; i < n.children.size(); ++i) {
    const Node& c = n.children[i];
    if (c.blank) {  // a run of all-zero records on one line
      std::size_t last = i;
      while (last + 1 < n.children.size() && n.children[last + 1].blank) ++last;
      out += Offset(c.offset) + indent + c.key +
             (last > i ? " to " + n.children[last].key : std::string()) + "  (all zero)\n";
      i = last;
      continue;
    }
    std::string line = Offset(c.offset) + indent + c.key;
    if (IsLeaf(c)) line += std::string(width - c.key.size() + 2, ' ') + Scalar(c);
    if (!c.note.empty()) line += "  (" + c.note + ")";
    out += line + "\n";
    if (!IsLeaf(c)) TextLines(c, depth + 1, out);
  }
}

// ---------------------------------------------------------------------------
// JSON.

std::string JsonString(const std::string& s, bool bytes) {
  std::string out = "\"";
  for (char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out.push_back(ch);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c < 0x20 || c == 0x7F) {
      out += Printf("\\u%04X", c);
    } else if (bytes && c >= 0x80) {
      host::AppendUtf8(out, c);  // an 8-bit byte as the code point of the same value
    } else {
      out.push_back(ch);
    }
  }
  return out + "\"";
}

void Json(const Node& n, int depth, std::string& out) {
  const std::string pad(static_cast<std::size_t>(2 * depth + 2), ' ');
  const std::string closePad(static_cast<std::size_t>(2 * depth), ' ');
  switch (n.type) {
    case Node::Type::Integer: out += std::to_string(n.number); return;
    case Node::Type::Text: out += JsonString(n.text, false); return;
    case Node::Type::Bytes: out += JsonString(n.text, true); return;
    case Node::Type::Null: out += "null"; return;
    case Node::Type::Array:
      if (IsLeaf(n)) {
        out += "[";
        for (std::size_t i = 0; i < n.children.size(); ++i) {
          if (i) out += ", ";
          Json(n.children[i], depth + 1, out);
        }
        out += "]";
        return;
      }
      out += "[\n";
      for (std::size_t i = 0; i < n.children.size(); ++i) {
        out += pad;
        Json(n.children[i], depth + 1, out);
        out += i + 1 < n.children.size() ? ",\n" : "\n";
      }
      out += closePad + "]";
      return;
    case Node::Type::Object:
      out += "{\n";
      for (std::size_t i = 0; i < n.children.size(); ++i) {
        out += pad + JsonString(n.children[i].key, false) + ": ";
        Json(n.children[i], depth + 1, out);
        out += i + 1 < n.children.size() ? ",\n" : "\n";
      }
      out += closePad + "}";
      return;
  }
}

const char* SeverityName(host::ProblemSeverity s) {
  return s == host::ProblemSeverity::Error ? "error" : "warning";
}

std::string KindList() {
  std::string list;
  for (const host::DataFileInfo& f : host::DataFiles()) {
    list += (list.empty() ? "" : ", ") + std::string(f.key);
  }
  return list;
}

}  // namespace

InspectResult InspectBytes(const std::string& path, std::string_view bytes,
                           const host::DataFileInfo& info, bool showSecrets) {
  InspectResult r;
  r.path = path;
  r.info = &info;
  r.size = bytes.size();
  switch (info.kind) {
    case DataFileKind::SendSettings:
      Take(r, host::DecodeSendSettings(bytes), SendSettingsNode);
      break;
    case DataFileKind::RecipientList:
      Take(r, host::DecodeRecipientList(bytes), RecipientListNode);
      break;
    case DataFileKind::MessageTemplate:
      Take(r, host::DecodeMessageTemplate(bytes), MessageTemplateNode);
      break;
    case DataFileKind::ServerProfile:
      Take(r, host::DecodeServerProfile(bytes), ServerProfileNode);
      break;
    case DataFileKind::Message:
      Take(r, host::DecodeMessageFile(bytes), MessageNode);
      break;
    case DataFileKind::PduFrames:
      Take(r, host::DecodePduFrames(bytes), PduFramesNode);
      break;
    case DataFileKind::AtScript:
      Take(r, host::DecodeAtScript(bytes), AtScriptNode);
      break;
    case DataFileKind::PhoneBook:
      Take(r, host::DecodePhoneBook(bytes), PhoneBookNode);
      break;
    case DataFileKind::ConnectionProfile: {
      host::Decoded<host::ConnectionProfile> d = host::DecodeConnectionProfile(bytes);
      r.content = ConnectionProfileNode(d.value, showSecrets);
      r.problems = std::move(d.problems);
      break;
    }
    case DataFileKind::DataSettings:
      Take(r, host::DecodeDataSettings(bytes), DataSettingsNode);
      break;
  }
  return r;
}

InspectResult InspectFile(const std::string& path, const std::string& as, bool showSecrets) {
  const host::DataFileInfo* info =
      as.empty() ? host::DataFileForPath(path) : host::DataFileForKey(as);
  if (info == nullptr) {
    InspectResult r;
    r.path = path;
    r.error = as.empty() ? "not a data file name the plug-ins use; give --as KIND (" +
                               KindList() + ")"
                         : "unknown kind '" + as + "' (" + KindList() + ")";
    return r;
  }
  std::string bytes;
  std::string error;
  if (!host::ReadWholeFile(path, &bytes, &error)) {
    InspectResult r;
    r.path = path;
    r.info = info;
    r.error = error;
    return r;
  }
  return InspectBytes(path, bytes, *info, showSecrets);
}

std::string InspectText(const InspectResult& r) {
  if (!r.error.empty()) return r.path + ": " + r.error + "\n";
  std::string out = r.path + ": " + r.info->record + " (" + r.info->key + "), " +
                    Printf("%zu byte%s", r.size, r.size == 1 ? "" : "s") + "\n";
  TextLines(r.content, 0, out);
  if (r.problems.empty()) out += "no problems found\n";
  for (const host::FileProblem& p : r.problems) {
    out += std::string(SeverityName(p.severity)) + ": " + host::DescribeProblem(p) + "\n";
  }
  return out;
}

std::string InspectJson(const std::vector<InspectResult>& results) {
  std::string out = "[\n";
  for (std::size_t i = 0; i < results.size(); ++i) {
    const InspectResult& r = results[i];
    out += "  {\n    \"file\": " + JsonString(r.path, false);
    if (r.info != nullptr) {
      out += ",\n    \"kind\": " + JsonString(r.info->key, false) +
             ",\n    \"record\": " + JsonString(r.info->record, false);
    }
    if (!r.error.empty()) {
      out += ",\n    \"error\": " + JsonString(r.error, false) + "\n  }";
    } else {
      out += Printf(",\n    \"size\": %zu,\n    \"content\": ", r.size);
      Json(r.content, 2, out);
      out += ",\n    \"problems\": [";
      for (std::size_t k = 0; k < r.problems.size(); ++k) {
        const host::FileProblem& p = r.problems[k];
        out += (k ? ",\n" : "\n") + std::string("      {\"severity\": \"") +
               SeverityName(p.severity) + Printf("\", \"offset\": %zu, \"where\": ", p.offset) +
               JsonString(p.where, false) + ", \"what\": " + JsonString(p.what, false) + "}";
      }
      out += r.problems.empty() ? "]\n  }" : "\n    ]\n  }";
    }
    out += i + 1 < results.size() ? ",\n" : "\n";
  }
  return out + "]\n";
}

bool InspectFailed(const InspectResult& r) {
  return !r.error.empty() || host::HasErrors(r.problems);
}

int RunInspect(const std::vector<std::string>& args) {
  CLI::App app(
      "Shows what the data files of the plug-ins hold, field by field with the byte offset "
      "of each, and names what is wrong with a file that is short, long or holds what the "
      "plug-ins would refuse. A file is recognised by its name (SMSProfile_1.bin ...) or by "
      "--as KIND. Exit status 0 when no file has an error, 1 otherwise.",
      "panelsim inspect");
  std::vector<std::string> files;
  std::string as;
  bool json = false;
  bool showSecrets = false;
  app.add_option("FILE", files, "data files")->required();
  app.add_option("--as", as, "read every FILE as this kind: " + KindList());
  app.add_flag("--json", json, "JSON for scripts: an array with one object per file");
  app.add_flag("--show-secrets", showSecrets, "show the GPRS password instead of a mask");
  if (int status = ParseArgs(app, args); status >= 0) return status;

  std::vector<InspectResult> results;
  bool failed = false;
  for (const std::string& f : files) {
    results.push_back(InspectFile(f, as, showSecrets));
    failed = failed || InspectFailed(results.back());
  }
  if (json) {
    std::fputs(InspectJson(results).c_str(), stdout);
  } else {
    for (std::size_t i = 0; i < results.size(); ++i) {
      std::fputs(((i ? "\n" : "") + InspectText(results[i])).c_str(), stdout);
    }
  }
  return failed ? 1 : 0;
}

}  // namespace panelsim
