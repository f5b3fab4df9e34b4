// Every code, bit and state that crosses a register or a file, named once.
#pragma once

#include <cstdint>

// Register areas as the host numbers them.
enum DeviceCode : int {
  DeviceLW = 255,
  DeviceLB = 254,
  DeviceRW = 253,
  DeviceRB = 252,
  DeviceRWI = 251,
  DeviceRBI = 250,
  DeviceLWBit = 249,  // "LW.B" when reading, "LW.b" when writing
  DeviceERW0 = 248,
  DeviceERW1 = 247,
  DeviceERW2 = 246,
  DeviceERWI0 = 245,
  DeviceERWI1 = 244,
  DeviceERWI2 = 243,
  DeviceFRW = 242,
  DeviceFRB = 241,
  DeviceFRWI = 240,
  DeviceFRBI = 239,
};

inline constexpr int kLowestDeviceCode = DeviceFRBI;
inline constexpr int kHighestDeviceCode = DeviceLW;

enum ElementKind : int {
  KindBit = 0,
  KindWord = 2,
};

// Bits of the host vector's `features` word.
enum FeatureBits : std::uint32_t {
  FeatureSql = 0x4u,  // the SQL slots (words 12 to 14) may be called
};

// `flags` of the server control block.
enum ServerFlags : std::uint32_t {
  SendDue = 0x0002u,
  MessageReady = 0x0004u,
  FramesReady = 0x0008u,
  ScriptReady = 0x0010u,
  SchedulerArmed = 0x0020u,
};

// `state` of the server control block.
enum ServerState : std::uint32_t {
  StateIdle = 0,
  StateLoadSettings = 7,
  StateStoreSettings = 8,
  StateScriptReady = 10,
  StateSendLine = 11,
  StateAwaitReply = 12,
  StateCheckReply = 13,
};

// Result codes the server generation writes to LW 6007.
enum ResultCode : std::uint16_t {
  ResultOk = 0,
  TransmitComplete = 1,
  ErrServerProfileRead = 227,
  ErrBadState = 228,
  ErrModemError = 229,
  ErrReplyTimeout = 230,
  ErrEmptyScript = 231,
  ErrFileSeek = 232,
  ErrFileUpdateOpen = 233,
  ErrOutputWrite = 234,
  ErrInputRead = 235,
  ErrNoPhoneNumber = 236,
  ErrOutOfMemory = 237,
  ErrMessageFull = 238,
  ErrNoContent = 239,
  ErrNoEvents = 240,
  ErrRegisterWrite = 241,
  ErrRegisterRead = 242,
  ErrFileCreate = 243,
  ErrTemplateWrite = 244,
  ErrTemplateRead = 245,
  ErrRecipientsWrite = 246,
  ErrRecipientsRead = 247,
  ErrSendSettingsWrite = 248,
  ErrSendSettingsRead = 249,
  ErrControlBlockRead = 251,
  ErrNullArgument = 252,
  ErrFileOpen = 253,
  ErrFileMissing = 254,
  ErrGeneric = 255,
};

// ---- Chain generation: macro-vector bits, failure mask, record words ----

// ---- Panel configuration: phone book and alarm texts ----

// The phone book's host record (behind parameter word 6): word 0 holds the
// request, word 1 the result. Results are 0, ErrFileOpen (253),
// ErrFileMissing (254) and ErrGeneric (255) of the table above.
enum PhoneBookRecordWord : int {
  PhoneBookRequestWord = 0,
  PhoneBookResultWord = 1,
};

enum PhoneBookRequest : std::uint16_t {
  PhoneBookLoad = 0,  // file into LW 6000..6270
  PhoneBookSave = 1,  // LW 6000..6270 into the file
};

// The alarm text trimmer is macro 1 of the macro vector; it writes words 0
// to 2 of its record and never reads them.
inline constexpr std::uint16_t kAlarmTextsMacro = 1;

enum AlarmTextsRecordWord : int {
  AlarmTextsVectorWord = 0,
  AlarmTextsFailureWord = 1,
  AlarmTextsStatusWord = 2,
};

inline constexpr std::uint16_t AlarmTextsDone = 16;  // status word after a trimming

// ---- GPRS: connection profile and data settings ----

// The connection-profile sender's record: word 0 the profile command, word 1
// the macro vector of the connection-profile chain.
enum GprsRecordWord : int {
  GprsProfileCommandWord = 0,
  GprsMacroVectorWord = 1,
};

// Macro numbers of the connection-profile chain.
inline constexpr std::uint16_t kGprsSendConnectionMacro = 12;  // net_send_connection
inline constexpr std::uint16_t kGprsAfterCommandMacro = 13;    // follows each command

// Profile commands: 0 places an empty command, 1 to 7 one parameter each.
enum GprsProfileCommand : std::uint16_t {
  GprsProfileEmpty = 0,
  GprsProfileConType = 1,
  GprsProfileInactTo = 2,
  GprsProfileUser = 3,
  GprsProfilePasswd = 4,
  GprsProfileApn = 5,
  GprsProfileDns1 = 6,
  GprsProfileDns2 = 7,
};
