// The host-owned record behind parameter word 6. It has no alignment
// guarantee, so every word is read and written as two bytes, low byte first.
#pragma once

#include <cstdint>

#include "macro/abi.h"

// Word `index` of the record at `record`; 0 when the host passed no record.
std::uint16_t GetRecordWord(MacroWord record, int index);
// Stores `value` into word `index`; nothing when the host passed no record.
void PutRecordWord(MacroWord record, int index, std::uint16_t value);
