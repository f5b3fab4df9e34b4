// The AT script: set-up commands, then AT+CMGS and the PDU for every record
// of the PDU frame file, as fixed 200-byte command records.
#pragma once

#include <cstdint>
#include <cstdio>

inline constexpr int kCommandBytes = 200;
inline constexpr int kSetupCommands = 4;
// 2 + 200 * P must fit the 16-bit size of the frame file.
inline constexpr int kMaxFrameRecords = 327;
// The shortest text that can be an SMS-SUBMIT PDU: service centre, first
// octet, reference, an empty address with its type, PID, DCS and UDL.
inline constexpr int kMinPduChars = 16;

struct PduFrameTable {
  std::uint16_t recordCount;  // P
  char** frameTable;          // owned, P pointers into `image`
  std::uint8_t* image;        // owned, 2 + 200 * P bytes
};

// Loads and checks the frame file; with `consume` the file is removed once it
// is loaded. nullptr with the code recorded on failure.
PduFrameTable* LoadProfilePDU(const char* path, std::uint16_t* err, bool consume);
int DeleteProfilePDU(PduFrameTable* table);
// Writes one 200-byte record: the command, then the argument and the
// terminator as far as they fit. 0, or -1 (252 for a missing file or
// command, 234 when the record did not reach the file).
int AddCommandAT(std::FILE* file, const char* command, const char* argument,
                 const char* terminator, std::uint16_t* err);
// Writes the whole script; the command count, or -1 with the code recorded.
int CreateATProfile(const char* path, const PduFrameTable* table, std::uint16_t* err);

// Frame file to script file. 0, or -1 with the code recorded.
int BuildScriptFile(std::uint16_t* err, bool consumeFrames);
