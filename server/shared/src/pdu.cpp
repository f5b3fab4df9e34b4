#include "server/pdu.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "macro/codes.h"
#include "macro/memory.h"
#include "macro/server.h"
#include "macro/text.h"
#include "server/settings.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void PutHexByte(char* at, unsigned value) {
  at[0] = kHexDigits[(value >> 4) & 0xF];
  at[1] = kHexDigits[value & 0xF];
}

// Appends at most `max` characters of text after the PDU's current end.
// False when the text would not fit with its terminator.
bool Append(std::span<char> pdu, const char* text, std::size_t max) {
  std::size_t end = charlen(pdu.data(), pdu.size());
  std::size_t n = charlen(text, max);
  if (end >= pdu.size() || n > pdu.size() - end - 1) return false;
  std::memcpy(pdu.data() + end, text, n);
  pdu[end + n] = '\0';
  return true;
}

bool AppendHexByte(std::span<char> pdu, unsigned value) {
  char two[3] = {0, 0, 0};
  PutHexByte(two, value & 0xFF);
  return Append(pdu, two, 2);
}

int Fail(int code, std::uint16_t* err) {
  SetError(code, err);
  return -1;
}

// A small generator of our own: the time in whole seconds, mixed.
std::uint32_t MixSeed(std::uint32_t x) {
  x ^= x >> 16;
  x *= 0x7FEB352Du;
  x ^= x >> 15;
  x *= 0x846CA68Bu;
  x ^= x >> 16;
  return x;
}

// The recipient's destination address, or nullptr when the field is not a
// NUL-terminated text of at most 16 characters.
const char* AddressOf(const std::uint8_t* list, int i) {
  const char* field = reinterpret_cast<const char*>(list + RecipientAddressOffset(i));
  std::size_t n = charlen(field, kAddressBytes);
  if (n == kAddressBytes || n > kMaxAddressChars) return nullptr;
  return field;
}

}  // namespace

char* HexEncodeASCII(const std::uint8_t* bytes, std::uint16_t length) {
  if (bytes == nullptr && length != 0) return nullptr;
  std::size_t n = length & ~1u;
  char* hex = AllocZeroed<char>(2 * static_cast<std::size_t>(length) + 1);
  if (hex == nullptr) return nullptr;
  for (std::size_t i = 0; i < n; i += 2) {
    PutHexByte(hex + 2 * i, bytes[i + 1]);
    PutHexByte(hex + 2 * i + 2, bytes[i]);
  }
  return hex;
}

std::uint16_t GetSMSId() {
  std::uint32_t r = MixSeed(static_cast<std::uint32_t>(std::time(nullptr)));
  return static_cast<std::uint16_t>(r % 250u + 1u);
}

std::uint16_t GetSizeFrameList(const char* hexText) {
  if (hexText == nullptr) return 0;
  auto h = static_cast<std::uint16_t>(std::strlen(hexText));
  return static_cast<std::uint16_t>(h / kHexPerPart + (h % kHexPerPart != 0 ? 1 : 0));
}

int InitFrameList(MessageUserData* data) {
  if (data == nullptr) return 0;
  data->frameCount = GetSizeFrameList(data->hexText);
  if (data->frameCount == 0) return 0;
  data->frameTable = AllocZeroed<char*>(data->frameCount);
  if (data->frameTable == nullptr) return 0;
  for (std::size_t k = 0; k < data->frameCount; ++k) {
    data->frameTable[k] = data->hexText + kHexPerPart * k;
  }
  return 1;
}

int DeleteUserData(MessageUserData* data) {
  if (data == nullptr) return -1;
  std::free(data->frameTable);
  std::free(data->hexText);
  std::free(data->loaded);
  std::free(data);
  return 0;
}

MessageUserData* InitUserData(std::uint16_t* err, bool consume) {
  auto* data = AllocZeroed<MessageUserData>(1);
  if (data == nullptr) {
    SetError(ErrOutOfMemory, err);
    return nullptr;
  }
  auto fail = [data, err](int code) {
    DeleteUserData(data);
    SetError(code, err);
    return static_cast<MessageUserData*>(nullptr);
  };
  std::uint8_t count[2];
  if (LoadData(kMessageFile, count, err) != 0) return fail(ErrInputRead);
  data->characterCount = static_cast<std::uint16_t>(count[0] | (count[1] << 8));
  // More units than 255 parts carry would wrap the part fields and the
  // 16-bit lengths: such a message cannot be sent as it is.
  if (data->characterCount > kMaxMessageUnits) return fail(ErrInputRead);
  data->byteLength = static_cast<std::uint16_t>(2u * data->characterCount);
  std::size_t loadedBytes = data->byteLength + 2u;
  data->loaded = AllocZeroed<std::uint8_t>(loadedBytes);
  if (data->loaded == nullptr) return fail(ErrOutOfMemory);
  if (LoadData(kMessageFile, std::span<std::uint8_t>(data->loaded, loadedBytes), err) != 0) {
    return fail(ErrInputRead);
  }
  data->text = data->loaded + 2;
  data->hexText = HexEncodeASCII(data->text, data->byteLength);
  if (data->hexText == nullptr) return fail(ErrOutOfMemory);
  if (InitFrameList(data) == 0) return fail(ErrOutOfMemory);
  if (consume) (void)std::remove(kMessageFile);
  return data;
}

