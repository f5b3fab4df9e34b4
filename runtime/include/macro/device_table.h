// The device-name table behind xReadLocal and xWriteLocal.
#pragma once

#include "macro/codes.h"

struct DeviceEntry {
  int code;  // DeviceCode
  int kind;  // ElementKind
};

enum DeviceDirection : int { DeviceForRead = 0, DeviceForWrite = 1 };

// Looks an already trimmed name up, case-sensitively. Code 249 is "LW.B" for
// reading and "LW.b" for writing; each direction rejects the other spelling.
bool LookupDevice(const char* name, DeviceDirection direction, DeviceEntry* entry);

// The short name of a device code ("LW", "FRBI", ...), or nullptr.
const char* DeviceName(int code);
