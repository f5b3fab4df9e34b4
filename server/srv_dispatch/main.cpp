// srv_dispatch: decides when a message is due. Mode 0 sends while any event
// is active, mode 1 when the set of active events has changed since the last
// send; two sends are at least one send interval apart. The last send is
// remembered in "SMSServerProfile.bin".
#include <cstring>
#include <span>

#include "macro/abi.h"
#include "macro/bytes.h"
#include "macro/codes.h"
#include "macro/modem.h"
#include "macro/registers.h"
#include "macro/server.h"
#include "server/settings.h"

namespace {

constexpr char kServerProfileFile[] = "SMSServerProfile.bin";
constexpr int kServerProfileBytes = 10;
constexpr std::uint32_t kTicksPerIntervalUnit = 600;

// The ServerProfile record: last mask, last send tick, last check tick.
enum ServerProfileOffset : int { ProfileLastMask = 0, ProfileLastSendTick = 2, ProfileLastCheckTick = 6 };

int SetServerProfile(std::uint8_t* record, std::uint32_t mask, std::uint32_t sendTick,
                     std::uint32_t checkTick) {
  if (record == nullptr) return -1;
  PutU16(record + ProfileLastMask, static_cast<std::uint16_t>(mask));
  PutU32(record + ProfileLastSendTick, sendTick);
  PutU32(record + ProfileLastCheckTick, checkTick);
  return 0;
}

int SaveServerProfile(const std::uint8_t* record, std::uint16_t* err) {
  return SaveData(kServerProfileFile, std::span<const std::uint8_t>(record, kServerProfileBytes),
                  err);
}

// The last send as remembered; a missing file starts from a zero record.
bool LoadServerProfile(std::uint8_t* record, std::uint16_t* err) {
  if (LoadData(kServerProfileFile, std::span<std::uint8_t>(record, kServerProfileBytes), 0, err) ==
      0) {
    return true;
  }
  if (*err != ErrFileMissing) {
    SetError(ErrServerProfileRead, err);
    return false;
  }
  *err = 0;
  SetServerProfile(record, 0, 0, 0);
  return SaveServerProfile(record, err) == 0;
}

bool Schedule(HostVector host, ServerControlBlock& block, std::uint16_t* err) {
  std::uint8_t settings[kSendSettingsWords * 2];
  if (LoadData(kSendSettingsFile, settings, 0, err) != 0) {
    SetError(ErrSendSettingsRead, err);
    return false;
  }
  if (GetU16(settings + 2 * SettingScheduleEnabled) == 0) {
    SetBlockFlags(block, BlockFlagsOf(block) & ~std::uint32_t{SchedulerArmed});
    return true;
  }
  std::uint16_t mask = 0;
  if (LoadProfile(std::span<std::uint16_t>(&mask, 1), kEventMaskAddress, host, err) != 0) {
    return false;
  }
  std::uint8_t record[kServerProfileBytes];
  if (!LoadServerProfile(record, err)) return false;

  std::uint32_t now = ReadTickCounter(host);
  PutU32(record + ProfileLastCheckTick, now);
  std::uint32_t lastSend = GetU32(record + ProfileLastSendTick);
  if (now < lastSend) lastSend = 0;  // the counter went back: measure from 0

  bool wanted;
  switch (GetU16(settings + 2 * SettingSendMode)) {
    case 0: wanted = mask != 0; break;
    case 1: wanted = mask != GetU16(record + ProfileLastMask); break;
    default:
      SetError(ErrBadState, err);
      return false;
  }
  std::uint32_t interval = GetU16(settings + 2 * SettingSendInterval) * kTicksPerIntervalUnit;
  if (!wanted || now < lastSend + interval) return true;

  SetServerProfile(record, mask, now, now);
  if (SaveServerProfile(record, err) != 0) return false;
  std::uint32_t flags = BlockFlagsOf(block) & ~std::uint32_t{SchedulerArmed};
  SetBlockFlags(block, flags | SendDue);
  return true;
}

}  // namespace

extern "C" int macro_main(MacroWord, MacroWord, MacroWord, MacroWord, MacroWord, MacroWord,
                          MacroWord, MacroWord, HostVector host) {
  ServerControlBlock block;
  if (BeginBlockCall(host, block, kBlockViewWords) != 0) return 0;
  std::uint16_t* err = &block.word[BlockError];
  *err = 0;
  bool ok = Schedule(host, block, err);
  EndBlockCall(host, block, kBlockViewWords, !ok, *err, true, 0);
  return 0;
}
