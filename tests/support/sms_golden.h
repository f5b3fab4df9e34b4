// The golden SMS-SUBMIT PDUs of tests/data/sms: PDUs with the decode that
// python3-gammu gives for them, and malformed PDUs with a word their
// refusal must name (tests/data/sms/make_golden.py writes them).
#pragma once

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace testing_support {

inline std::string SmsDataPath(const std::string& relative) {
  return std::string(MACRO_TEST_DATA_DIR) + "/sms/" + relative;
}

inline std::string ReadDataFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

// Undoes the \n, \r and \\ escapes of an expected text.
inline std::string Unescape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out.push_back(s[i]);
      continue;
    }
    const char c = s[++i];
    out.push_back(c == 'n' ? '\n' : c == 'r' ? '\r' : c);
  }
  return out;
}

struct GoldenSubmit {
  std::string name;
  std::string pdu;
  std::map<std::string, std::string> expect;  // smsc, number, reference, coding, class,
                                              // validity_minutes, concat, tpdu_octets, text
};

struct GoldenReject {
  std::string name;
  std::string pdu;
  std::string why;
};

inline std::vector<std::string> GoldenNames(const std::string& kind) {
  std::istringstream index(ReadDataFile(SmsDataPath("index.txt")));
  std::vector<std::string> names;
  std::string k, name;
  while (index >> k >> name) {
    if (k == kind) names.push_back(name);
  }
  return names;
}

inline std::vector<GoldenSubmit> GoldenSubmits() {
  std::vector<GoldenSubmit> out;
  for (const std::string& name : GoldenNames("submit")) {
    GoldenSubmit g;
    g.name = name;
    g.pdu = FirstLine(ReadDataFile(SmsDataPath("submit/" + name + ".pdu")));
    std::istringstream lines(ReadDataFile(SmsDataPath("submit/" + name + ".expect")));
    std::string line;
    while (std::getline(lines, line)) {
      const std::size_t colon = line.find(": ");
      if (colon == std::string::npos) continue;
      g.expect[line.substr(0, colon)] = Unescape(line.substr(colon + 2));
    }
    out.push_back(std::move(g));
  }
  return out;
}

inline const GoldenSubmit* FindGolden(const std::vector<GoldenSubmit>& all, const std::string& name) {
  for (const GoldenSubmit& g : all) {
    if (g.name == name) return &g;
  }
  return nullptr;
}

inline std::vector<GoldenReject> GoldenRejects() {
  std::vector<GoldenReject> out;
  for (const std::string& name : GoldenNames("reject")) {
    out.push_back({name, FirstLine(ReadDataFile(SmsDataPath("reject/" + name + ".pdu"))),
                   FirstLine(ReadDataFile(SmsDataPath("reject/" + name + ".why")))});
  }
  return out;
}

}  // namespace testing_support
