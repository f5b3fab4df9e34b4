// Recipe registers (RW) through which the chain macros pass texts to one
// another, to the modem and to the panel's screens.
#pragma once

// Word addresses are 16-bit: an area ends after word 65535.
inline constexpr int kRegisterAreaWords = 65536;

// Phone numbers and their destination addresses.
inline constexpr int kPhoneCountAddress = 4;        // RW 4: number of phone numbers
inline constexpr int kPhoneNumberAddress = 5;       // RW 5 + 5i: ten ASCII digits
inline constexpr int kPhoneNumberWords = 5;
inline constexpr int kDestinationAddress = 30;      // RW 30 + 10i: encoded address text
inline constexpr int kDestinationWords = 10;

// The composer's block: two masks, a title and sixteen entry texts.
inline constexpr int kAlarmMaskAAddress = 90;       // RW 90
inline constexpr int kAlarmMaskBAddress = 91;       // RW 91
inline constexpr int kAlarmTitleAddress = 92;       // RW 92..111
inline constexpr int kAlarmTextAddress = 112;       // RW 112 + 20i

// The part encoder's block, laid out like the composer's ten words lower.
inline constexpr int kPartMaskAAddress = 80;        // RW 80
inline constexpr int kPartMaskBAddress = 81;        // RW 81
inline constexpr int kPartTitleAddress = 82;        // RW 82..101
inline constexpr int kPartTextAddress = 102;        // RW 102 + 20i

inline constexpr int kChainTextWords = 20;          // a title or entry text: 20 UCS2 units
inline constexpr int kChainEntries = 16;            // entries i = 0..15

// Status text: 200 bytes of ASCII, NUL-terminated and zero-filled.
inline constexpr int kStatusTextAddress = 432;      // RW 432..531
inline constexpr int kStatusTextWords = 100;

// The message area: composed text, part records or the part encoder's text.
inline constexpr int kMessageAreaAddress = 2000;    // RW 2000 onward
inline constexpr int kPartEncoderTextWords = 500;   // RW 2000..2499
