// Loading a plug-in by path and calling its entry the way the panel does.
#pragma once

#include <memory>
#include <string>

#include "host/panel.h"

namespace host {

// The eight parameter words. Word 4 and word 6 are filled from the panel
// (transmit flag, record) unless a test sets them on purpose.
struct MacroCall {
  MacroWord word[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  bool hostPointers = true;  // fill words 4 and 6 from the panel
};

class Plugin {
 public:
  ~Plugin();
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  // Loads the library and redirects its C library imports to the counting
  // wrappers. The vector size comes from the catalogue; a name that is not a
  // deliverable is called with the extended vector, which is safe for both.
  static std::unique_ptr<Plugin> Load(const std::string& path, std::string* error,
                                      bool interpose = true);

  int Call(Panel& panel, const MacroCall& call = MacroCall{});

  const std::string& name() const { return name_; }
  int vectorWords() const { return vectorWords_; }
  bool known() const { return known_; }
  int interposed() const { return interposed_; }

 private:
  Plugin() = default;
  void* handle_ = nullptr;
  void* entry_ = nullptr;
  std::string name_;
  int vectorWords_ = kExtendedVectorWords;
  bool known_ = false;
  int interposed_ = 0;
};

// Whether Load may redirect imports at all (on unless switched off). The
// instruction counts of the benchmarks switch it off, so that a plug-in's C
// library calls cost what they cost on a panel, without the counting wrappers.
void AllowInterposition(bool allowed);

// The file name a plug-in has on this target: "<name>.so" or "<name>.dll".
std::string PluginFileName(const std::string& name);
// A path the operating system's loader accepts (a drive path under wine).
std::string NativePath(const std::string& path);
// The name of a plug-in file without folder and extension.
std::string PluginNameOf(const std::string& path);

}  // namespace host
