// panelsim's commands. Each lives in its own file and is listed once in
// main.cpp's table.
#pragma once

#include <string>
#include <vector>

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

// The folder of the plug-ins this panelsim was built with.
std::string DefaultPluginDir();

}  // namespace panelsim
