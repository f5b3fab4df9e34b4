// panelsim settings: the settings files, the phone book and the GPRS files of
// a panel project written from a readable TOML file, and read back into the
// same TOML. Every value is checked before anything is written, and each
// mistake is reported with its key.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include <toml++/toml.h>

#include "cli.h"
#include "commands.h"
#include "host/files.h"

namespace panelsim {
namespace {

using host::DataFileKind;

// TOML sections, one per file.
constexpr char kSendSection[] = "send_settings";
constexpr char kRecipientSection[] = "recipient_list";
constexpr char kTemplateSection[] = "message_template";
constexpr char kPhoneSection[] = "phone_book";
constexpr char kConnectionSection[] = "gprs_connection";
constexpr char kDataSection[] = "gprs_data";

std::string Printf(const char* format, auto... args) {
  char buf[200];
  std::snprintf(buf, sizeof buf, format, args...);
  return buf;
}

// ---------------------------------------------------------------------------
// Reading TOML.

// Collects mistakes, each "line N: key: what".
class Checker {
 public:
  explicit Checker(std::vector<std::string>* errors) : errors_(errors) {}

  void Fail(const toml::node* at, const std::string& key, const std::string& what) {
    std::string line;
    if (at != nullptr && at->source().begin.line > 0) {
      line = Printf("line %u: ", static_cast<unsigned>(at->source().begin.line));
    }
    errors_->push_back(line + key + ": " + what);
  }

  // A table's keys must all be known.
  void OnlyKeys(const toml::table& t, const std::string& prefix,
                std::initializer_list<const char*> known) {
    for (auto&& [k, v] : t) {
      const bool ok = std::any_of(known.begin(), known.end(),
                                  [&](const char* n) { return k.str() == n; });
      if (ok) continue;
      std::string list;
      for (const char* n : known) list += (list.empty() ? "" : ", ") + std::string(n);
      const std::string key = (prefix.empty() ? "" : prefix + ".") + std::string(k.str());
      Fail(&v, key, "unknown key (known here: " + list + ")");
    }
  }

  // A whole number from `min` to `max`; `flag` also takes true (1) and false (0).
  std::uint16_t Number(const toml::table& t, const char* name, const std::string& prefix,
                       long long min = 0, long long max = 0xFFFF, bool flag = false) {
    const toml::node* n = t.get(name);
    if (n == nullptr) return 0;
    const std::string key = prefix + "." + name;
    if (flag && n->is_boolean()) return n->as_boolean()->get() ? 1 : 0;
    if (!n->is_integer()) {
      Fail(n, key, Printf("must be a whole number from %lld to %lld%s", min, max,
                          flag ? ", or true or false" : ""));
      return 0;
    }
    const long long v = n->as_integer()->get();
    if (v < min || v > max) {
      Fail(n, key, Printf("is %lld; it must be from %lld to %lld", v, min, max));
      return 0;
    }
    return static_cast<std::uint16_t>(v);
  }

  // A string, or nullptr with a mistake reported.
  const std::string* String(const toml::node* n, const std::string& key) {
    if (n == nullptr) return nullptr;
    if (!n->is_string()) {
      Fail(n, key, "must be a text in double quotes");
      return nullptr;
    }
    return &n->as_string()->get();
  }

  // 8-bit text of a byte field: printable ASCII as a string, anything else
  // as { hex = "..." }. Returns the bytes; `limit` is the field's size.
  std::string ByteField(const toml::node* n, const std::string& key, std::size_t limit) {
    if (n == nullptr) return {};
    if (const toml::table* t = n->as_table()) {
      OnlyKeys(*t, key, {"hex"});
      const std::string* hex = String(t->get("hex"), key + ".hex");
      if (hex == nullptr) {
        if (t->get("hex") == nullptr) Fail(n, key, "a table here needs hex = \"...\"");
        return {};
      }
      std::vector<std::uint8_t> octets;
      std::string why;
      if (!hex->empty() && !host::HexToOctets(*hex, &octets, &why)) {
        Fail(n, key + ".hex", why);
        return {};
      }
      if (octets.size() > limit) {
        Fail(n, key + ".hex", Printf("is %zu bytes; the field holds %zu", octets.size(), limit));
        return {};
      }
      return std::string(octets.begin(), octets.end());
    }
    const std::string* s = String(n, key);
    if (s == nullptr) return {};
    if (!PrintableAscii(*s)) {
      Fail(n, key, "holds characters other than printable ASCII; give such bytes as "
                   "{ hex = \"...\" }");
      return {};
    }
    if (s->size() > limit) {
      Fail(n, key, Printf("is %zu characters; the field holds %zu", s->size(), limit));
      return {};
    }
    return *s;
  }