int AddSCAField(std::span<char> pdu, std::uint16_t* err) {
  if (pdu.data() == nullptr) return Fail(ErrNullArgument, err);
  return Append(pdu, "00", 2) ? 0 : Fail(ErrOutputWrite, err);
}

int AddPDUTypeField(bool multiPart, std::span<char> pdu, std::uint16_t* err) {
  if (pdu.data() == nullptr) return Fail(ErrNullArgument, err);
  return Append(pdu, multiPart ? "41" : "01", 2) ? 0 : Fail(ErrOutputWrite, err);
}

int AddMRField(std::span<char> pdu, std::uint16_t partNumber, std::uint16_t* err) {
  if (pdu.data() == nullptr) return Fail(ErrNullArgument, err);
  unsigned mr = partNumber == 0 ? 0u : (partNumber - 1u) & 0xFFu;
  return AppendHexByte(pdu, mr) ? 0 : Fail(ErrOutputWrite, err);
}

char* CreateUDHField(bool multiPart, std::uint16_t textOctets, std::uint16_t reference,
                     std::uint16_t partCount, std::uint16_t partNumber, std::uint16_t* err) {
  constexpr std::size_t kFieldBytes = 20;
  char* field = AllocZeroed<char>(kFieldBytes);
  if (field == nullptr) {
    SetError(ErrOutOfMemory, err);
    return nullptr;
  }
  std::span<char> out(field, kFieldBytes);
  unsigned udl = (textOctets + (multiPart ? kUdhOctets : 0u)) & 0xFFu;
  Append(out, "0008", 4);  // PID 00, DCS 08 (UCS2)
  AppendHexByte(out, udl);
  if (multiPart) {
    Append(out, "050003", 6);  // UDHL 5, IEI 00, IEDL 3
    AppendHexByte(out, reference);
    AppendHexByte(out, partCount);
    AppendHexByte(out, partNumber);
  }
  return field;
}

char* CreatePDUFrame(std::uint16_t reference, std::uint16_t partCount, std::uint16_t partNumber,
                     const char* address, const char* partText, std::uint16_t* err) {
  if (address == nullptr || partText == nullptr) {
    SetError(ErrNullArgument, err);
    return nullptr;
  }
  bool multiPart = partCount > 1;
  Owned<char> frame(AllocZeroed<char>(kPduBytes));
  if (!frame) {
    SetError(ErrOutOfMemory, err);
    return nullptr;
  }
  std::span<char> pdu(frame.get(), kPduBytes);
  if (AddSCAField(pdu, err) != 0 || AddPDUTypeField(multiPart, pdu, err) != 0 ||
      AddMRField(pdu, partNumber, err) != 0) {
    return nullptr;
  }
  if (!Append(pdu, address, kMaxAddressChars)) {
    SetError(ErrOutputWrite, err);
    return nullptr;
  }
  auto textChars = static_cast<std::uint16_t>(charlen(partText, kHexPerPart));
  Owned<char> udh(CreateUDHField(multiPart, textChars / 2, reference, partCount, partNumber, err));
  if (!udh) return nullptr;
  if (!Append(pdu, udh.get(), 18) || !Append(pdu, partText, kHexPerPart)) {
    SetError(ErrOutputWrite, err);
    return nullptr;
  }
  return frame.release();
}

int CreatePDUMessage(const char* address, const MessageUserData* data, std::uint16_t* err) {
  if (address == nullptr || data == nullptr) return Fail(ErrNullArgument, err);
  std::uint16_t reference = GetSMSId();
  for (std::uint16_t k = 0; k < data->frameCount; ++k) {
    Owned<char> frame(CreatePDUFrame(reference, data->frameCount, static_cast<std::uint16_t>(k + 1),
                                     address, data->frameTable[k], err));
    if (!frame) return Fail(ErrOutputWrite, err);
    if (AppendData(kFrameFile,
                   std::span<const std::uint8_t>(reinterpret_cast<std::uint8_t*>(frame.get()),
                                                 kPduBytes),
                   err) != 0) {
      return Fail(ErrOutputWrite, err);
    }
  }
  return 0;
}

int EncodeMessageFrames(std::uint16_t* err, bool consumeMessage) {
  MessageUserData* data = InitUserData(err, consumeMessage);
  if (data == nullptr) return -1;
  struct Release {
    MessageUserData* d;
    ~Release() { DeleteUserData(d); }
  } release{data};

  std::uint8_t list[kRecipientListBytes];
  if (LoadData(kRecipientListFile, list, err) != 0) return Fail(ErrRecipientsRead, err);
  // The record holds three entries; a larger count never reads past it.
  std::uint16_t recipients = static_cast<std::uint16_t>(list[0] | (list[1] << 8));
  if (recipients > kMaxRecipients) recipients = kMaxRecipients;
  const char* addresses[kMaxRecipients] = {};
  for (int i = 0; i < recipients; ++i) {
    addresses[i] = AddressOf(list, i);
    if (addresses[i] == nullptr) return Fail(ErrRecipientsRead, err);
  }

  auto records = static_cast<std::uint16_t>(recipients * data->frameCount);
  std::uint8_t countWord[2] = {static_cast<std::uint8_t>(records),
                               static_cast<std::uint8_t>(records >> 8)};
  if (SaveData(kFrameFile, countWord, err) != 0) return -1;
  for (int i = 0; i < recipients; ++i) {
    if (CreatePDUMessage(addresses[i], data, err) != 0) return -1;
  }
  return 0;
}
