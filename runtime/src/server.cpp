#include "macro/server.h"

#include <cstdio>
#include <cstring>

#include "macro/bytes.h"
#include "macro/platform_file.h"
#include "macro/registers.h"

namespace {

// Closes the file on every path out of a helper.
struct FileCloser {
  std::FILE* f;
  ~FileCloser() {
    if (f != nullptr) std::fclose(f);
  }
  // Closes now and reports whether buffered data reached the file.
  bool Close() {
    std::FILE* g = f;
    f = nullptr;
    return std::fclose(g) == 0;
  }
};

int Fail(int code, std::uint16_t* out) {
  SetError(code, out);
  return -1;
}

bool WriteAll(std::FILE* f, std::span<const std::uint8_t> data) {
  if (data.empty()) return true;
  return std::fwrite(data.data(), 1, data.size(), f) == data.size();
}

// Name of the temporary file written beside `path` before it replaces it.
// The data files have fixed names in the working directory (the longest any
// plug-in saves has 20 characters), so 64 bytes hold every temporary name; a
// path too long for them fails with ErrFileCreate, as one too long always did.
constexpr char kTempSuffix[] = ".tmp";
constexpr std::size_t kMaxPath = 64;

bool TempNameFor(const char* path, char (&name)[kMaxPath]) {
  std::size_t n = std::strlen(path);
  if (n + sizeof kTempSuffix > sizeof name) return false;
  std::memcpy(name, path, n);
  std::memcpy(name + n, kTempSuffix, sizeof kTempSuffix);
  return true;
}

}  // namespace

std::uint32_t BlockFlagsOf(const ServerControlBlock& b) { return GetWordPair(b.word, BlockFlags); }
void SetBlockFlags(ServerControlBlock& b, std::uint32_t flags) { SetWordPair(b.word, BlockFlags, flags); }
std::uint32_t BlockStateOf(const ServerControlBlock& b) { return GetWordPair(b.word, BlockState); }
void SetBlockState(ServerControlBlock& b, std::uint32_t state) { SetWordPair(b.word, BlockState, state); }

int SetError(int code, std::uint16_t* out) {
  if (out == nullptr) return -1;
  *out = static_cast<std::uint16_t>(code);
  return 0;
}

static int LoadFrom(const char* path, std::span<std::uint8_t> buffer, long offset, bool seek,
                    std::uint16_t* out) {
  if (path == nullptr || buffer.data() == nullptr) return Fail(ErrNullArgument, out);
  std::memset(buffer.data(), 0, buffer.size());
  if (!FileExists(path)) return Fail(ErrFileMissing, out);
  FileCloser file{OpenUnbuffered(path, "rb")};
  if (file.f == nullptr) return Fail(ErrFileOpen, out);
  if (seek && offset != 0 && std::fseek(file.f, offset, SEEK_SET) != 0) {
    return Fail(ErrFileSeek, out);
  }
  std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file.f);
  if (got < buffer.size() && std::ferror(file.f)) {
    // A read error is not a short file: the zeros would pass for data.
    std::memset(buffer.data(), 0, buffer.size());
    return Fail(ErrFileOpen, out);
  }
  return 0;
}

int LoadData(const char* path, std::span<std::uint8_t> buffer, std::uint16_t* out) {
  return LoadFrom(path, buffer, 0, false, out);
}

int LoadData(const char* path, std::span<std::uint8_t> buffer, long offset, std::uint16_t* out) {
  return LoadFrom(path, buffer, offset, true, out);
}

// Writes a complete new file beside the old one and only then puts it in
// place, so a failed write leaves the previous file as it was.
int SaveData(const char* path, std::span<const std::uint8_t> data, std::uint16_t* out) {
  if (path == nullptr || data.data() == nullptr) return Fail(ErrNullArgument, out);
  char temp[kMaxPath];
  if (!TempNameFor(path, temp)) return Fail(ErrFileCreate, out);
  FileCloser file{OpenUnbuffered(temp, "wb")};
  if (file.f == nullptr) return Fail(ErrFileCreate, out);
  bool written = WriteAll(file.f, data);
  bool closed = file.Close();
  if (!written || !closed || MoveFileOver(temp, path) != 0) {
    std::remove(temp);
    return Fail(ErrFileCreate, out);
  }
  return 0;
}

