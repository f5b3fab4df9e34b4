#include "host/serial.h"

#include <cerrno>
#include <cstdio>
#include <chrono>
#include <cstring>
#include <thread>

#include "host/panel.h"
#include "macro/codes.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace host {
namespace {

constexpr int kCommandBytes = 200;
constexpr int kReplyAddress = 100;
constexpr int kReplyWords = 100;

// The lines of `text` that have any characters, without CR and LF.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      if (!line.empty()) lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

bool StartsWith(const std::string& s, const char* p) { return s.rfind(p, 0) == 0; }

#if !defined(_WIN32)
speed_t Speed(int baud) {
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return 0;
  }
}

bool MakeRaw(int fd, int baud, std::string* error) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) {
    if (error) *error = std::string("not a terminal: ") + std::strerror(errno);
    return false;
  }
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | CSTOPB);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  if (baud != 0) {
    speed_t s = Speed(baud);
    if (s == 0) {
      if (error) *error = "unsupported baud rate " + std::to_string(baud);
      return false;
    }
    cfsetispeed(&t, s);
    cfsetospeed(&t, s);
  }
  if (tcsetattr(fd, TCSANOW, &t) != 0) {
    if (error) *error = std::string("cannot set the line: ") + std::strerror(errno);
    return false;
  }
  return true;
}

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) {
        pollfd p{fd, POLLOUT, 0};
        ::poll(&p, 1, 100);
        continue;
      }
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string ReadAvailable(int fd, int timeoutMs) {
  std::string out;
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, timeoutMs) <= 0 || !(p.revents & POLLIN)) return out;
  char buf[512];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;
    out.append(buf, static_cast<std::size_t>(n));
    pollfd again{fd, POLLIN, 0};
    if (::poll(&again, 1, 0) <= 0) break;
  }
  return out;
}
#endif

}  // namespace

bool IsFinalModemAnswer(const std::string& text) {
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, "> ") == 0) return true;
  std::vector<std::string> lines = Lines(text);
  if (lines.empty()) return false;
  const std::string& last = lines.back();
  bool lineEnded = !text.empty() && (text.back() == '\n' || text.back() == '\r');
  if (!lineEnded) return false;
  return last == "OK" || last == "ERROR" || last == "NO CARRIER" || last == "BUSY" ||
         last == "NO ANSWER" || last == "NO DIALTONE" || StartsWith(last, "+CMS ERROR") ||
         StartsWith(last, "+CME ERROR");
}

SerialPort::~SerialPort() {
#if !defined(_WIN32)
  if (fd_ >= 0) ::close(fd_);
#endif
}

bool SerialPort::Open(const std::string& device, int baud, std::string* error) {
#if defined(_WIN32)
  (void)device;
  (void)baud;
  if (error) *error = "serial lines are not supported on this build";
  return false;
#else
  int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    if (error) *error = "cannot open " + device + ": " + std::strerror(errno);
    return false;
  }
  if (!MakeRaw(fd, baud, error)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
#endif
}

bool SerialPort::Write(const std::string& bytes, std::string* error) {
#if defined(_WIN32)
  (void)bytes;
  if (error) *error = "serial lines are not supported on this build";
  return false;
#else
  if (fd_ < 0 || !WriteAll(fd_, bytes)) {
    if (error) *error = std::string("write failed: ") + std::strerror(errno);
    return false;
  }
  return true;
#endif
}

std::string SerialPort::Read(int timeoutMs) {
#if defined(_WIN32)
  (void)timeoutMs;
  return {};
#else
  if (fd_ < 0) return {};
  return ReadAvailable(fd_, timeoutMs);
#endif
}

void SerialModemLink::Trace(std::uint32_t tick, const char* arrow, const std::string& text) {
  char stamp[24];
  std::snprintf(stamp, sizeof stamp, "%10u %s ", tick, arrow);
  std::string line = stamp + VisibleText(text);
  trace_.push_back(line);
  if (onTrace) onTrace(line);
}

