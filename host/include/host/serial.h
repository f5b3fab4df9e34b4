// Real modems on a serial line, and the emulated modem served on a
// pseudo-terminal so that any program can talk to it. POSIX only: on Windows
// builds Open and Serve report that serial lines are not supported.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/modem.h"

namespace host {

// A serial line in raw mode (8N1, no flow control, no echo, no line editing).
class SerialPort {
 public:
  SerialPort() = default;
  ~SerialPort();
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  bool Open(const std::string& device, int baud, std::string* error);
  bool IsOpen() const { return fd_ >= 0; }
  bool Write(const std::string& bytes, std::string* error);
  // Reads what arrives within `timeoutMs` milliseconds (at least one byte when
  // any comes, everything available after that). "" on time-out.
  std::string Read(int timeoutMs);

 private:
  int fd_ = -1;
};

// Whether `text`, the bytes a modem sent since a command, holds a final
// answer: a result code line (OK, ERROR, +CMS ERROR, +CME ERROR, NO CARRIER,
// ...) or the "> " prompt of AT+CMGS.
bool IsFinalModemAnswer(const std::string& text);

// The host's side of a real modem: commands leave as the plug-ins raise
// them, answers are placed in LW 100..199 once they are final (or the line
// has been quiet for `quietTicks` after some bytes), and each tick is
// `tickMs` milliseconds of real time.
class SerialModemLink : public ModemPort {
 public:
  explicit SerialModemLink(SerialPort& port, int tickMs = 100) : port_(port), tickMs_(tickMs) {}

  bool AfterCall(Panel& panel) override;
  void Tick(Panel& panel, std::uint32_t n = 1) override;
  std::string TraceText() const override;

  std::uint32_t quietTicks = 5;
  // Called with each trace line as it happens (live traces).
  std::function<void(const std::string&)> onTrace;

 private:
  void Trace(std::uint32_t tick, const char* arrow, const std::string& text);
  void Place(Panel& panel);
  SerialPort& port_;
  int tickMs_;
  bool waiting_ = false;
  std::string answer_;
  std::uint32_t quiet_ = 0;
  std::vector<std::string> trace_;
};

// Serves the emulated modem on a new pseudo-terminal. `ready` gets the path
// of the terminal to open; `received` each SMS as it completes. Runs until
// `stop` returns true (checked about every 50 ms) or the process is told to
// stop. Returns 0, or 1 with a reason when no terminal could be made.
int ServeModemOnPty(EmulatedModem& modem, const std::function<void(const std::string&)>& ready,
                    const std::function<void(const ReceivedSms&)>& received,
                    const std::function<bool()>& stop, std::string* error);

// Sends one command and collects the answer until it is final or
// `timeoutMs` passes. Used by `panelsim modem check`.
std::string ModemExchange(SerialPort& port, const std::string& command, int timeoutMs);

}  // namespace host