  // UCS2 text of at most 20 units.
  std::u16string UnitText(const toml::node* n, const std::string& key) {
    const std::string* s = String(n, key);
    if (s == nullptr) return {};
    std::u16string units;
    if (!host::Utf8ToUtf16(*s, &units)) {
      Fail(n, key, "is not valid UTF-8");
      return {};
    }
    if (units.find(u'\0') != std::u16string::npos) {
      Fail(n, key, "holds a NUL character, which would end the text");
      return {};
    }
    if (units.size() > host::kTextUnits) {
      Fail(n, key, Printf("is %zu UTF-16 units long; the field holds %zu", units.size(),
                          host::kTextUnits));
      return {};
    }
    return units;
  }

  static bool PrintableAscii(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
  }

 private:
  std::vector<std::string>* errors_;
};

// The numbered sub-tables of `parent.name` ("event.3"): index and table.
std::vector<std::pair<std::size_t, const toml::table*>> Numbered(Checker& c,
                                                                 const toml::table& parent,
                                                                 const char* name,
                                                                 const std::string& prefix,
                                                                 std::size_t count) {
  std::vector<std::pair<std::size_t, const toml::table*>> out;
  const toml::node* n = parent.get(name);
  if (n == nullptr) return out;
  const std::string key = prefix + "." + name;
  const toml::table* t = n->as_table();
  if (t == nullptr) {
    c.Fail(n, key, Printf("must be tables [%s.N] with N from 0 to %zu", key.c_str(), count - 1));
    return out;
  }
  for (auto&& [k, v] : *t) {
    const std::string index(k.str());
    const std::string sub = key + "." + index;
    const bool digits = !index.empty() && index.size() <= 2 &&
                        std::all_of(index.begin(), index.end(),
                                    [](char ch) { return ch >= '0' && ch <= '9'; });
    if (!digits || std::stoul(index) >= count) {
      c.Fail(&v, sub, Printf("numbered 0 to %zu", count - 1));
      continue;
    }
    if (!v.is_table()) {
      c.Fail(&v, sub, "must be a table");
      continue;
    }
    out.emplace_back(std::stoul(index), v.as_table());
  }
  return out;
}

// An array of at most `count` elements, or nullptr.
const toml::array* SmallArray(Checker& c, const toml::table& t, const char* name,
                              const std::string& prefix, std::size_t count, const char* what) {
  const toml::node* n = t.get(name);
  if (n == nullptr) return nullptr;
  const std::string key = prefix + "." + name;
  if (!n->is_array()) {
    c.Fail(n, key, std::string("must be a list [...] of ") + what);
    return nullptr;
  }
  if (n->as_array()->size() > count) {
    c.Fail(n, key, Printf("has %zu entries; the file holds %zu", n->as_array()->size(), count));
    return nullptr;
  }
  return n->as_array();
}

host::SendSettings SendFromToml(Checker& c, const toml::table& t) {
  const std::string p = kSendSection;
  c.OnlyKeys(t, p, {"scheduleEnabled", "sendMode", "sendInterval", "replyTimeout"});
  host::SendSettings s;
  s.scheduleEnabled = c.Number(t, "scheduleEnabled", p, 0, 0xFFFF, true);
  if (const toml::node* mode = t.get("sendMode");
      mode != nullptr && mode->is_integer() && mode->as_integer()->get() > 1) {
    c.Fail(mode, p + ".sendMode",
           Printf("is %lld; 0 sends while any event is active, 1 when the active events change",
                  static_cast<long long>(mode->as_integer()->get())));
  } else {
    s.sendMode = c.Number(t, "sendMode", p, 0, 1);
  }
  s.sendInterval = c.Number(t, "sendInterval", p);
  s.replyTimeout = c.Number(t, "replyTimeout", p);
  return s;
}

host::RecipientList RecipientsFromToml(Checker& c, const toml::table& t) {
  const std::string p = kRecipientSection;
  c.OnlyKeys(t, p, {"count", "numbers"});
  host::RecipientList r;
  const toml::array* numbers = SmallArray(c, t, "numbers", p, host::kRecipients, "numbers");
  const std::size_t given = numbers != nullptr ? numbers->size() : 0;
  if (const toml::node* n = t.get("count"); n != nullptr && n->is_integer() &&
                                            n->as_integer()->get() > 3) {
    c.Fail(n, p + ".count",
           Printf("is %lld; the list holds 3 recipients at most",
                  static_cast<long long>(n->as_integer()->get())));
  } else {
    r.count = t.get("count") != nullptr ? c.Number(t, "count", p, 0, 3)
                                        : static_cast<std::uint16_t>(given);
  }
  for (std::size_t i = 0; i < given; ++i) {
    const std::string key = p + Printf(".numbers[%zu]", i);
    const std::string* s = c.String(numbers->get(i), key);
    if (s == nullptr) continue;
    if (s->empty() && i >= r.count) continue;  // an entry not in use may stay empty
    if (!host::IsTenDigits(*s)) {
      c.Fail(numbers->get(i), key,
             (Checker::PrintableAscii(*s) ? "\"" + *s + "\"" : std::string("the text")) +
                 " is not ten digits: give the national number without the country prefix");
      continue;
    }
    r.entries[i].number = *s;
  }
  if (r.count > given) {
    c.Fail(t.get("count"), p + ".count",
           Printf("is %u, but %s has %zu number%s", r.count, (p + ".numbers").c_str(), given,
                  given == 1 ? "" : "s"));
  }
  for (std::size_t i = 0; i < r.count && i < host::kRecipients; ++i) {
    r.entries[i].address = host::EncodePhoneAddress(r.entries[i].number);
  }
  return r;
}

host::MessageTemplate TemplateFromToml(Checker& c, const toml::table& t) {
  const std::string p = kTemplateSection;
  c.OnlyKeys(t, p, {"title", "event"});
  host::MessageTemplate m;
  m.title = c.UnitText(t.get("title"), p + ".title");
  for (auto [i, e] : Numbered(c, t, "event", p, host::kTemplateEvents)) {
    const std::string key = p + Printf(".event.%zu", i);
    c.OnlyKeys(*e, key, {"enabled", "text", "reserved"});
    host::TemplateEvent& ev = m.events[i];
    ev.enabled = c.Number(*e, "enabled", key, 0, 0xFFFF, true);
    ev.text = c.UnitText(e->get("text"), key + ".text");
    if (const toml::array* reserved = SmallArray(c, *e, "reserved", key, 4, "four words")) {
      for (std::size_t k = 0; k < reserved->size(); ++k) {
        const toml::node* w = reserved->get(k);
        if (!w->is_integer() || w->as_integer()->get() < 0 || w->as_integer()->get() > 0xFFFF) {
          c.Fail(w, key + Printf(".reserved[%zu]", k), "must be a whole number from 0 to 65535");
          continue;
        }
        ev.reserved[k] = static_cast<std::uint16_t>(w->as_integer()->get());
      }
    }
  }
  return m;
}

host::PhoneBook PhoneBookFromToml(Checker& c, const toml::table& t) {
  const std::string p = kPhoneSection;
  c.OnlyKeys(t, p, {"inUse", "entries"});
  host::PhoneBook b;
  const toml::array* entries =
      SmallArray(c, t, "entries", p, host::kPhoneBookEntries, "texts or { hex = \"...\" }");
  const std::size_t given = entries != nullptr ? entries->size() : 0;
  if (const toml::node* n = t.get("inUse"); n != nullptr && n->is_integer() &&
                                            n->as_integer()->get() > 3) {
    c.Fail(n, p + ".inUse",
           Printf("is %lld; the phone book has 3 entries",
                  static_cast<long long>(n->as_integer()->get())));
  } else {
    b.inUse = t.get("inUse") != nullptr ? c.Number(t, "inUse", p, 0, 3)
                                        : static_cast<std::uint16_t>(given);
  }
  for (std::size_t i = 0; i < host::kPhoneBookEntries; ++i) {
    std::string bytes;
    if (i < given) {
      bytes = c.ByteField(entries->get(i), p + Printf(".entries[%zu]", i),
                          host::kPhoneBookEntryBytes);
    }
    bytes.resize(host::kPhoneBookEntryBytes, '\0');
    b.entries[i] = bytes;
  }
  return b;
}

host::ConnectionProfile ConnectionFromToml(Checker& c, const toml::table& t) {
  const std::string p = kConnectionSection;
  c.OnlyKeys(t, p, {"conType", "inactTo", "user", "passwd", "apn", "dns1", "dns2"});
  host::ConnectionProfile cp;
  for (std::size_t i = 0; i < host::kConnectionFields; ++i) {
    const host::ConnectionField& f = host::ConnectionFields()[i];
    const std::string key = p + "." + f.tag;
    const std::string* s = c.String(t.get(f.tag), key);
    if (s == nullptr) continue;
    // The values go to the modem inside a command line, unquoted: a control
    // character would end the field there, a ';' would start another command.
    if (!Checker::PrintableAscii(*s)) {
      c.Fail(t.get(f.tag), key, "holds characters other than printable ASCII");
      continue;
    }
    if (s->find(';') != std::string::npos) {
      c.Fail(t.get(f.tag), key,
             "holds ';', which ends the command at the modem: what follows would run as a "
             "command of its own");
      continue;
    }
    if (s->size() > f.length) {
      c.Fail(t.get(f.tag), key,
             Printf("is %zu characters; the field holds %zu", s->size(), f.length));
      continue;
    }
    cp.fields[i] = *s;
  }
  return cp;
}

host::DataSettings DataFromToml(Checker& c, const toml::table& t) {
  const std::string p = kDataSection;
  c.OnlyKeys(t, p, {"unused", "header", "entry"});
  host::DataSettings d;
  d.unused = c.Number(t, "unused", p);
  d.header = c.Number(t, "header", p);
  for (auto [i, e] : Numbered(c, t, "entry", p, host::kDataEntries)) {
    const std::string key = p + Printf(".entry.%zu", i);
    c.OnlyKeys(*e, key, {"word1", "word2", "word3", "text16", "text30"});
    host::DataSettingsEntry& entry = d.entries[i];
    entry.word1 = c.Number(*e, "word1", key);
    entry.word2 = c.Number(*e, "word2", key);
    entry.word3 = c.Number(*e, "word3", key);
    entry.text16 = c.ByteField(e->get("text16"), key + ".text16", host::kDataText16);
    entry.text30 = c.ByteField(e->get("text30"), key + ".text30", host::kDataText30);
    entry.text16.resize(host::kDataText16, '\0');
    entry.text30.resize(host::kDataText30, '\0');
  }
  return d;
}

// ---------------------------------------------------------------------------
// Writing TOML.

std::string TomlString(const std::string& s) {
  std::string out = "\"";
  for (char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += Printf("\\u%04X", c);
        } else {
          out.push_back(ch);
        }
    }
  }
  return out + "\"";
}

