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
int RunModem(const std::vector<std::string>& args);
int RunChain(const std::vector<std::string>& args);
// The chain with its sample recipe after the server pipeline of the demo;
// says so and returns 0 when `plugins` holds no sequencer (the panel build).
int RunChainDemo(const std::string& plugins, bool quiet);

// The folder of the plug-ins this panelsim was built with.
std::string DefaultPluginDir();

}  // namespace panelsim
