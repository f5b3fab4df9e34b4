#include "host/faults.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <dlfcn.h>
#include <elf.h>
#include <link.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace host {
namespace {

Interposer interposer;
// Streams on which a read was failed; ferror reports them.
std::set<std::FILE*>* failedStreams = nullptr;

std::set<std::FILE*>& FailedStreams() {
  if (failedStreams == nullptr) failedStreams = new std::set<std::FILE*>();
  return *failedStreams;
}

// Blocks handed out through the wrappers, with their sizes. Only these count
// as held: a plug-in's C runtime may free at unload what it allocated before
// the wrappers were in place.
std::map<std::uintptr_t, std::size_t>* liveBlocks = nullptr;

std::map<std::uintptr_t, std::size_t>& LiveBlocks() {
  if (liveBlocks == nullptr) liveBlocks = new std::map<std::uintptr_t, std::size_t>();
  return *liveBlocks;
}

void Track(void* p, std::size_t bytes) {
  auto key = reinterpret_cast<std::uintptr_t>(p);
  if (key == 0 || !LiveBlocks().emplace(key, bytes).second) return;
  CallStats& s = interposer.stats;
  ++s.liveAllocations;
  s.liveBytes += static_cast<long>(bytes);
  if (s.liveAllocations > s.peakAllocations) s.peakAllocations = s.liveAllocations;
  if (s.liveBytes > s.peakBytes) s.peakBytes = s.liveBytes;
}

void Untrack(std::uintptr_t key) {
  if (key == 0) return;
  auto it = LiveBlocks().find(key);
  if (it == LiveBlocks().end()) return;
  --interposer.stats.liveAllocations;
  interposer.stats.liveBytes -= static_cast<long>(it->second);
  LiveBlocks().erase(it);
}

// Counts one call of the class and says whether it must fail.
bool Fails(CallClass c) {
  int i = static_cast<int>(c);
  int n = ++interposer.stats.calls[i];
  const CallFault& f = interposer.fault[i];
  bool fail = f.nth > 0 && (n == f.nth || (f.persistent && n > f.nth));
  if (fail) ++interposer.stats.failed[i];
  return fail;
}

extern "C" {

void* HookMalloc(std::size_t n) {
  if (Fails(CallClass::Alloc)) return nullptr;
  void* p = std::malloc(n);
  Track(p, n);
  return p;
}

void* HookCalloc(std::size_t n, std::size_t size) {
  if (Fails(CallClass::Alloc)) return nullptr;
  void* p = std::calloc(n, size);
  Track(p, n * size);
  return p;
}

void* HookRealloc(void* old, std::size_t n) {
  if (Fails(CallClass::Alloc)) return nullptr;
  auto oldKey = reinterpret_cast<std::uintptr_t>(old);
  void* p = std::realloc(old, n);
  if (p != nullptr || n == 0) {
    Untrack(oldKey);
    Track(p, n);
  }
  return p;
}

void HookFree(void* p) {
  Untrack(reinterpret_cast<std::uintptr_t>(p));
  std::free(p);
}

std::FILE* HookFopen(const char* path, const char* mode) {
  ++interposer.stats.fileOpens;
  if (Fails(CallClass::File)) {
    errno = EIO;
    return nullptr;
  }
  std::FILE* f = std::fopen(path, mode);
  if (f != nullptr) ++interposer.stats.openFiles;
  return f;
}

int HookFclose(std::FILE* f) {
  bool fail = Fails(CallClass::File);
  FailedStreams().erase(f);
  int r = std::fclose(f);  // a failed close still releases the stream
  --interposer.stats.openFiles;
  return fail ? EOF : r;
}

std::size_t HookFread(void* buffer, std::size_t size, std::size_t n, std::FILE* f) {
  if (Fails(CallClass::File)) {
    FailedStreams().insert(f);
    return 0;
  }
  return std::fread(buffer, size, n, f);
}

std::size_t HookFwrite(const void* buffer, std::size_t size, std::size_t n, std::FILE* f) {
  if (Fails(CallClass::File)) return 0;
  return std::fwrite(buffer, size, n, f);
}

int HookFseek(std::FILE* f, long offset, int whence) {
  if (Fails(CallClass::File)) return -1;
  return std::fseek(f, offset, whence);
}

long HookFtell(std::FILE* f) {
  if (Fails(CallClass::File)) return -1;
  return std::ftell(f);
}

int HookFflush(std::FILE* f) {
  if (Fails(CallClass::File)) return EOF;
  return std::fflush(f);
}

char* HookFgets(char* s, int n, std::FILE* f) {
  if (Fails(CallClass::File)) {
    FailedStreams().insert(f);
    return nullptr;
  }
  return std::fgets(s, n, f);
}

int HookFputs(const char* s, std::FILE* f) {
  if (Fails(CallClass::File)) return EOF;
  return std::fputs(s, f);
}

int HookFgetc(std::FILE* f) {
  if (Fails(CallClass::File)) {
    FailedStreams().insert(f);
    return EOF;
  }
  return std::fgetc(f);
}

int HookFputc(int c, std::FILE* f) {
  if (Fails(CallClass::File)) return EOF;
  return std::fputc(c, f);
}

int HookFerror(std::FILE* f) {
  if (FailedStreams().count(f) != 0) return 1;
  return std::ferror(f);
}

int HookRemove(const char* path) {
  if (Fails(CallClass::File)) return -1;
  return std::remove(path);
}

int HookRename(const char* from, const char* to) {
  if (Fails(CallClass::File)) return -1;
  return std::rename(from, to);
}

#if defined(_WIN32)
int HookAccess(const char* path, int mode) {
  if (Fails(CallClass::File)) return -1;
  return _access(path, mode);
}

BOOL WINAPI HookMoveFileExA(LPCSTR from, LPCSTR to, DWORD flags) {
  if (Fails(CallClass::File)) return FALSE;
  return MoveFileExA(from, to, flags);
}
#else
int HookAccess(const char* path, int mode) {
  if (Fails(CallClass::File)) return -1;
  return access(path, mode);
}

int HookUnlink(const char* path) {
  if (Fails(CallClass::File)) return -1;
  return unlink(path);
}
#endif

}  // extern "C"

struct Hook {
  const char* name;
  void* wrapper;
};

const Hook kHooks[] = {
    {"malloc", reinterpret_cast<void*>(HookMalloc)},
    {"calloc", reinterpret_cast<void*>(HookCalloc)},
    {"realloc", reinterpret_cast<void*>(HookRealloc)},
    {"free", reinterpret_cast<void*>(HookFree)},
    {"fopen", reinterpret_cast<void*>(HookFopen)},
    {"fclose", reinterpret_cast<void*>(HookFclose)},
    {"fread", reinterpret_cast<void*>(HookFread)},
    {"fwrite", reinterpret_cast<void*>(HookFwrite)},
    {"fseek", reinterpret_cast<void*>(HookFseek)},
    {"ftell", reinterpret_cast<void*>(HookFtell)},
    {"fflush", reinterpret_cast<void*>(HookFflush)},
    {"fgets", reinterpret_cast<void*>(HookFgets)},
    {"fputs", reinterpret_cast<void*>(HookFputs)},
    {"fgetc", reinterpret_cast<void*>(HookFgetc)},
    {"fputc", reinterpret_cast<void*>(HookFputc)},
    {"ferror", reinterpret_cast<void*>(HookFerror)},
    {"remove", reinterpret_cast<void*>(HookRemove)},
    {"rename", reinterpret_cast<void*>(HookRename)},
#if defined(_WIN32)
    {"_access", reinterpret_cast<void*>(HookAccess)},
    {"MoveFileExA", reinterpret_cast<void*>(HookMoveFileExA)},
#else
    {"access", reinterpret_cast<void*>(HookAccess)},
    {"unlink", reinterpret_cast<void*>(HookUnlink)},
#endif
};

void* WrapperFor(const char* name) {
  for (const Hook& h : kHooks) {
    if (std::strcmp(h.name, name) == 0) return h.wrapper;
  }
  return nullptr;
}

#if defined(_WIN32)

int PatchImportTable(HMODULE module, std::string* error) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (dir.VirtualAddress == 0) return 0;
  int patched = 0;
  auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
  for (; desc->Name != 0; ++desc) {
    DWORD lookup = desc->OriginalFirstThunk ? desc->OriginalFirstThunk : desc->FirstThunk;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + lookup);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      void* wrapper = WrapperFor(reinterpret_cast<const char*>(byName->Name));
      if (wrapper == nullptr) continue;
      DWORD old = 0;
      if (!VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &old)) {
        if (error) *error = "cannot unprotect the import table";
        return -1;
      }
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(wrapper);
      VirtualProtect(&slots->u1.Function, sizeof(void*), old, &old);
      ++patched;
    }
  }
  return patched;
}