// A byte field: its text when it is printable ASCII followed by zeros only,
// otherwise its bytes in hex without the trailing zeros.
std::string TomlBytes(std::string bytes) {
  while (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
  if (Checker::PrintableAscii(bytes)) return TomlString(bytes);
  std::string hex;
  for (unsigned char c : bytes) hex += Printf("%02X", c);
  return "{ hex = \"" + hex + "\" }";
}

std::string TomlFlag(std::uint16_t v) {
  return v == 0 ? "false" : v == 1 ? "true" : std::to_string(v);
}

// "key = value", the comment aligned after it.
std::string Line(const std::string& key, const std::string& value, const char* comment = "") {
  std::string line = key + " = " + value;
  // Characters, not bytes, decide the column of the comment.
  const std::size_t shown = static_cast<std::size_t>(
      std::count_if(line.begin(), line.end(), [](char c) { return (c & 0xC0) != 0x80; }));
  if (*comment != '\0') line += std::string(shown < 24 ? 24 - shown : 1, ' ') + "# " + comment;
  return line + "\n";
}

std::string Section(const char* name, DataFileKind kind) {
  return std::string("\n# ") + host::DataFile(kind).fileName + "\n[" + name + "]\n";
}

void SendToToml(const host::SendSettings& s, std::string& out) {
  out += Section(kSendSection, DataFileKind::SendSettings);
  out += Line("scheduleEnabled", TomlFlag(s.scheduleEnabled), "periodic sending on or off");
  out += Line("sendMode", std::to_string(s.sendMode),
              "0: while any event is active, 1: when the active events change");
  out += Line("sendInterval", std::to_string(s.sendInterval),
              "x 600 ticks between two sends (minutes at a 100 ms tick)");
  out += Line("replyTimeout", std::to_string(s.replyTimeout),
              "x 10 ticks to wait for the modem (seconds at a 100 ms tick)");
}

void RecipientsToToml(const host::RecipientList& r, std::string& out) {
  out += Section(kRecipientSection, DataFileKind::RecipientList);
  out += Line("count", std::to_string(r.count), "recipients in use, 0 to 3");
  std::size_t shown = std::min<std::size_t>(r.count, host::kRecipients);
  for (std::size_t i = 0; i < host::kRecipients; ++i) {
    if (!r.entries[i].number.empty()) shown = std::max(shown, i + 1);
  }
  std::string list = "[";
  for (std::size_t i = 0; i < shown; ++i) {
    list += (i ? ", " : "") + TomlString(r.entries[i].number);
  }
  out += Line("numbers", list + "]", "ten digits, without the country prefix");
}

void TemplateToToml(const host::MessageTemplate& m, std::string& out) {
  out += Section(kTemplateSection, DataFileKind::MessageTemplate);
  out += Line("title", TomlString(host::Utf16ToUtf8(m.title)), "up to 20 characters");
  for (std::size_t i = 0; i < m.events.size(); ++i) {
    const host::TemplateEvent& e = m.events[i];
    const bool reserved = std::any_of(e.reserved.begin(), e.reserved.end(),
                                      [](std::uint16_t w) { return w != 0; });
    if (e.enabled == 0 && e.text.empty() && !reserved) continue;
    out += Printf("\n[%s.event.%zu]\n", kTemplateSection, i);
    out += Line("enabled", TomlFlag(e.enabled));
    out += Line("text", TomlString(host::Utf16ToUtf8(e.text)));
    if (reserved) {
      out += Line("reserved", Printf("[%u, %u, %u, %u]", e.reserved[0], e.reserved[1],
                                     e.reserved[2], e.reserved[3]));
    }
  }
}

void PhoneBookToToml(const host::PhoneBook& b, std::string& out) {
  out += Section(kPhoneSection, DataFileKind::PhoneBook);
  out += Line("inUse", std::to_string(b.inUse), "entries in use, 0 to 3");
  std::size_t shown = 0;
  for (std::size_t i = 0; i < b.entries.size(); ++i) {
    if (b.entries[i].find_first_not_of('\0') != std::string::npos) shown = i + 1;
  }
  std::string list = "[";
  for (std::size_t i = 0; i < shown; ++i) list += (i ? ", " : "") + TomlBytes(b.entries[i]);
  out += Line("entries", list + "]", "180 bytes each");
}

void ConnectionToToml(const host::ConnectionProfile& cp, std::string& out) {
  out += Section(kConnectionSection, DataFileKind::ConnectionProfile);
  for (std::size_t i = 0; i < host::kConnectionFields; ++i) {
    const host::ConnectionField& f = host::ConnectionFields()[i];
    out += Line(f.tag, TomlString(cp.fields[i]), Printf("up to %zu characters", f.length).c_str());
  }
}

void DataToToml(const host::DataSettings& d, std::string& out) {
  out += Section(kDataSection, DataFileKind::DataSettings);
  if (d.unused != 0) out += Line("unused", std::to_string(d.unused), "bytes 0..1, not loaded");
  out += Line("header", std::to_string(d.header), "to FRW 0");
  for (std::size_t i = 0; i < d.entries.size(); ++i) {
    const host::DataSettingsEntry& e = d.entries[i];
    const bool empty = e.word1 == 0 && e.word2 == 0 && e.word3 == 0 &&
                       e.text16.find_first_not_of('\0') == std::string::npos &&
                       e.text30.find_first_not_of('\0') == std::string::npos;
    if (empty) continue;
    out += Printf("\n[%s.entry.%zu]\n", kDataSection, i);
    out += Line("word1", std::to_string(e.word1));
    out += Line("word2", std::to_string(e.word2));
    out += Line("word3", std::to_string(e.word3));
    out += Line("text16", TomlBytes(e.text16));
    out += Line("text30", TomlBytes(e.text30));
  }
}

// ---------------------------------------------------------------------------
// Files.


// Writes a file whole to a temporary name beside it, then renames it over the
// target, so that a failed write leaves the previous file as it was.
bool WriteWhole(const std::filesystem::path& path, const std::string& bytes, std::string* error) {
  std::filesystem::path temp = path;
  temp += ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(temp, ignored);
      *error = "cannot write " + temp.string();
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) {  // some systems do not rename over an existing file
    std::filesystem::remove(path, ec);
    std::filesystem::rename(temp, path, ec);
  }
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    *error = "cannot replace " + path.string() + ": " + ec.message();
    return false;
  }
  return true;
}

