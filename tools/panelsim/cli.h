// The command line of panelsim's commands, read with CLI11.
#pragma once

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace panelsim {

// Options start with "-" on every system: a path such as "/work/x" is a
// value, also where CLI11 would take "/x" for a Windows-style option.
inline void UnixStyleOptions(CLI::App& app) {
  app.allow_windows_style_options(false);
  for (CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; })) {
    UnixStyleOptions(*sub);
  }
}

// Parses `args`, the words after the command's name. Returns -1 when the
// command is to run; otherwise the exit status after CLI11 has printed the
// help (0) or the usage error (2).
inline int ParseArgs(CLI::App& app, const std::vector<std::string>& args) {
  UnixStyleOptions(app);
  std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes them last first
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  return -1;
}

}  // namespace panelsim
