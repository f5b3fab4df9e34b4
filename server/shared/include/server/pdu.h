// SMS-SUBMIT PDUs from the composed message: one upper-case hex text per
// recipient and part, as fixed 200-byte records of the PDU frame file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

inline constexpr int kHexPerPart = 156;      // 78 octets, 39 UCS2 units
inline constexpr int kPduBytes = 200;        // PDU buffer and frame record
inline constexpr int kUdhOctets = 6;         // UDHL and the concatenation element
inline constexpr int kMaxParts = 255;        // the part fields are 8 bits wide
inline constexpr int kMaxMessageUnits = kMaxParts * kHexPerPart / 4;  // 9945

// The loaded message and its parts.
struct MessageUserData {
  std::uint16_t characterCount;  // N
  std::uint16_t byteLength;      // 2N
  std::uint16_t frameCount;      // F
  const std::uint8_t* text;      // the units inside `loaded`, not owned
  char* hexText;                 // owned, 4N characters
  char** frameTable;             // owned, F pointers into hexText
  std::uint8_t* loaded;          // owned, count word and text
};

// Each pair of bytes (b0, b1) as the hex digits of b1 then b0: little-endian
// UCS2 units become big-endian hex. nullptr when out of memory.
char* HexEncodeASCII(const std::uint8_t* bytes, std::uint16_t length);
// A message reference 1..250 from a private generator seeded with the time
// in whole seconds, so the host's own generator is never touched.
std::uint16_t GetSMSId();
// Parts of 156 hex characters needed for the text; 0 for no text.
std::uint16_t GetSizeFrameList(const char* hexText);
// Stores F and builds the frame table; 0 when F is 0 or out of memory.
int InitFrameList(MessageUserData* data);
// Loads "SMSMessage.bin" and splits it; with `consume` the file is removed
// once it is loaded. nullptr with the code recorded on failure.
MessageUserData* InitUserData(std::uint16_t* err, bool consume);
int DeleteUserData(MessageUserData* data);

int AddSCAField(std::span<char> pdu, std::uint16_t* err);
int AddPDUTypeField(bool multiPart, std::span<char> pdu, std::uint16_t* err);
int AddMRField(std::span<char> pdu, std::uint16_t partNumber, std::uint16_t* err);
// PID, DCS, UDL and, for a part of several, the concatenation header.
char* CreateUDHField(bool multiPart, std::uint16_t textOctets, std::uint16_t reference,
                     std::uint16_t partCount, std::uint16_t partNumber, std::uint16_t* err);
// A zero-filled 200-byte buffer holding one PDU text; nullptr on failure.
char* CreatePDUFrame(std::uint16_t reference, std::uint16_t partCount, std::uint16_t partNumber,
                     const char* address, const char* partText, std::uint16_t* err);
// Appends the F records of one recipient to the frame file.
int CreatePDUMessage(const char* address, const MessageUserData* data, std::uint16_t* err);

// One complete encoder run short of reporting: load the message, read the
// recipients, write the frame file. 0, or -1 with the code recorded.
int EncodeMessageFrames(std::uint16_t* err, bool consumeMessage);
