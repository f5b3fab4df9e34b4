// Counting and failing the C library calls a loaded plug-in makes.
//
// The loader redirects the plug-in's imports of the allocation and file
// functions (its GOT slots on Linux, its import address table on Windows) to
// the wrappers here, so the shipped binary itself runs, and only its own calls
// are counted or failed.
#pragma once

#include <cstddef>
#include <string>

namespace host {

enum class CallClass { Alloc = 0, File = 1 };
inline constexpr int kCallClasses = 2;

struct CallFault {
  int nth = 0;              // 0: none; else the Nth call of the class fails
  bool persistent = false;  // every call from the Nth on fails
};

struct CallStats {
  int calls[kCallClasses] = {0, 0};
  int failed[kCallClasses] = {0, 0};
  long liveAllocations = 0;  // allocations not yet freed
  long openFiles = 0;        // files opened and not yet closed
  int fileOpens = 0;
  long liveBytes = 0;        // bytes requested by the allocations not yet freed
  long peakBytes = 0;        // the most liveBytes reached
  long peakAllocations = 0;  // the most liveAllocations reached
};

struct Interposer {
  CallFault fault[kCallClasses];
  CallStats stats;
};

// The interposer the wrappers report to; one per process, reset per run.
Interposer& Calls();
void ResetCalls();

// Replaces the imports of the loaded module by the wrappers. `module` is the
// dlopen handle or HMODULE. Returns the number of slots redirected, or -1.
int InterposeImports(void* module, std::string* error);

}  // namespace host
