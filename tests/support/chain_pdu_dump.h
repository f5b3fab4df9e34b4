// Hands the PDUs a chain run sent to the independent decoder: each run
// leaves <name>.json in MACRO_CHAIN_PDU_DIR with the message every recipient
// must receive, the recipients and the PDUs in the order they went out;
// tests/check_chain_pdus_with_gammu.py decodes them after the test programs.
#pragma once

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "host/plugin.h"

namespace testing_support {

// UTF-8 of UCS2 text (the chain's texts have no surrogates).
inline std::string Utf8(const std::u16string& text) {
  std::string out;
  for (char16_t u : text) {
    if (u < 0x80) {
      out.push_back(static_cast<char>(u));
    } else if (u < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (u >> 6)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (u >> 12)));
      out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
  }
  return out;
}

inline std::string Json(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    auto u = static_cast<unsigned char>(c);
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

inline std::string JsonList(const std::vector<std::string>& items) {
  std::string out = "[";
  for (std::size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + Json(items[i]);
  return out + "]";
}

// `pdus` as hex text without Ctrl-Z; `recipients` as the phones see them.
inline void DumpChainPdus(const std::string& name, const std::u16string& message,
                          const std::vector<std::string>& recipients,
                          const std::vector<std::string>& pdus) {
  std::ofstream json(host::NativePath(MACRO_CHAIN_PDU_DIR) + "/" + name + ".json", std::ios::binary);
  json << "{\"message\": " << Json(Utf8(message)) << ", \"recipients\": " << JsonList(recipients)
       << ", \"pdus\": " << JsonList(pdus) << "}\n";
}

}  // namespace testing_support