std::string ReadText(const std::string& path, std::string* error) {
  std::string text;
  if (path == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  } else if (std::string why; !host::ReadWholeFile(path, &text, &why)) {
    *error = path + ": " + why;
  }
  return text;
}

int WriteCommand(const std::string& tomlPath, const std::string& dir, bool dryRun) {
  std::string error;
  const std::string text = ReadText(tomlPath, &error);
  if (!error.empty()) {
    std::fprintf(stderr, "panelsim settings: %s\n", error.c_str());
    return 1;
  }
  SettingsFiles files;
  std::vector<std::string> errors;
  if (!SettingsFromToml(text, tomlPath, &files, &errors)) {
    for (const std::string& e : errors) std::fprintf(stderr, "%s: %s\n", tomlPath.c_str(), e.c_str());
    std::fprintf(stderr, "panelsim settings: %zu mistake%s; no file written\n", errors.size(),
                 errors.size() == 1 ? "" : "s");
    return 1;
  }
  if (dryRun) {
    std::printf("%s: no mistakes\n", tomlPath.c_str());
    return 0;
  }
  std::vector<std::string> written;
  if (!WriteSettingsFiles(dir, files, &written, &error)) {
    std::fprintf(stderr, "panelsim settings: %s\n", error.c_str());
    return 1;
  }
  for (const std::string& w : written) std::printf("wrote %s\n", w.c_str());
  if (written.empty()) std::printf("nothing to write: %s has no section of a data file\n", tomlPath.c_str());
  return 0;
}

