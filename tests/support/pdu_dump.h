// Hands what the encoders wrote to the independent decoder: each case leaves
// its frame file and a JSON description of what every phone must receive in
// MACRO_PDU_DUMP_DIR, which tests/check_pdus_with_gammu.py reads after the
// test programs have run.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "host/plugin.h"
#include "host/workdir.h"

namespace testing_support {

inline std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", u);
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// `message` in UTF-8; `numbers` as the phones see them ("+79123456789").
inline void DumpFrames(const std::string& name, const std::string& frames,
                       const std::string& message, const std::vector<std::string>& numbers) {
  std::string dir = host::NativePath(MACRO_PDU_DUMP_DIR);
  std::ofstream(dir + "/" + name + ".frames", std::ios::binary) << frames;
  std::ofstream json(dir + "/" + name + ".json", std::ios::binary);
  json << "{\"message\": " << JsonString(message) << ", \"recipients\": [";
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    json << (i ? ", " : "") << JsonString(numbers[i]);
  }
  json << "]}\n";
}

}  // namespace testing_support
