// panelsim's commands. Each lives in its own file and is listed once in
// main.cpp's table. Below each command's entry are the pieces its tests call
// without starting a process.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/files.h"
#include "host/modem.h"

namespace panelsim {

// The arguments after the command's name. Returns the process exit code.
using CommandFn = int (*)(const std::vector<std::string>& args);

struct Command {
  const char* name;
  const char* synopsis;  // "list [--plugins DIR]"
  const char* summary;   // one line
  CommandFn run;
};

int RunList(const std::vector<std::string>& args);
int RunPhonebook(const std::vector<std::string>& args);
int RunDemo(const std::vector<std::string>& args);
int RunSend(const std::vector<std::string>& args);
int RunCompose(const std::vector<std::string>& args);
int RunModem(const std::vector<std::string>& args);
int RunChain(const std::vector<std::string>& args);
// The chain with its sample recipe after the server pipeline of the demo;
// says so and returns 0 when `plugins` holds no sequencer (the panel build).
int RunChainDemo(const std::string& plugins, bool quiet);
int RunGprs(const std::vector<std::string>& args);
int RunInspect(const std::vector<std::string>& args);
int RunSettings(const std::vector<std::string>& args);
int RunSoak(const std::vector<std::string>& args);

// Text with CR, LF and other control characters written as \r, \n and
// \xNN; everything else, UTF-8 included, as it is.
std::string ShowControls(const std::string& text);

// The folder of the plug-ins this panelsim was built with.
std::string DefaultPluginDir();

// ---- gprs ------------------------------------------------------------------

struct GprsStep {
  std::uint16_t command = 0;  // profile command 1..7
  const char* tag = "";
  std::uint16_t vector = 0;   // record word 1 after the call
  bool placed = false;        // transmit flag raised and handed on to macro 13
  std::string sent;           // what the modem received
  std::string answer;         // LW 100..199 once the answer was due
  bool accepted = false;      // macro 13 took the answer and moved on
};

struct GprsRun {
  std::string error;                 // why nothing ran; empty when it ran
  std::vector<GprsStep> steps;       // stops at the first command not placed
  std::vector<std::string> profile;  // what the modem keeps, "0,apn,internet"
  std::string trace;                 // the modem link's trace
  std::vector<std::string> violations;  // record words written outside the chain's binding
  bool external = false;  // a real modem: the profile it keeps is not known here
};

// Runs net_send_connection from `plugins` for profile commands 1 to 7 in `dir`,
// until macro 13 has taken the last answer or refused one.
// With `modem` null the commands go to the emulated modem; otherwise to that
// port (a real modem on a serial line).
GprsRun RunGprsProfile(const std::string& plugins, const std::string& dir,
                       host::ModemPort* modem = nullptr);
// The run as the command prints it.
std::string ShowGprs(const GprsRun& run, bool showSecrets, bool trace);

// ---- inspect ---------------------------------------------------------------

// A decoded file as a tree of named values, for text and for JSON.
struct Node {
  enum class Type { Object, Array, Integer, Text, Bytes, Null };
  Type type = Type::Object;
  std::string key;
  long long number = 0;
  std::string text;  // Text: UTF-8; Bytes: 8-bit text as stored
  std::vector<Node> children;
  long offset = -1;  // byte offset in the file, -1 when none
  std::string note;  // shown beside the value in text only
  bool blank = false;  // a record of zeros only, which text shows in one line with its like
};

struct InspectResult {
  std::string path;
  const host::DataFileInfo* info = nullptr;
  std::string error;  // the file could not be read or recognised
  std::size_t size = 0;
  Node content;
  std::vector<host::FileProblem> problems;
};

InspectResult InspectBytes(const std::string& path, std::string_view bytes,
                           const host::DataFileInfo& info, bool showSecrets);
// `as`: a kind key ("recipients"), or empty to go by the file's name.
InspectResult InspectFile(const std::string& path, const std::string& as, bool showSecrets);
std::string InspectText(const InspectResult& result);
std::string InspectJson(const std::vector<InspectResult>& results);
bool InspectFailed(const InspectResult& result);

// ---- settings --------------------------------------------------------------

struct SettingsFiles {
  std::optional<host::SendSettings> sendSettings;
  std::optional<host::RecipientList> recipients;
  std::optional<host::MessageTemplate> messageTemplate;
  std::optional<host::PhoneBook> phoneBook;
  std::optional<host::ConnectionProfile> connection;
  std::optional<host::DataSettings> dataSettings;
};

extern const char kSettingsExample[];

// Reads TOML; false with every mistake in `errors` ("line 5: send_settings.sendMode: ...").
bool SettingsFromToml(std::string_view text, const std::string& source, SettingsFiles* out,
                      std::vector<std::string>* errors);
std::string SettingsToToml(const SettingsFiles& files);
// The files present in `dir`, with what the decoding found in `notes`;
// `failed` when a file could not be read or has an error.
SettingsFiles ReadSettingsFiles(const std::string& dir, std::vector<std::string>* notes,
                                bool* failed);
// Writes a file for each record present, each whole through a temporary file.
bool WriteSettingsFiles(const std::string& dir, const SettingsFiles& files,
                        std::vector<std::string>* written, std::string* error);

}  // namespace panelsim
