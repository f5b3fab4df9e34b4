// UTF-8 and UCS2 text in tests: the host's conversions under short names.
#pragma once

#include <string>

#include "host/files.h"
#include "host/server_pipeline.h"

namespace testing_support {

inline std::u16string U16(const std::string& utf8) { return host::Utf8ToUcs2(utf8); }

inline std::string Utf8(const std::u16string& units) { return host::Utf16ToUtf8(units); }

}  // namespace testing_support