#else

bool IsSlotRelocation(unsigned type) {
#if defined(__x86_64__)
  return type == R_X86_64_JUMP_SLOT || type == R_X86_64_GLOB_DAT;
#elif defined(__arm__)
  return type == R_ARM_JUMP_SLOT || type == R_ARM_GLOB_DAT;
#elif defined(__i386__)
  return type == R_386_JMP_SLOT || type == R_386_GLOB_DAT;
#elif defined(__aarch64__)
  return type == R_AARCH64_JUMP_SLOT || type == R_AARCH64_GLOB_DAT;
#else
  return false;
#endif
}

#if __SIZEOF_POINTER__ == 8
#define HOST_R_SYM ELF64_R_SYM
#define HOST_R_TYPE ELF64_R_TYPE
#else
#define HOST_R_SYM ELF32_R_SYM
#define HOST_R_TYPE ELF32_R_TYPE
#endif

bool Redirect(ElfW(Addr) slot, void* wrapper) {
  long page = sysconf(_SC_PAGESIZE);
  auto start = slot & ~static_cast<ElfW(Addr)>(page - 1);
  if (mprotect(reinterpret_cast<void*>(start), static_cast<std::size_t>(page) * 2,
               PROT_READ | PROT_WRITE) != 0) {
    return false;
  }
  *reinterpret_cast<void**>(slot) = wrapper;
  return true;
}

