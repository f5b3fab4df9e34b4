// The file operations the C library does not spell the same way on the
// panel and on the PC, and the way the data files are opened.
#pragma once

// True when a file of that name exists.
bool FileExists(const char* path);

// Moves `from` over `to`, replacing an existing `to`. Returns 0 on success.
int MoveFileOver(const char* from, const char* to);

#include <cstdio>

// Opens a file that is read or written in one piece, without the stream's
// buffer: the C library would allocate one at the first access (4 KiB on the
// panel) only to copy the few hundred bytes through it once. Every data file
// is read or written with one fread or fwrite, so nothing is lost by it.
inline std::FILE* OpenUnbuffered(const char* path, const char* mode) {
  std::FILE* f = std::fopen(path, mode);
  if (f != nullptr) (void)std::setvbuf(f, nullptr, _IONBF, 0);
  return f;
}
