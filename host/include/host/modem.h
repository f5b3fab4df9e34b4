// The emulated GSM modem behind the substitute host's serial link, and the
// link that couples it to a Panel's registers.
//
// EmulatedModem works on byte streams: Receive() takes what the terminal
// sends, TakeOutput() or TakeAnswers() hand back what the modem sends. It
// speaks V.250 command lines ("AT...", any case, ended by CR; LF and spaces
// between lines are skipped, an empty line is ignored, a line without the AT
// prefix is an error), answers with verbose result codes framed "\r\nOK\r\n"
// (ATV0: numeric codes), echoes by default (ATE0 turns echo off), and sends
// SMS in PDU mode after 3GPP TS 27.005:
//
//   AT+CMGS=<n>\r     -> "\r\n> "  (n: octets after the service-centre field, 7..164)
//   <hex PDU>^Z       -> "\r\n+CMGS: <mr>\r\n\r\nOK\r\n", or "\r\n+CMS ERROR: 304\r\n" when the
//                        hex is malformed, the octet count differs from <n> or the TPDU is not
//                        a well-formed SMS-SUBMIT (the reason is in ModemAnswer::note)
//   <hex PDU><Esc>    -> "\r\nOK\r\n", nothing sent
//
// It also accepts "AT+CMGF=0" (PDU mode; "=1" is refused with +CMS ERROR: 303,
// this modem has no text mode), "AT+CSCS=\"UCS2\"" (and "GSM", "IRA", "HEX",
// "8859-1"), "at^sics=<profile>,<tag>,<value>" (recorded in
// connectionSettings()), the start-up queries of an AT client (AT+CPIN?,
// AT+CREG?, AT+CSQ, AT+CSCA?, AT+CGMI, AT+CGMM, AT+CGMR, AT+CGSN, AT+CIMI,
// ATI, ATZ, AT&F, AT+CMEE, AT+CNMI, ...), and answers "ERROR" to anything
// else. Several commands may share a line ("ATE0V1", "AT+CMEE=1;+CREG?").
//
// Echo and answers of one input (a command line, or a PDU up to its Ctrl-Z or
// Esc) come back together when the input is complete, not character by
// character: a host that waits for whole answers cannot tell, and it lets a
// fault swallow an input whole. PDU characters are echoed, Ctrl-Z is not.
//
// Every accepted SMS-SUBMIT is decoded (host/sms.h), kept in sent() and
// filed in inbox(), which reassembles concatenated parts per phone number.
//
// ModemLink couples the modem to a Panel the way the plug-ins expect it:
//
//   after a plug-in call   LB 0 or the transmit flag raised -> the text of LW 0..99 up to its
//                          first NUL (at most 200 bytes) goes to the modem, LB 0 and the flag
//                          go back to 0
//   answerDelay ticks on   everything the modem sent in reply to that text is written to
//                          LW 100..199, NUL-padded; an answer longer than 200 bytes keeps its
//                          last 200 (the final result code is what every reader judges)
//   no reply at all        nothing is written (an empty command, the first half of a PDU
//                          without Ctrl-Z, a silent fault)
//
// Answers keep their order: one that falls due behind a late one waits for
// it. Each delivery overwrites the whole of LW 100..199.
//
// Typical use in a test:
//
//   host::ModemLink link;                              // answers 1 tick after the command
//   link.modem.faults.push_back(host::ModemFault::Silent("AT+CMGS"));
//   for (...) { plugin->Call(panel, call); link.AfterCall(panel); link.Tick(panel); }
//   EXPECT_EQ(link.modem.inbox().For("+79161234567")[0].text, "Привет");
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/sms.h"