template <typename Rel>
int PatchTable(ElfW(Addr) base, const Rel* rel, std::size_t bytes, const ElfW(Sym)* symtab,
               const char* strtab, std::string* error) {
  int patched = 0;
  for (std::size_t i = 0; i < bytes / sizeof(Rel); ++i) {
    if (!IsSlotRelocation(HOST_R_TYPE(rel[i].r_info))) continue;
    const char* name = strtab + symtab[HOST_R_SYM(rel[i].r_info)].st_name;
    void* wrapper = WrapperFor(name);
    if (wrapper == nullptr) continue;
    if (!Redirect(base + rel[i].r_offset, wrapper)) {
      if (error) *error = "cannot unprotect the GOT";
      return -1;
    }
    ++patched;
  }
  return patched;
}

int PatchGot(void* handle, std::string* error) {
  struct link_map* map = nullptr;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) {
    if (error) *error = "no link map";
    return -1;
  }
  ElfW(Addr) base = map->l_addr;
  // Loaded dynamic sections hold absolute addresses on most systems; adjust
  // the ones that are still file-relative.
  auto at = [base](ElfW(Addr) p) { return p < base ? p + base : p; };
  const ElfW(Sym)* symtab = nullptr;
  const char* strtab = nullptr;
  ElfW(Addr) jmprel = 0, rel = 0, rela = 0;
  std::size_t jmpsz = 0, relsz = 0, relasz = 0;
  long pltrel = 0;
  for (const ElfW(Dyn)* d = map->l_ld; d->d_tag != DT_NULL; ++d) {
    switch (d->d_tag) {
      case DT_SYMTAB: symtab = reinterpret_cast<const ElfW(Sym)*>(at(d->d_un.d_ptr)); break;
      case DT_STRTAB: strtab = reinterpret_cast<const char*>(at(d->d_un.d_ptr)); break;
      case DT_JMPREL: jmprel = at(d->d_un.d_ptr); break;
      case DT_PLTRELSZ: jmpsz = d->d_un.d_val; break;
      case DT_PLTREL: pltrel = static_cast<long>(d->d_un.d_val); break;
      case DT_REL: rel = at(d->d_un.d_ptr); break;
      case DT_RELSZ: relsz = d->d_un.d_val; break;
      case DT_RELA: rela = at(d->d_un.d_ptr); break;
      case DT_RELASZ: relasz = d->d_un.d_val; break;
      default: break;
    }
  }
  if (symtab == nullptr || strtab == nullptr) {
    if (error) *error = "no dynamic symbol table";
    return -1;
  }
  int total = 0;
  auto add = [&total](int n) {
    if (n < 0 || total < 0) {
      total = -1;
    } else {
      total += n;
    }
  };
  if (jmprel != 0 && pltrel == DT_RELA) {
    add(PatchTable(base, reinterpret_cast<const ElfW(Rela)*>(jmprel), jmpsz, symtab, strtab, error));
  } else if (jmprel != 0) {
    add(PatchTable(base, reinterpret_cast<const ElfW(Rel)*>(jmprel), jmpsz, symtab, strtab, error));
  }
  if (rela != 0) {
    add(PatchTable(base, reinterpret_cast<const ElfW(Rela)*>(rela), relasz, symtab, strtab, error));
  }
  if (rel != 0) {
    add(PatchTable(base, reinterpret_cast<const ElfW(Rel)*>(rel), relsz, symtab, strtab, error));
  }
  return total;
}

#endif

}  // namespace

Interposer& Calls() { return interposer; }

void ResetCalls() {
  interposer = Interposer{};
  FailedStreams().clear();
  LiveBlocks().clear();
}

int InterposeImports(void* module, std::string* error) {
#if defined(_WIN32)
  return PatchImportTable(static_cast<HMODULE>(module), error);
#else
  return PatchGot(module, error);
#endif
}

}  // namespace host