int ReadCommand(const std::string& dir, const std::string& output) {
  std::vector<std::string> notes;
  bool failed = false;
  const SettingsFiles files = ReadSettingsFiles(dir, &notes, &failed);
  for (const std::string& n : notes) std::fprintf(stderr, "%s\n", n.c_str());
  if (!files.sendSettings && !files.recipients && !files.messageTemplate && !files.phoneBook &&
      !files.connection && !files.dataSettings) {
    std::fprintf(stderr, "panelsim settings: no settings, phone book or GPRS file in %s\n",
                 dir.c_str());
    return 1;
  }
  const std::string toml = SettingsToToml(files);
  if (output.empty() || output == "-") {
    std::fputs(toml.c_str(), stdout);
  } else {
    std::string error;
    if (!WriteWhole(output, toml, &error)) {
      std::fprintf(stderr, "panelsim settings: %s\n", error.c_str());
      return 1;
    }
  }
  return failed ? 1 : 0;
}

}  // namespace

const char kSettingsExample[] =
    R"(# Data files of a panel project for "panelsim settings write".
# Each section writes one file; leave out the sections of files to keep.

# SMSProfile_1.bin
[send_settings]
scheduleEnabled = true  # periodic sending on or off
sendMode = 1            # 0: while any event is active, 1: when the active events change
sendInterval = 5        # x 600 ticks between two sends (minutes at a 100 ms tick)
replyTimeout = 30       # x 10 ticks to wait for the modem (seconds at a 100 ms tick)

