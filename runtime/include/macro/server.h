// The server generation's control block, file helpers and register helpers.
// Helpers return 0 on success and -1 on failure; on failure they record a
// result code through `out` with SetError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "macro/abi.h"
#include "macro/codes.h"

// Word positions inside the control block copy (LW 6000 + index).
enum ControlBlockWord : int {
  BlockFlags = 3,      // 32 bits
  BlockState = 5,      // 32 bits
  BlockError = 7,      // 16 bits
  BlockSentTick = 8,   // 32 bits
  BlockCheckTick = 10, // 32 bits
  BlockLineIndex = 12,
  BlockLineCount = 13,
};

inline constexpr int kBlockViewWords = 8;         // LW 6000..6007
inline constexpr int kTransmitterViewWords = 14;  // LW 6000..6013
inline constexpr int kErrorWordAddress = 6007;

// The image of LW 6000..6013; a view uses its first 8 or 14 words.
struct ServerControlBlock {
  std::uint16_t word[kTransmitterViewWords];
};

std::uint32_t BlockFlagsOf(const ServerControlBlock& b);
void SetBlockFlags(ServerControlBlock& b, std::uint32_t flags);
std::uint32_t BlockStateOf(const ServerControlBlock& b);
void SetBlockState(ServerControlBlock& b, std::uint32_t state);

// Stores the low 16 bits of code at out; -1 and nothing stored when out is null.
int SetError(int code, std::uint16_t* out);

// Binary data files in the working directory.
[[nodiscard]] int LoadData(const char* path, std::span<std::uint8_t> buffer, std::uint16_t* out);
[[nodiscard]] int LoadData(const char* path, std::span<std::uint8_t> buffer, long offset,
                           std::uint16_t* out);
[[nodiscard]] int SaveData(const char* path, std::span<const std::uint8_t> data, std::uint16_t* out);
[[nodiscard]] int AppendData(const char* path, std::span<const std::uint8_t> data,
                             std::uint16_t* out);
[[nodiscard]] int BeforeData(const char* path, std::span<const std::uint8_t> data, long offset,
                             std::uint16_t* out);
[[nodiscard]] int LoadSaveData(const char* path, std::span<std::uint8_t> buffer, int direction,
                               const char* mode, std::uint16_t* out);

#if defined(MACRO_VECTOR_WORDS)
// Reads or writes LW words starting at `address`, one per element of `buffer`.
[[nodiscard]] int LoadProfile(std::span<std::uint16_t> buffer, int address, HostVector host,
                              std::uint16_t* out);
[[nodiscard]] int SaveProfile(std::span<std::uint16_t> buffer, int address, HostVector host,
                              std::uint16_t* out);

// The frame of a block-reading plug-in's call. BeginBlockCall reads the view
// (8 or 14 words); when that fails nothing may be written back and the call
// ends. EndBlockCall writes the view back: on success with the code as it
// stands, on failure with the code (255 when none was recorded) and, for
// `resetOnFailure`, state 0; `clearOnFailure` flags are cleared as well.
[[nodiscard]] int BeginBlockCall(HostVector host, ServerControlBlock& block, int viewWords);
void EndBlockCall(HostVector host, ServerControlBlock& block, int viewWords, bool failed,
                  std::uint16_t code, bool resetOnFailure, std::uint32_t clearOnFailure);

// The frame of a plug-in that only writes LW 6007.
void EndErrorWordCall(HostVector host, bool failed, std::uint16_t code);
#endif

