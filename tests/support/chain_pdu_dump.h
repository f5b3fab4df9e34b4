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
#include "pdu_dump.h"
#include "text.h"

namespace testing_support {

inline std::string JsonList(const std::vector<std::string>& items) {
  std::string out = "[";
  for (std::size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + JsonString(items[i]);
  return out + "]";
}

// `pdus` as hex text without Ctrl-Z; `recipients` as the phones see them.
inline void DumpChainPdus(const std::string& name, const std::u16string& message,
                          const std::vector<std::string>& recipients,
                          const std::vector<std::string>& pdus) {
  std::ofstream json(host::NativePath(MACRO_CHAIN_PDU_DIR) + "/" + name + ".json", std::ios::binary);
  json << "{\"message\": " << JsonString(Utf8(message)) << ", \"recipients\": " << JsonList(recipients)
       << ", \"pdus\": " << JsonList(pdus) << "}\n";
}

}  // namespace testing_support