# SMSProfile_2.bin
[recipient_list]
count = 2               # recipients in use, 0 to 3
numbers = ["9161234567", "9169876543"] # ten digits, without the country prefix

# SMSProfile_3.bin
[message_template]
title = "Насосная 4"    # up to 20 characters

[message_template.event.0]
enabled = true
text = "Авария насоса 1"

[message_template.event.1]
enabled = true
text = "Low tank level"

# panel_phone_book.bin
[phone_book]
inUse = 1               # entries in use, 0 to 3
entries = ["Duty engineer 9161234567"] # 180 bytes each

# gprs_ConnectionProfileSettings.bin
[gprs_connection]
conType = "GPRS0"       # up to 6 characters
inactTo = "20"          # up to 6 characters
user = "panel"          # up to 32 characters
passwd = "secret"       # up to 32 characters
apn = "internet"        # up to 100 characters
dns1 = "10.0.0.1"       # up to 16 characters
dns2 = "10.0.0.2"       # up to 16 characters
)";

bool SettingsFromToml(std::string_view text, const std::string& source, SettingsFiles* out,
                      std::vector<std::string>* errors) {
  toml::table doc;
  try {
    doc = toml::parse(text, source);
  } catch (const toml::parse_error& e) {
    errors->push_back(Printf("line %u, column %u: ", static_cast<unsigned>(e.source().begin.line),
                             static_cast<unsigned>(e.source().begin.column)) +
                      std::string(e.description()));
    return false;
  }
  Checker c(errors);
  c.OnlyKeys(doc, "", {kSendSection, kRecipientSection, kTemplateSection,
                                  kPhoneSection, kConnectionSection, kDataSection});
  *out = SettingsFiles{};
  auto section = [&](const char* name) -> const toml::table* {
    const toml::node* n = doc.get(name);
    if (n == nullptr) return nullptr;
    if (!n->is_table()) {
      c.Fail(n, name, std::string("must be a section [") + name + "]");
      return nullptr;
    }
    return n->as_table();
  };
  if (const toml::table* t = section(kSendSection)) out->sendSettings = SendFromToml(c, *t);
  if (const toml::table* t = section(kRecipientSection)) out->recipients = RecipientsFromToml(c, *t);
  if (const toml::table* t = section(kTemplateSection)) {
    out->messageTemplate = TemplateFromToml(c, *t);
  }
  if (const toml::table* t = section(kPhoneSection)) out->phoneBook = PhoneBookFromToml(c, *t);
  if (const toml::table* t = section(kConnectionSection)) {
    out->connection = ConnectionFromToml(c, *t);
  }
  if (const toml::table* t = section(kDataSection)) out->dataSettings = DataFromToml(c, *t);
  return errors->empty();
}

