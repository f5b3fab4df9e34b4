#include "settings_file.h"

#include <cstdio>
#include <cstring>

#include "macro/platform_file.h"

namespace {

struct FileCloser {
  std::FILE* f;
  ~FileCloser() {
    if (f != nullptr) std::fclose(f);
  }
};

}  // namespace

std::uint8_t* ReadSettingsImage(const char* path, std::span<std::uint8_t> image) {
  std::memset(image.data(), 0, image.size());
  FileCloser file{OpenUnbuffered(path, "rb")};
  if (file.f == nullptr) return nullptr;
  std::rewind(file.f);
  std::size_t got = std::fread(image.data(), 1, image.size(), file.f);
  if (got < image.size() && std::ferror(file.f)) {
    // A read error is not a short file: its zeros would pass for settings.
    std::memset(image.data(), 0, image.size());
    return nullptr;
  }
  return image.data();
}