int AppendData(const char* path, std::span<const std::uint8_t> data, std::uint16_t* out) {
  if (path == nullptr || data.data() == nullptr) return Fail(ErrNullArgument, out);
  if (!FileExists(path)) return Fail(ErrFileMissing, out);
  FileCloser file{OpenUnbuffered(path, "ab")};
  if (file.f == nullptr) return Fail(ErrFileUpdateOpen, out);
  bool written = WriteAll(file.f, data);
  if (!file.Close() || !written) return Fail(ErrFileUpdateOpen, out);
  return 0;
}

int BeforeData(const char* path, std::span<const std::uint8_t> data, long offset,
               std::uint16_t* out) {
  if (path == nullptr || data.data() == nullptr) return Fail(ErrNullArgument, out);
  if (!FileExists(path)) return Fail(ErrFileMissing, out);
  FileCloser file{OpenUnbuffered(path, "r+b")};
  if (file.f == nullptr) return Fail(ErrFileUpdateOpen, out);
  if (offset != 0 && std::fseek(file.f, offset, SEEK_SET) != 0) return Fail(ErrFileSeek, out);
  bool written = WriteAll(file.f, data);
  if (!file.Close() || !written) return Fail(ErrFileUpdateOpen, out);
  return 0;
}

int LoadSaveData(const char* path, std::span<std::uint8_t> buffer, int direction,
                 const char* mode, std::uint16_t* out) {
  if (path == nullptr || buffer.data() == nullptr || mode == nullptr) {
    return Fail(ErrNullArgument, out);
  }
  FileCloser file{OpenUnbuffered(path, mode)};
  if (file.f == nullptr) return Fail(ErrFileUpdateOpen, out);
  if (direction == 1) {
    bool written = WriteAll(file.f, buffer);
    if (!file.Close() || !written) return Fail(ErrFileUpdateOpen, out);
    return 0;
  }
  std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file.f);
  if (got < buffer.size() && std::ferror(file.f)) return Fail(ErrFileUpdateOpen, out);
  return 0;
}

#if defined(MACRO_VECTOR_WORDS)
int LoadProfile(std::span<std::uint16_t> buffer, int address, HostVector host, std::uint16_t* out) {
  if (buffer.data() == nullptr) return Fail(ErrNullArgument, out);
  std::memset(buffer.data(), 0, buffer.size_bytes());
  int count = static_cast<int>(buffer.size());
  if (xReadLocal(host, "LW", address, count, buffer.data(), 0) != 1) {
    return Fail(ErrRegisterRead, out);
  }
  return 0;
}

int SaveProfile(std::span<std::uint16_t> buffer, int address, HostVector host, std::uint16_t* out) {
  if (buffer.data() == nullptr) return Fail(ErrNullArgument, out);
  int count = static_cast<int>(buffer.size());
  if (xWriteLocal(host, "LW", address, count, buffer.data(), 0) != 1) {
    return Fail(ErrRegisterWrite, out);
  }
  return 0;
}

int BeginBlockCall(HostVector host, ServerControlBlock& block, int viewWords) {
  std::span<std::uint16_t> view(block.word, static_cast<std::size_t>(viewWords));
  if (LoadProfile(view, kControlBlockAddress, host, &block.word[BlockError]) != 0) {
    return Fail(ErrControlBlockRead, &block.word[BlockError]);
  }
  return 0;
}

void EndBlockCall(HostVector host, ServerControlBlock& block, int viewWords, bool failed,
                  std::uint16_t code, bool resetOnFailure, std::uint32_t clearOnFailure) {
  std::span<std::uint16_t> view(block.word, static_cast<std::size_t>(viewWords));
  if (!failed) {
    block.word[BlockError] = code;
    (void)SaveProfile(view, kControlBlockAddress, host, &block.word[BlockError]);
    return;
  }
  block.word[BlockError] = code == 0 ? static_cast<std::uint16_t>(ErrGeneric) : code;
  if (resetOnFailure) SetBlockState(block, StateIdle);
  SetBlockFlags(block, BlockFlagsOf(block) & ~clearOnFailure);
  (void)SaveProfile(view, kControlBlockAddress, host, nullptr);
}

void EndErrorWordCall(HostVector host, bool failed, std::uint16_t code) {
  std::uint16_t word = failed && code == 0 ? static_cast<std::uint16_t>(ErrGeneric) : code;
  if (!failed) word = 0;
  (void)SaveProfile(std::span<std::uint16_t>(&word, 1), kErrorWordAddress, host, nullptr);
}
#endif
