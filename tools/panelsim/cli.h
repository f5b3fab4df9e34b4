// The command line of panelsim's commands, read with CLI11.
#pragma once

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace panelsim {

// Parses `args`, the words after the command's name. Returns -1 when the
// command is to run; otherwise the exit status after CLI11 has printed the
// help (0) or the usage error (2).
inline int ParseArgs(CLI::App& app, const std::vector<std::string>& args) {
  std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes them last first
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  return -1;
}

}  // namespace panelsim
