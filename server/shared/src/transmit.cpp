#include "server/transmit.h"

#include <cstdio>
#include <cstring>
#include <span>

#include "macro/bytes.h"
#include "macro/codes.h"
#include "macro/modem.h"
#include "macro/registers.h"
#include "macro/server.h"
#include "macro/text.h"
#include "server/script.h"
#include "server/settings.h"

namespace {

constexpr std::size_t kWorkBytes = kCommandBytes;  // one line or one reply
constexpr std::uint32_t kTicksPerTimeoutUnit = 10;
constexpr char kErrorText[] = "ERROR";

struct Machine {
  HostVector host;
  ServerControlBlock block;
  std::uint16_t* err;  // the copy's error word
};

// Whether `needle` occurs in the reply, read no further than its first NUL or
// its 200 bytes.
bool ReplyContains(const std::uint8_t* reply, const char* needle) {
  std::size_t n = charlen(reinterpret_cast<const char*>(reply), kWorkBytes);
  std::size_t m = std::strlen(needle);
  for (std::size_t i = 0; i + m <= n; ++i) {
    if (std::memcmp(reply + i, needle, m) == 0) return true;
  }
  return false;
}

void ReadReply(Machine& m, std::uint8_t (&work)[kWorkBytes]) {
  std::memset(work, 0, sizeof work);
  xReadLocal(m.host, "LW", kModemReplyAddress, kModemReplyWords, work, 0);
}

// Returns false when the machine stops.
bool StartScript(Machine& m) {
  std::uint8_t count[2];
  if (LoadData(kScriptFile, count, 0, m.err) != 0) return false;
  m.block.word[BlockLineCount] = static_cast<std::uint16_t>(count[0] | (count[1] << 8));
  if (m.block.word[BlockLineCount] == 0) {
    SetError(ErrEmptyScript, m.err);
    return false;
  }
  m.block.word[BlockLineIndex] = 0;
  SetBlockState(m.block, StateSendLine);
  return true;
}

bool SendLine(Machine& m) {
  std::uint16_t index = m.block.word[BlockLineIndex];
  if (!(index < m.block.word[BlockLineCount])) {
    SetError(TransmitComplete, m.err);
    return false;
  }
  std::uint8_t work[kWorkBytes] = {};
  ClearModemReply(m.host);
  long offset = 2L + static_cast<long>(kCommandBytes) * index;
  if (LoadData(kScriptFile, work, offset, m.err) != 0) return false;
  xWriteLocal(m.host, "LW", kModemCommandAddress, kModemCommandWords, work, 0);
  RaiseTransmitRequest(m.host);
  SetWordPair(m.block.word, BlockSentTick, ReadTickCounter(m.host));
  SetBlockState(m.block, StateAwaitReply);
  return true;
}

bool AwaitReply(Machine& m) {
  std::uint8_t work[kWorkBytes];
  ReadReply(m, work);
  if (work[0] != 0) {
    SetBlockState(m.block, StateCheckReply);
    return true;
  }
  std::uint32_t now = ReadTickCounter(m.host);
  SetWordPair(m.block.word, BlockCheckTick, now);
  std::uint8_t settings[kSendSettingsWords * 2];
  if (LoadData(kSendSettingsFile, settings, 0, m.err) != 0) {
    SetError(ErrSendSettingsRead, m.err);
    return false;
  }
  std::uint32_t timeout = GetU16(settings + 2 * SettingReplyTimeout);
  std::uint32_t deadline = GetWordPair(m.block.word, BlockSentTick) + timeout * kTicksPerTimeoutUnit;
  if (now >= deadline) {
    SetError(ErrReplyTimeout, m.err);
    return false;
  }
  return true;
}

bool CheckReply(Machine& m) {
  std::uint8_t work[kWorkBytes];
  ReadReply(m, work);
  if (ReplyContains(work, kErrorText)) {
    SetError(ErrModemError, m.err);
    return false;
  }
  SetBlockState(m.block, StateSendLine);
  m.block.word[BlockLineIndex] = static_cast<std::uint16_t>(m.block.word[BlockLineIndex] + 1);
  return true;
}

bool Step(Machine& m) {
  switch (BlockStateOf(m.block)) {
    case StateScriptReady: return StartScript(m);
    case StateSendLine: return SendLine(m);
    case StateAwaitReply: return AwaitReply(m);
    case StateCheckReply: return CheckReply(m);
    default:
      SetError(ErrBadState, m.err);
      return false;
  }
}

}  // namespace

void TransmitStep(HostVector host, TransmitVariant variant) {
  Machine m{host, {}, nullptr};
  m.err = &m.block.word[BlockError];
  bool blockRead = BeginBlockCall(host, m.block, kTransmitterViewWords) == 0;
  if (blockRead) {
    *m.err = 0;
    if (Step(m)) {
      (void)SaveProfile(std::span<std::uint16_t>(m.block.word, kTransmitterViewWords),
                        kControlBlockAddress, host, m.err);
      return;
    }
  }
  // Stop: every way of ending the machine, completion included.
  if (*m.err == 0) SetError(ErrGeneric, m.err);
  SetBlockState(m.block, StateIdle);
  std::uint32_t flags = BlockFlagsOf(m.block) & ~std::uint32_t{ScriptReady};
  if (variant == TransmitCleanUp) {
    flags |= SchedulerArmed;
    (void)std::remove(kScriptFile);
  }
  SetBlockFlags(m.block, flags);
  if (!blockRead) return;
  (void)SaveProfile(std::span<std::uint16_t>(m.block.word, kTransmitterViewWords),
                    kControlBlockAddress, host, nullptr);
}
