// panelsim list: load every plug-in of a folder and call it once.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "host/catalog.h"
#include "host/faults.h"
#include "host/panel.h"
#include "host/plugin.h"
#include "host/workdir.h"

namespace panelsim {
namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

int RunList(const std::vector<std::string>& args) {
  std::string dir = DefaultPluginDir();
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--plugins" && i + 1 < args.size()) {
      dir = args[++i];
    } else {
      std::fprintf(stderr, "panelsim list: unexpected '%s'\n", args[i].c_str());
      return 2;
    }
  }
  std::string ext = host::PluginFileName("");
  std::vector<std::string> files;
  for (const std::string& f : host::ListFiles(dir)) {
    if (EndsWith(f, ext)) files.push_back(f);
  }
  if (files.empty()) {
    std::fprintf(stderr, "panelsim: no plug-ins (*%s) in %s\n", ext.c_str(), dir.c_str());
    return 1;
  }
  std::printf("%-24s %-7s %-10s %s\n", "plug-in", "vector", "builds", "one call on an empty panel");
  int failures = 0;
  for (const std::string& f : files) {
    std::string error;
    auto plugin = host::Plugin::Load(dir + "/" + f, &error);
    if (!plugin) {
      std::printf("%-24s load failed: %s\n", host::PluginNameOf(f).c_str(), error.c_str());
      ++failures;
      continue;
    }
    const host::CatalogEntry* entry = host::FindDeliverable(plugin->name());
    const char* builds = entry == nullptr ? "unknown" : entry->panelBuild ? "panel+PC" : "PC only";
    host::Panel panel;
    host::ResetCalls();
    int result;
    std::vector<std::string> created;
    {
      host::WorkDir work;
      result = plugin->Call(panel);
      created = work.Files();
    }
    const host::CallStats& s = host::Calls().stats;
    std::printf("%-24s %-7d %-10s returned %d; %zu register accesses, %d file calls, "
                "%zu files left, %ld allocations held\n",
                plugin->name().c_str(), plugin->vectorWords(), builds, result, panel.log.size(),
                s.calls[static_cast<int>(host::CallClass::File)], created.size(),
                s.liveAllocations);
    if (result != 0 || s.liveAllocations != 0 || s.openFiles != 0) ++failures;
  }
  return failures == 0 ? 0 : 1;
}

}  // namespace panelsim
