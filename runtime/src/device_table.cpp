#include "macro/device_table.h"

#include <cstring>

namespace {

struct NamedDevice {
  char name[6];
  unsigned char code;
  unsigned char kind;
};

constexpr NamedDevice kDevices[] = {
    {"LW", DeviceLW, KindWord},       {"LB", DeviceLB, KindBit},
    {"RW", DeviceRW, KindWord},       {"RB", DeviceRB, KindBit},
    {"RWI", DeviceRWI, KindWord},     {"RBI", DeviceRBI, KindBit},
    {"LW.B", DeviceLWBit, KindBit},   {"ERW0", DeviceERW0, KindWord},
    {"ERW1", DeviceERW1, KindWord},   {"ERW2", DeviceERW2, KindWord},
    {"ERWI0", DeviceERWI0, KindWord}, {"ERWI1", DeviceERWI1, KindWord},
    {"ERWI2", DeviceERWI2, KindWord}, {"FRW", DeviceFRW, KindWord},
    {"FRB", DeviceFRB, KindBit},      {"FRWI", DeviceFRWI, KindWord},
    {"FRBI", DeviceFRBI, KindBit},
};

// The write table spells code 249 with a small b.
constexpr char kLwBitWriteName[] = "LW.b";

}  // namespace

bool LookupDevice(const char* name, DeviceDirection direction, DeviceEntry* entry) {
  if (name == nullptr || entry == nullptr) return false;
  for (const NamedDevice& d : kDevices) {
    const char* spelled = d.name;
    if (d.code == DeviceLWBit && direction == DeviceForWrite) spelled = kLwBitWriteName;
    if (std::strcmp(name, spelled) == 0) {
      entry->code = d.code;
      entry->kind = d.kind;
      return true;
    }
  }
  return false;
}

const char* DeviceName(int code) {
  for (const NamedDevice& d : kDevices) {
    if (d.code == code) return d.name;
  }
  return nullptr;
}
