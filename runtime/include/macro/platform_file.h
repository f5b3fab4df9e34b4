// The two file operations the C library does not spell the same way on the
// panel and on the PC.
#pragma once

// True when a file of that name exists.
bool FileExists(const char* path);

// Moves `from` over `to`, replacing an existing `to`. Returns 0 on success.
int MoveFileOver(const char* from, const char* to);
