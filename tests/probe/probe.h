// The request record of the runtime probe, a test plug-in that runs one
// data-file helper per call so that the helpers can be driven, counted and
// failed through the real plug-in loader on every target.
#pragma once

#include <cstdint>

enum ProbeOp : std::uint32_t {
  ProbeLoadData = 1,        // four-argument form
  ProbeLoadDataAt = 2,      // five-argument form, with offset
  ProbeSaveData = 3,
  ProbeAppendData = 4,
  ProbeBeforeData = 5,
  ProbeLoadSaveData = 6,
  ProbeLoadProfile = 7,
  ProbeSaveProfile = 8,
  ProbeBlockCall = 9,       // read the view, set flags/state, write back
  ProbeErrorWordCall = 10,  // write LW 6007 only
  ProbeModemCommand = 11,   // place a command, clear the reply, raise LB 0
};

struct ProbeRequest {
  std::uint32_t op;
  const char* path;
  std::uint8_t* buffer;
  std::uint32_t length;
  std::int32_t offset;     // also the LW address of the profile operations
  std::int32_t direction;  // LoadSaveData; block call: 1 = fail the step
  const char* mode;        // LoadSaveData mode; modem command text
  std::uint32_t setFlags;  // block call: flags set on success
  std::uint32_t clearFlags;  // block call: flags cleared on failure
  std::int32_t viewWords;  // block call: 8 or 14
  std::uint16_t code;      // in: starting code word; out: recorded code
  std::int32_t result;     // out: helper result
  std::int32_t nullOut;    // pass a null out pointer
};
