#include "macro/registers.h"

#include <cstring>

#include "macro/codes.h"
#include "macro/device_table.h"

namespace {

// The runtime's one piece of static storage: the trimmed device name.
// With -fdata-sections the PE compiler gives even zero-filled data a .data$
// section, which puts 4 KiB of zeros into every DLL file; .bss keeps it out.
#if defined(_WIN32)
[[gnu::section(".bss")]]
#endif
char line[kTrimLineSize];

}  // namespace

char* trim1(const char* name) {
  line[0] = '\0';
  if (name == nullptr) return line;
  while (*name == ' ') ++name;
  std::size_t n = 0;
  while (n < kTrimLineSize - 1 && name[n] != '\0') {
    line[n] = name[n];
    ++n;
  }
  while (n > 0 && line[n - 1] == ' ') --n;
  line[n] = '\0';
  return line;
}

std::uint16_t SetMacroVector(std::uint16_t n) {
  if (n >= 16) return 0;
  return static_cast<std::uint16_t>(1u << n);
}

#if defined(MACRO_VECTOR_WORDS)
int xReadLocal(HostVector host, const char* device, int address, int count, void* buffer,
               int last) {
  DeviceEntry entry;
  if (!LookupDevice(trim1(device), DeviceForRead, &entry)) return 0;
  return host.ReadRegisters(entry.code, entry.kind, address, count, buffer, last);
}

int xWriteLocal(HostVector host, const char* device, int address, int count, void* buffer,
                int last) {
  DeviceEntry entry;
  if (!LookupDevice(trim1(device), DeviceForWrite, &entry)) return 0;
  return host.WriteRegisters(entry.code, entry.kind, address, count, buffer, last);
}
#endif
