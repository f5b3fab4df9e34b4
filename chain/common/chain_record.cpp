#include "chain_record.h"

#include "macro/bytes.h"

namespace {

std::uint8_t* WordAt(MacroWord record, int index) {
  if (record == 0 || index < 0) return nullptr;
  return reinterpret_cast<std::uint8_t*>(record) + 2 * index;
}

}  // namespace

std::uint16_t GetRecordWord(MacroWord record, int index) {
  const std::uint8_t* p = WordAt(record, index);
  return p == nullptr ? 0 : GetU16(p);
}

void PutRecordWord(MacroWord record, int index, std::uint16_t value) {
  std::uint8_t* p = WordAt(record, index);
  if (p != nullptr) PutU16(p, value);
}
