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

// Macro numbers of the chain: bit n of the macro vector selects macro n. The
// vector holds a single bit or 0, never several bits OR-ed together.
enum ChainMacro : std::uint16_t {
  ComposerMacro = 2,       // link_compose_alarms or link_compose_events
  PduBuilderMacro = 3,     // the PDU structure builder of the panel project
  SenderMacro = 4,         // link_send_sequence
  CheckerMacro = 5,        // link_check_reply
  ErrorReporterMacro = 6,  // link_report_error
  SequencerMacro = 7,      // link_sequencer
};

// Failure mask: a failing worker replaces the whole mask with its own bit.
enum ChainFailure : std::uint16_t {
  FailedComposer = 0x04,    // bit 2
  FailedPduBuilder = 0x08,  // bit 3
  FailedChecker = 0x20,     // bit 5: no acceptable answer within the reply time-out
};

// Send flags of the sender.
enum SendFlag : std::uint16_t {
  SetupSent = 0x1,          // set with AT+CMGS: later messages skip AT..AT+CSCS
  SecondHalfPending = 0x2,  // the second half of a long part record is still to be sent
};

// Send state: the command placed by the call that reached the state; the
// reply checker and the error reporter read it as the request type.
enum SendState : std::uint16_t {
  SendStart = 0,
  SendAt = 1,         // "AT"
  SendEchoOff = 2,    // "ATE0"
  SendPduMode = 4,    // "AT+CMGF=0"
  SendCharset = 8,    // "AT+CSCS=\"UCS2\""
  SendAnnounce = 16,  // "AT+CMGS=" and the length
  SendData = 32,      // the PDU data of a part record, or one half of it
  SendDone = 64,      // all parts sent; the success text is shown
};

// Sequencer state.
enum SequencerState : std::uint16_t {
  SequencerIdle = 0,        // next call arms the chain
  SequencerCompose = 1,     // next call selects the composer
  SequencerBuild = 2,       // next call selects the PDU structure builder
  SequencerStartSend = 4,   // next call resets the send state, selects the sender
  SequencerCheck = 8,       // next call selects the checker, or ends after SendDone
  SequencerSendNext = 16,   // next call selects the sender
  SequencerEnd = 32,        // next call clears the vector and the failure mask
  SequencerEndByError = 64,  // written by the error reporter; ends like SequencerEnd
};

// The binding table: the word of each macro's record that carries each
// chain value. Words a macro does not name are neither read nor written.
enum SequencerRecordWord : int {
  SequencerVectorWord = 1,
  SequencerFailureWord = 2,
  SequencerStateWord = 3,
  SequencerSendStateWord = 4,
};

enum ComposerRecordWord : int {
  ComposerVectorWord = 0,
  ComposerFailureWord = 1,
};

enum SenderRecordWord : int {
  SenderVectorWord = 0,
  SenderFlagsWord = 2,
  SenderStateWord = 3,
  SenderPartIndexWord = 4,
  SenderPartOffsetWord = 5,
};

enum CheckerRecordWord : int {
  CheckerVectorWord = 0,
  CheckerFailureWord = 1,
  CheckerSendStateWord = 2,
  CheckerFlagsWord = 3,
  CheckerTimeoutWord = 4,
};

enum ReporterRecordWord : int {
  ReporterVectorWord = 0,
  ReporterFailureWord = 1,
  ReporterFlagsWord = 2,
  ReporterSendStateWord = 3,
  ReporterSequencerStateWord = 4,
};

// The PDU structure builder (macro 3, the panel project's) ends like any
// worker: its vector and failure mask in the composer's positions.
enum PduBuilderRecordWord : int {
  PduBuilderVectorWord = 0,
  PduBuilderFailureWord = 1,
};

// link_encode_parts writes the number of message parts into its word 0.
enum PartEncoderRecordWord : int {
  PartEncoderCountWord = 0,
};

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