std::string SettingsToToml(const SettingsFiles& s) {
  std::string out =
      "# Data files of a panel project, as \"panelsim settings read\" found them.\n"
      "# \"panelsim settings write\" turns this back into the files.\n";
  if (s.sendSettings) SendToToml(*s.sendSettings, out);
  if (s.recipients) RecipientsToToml(*s.recipients, out);
  if (s.messageTemplate) TemplateToToml(*s.messageTemplate, out);
  if (s.phoneBook) PhoneBookToToml(*s.phoneBook, out);
  if (s.connection) ConnectionToToml(*s.connection, out);
  if (s.dataSettings) DataToToml(*s.dataSettings, out);
  return out;
}

SettingsFiles ReadSettingsFiles(const std::string& dir, std::vector<std::string>* notes,
                                bool* failed) {
  SettingsFiles s;
  *failed = false;
  auto load = [&](DataFileKind kind, auto decode, auto& slot) {
    const std::filesystem::path path = std::filesystem::path(dir) / host::DataFile(kind).fileName;
    std::string bytes;
    std::string why;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return;
    if (!host::ReadWholeFile(path.string(), &bytes, &why)) {
      notes->push_back(path.string() + ": " + why);
      *failed = true;
      return;
    }
    auto decoded = decode(bytes);
    for (const host::FileProblem& p : decoded.problems) {
      const bool error = p.severity == host::ProblemSeverity::Error;
      notes->push_back(path.string() + ": " + (error ? "error" : "warning") + ": " +
                       host::DescribeProblem(p));
    }
    *failed = *failed || host::HasErrors(decoded.problems);
    slot = decoded.value;
  };
  load(DataFileKind::SendSettings, host::DecodeSendSettings, s.sendSettings);
  load(DataFileKind::RecipientList, host::DecodeRecipientList, s.recipients);
  load(DataFileKind::MessageTemplate, host::DecodeMessageTemplate, s.messageTemplate);
  load(DataFileKind::PhoneBook, host::DecodePhoneBook, s.phoneBook);
  load(DataFileKind::ConnectionProfile, host::DecodeConnectionProfile, s.connection);
  load(DataFileKind::DataSettings, host::DecodeDataSettings, s.dataSettings);
  return s;
}