namespace host {

class Panel;

// ---------------------------------------------------------------------------
// Faults on demand.

enum class ModemFaultKind : std::uint8_t {
  Error,    // the input is not carried out; the modem answers "ERROR" (or `answer`)
  Silent,   // the input is lost: not carried out, not echoed, not answered
  Late,     // carried out; its answer reaches LW 100..199 `ticks` later than usual
  Garbage,  // carried out; the whole reply is replaced by line noise (or `answer`)
  Restart,  // the modem restarts on it: the input is lost, so are every setting (echo comes
            // back on) and a PDU in progress; it answers nothing but ModemOptions::bootBanner
};

// A fault hits the inputs whose text starts with `command` (compared in any
// case): a command line as received without its CR ("AT+CMGS=17"), or, for a
// PDU, "<PDU>" followed by its hex. "" hits every input, "<PDU>" every PDU.
// nth 0 hits every matching input; nth n the nth matching one (1-based), and
// with `persistent` every later one too. A fault may hit inputs of any kind.
// When several faults hit one input, their Late ticks add up and the first
// hit of another kind decides what happens.
struct ModemFault {
  ModemFaultKind kind = ModemFaultKind::Error;
  std::string command;
  int nth = 0;
  bool persistent = false;
  std::uint32_t ticks = 0;  // Late: extra ticks
  std::string answer;       // Error, Garbage: the bytes to send instead of the default
  int seen = 0;             // matching inputs so far (kept by the modem)

  static ModemFault Error(std::string command, int nth = 0);
  static ModemFault Silent(std::string command, int nth = 0);
  static ModemFault Late(std::string command, std::uint32_t ticks, int nth = 0);
  static ModemFault Garbage(std::string command, int nth = 0);
  static ModemFault Restart(std::string command, int nth = 0);
};

inline constexpr std::string_view kPduFaultPrefix = "<PDU>";
// What a Garbage fault sends unless told otherwise: no "OK", "ERROR" or '>'.
inline constexpr std::string_view kModemGarbage = "\r\n#~%\x7f?\xff$\r\n";

// ---------------------------------------------------------------------------
// The modem.

struct ModemOptions {
  std::string serviceCentre = "+4915550100000";  // AT+CSCA; "" makes a PDU without one fail (330)
  int firstMessageReference = 1;                  // the first +CMGS: <mr>; counts on modulo 256
  std::string bootBanner;                         // sent after each restart ("" sends nothing)
};

// Settings a restart, ATZ or AT&F returns to their defaults.
struct ModemSettings {
  bool echo = true;
  bool verbose = true;       // ATV1: "OK"; ATV0: "0"
  int errorReports = 0;      // AT+CMEE: 0 "ERROR", 1 "+CME ERROR: <n>", 2 verbose
  std::string charset = "GSM";
  std::string serviceCentre;
  int registrationReports = 0;  // AT+CREG=<n>
  std::string newMessageIndications = "0,0,0,0,0";  // AT+CNMI
};

// What the modem sent back for one input, in the order of the inputs.
struct ModemAnswer {
  std::uint32_t index = 0;  // 1-based number of the input since the modem was made; 0: start-up
  std::string input;        // the command line without CR, or the PDU's hex
  bool pdu = false;         // the input was PDU text, ended by Ctrl-Z or Esc
  std::string bytes;        // echo and answer as sent; empty when nothing was sent
  std::uint32_t delay = 0;  // extra ticks from Late faults
  std::string note;         // why a PDU was refused, which fault hit; empty otherwise
};

// An SMS-SUBMIT the modem accepted.
struct SentSms {
  int reference = 0;  // the <mr> answered
  std::string hex;    // the PDU as received
  SmsSubmit pdu;
};

class EmulatedModem {
 public:
  explicit EmulatedModem(ModemOptions options = {});
  ~EmulatedModem();
  EmulatedModem(const EmulatedModem&) = delete;
  EmulatedModem& operator=(const EmulatedModem&) = delete;

