// The three settings records. Each file is the plain image of its register
// window: word k at byte offset 2k, low byte first.
#pragma once

#include <cstdint>

// "SMSProfile_1.bin", LW 6100..6103.
inline constexpr char kSendSettingsFile[] = "SMSProfile_1.bin";
inline constexpr int kSendSettingsAddress = 6100;
inline constexpr int kSendSettingsWords = 4;
enum SendSettingsWord : int {
  SettingScheduleEnabled = 0,
  SettingSendMode = 1,
  SettingSendInterval = 2,  // units of 600 ticks
  SettingReplyTimeout = 3,  // units of 10 ticks
};

// "SMSProfile_2.bin", LW 6200..6245: a count and three 30-byte entries.
inline constexpr char kRecipientListFile[] = "SMSProfile_2.bin";
inline constexpr int kRecipientListAddress = 6200;
inline constexpr int kRecipientListWords = 46;
inline constexpr int kRecipientListBytes = 92;
inline constexpr int kMaxRecipients = 3;
inline constexpr int kRecipientEntryBytes = 30;
inline constexpr int kPhoneNumberBytes = 10;
inline constexpr int kAddressBytes = 20;
inline constexpr int kMaxAddressChars = 16;

inline constexpr int RecipientNumberOffset(int i) { return 2 + kRecipientEntryBytes * i; }
inline constexpr int RecipientAddressOffset(int i) { return 12 + kRecipientEntryBytes * i; }

// "SMSProfile_3.bin", LW 6300..6719: a title and sixteen 25-word events.
inline constexpr char kMessageTemplateFile[] = "SMSProfile_3.bin";
inline constexpr int kMessageTemplateAddress = 6300;
inline constexpr int kMessageTemplateWords = 420;
inline constexpr int kMessageTemplateBytes = 840;
inline constexpr int kTextUnits = 20;   // title and event texts, UCS2 units
inline constexpr int kEventCount = 16;
inline constexpr int kEventWords = 25;  // enabled, four reserved words, text
inline constexpr int kFirstEventWord = 20;
inline constexpr int kEventTextWord = 5;  // within an event entry

// The message the composers write and the encoders read.
inline constexpr char kMessageFile[] = "SMSMessage.bin";
// The PDU frame file the encoders write and the script builders read.
inline constexpr char kFrameFile[] = "SMSMessage.txt";
inline constexpr int kFrameRecordBytes = 200;
// The AT script the builders write and the transmitters send.
inline constexpr char kScriptFile[] = "SMSMessage.at";
