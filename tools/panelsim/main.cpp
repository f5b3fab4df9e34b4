// panelsim: runs the plug-ins off the panel, on a substitute host.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/catalog.h"
#include "host/faults.h"
#include "host/panel.h"
#include "host/plugin.h"
#include "host/workdir.h"

namespace {

void Usage() {
  std::printf(
      "usage: panelsim list [--plugins DIR]\n"
      "  list   load every plug-in in DIR, show its vector size and builds, and\n"
      "         call it once on an empty panel in an empty working folder\n");
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

int List(const std::string& dir) {
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

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    Usage();
    return args.empty() ? 2 : 0;
  }
  if (args[0] == "list") {
    std::string dir = MACRO_PLUGIN_DIR;
    for (std::size_t i = 1; i < args.size(); ++i) {
      if (args[i] == "--plugins" && i + 1 < args.size()) {
        dir = args[++i];
      } else {
        Usage();
        return 2;
      }
    }
    return List(dir);
  }
  std::fprintf(stderr, "panelsim: unknown command '%s'\n", args[0].c_str());
  Usage();
  return 2;
}