  // Bytes from the terminal, in pieces of any size.
  void Receive(std::string_view bytes);
  // Everything the modem sent since the last take, as one byte stream.
  std::string TakeOutput();
  // The same, one entry per completed input (entries with no bytes included).
  std::vector<ModemAnswer> TakeAnswers();
  // Power cycle: settings back to defaults, a half-typed line or PDU dropped.
  void Restart();
  // Gives up a PDU in progress without a word, as a modem with an input
  // time-out does: back to command lines, nothing sent, nothing answered.
  void AbandonPdu();

  bool AwaitingPdu() const;
  const ModemSettings& settings() const;
  const ModemOptions& options() const;
  const SmsInbox& inbox() const;
  const std::vector<SentSms>& sent() const;
  // The parameters of every at^sics command, as given ("0,apn,internet").
  const std::vector<std::string>& connectionSettings() const;
  int restarts() const;
  // Forgets what it sent, the inbox (incomplete messages too) and the
  // connection settings, as a long run does between messages to stay flat.
  void ClearRecords();
  std::uint32_t inputs() const;  // command lines and PDUs completed so far

  std::vector<ModemFault> faults;

 private:
  struct Core;
  std::unique_ptr<Core> core_;
};

// ---------------------------------------------------------------------------
// The link between a Panel and the modem.

enum class ModemTraceKind : std::uint8_t {
  Command,  // text taken from LW 0..99 and sent to the modem
  Answer,   // text placed in LW 100..199
  Note,     // what else happened: a refused PDU, a fault, no answer
};

struct ModemTraceEntry {
  std::uint32_t tick;  // LW 9034..9035 when it happened
  ModemTraceKind kind;
  std::string text;
};

// What the host does with a raised request: the emulated modem in virtual
// time (ModemLink), or a real modem on a serial line (host/serial.h).
class ModemPort {
 public:
  virtual ~ModemPort() = default;
  // Call after every plug-in call: moves a raised LB 0 or transmit flag's
  // command to the modem and resets the request. Returns whether there was one.
  virtual bool AfterCall(Panel& panel) = 0;
  // Lets n ticks of LW 9034..9035 pass, placing answers in LW 100..199.
  virtual void Tick(Panel& panel, std::uint32_t n = 1) = 0;
  // The traffic so far, one line per command, answer or note.
  virtual std::string TraceText() const = 0;
};

class ModemLink : public ModemPort {
 public:
  explicit ModemLink(ModemOptions options = {});

  EmulatedModem modem;
  std::uint32_t answerDelay = 1;  // ticks from a command to its answer; 0 answers within AfterCall
  // Ticks the modem waits for a complete PDU after its prompt before it
  // gives the PDU up (AbandonPdu); 0 waits for ever, as 3GPP TS 27.005 has it.
  std::uint32_t pduTimeout = 0;

  // Call after every plug-in call: moves a raised request to the modem.
  // Returns whether there was one.
  bool AfterCall(Panel& panel) override;
  // Advances the tick counter by n, placing each answer at the tick it falls due.
  void Tick(Panel& panel, std::uint32_t n = 1) override;
  // Places the answers due at the current tick (for tests that move the tick themselves).
  void Deliver(Panel& panel);
  bool AnswerPending() const { return !pending_.empty(); }

  const std::vector<ModemTraceEntry>& trace() const { return trace_; }
  // Forgets the trace and gives its memory back.
  void ClearTrace() { std::vector<ModemTraceEntry>().swap(trace_); }
  // The trace one entry per line: tick, "->" command, "<-" answer or "!!" note,
  // control characters made visible.
  std::string TraceText() const override;

 private:
  struct Pending {
    std::string bytes;
    std::uint32_t sentAt;
    std::uint32_t delay;
  };
  std::vector<Pending> pending_;
  std::uint32_t pduSince_ = 0;  // tick of the command that prompted for a PDU
  std::vector<ModemTraceEntry> trace_;
};

// Bytes with CR, LF, Ctrl-Z, Esc and other control or non-ASCII bytes
// written as \r, \n, ^Z, <ESC> and \xNN.
std::string VisibleText(std::string_view bytes);

}  // namespace host