bool WriteSettingsFiles(const std::string& dir, const SettingsFiles& s,
                        std::vector<std::string>* written, std::string* error) {
  std::vector<std::pair<DataFileKind, std::string>> images;
  if (s.sendSettings) images.emplace_back(DataFileKind::SendSettings, host::EncodeSendSettings(*s.sendSettings));
  if (s.recipients) images.emplace_back(DataFileKind::RecipientList, host::EncodeRecipientList(*s.recipients));
  if (s.messageTemplate) {
    images.emplace_back(DataFileKind::MessageTemplate, host::EncodeMessageTemplate(*s.messageTemplate));
  }
  if (s.phoneBook) images.emplace_back(DataFileKind::PhoneBook, host::EncodePhoneBook(*s.phoneBook));
  if (s.connection) {
    images.emplace_back(DataFileKind::ConnectionProfile, host::EncodeConnectionProfile(*s.connection));
  }
  if (s.dataSettings) images.emplace_back(DataFileKind::DataSettings, host::EncodeDataSettings(*s.dataSettings));
  for (const auto& [kind, bytes] : images) {
    const std::filesystem::path path = std::filesystem::path(dir) / host::DataFile(kind).fileName;
    if (!WriteWhole(path, bytes, error)) return false;
    written->push_back(path.string());
  }
  return true;
}

int RunSettings(const std::vector<std::string>& args) {
  CLI::App app(
      "Writes the settings files, the phone book and the GPRS files of a panel project from "
      "a TOML file in UTF-8, and reads them back into the same TOML.",
      "panelsim settings");
  app.require_subcommand(1);
  std::string dir = ".";
  std::string toml;
  std::string output;
  CLI::App* write = app.add_subcommand(
      "write", "check SETTINGS.toml and write a file for each of its sections into DIR; "
               "nothing is written when a value is wrong");
  write->add_option("SETTINGS.toml", toml, "the settings (- reads standard input)")->required();
  write->add_option("--dir", dir, "the working folder of the plug-ins")->capture_default_str();
  CLI::App* check = app.add_subcommand("check", "only check SETTINGS.toml");
  check->add_option("SETTINGS.toml", toml, "the settings (- reads standard input)")->required();
  CLI::App* read = app.add_subcommand("read", "write the files found in DIR as TOML");
  read->add_option("--dir", dir, "the working folder of the plug-ins")->capture_default_str();
  read->add_option("-o,--output", output, "the TOML file to write (default: standard output)");
  app.add_subcommand("example", "print an example SETTINGS.toml");
  if (int status = ParseArgs(app, args); status >= 0) return status;

  if (*write) return WriteCommand(toml, dir, false);
  if (*check) return WriteCommand(toml, dir, true);
  if (*read) return ReadCommand(dir, output);
  std::fputs(kSettingsExample, stdout);
  return 0;
}

}  // namespace panelsim
