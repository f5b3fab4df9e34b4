#include "host/workdir.h"

#include "host/plugin.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#if defined(_WIN32)
#include <direct.h>
#include <windows.h>
#else
#include <dirent.h>
#include <unistd.h>
#endif

namespace host {
namespace {

std::string CurrentDir() {
  char buf[4096];
#if defined(_WIN32)
  if (_getcwd(buf, sizeof buf) == nullptr) return {};
#else
  if (getcwd(buf, sizeof buf) == nullptr) return {};
#endif
  return buf;
}

void ChangeDir(const std::string& dir) {
#if defined(_WIN32)
  (void)_chdir(dir.c_str());
#else
  (void)chdir(dir.c_str());
#endif
}

}  // namespace

WorkDir::WorkDir() : previous_(CurrentDir()) {
#if defined(_WIN32)
  char tmp[MAX_PATH];
  GetTempPathA(MAX_PATH, tmp);
  static unsigned counter = 0;
  for (;;) {
    char name[MAX_PATH + 64];
    std::snprintf(name, sizeof name, "%smacro-%lu-%u", tmp, GetCurrentProcessId(), ++counter);
    if (CreateDirectoryA(name, nullptr)) {
      path_ = name;
      break;
    }
  }
#else
  const char* base = std::getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/macro-XXXXXX";
  char* made = mkdtemp(tmpl.data());
  path_ = made ? made : "/tmp";
#endif
  ChangeDir(path_);
}

WorkDir::~WorkDir() {
  ChangeDir(previous_);
  for (const std::string& f : Files()) {
    std::remove((path_ + "/" + f).c_str());
  }
#if defined(_WIN32)
  RemoveDirectoryA(path_.c_str());
#else
  rmdir(path_.c_str());
#endif
}

std::vector<std::string> WorkDir::Files() const { return ListFiles(path_); }

std::vector<std::string> ListFiles(const std::string& dir) {
  std::vector<std::string> names;
#if defined(_WIN32)
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA((NativePath(dir) + "\\*").c_str(), &data);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::string n = data.cFileName;
      if (n != "." && n != "..") names.push_back(n);
    } while (FindNextFileA(h, &data));
    FindClose(h);
  }
#else
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    closedir(d);
  }
#endif
  std::sort(names.begin(), names.end());
  return names;
}

bool WorkDir::Write(const std::string& name, const std::string& bytes) const {
  std::ofstream out(path_ + "/" + name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool WorkDir::Read(const std::string& name, std::string* bytes) const {
  std::ifstream in(path_ + "/" + name, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  *bytes = s.str();
  return true;
}

}  // namespace host