bool SerialModemLink::AfterCall(Panel& panel) {
  bool lb0 = panel.Bit(DeviceLB, 0) != 0;
  bool flag = panel.transmitFlag != 0;
  if (!lb0 && !flag) return false;
  panel.Bit(DeviceLB, 0) = 0;
  panel.transmitFlag = 0;
  std::string command;
  for (int i = 0; i < kCommandBytes; ++i) {
    std::uint16_t w = panel.Word(DeviceLW, i / 2);
    char c = static_cast<char>(i % 2 == 0 ? (w & 0xFF) : (w >> 8));
    if (c == '\0') break;
    command += c;
  }
  Trace(panel.Ticks(), "->", command);
  std::string error;
  if (command.empty()) return true;
  if (!port_.Write(command, &error)) Trace(panel.Ticks(), "!!", error);
  answer_.clear();
  quiet_ = 0;
  waiting_ = true;
  return true;
}

void SerialModemLink::Place(Panel& panel) {
  std::string text = answer_.size() > 200 ? answer_.substr(answer_.size() - 200) : answer_;
  panel.PutText(DeviceLW, kReplyAddress, text, kReplyWords);
  Trace(panel.Ticks(), "<-", answer_);
  answer_.clear();
  waiting_ = false;
}

void SerialModemLink::Tick(Panel& panel, std::uint32_t n) {
  for (std::uint32_t i = 0; i < n; ++i) {
    // A tick is tickMs_ of real time, also when the line returns early (a
    // hang-up, or bytes that came at once).
    auto start = std::chrono::steady_clock::now();
    std::string bytes = port_.Read(tickMs_);
    std::this_thread::sleep_until(start + std::chrono::milliseconds(tickMs_));
    panel.Advance(1);
    if (!waiting_) {
      if (!bytes.empty()) Trace(panel.Ticks(), "!!", "unsolicited: " + bytes);
      continue;
    }
    if (bytes.empty()) {
      if (!answer_.empty() && ++quiet_ >= quietTicks) Place(panel);
      continue;
    }
    quiet_ = 0;
    answer_ += bytes;
    if (IsFinalModemAnswer(answer_)) Place(panel);
  }
}

std::string SerialModemLink::TraceText() const {
  std::string out;
  for (const std::string& l : trace_) out += l + "\n";
  return out;
}

std::string ModemExchange(SerialPort& port, const std::string& command, int timeoutMs) {
  std::string error;
  if (!port.Write(command + "\r", &error)) return {};
  std::string answer;
  int waited = 0;
  while (waited < timeoutMs && !IsFinalModemAnswer(answer)) {
    answer += port.Read(50);
    waited += 50;
  }
  return answer;
}

int ServeModemOnPty(EmulatedModem& modem, const std::function<void(const std::string&)>& ready,
                    const std::function<void(const ReceivedSms&)>& received,
                    const std::function<bool()>& stop, std::string* error) {
#if defined(_WIN32)
  (void)modem;
  (void)ready;
  (void)received;
  (void)stop;
  if (error) *error = "pseudo-terminals are not supported on this build";
  return 1;
#else
  int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    if (error) *error = std::string("cannot make a pseudo-terminal: ") + std::strerror(errno);
    if (master >= 0) ::close(master);
    return 1;
  }
  std::string path = ::ptsname(master);
  // Holding the terminal's other end open keeps the line up between clients
  // and lets us put it in raw mode before anyone else opens it.
  int slave = ::open(path.c_str(), O_RDWR | O_NOCTTY);
  if (slave < 0 || !MakeRaw(slave, 0, error)) {
    if (slave >= 0) ::close(slave);
    ::close(master);
    return 1;
  }
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  ready(path);
  std::size_t reported = 0;
  // After the stop condition the line stays up a little longer, so that the
  // last answers reach the client before the terminal goes away.
  int lingering = -1;
  while (lingering != 0) {
    if (lingering < 0 && stop()) lingering = 20;
    if (lingering > 0) --lingering;
    std::string bytes = ReadAvailable(master, 50);
    if (!bytes.empty()) modem.Receive(bytes);
    std::string out = modem.TakeOutput();
    if (!out.empty()) WriteAll(master, out);
    const auto& all = modem.inbox().All();
    for (; reported < all.size(); ++reported) received(all[reported]);
  }
  ::close(slave);
  ::close(master);
  return 0;
#endif
}

}  // namespace host
