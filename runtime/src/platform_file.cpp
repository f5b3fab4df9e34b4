#include "macro/platform_file.h"

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <cstdio>
#include <unistd.h>
#endif

bool FileExists(const char* path) {
#if defined(_WIN32)
  return _access(path, 0) == 0;
#else
  return access(path, F_OK) == 0;
#endif
}

int MoveFileOver(const char* from, const char* to) {
#if defined(_WIN32)
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 0 : -1;
#else
  return std::rename(from, to) == 0 ? 0 : -1;
#endif
}
