// panelsim phonebook: runs panel_phone_book once against a folder, with a load
// or save request in its record, and shows the result word it leaves.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "commands.h"
#include "host/faults.h"
#include "host/panel.h"
#include "host/plugin.h"
#include "macro/codes.h"

namespace panelsim {
namespace {

constexpr char kPlugin[] = "panel_phone_book";
constexpr char kFile[] = "panel_phone_book.bin";
constexpr int kWindow = 6000;  // LW 6000..6270
constexpr int kEntries = 3;
constexpr int kEntryWords = 90;
constexpr int kEntryBytes = kEntryWords * 2;

constexpr char kHelp[] =
    "usage: panelsim phonebook load [--dir DIR] [--plugins DIR]\n"
    "       panelsim phonebook save [--dir DIR] [--plugins DIR] [--in-use N] [--entry TEXT]...\n"
    "\n"
    "Calls panel_phone_book once with DIR (default: the current folder) as its\n"
    "working folder and shows the result word it writes (record word 1):\n"
    "  0 done, 253 the file could not be opened or read, 254 the file does not\n"
    "  exist, 255 the file could not be saved.\n"
    "\n"
    "load  reads DIR/panel_phone_book.bin into LW 6000..6270 and shows the\n"
    "      number in use (LW 6000) and the three entries as text.\n"
    "save  writes LW 6000..6270 into DIR/panel_phone_book.bin. The registers\n"
    "      start as zeros and are set from the options:\n"
    "        --entry TEXT  the next entry (up to 3, in order): TEXT as 8-bit\n"
    "                      characters, two to a word, first character in the\n"
    "                      low byte, NUL-padded, at most 180 characters\n"
    "        --in-use N    LW 6000, the number of entries in use (0 to 65535;\n"
    "                      default: the number of --entry options)\n"
    "      Entries at and after the number in use are saved as zeros.\n"
    "\n"
    "The exit status is 0 when the result word is 0, 1 otherwise, 2 for a usage\n"
    "error.\n";

struct Options {
  std::uint16_t request = PhoneBookLoad;
  std::string dir = ".";
  std::string plugins;
  std::vector<std::string> entries;
  long inUse = -1;  // -1: the number of entries given
};

const char* Meaning(std::uint16_t result) {
  switch (result) {
    case 0: return "done";
    case ErrFileOpen: return "the file could not be opened or read";
    case ErrFileMissing: return "the file does not exist";
    case ErrGeneric: return "the file could not be saved";
    default: return "unknown result";
  }
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "panelsim phonebook: %s\n(see panelsim phonebook --help)\n",
               message.c_str());
  return 2;
}

// Fills `o` from the arguments; returns 0, or the exit status for a usage
// error (2) or a help request (-1).
int Parse(const std::vector<std::string>& args, Options& o) {
  if (args.empty()) return UsageError("load or save expected");
  if (args[0] == "--help" || args[0] == "-h") return -1;
  if (args[0] == "load") {
    o.request = PhoneBookLoad;
  } else if (args[0] == "save") {
    o.request = PhoneBookSave;
  } else {
    return UsageError("load or save expected, not '" + args[0] + "'");
  }
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") return -1;
    bool hasValue = i + 1 < args.size();
    if (a == "--dir" && hasValue) {
      o.dir = args[++i];
    } else if (a == "--plugins" && hasValue) {
      o.plugins = args[++i];
    } else if (a == "--entry" && hasValue && o.request == PhoneBookSave) {
      if (o.entries.size() == kEntries) return UsageError("at most 3 entries");
      if (args[i + 1].size() > kEntryBytes) return UsageError("an entry holds 180 characters");
      o.entries.push_back(args[++i]);
    } else if (a == "--in-use" && hasValue && o.request == PhoneBookSave) {
      char* end = nullptr;
      o.inUse = std::strtol(args[++i].c_str(), &end, 10);
      if (*end != '\0' || args[i].empty() || o.inUse < 0 || o.inUse > 0xFFFF) {
        return UsageError("--in-use takes a number from 0 to 65535");
      }
    } else {
      return UsageError("unexpected '" + a + "'");
    }
  }
  return 0;
}

void PutRegisters(host::Panel& panel, const Options& o) {
  long inUse = o.inUse >= 0 ? o.inUse : static_cast<long>(o.entries.size());
  panel.Word(DeviceLW, kWindow) = static_cast<std::uint16_t>(inUse);
  for (std::size_t i = 0; i < o.entries.size(); ++i) {
    panel.PutText(DeviceLW, kWindow + 1 + kEntryWords * static_cast<int>(i), o.entries[i],
                  kEntryWords);
  }
}

// An entry's text up to its first NUL, other bytes outside ' '..'~' as \xHH.
std::string Shown(const host::Panel& panel, int entry) {
  std::string text = panel.GetText(DeviceLW, kWindow + 1 + kEntryWords * entry, kEntryWords);
  std::string shown;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') {
      shown.push_back(static_cast<char>(c));
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      shown += hex;
    }
  }
  return shown;
}

void ShowLoaded(host::Panel& panel) {
  std::printf("in use:  %u\n", panel.Word(DeviceLW, kWindow));
  for (int i = 0; i < kEntries; ++i) std::printf("entry %d: \"%s\"\n", i, Shown(panel, i).c_str());
}

}  // namespace

int RunPhonebook(const std::vector<std::string>& args) {
  Options o;
  o.plugins = DefaultPluginDir();
  int parsed = Parse(args, o);
  if (parsed == -1) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (parsed != 0) return parsed;

  std::string error;
  auto plugin = host::Plugin::Load(o.plugins + "/" + host::PluginFileName(kPlugin), &error);
  if (!plugin) {
    std::fprintf(stderr, "panelsim phonebook: cannot load %s: %s\n", kPlugin, error.c_str());
    return 1;
  }
  std::error_code ec;
  const std::filesystem::path previous = std::filesystem::current_path(ec);
  std::filesystem::current_path(o.dir, ec);
  if (ec) {
    std::fprintf(stderr, "panelsim phonebook: cannot enter %s: %s\n", o.dir.c_str(),
                 ec.message().c_str());
    return 1;
  }

  host::Panel panel;
  if (o.request == PhoneBookSave) PutRegisters(panel, o);
  panel.record[PhoneBookRequestWord] = o.request;
  panel.record[PhoneBookResultWord] = 0;
  host::ResetCalls();
  plugin->Call(panel);
  std::filesystem::current_path(previous, ec);

  std::uint16_t result = panel.record[PhoneBookResultWord];
  std::printf("%s %s/%s\n", o.request == PhoneBookSave ? "save" : "load", o.dir.c_str(), kFile);
  std::printf("result word: %u (%s)\n", result, Meaning(result));
  if (o.request == PhoneBookLoad && result == 0) ShowLoaded(panel);
  return result == 0 ? 0 : 1;
}

}  // namespace panelsim
