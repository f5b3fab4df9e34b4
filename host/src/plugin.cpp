#include "host/plugin.h"

#include "host/catalog.h"
#include "host/faults.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace host {
namespace {

bool interpositionAllowed = true;

}  // namespace

void AllowInterposition(bool allowed) { interpositionAllowed = allowed; }

std::string PluginFileName(const std::string& name) {
#if defined(_WIN32)
  return name + ".dll";
#else
  return name + ".so";
#endif
}

std::string NativePath(const std::string& path) {
#if defined(_WIN32)
  if (!path.empty() && path[0] == '/') {
    std::string p = "Z:" + path;
    for (char& c : p) {
      if (c == '/') c = '\\';
    }
    return p;
  }
#endif
  return path;
}

std::string PluginNameOf(const std::string& path) {
  std::size_t slash = path.find_last_of("/\\");
  std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
  std::size_t dot = file.rfind('.');
  return dot == std::string::npos ? file : file.substr(0, dot);
}

std::unique_ptr<Plugin> Plugin::Load(const std::string& path, std::string* error,
                                     bool interpose) {
  std::unique_ptr<Plugin> p(new Plugin());
  p->name_ = PluginNameOf(path);
  if (const CatalogEntry* e = FindDeliverable(p->name_)) {
    p->vectorWords_ = e->vectorWords;
    p->known_ = true;
  }
  std::string native = NativePath(path);
#if defined(_WIN32)
  HMODULE m = LoadLibraryA(native.c_str());
  if (m == nullptr) {
    if (error) *error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    return nullptr;
  }
  p->handle_ = m;
  p->entry_ = reinterpret_cast<void*>(GetProcAddress(m, "macro_main"));
#else
  void* h = dlopen(native.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (h == nullptr) {
    if (error) *error = dlerror();
    return nullptr;
  }
  p->handle_ = h;
  p->entry_ = dlsym(h, "macro_main");
#endif
  if (p->entry_ == nullptr) {
    if (error) *error = path + " has no macro_main";
    return nullptr;
  }
  if (interpose && interpositionAllowed) {
    p->interposed_ = InterposeImports(p->handle_, error);
    if (p->interposed_ < 0) return nullptr;
  }
  return p;
}

Plugin::~Plugin() {
  if (handle_ == nullptr) return;
#if defined(_WIN32)
  FreeLibrary(static_cast<HMODULE>(handle_));
#else
  dlclose(handle_);
#endif
}

int Plugin::Call(Panel& panel, const MacroCall& call) {
  panel.MakeCurrent();
  MacroWord w[8];
  for (int i = 0; i < 8; ++i) w[i] = call.word[i];
  if (call.hostPointers) {
    w[4] = reinterpret_cast<MacroWord>(&panel.transmitFlag);
    w[6] = reinterpret_cast<MacroWord>(panel.record.data());
  }
  if (vectorWords_ == kBasicVectorWords) {
    auto fn = reinterpret_cast<MacroMainBasic>(entry_);
    return fn(w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7], panel.BasicVector());
  }
  auto fn = reinterpret_cast<MacroMainExtended>(entry_);
  return fn(w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7], panel.ExtendedVector());
}

}  // namespace host
