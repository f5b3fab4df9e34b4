// panelsim soak: a long run of both generations in virtual time against an
// emulated modem with faults. Messages go in turn through the server pipeline
// (flag-chained and error-word plug-ins) and through the chain; event masks,
// alarm masks, texts, recipients and settings change at random, and the
// modem answers ERROR, stays silent, answers late, answers garbage or
// restarts. Every raised send must end with every recipient holding the
// message exactly once, or with a result code (server) or an error text
// (chain) that says why; anything else is a violation. The heap must stay
// flat. The generator is seeded: a run repeats exactly with its --seed.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli.h"
#include "commands.h"
#include "host/chain.h"
#include "host/files.h"
#include "host/modem.h"
#include "host/panel.h"
#include "host/plugin.h"
#include "host/server_pipeline.h"
#include "host/workdir.h"
#include "macro/chain_registers.h"
#include "macro/codes.h"
#include "macro/registers.h"

// Under ASan the heap is the sanitizer's allocator; elsewhere glibc's.
#if defined(__SANITIZE_ADDRESS__)
#define SOAK_SANITIZER_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SOAK_SANITIZER_HEAP 1
#endif
#endif
#if defined(SOAK_SANITIZER_HEAP)
// The sanitizer runtime's count (sanitizer/allocator_interface.h, which not
// every compiler installs).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#elif defined(__GLIBC__)
#include <malloc.h>
#endif

namespace panelsim {
namespace {

// ---- Repeatable randomness ---------------------------------------------------

// SplitMix64: the same numbers from the same seed on every system.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 .. n-1
  std::uint32_t Below(std::uint32_t n) { return n == 0 ? 0 : static_cast<std::uint32_t>(Next() % n); }
  bool Chance(std::uint32_t percent) { return Below(100) < percent; }
  template <typename T>
  const T& Pick(const std::vector<T>& items) { return items[Below(static_cast<std::uint32_t>(items.size()))]; }

 private:
  std::uint64_t state_;
};

// ---- The heap ------------------------------------------------------------------

// Bytes allocated now, or -1 where the system does not say.
long long HeapInUse() {
#if defined(SOAK_SANITIZER_HEAP)
  return static_cast<long long>(__sanitizer_get_current_allocated_bytes());
#elif defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
  return static_cast<long long>(mallinfo2().uordblks);
#else
  return -1;
#endif
}

// ---- Texts and numbers ---------------------------------------------------------

const std::vector<std::string> kTitles = {"Boiler house 2", "Котельная №2", "Pump station", "",
                                          "Насосная", "Substation 110kV", "Цех 5"};
const std::vector<std::string> kEvents = {
    "Pressure high", "Давление выше нормы", "Flame out", "Пламя погасло", "Pump 3 stopped",
    "Насос 3 остановлен", "Gas leak", "Утечка газа", "Door open", "",
    "Temperature low", "Температура низкая", "Power failure", "Нет питания 380В", "Level high",
    "Уровень высокий"};

std::string Digits(Random& r, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s.push_back(static_cast<char>('0' + r.Below(10)));
  return s;
}

std::u16string Ascii16(const std::string& s) { return std::u16string(s.begin(), s.end()); }

std::u16string First20(const std::string& utf8) { return host::Utf8ToUcs2(utf8).substr(0, 20); }

// The server's state, the 32-bit pair at word 5 of the control block.
constexpr int kServerStateAddress = kControlBlockAddress + 5;

// ---- Faults ----------------------------------------------------------------------

const char* const kFaultNames[] = {"error", "silence", "late answer", "garbage", "restart"};

const std::vector<std::string> kFaultTargets = {"",        "AT",       "ATE0",  "AT+CMGF",
                                                "AT+CSCS", "AT+CMGS",  "<PDU>", "<PDU>"};

struct Tally {
  std::map<std::string, int> outcomes;  // "delivered", "229 ErrModemError", an error text ...
  int sends = 0;
  int delivered = 0;
  int failed = 0;
  int notRaised = 0;
  int violations = 0;
};

struct SoakOptions {
  std::string plugins = DefaultPluginDir();
  long messages = 1000;
  std::uint64_t seed = 1;
  int faultPercent = 35;
  std::uint32_t pduTimeout = 600;  // ticks the modem waits for PDU text; 0: for ever
  bool verbose = false;
};

class Soak {
 public:
  explicit Soak(const SoakOptions& o) : o_(o), random_(o.seed) {}

  bool Load(std::string* error);
  int Run();

 private:
  enum Generation { ServerFlags, ServerWord, Chain };

  void ArmFaults(host::ModemLink& link, Generation g);
  void Violation(long message, const std::string& what);
  void ServerMessage(long message, Generation g);
  void ChainMessage(long message);
  void NewServerSettings();
  void NewRecipe();
  bool Delivered(const host::EmulatedModem& modem, const std::vector<std::string>& numbers,
                 const std::u16string& text, std::string* why);

  SoakOptions o_;
  Random random_;
  host::WorkDir work_;
  host::Panel serverPanel_;
  host::Panel chainPanel_;
  host::ModemLink serverLink_;
  host::ModemLink chainLink_;
  std::unique_ptr<host::ServerPipeline> flags_;
  std::unique_ptr<host::ServerPipeline> word_;
  std::unique_ptr<host::Plugin> encoder_;
  std::unique_ptr<host::ChainDispatcher> chain_;
  host::ServerSettings settings_;
  std::vector<std::string> chainNumbers_;
  Tally tally_[3];
  std::map<std::string, int> faults_;
  int restartAt_ = -1;  // call after which the modem restarts, -1: none
  int calls_ = 0;
};

bool Soak::Load(std::string* error) {
  flags_ = std::make_unique<host::ServerPipeline>(o_.plugins, host::ServerChain::FlagChained);
  word_ = std::make_unique<host::ServerPipeline>(o_.plugins, host::ServerChain::ErrorWordOnly);
  if (!flags_->Load(error) || !word_->Load(error)) return false;
  encoder_ = host::Plugin::Load(o_.plugins + "/" + host::PluginFileName("link_encode_number"), error);
  if (!encoder_) return false;
  chain_ = std::make_unique<host::ChainDispatcher>(chainPanel_);
  if (!chain_->AttachChain(o_.plugins, error)) return false;
  // A restart at a chosen call, wherever the message is.
  auto restart = [this](host::ModemLink& link) {
    if (++calls_ == restartAt_) {
      link.modem.Restart();
      ++faults_["restart between calls"];
    }
  };
  flags_->onCall = [this, restart](const std::string&, host::Panel&) { restart(serverLink_); };
  word_->onCall = flags_->onCall;
  chain_->onCall = [this, restart](int) {
    chainLink_.AfterCall(chainPanel_);
    chainLink_.Tick(chainPanel_);
    restart(chainLink_);
  };
  chain_->values.replyTimeout = 10;
  serverLink_.pduTimeout = o_.pduTimeout;
  chainLink_.pduTimeout = o_.pduTimeout;
  return true;
}

void Soak::Violation(long message, const std::string& what) {
  std::printf("VIOLATION in message %ld (seed %llu): %s\n", message, static_cast<unsigned long long>(o_.seed),
              what.c_str());
}

void Soak::ArmFaults(host::ModemLink& link, Generation g) {
  link.modem.faults.clear();
  restartAt_ = -1;
  calls_ = 0;
  if (!random_.Chance(static_cast<std::uint32_t>(o_.faultPercent))) return;
  int count = random_.Chance(25) ? 2 : 1;
  for (int i = 0; i < count; ++i) {
    auto kind = static_cast<host::ModemFaultKind>(random_.Below(5));
    host::ModemFault f;
    f.kind = kind;
    f.command = random_.Pick(kFaultTargets);
    f.nth = static_cast<int>(random_.Below(3));  // 0: every match
    f.persistent = random_.Chance(10);
    // Late by up to twice the reply time-out (300 ticks server, 100 chain).
    f.ticks = 1 + random_.Below(g == Chain ? 200 : 600);
    link.modem.faults.push_back(f);
    ++faults_[kFaultNames[static_cast<int>(kind)]];
  }
  if (random_.Chance(5)) restartAt_ = 1 + static_cast<int>(random_.Below(40));
}

bool Soak::Delivered(const host::EmulatedModem& modem, const std::vector<std::string>& numbers,
                     const std::u16string& text, std::string* why) {
  const host::SmsInbox& inbox = modem.inbox();
  std::string want = host::Utf16ToUtf8(text);
  for (const std::string& n : numbers) {
    std::vector<host::ReceivedSms> got = inbox.For("+7" + n);
    if (got.size() != 1) {
      *why = "+7" + n + " received " + std::to_string(got.size()) + " messages";
      return false;
    }
    if (got[0].text != want) {
      *why = "+7" + n + " received \"" + host::VisibleText(got[0].text) + "\", not \"" + host::VisibleText(want) + "\"";
      return false;
    }
  }
  std::size_t complete = inbox.All().size();
  if (complete != numbers.size()) {
    *why = std::to_string(complete) + " messages for " + std::to_string(numbers.size()) + " recipients";
    return false;
  }
  if (inbox.Duplicates() != 0) {
    *why = std::to_string(inbox.Duplicates()) + " parts received twice";
    return false;
  }
  return true;
}

void Soak::NewServerSettings() {
  settings_.scheduleEnabled = 1;
  settings_.sendMode = static_cast<int>(random_.Below(2));
  settings_.sendInterval = 0;
  settings_.replyTimeout = 30;
  settings_.numbers.clear();
  int recipients = 1 + static_cast<int>(random_.Below(3));
  for (int i = 0; i < recipients; ++i) settings_.numbers.push_back(Digits(random_, random_.Chance(80) ? 10 : 9));
  settings_.title = random_.Pick(kTitles);
  settings_.events.clear();
  int events = 1 + static_cast<int>(random_.Below(16));
  for (int i = 0; i < events; ++i) {
    settings_.events.push_back({random_.Chance(85), random_.Pick(kEvents)});
  }
}

// The message the server composers make of the settings and the mask; none
// when no event is listed and the composer is the error-word one.
bool ServerText(const host::ServerSettings& s, std::uint16_t mask, bool allClear, std::u16string* text) {
  text->clear();
  std::u16string title = First20(s.title);
  if (!title.empty()) *text += u"[" + title + u"]\n";
  int listed = 0;
  for (std::size_t i = 0; i < s.events.size() && i < 16; ++i) {
    if (!s.events[i].enabled || ((mask >> i) & 1u) == 0) continue;
    ++listed;
    std::u16string event = First20(s.events[i].text);
    if (!event.empty()) *text += Ascii16(std::to_string(listed) + ". ") + event + u"\n";
  }
  if (listed != 0) return true;
  if (!allClear) return false;
  *text += u"\u041E\u041A.";
  return true;
}

const char* CodeName(std::uint16_t code) {
  switch (code) {
    case TransmitComplete: return "TransmitComplete";
    case ErrBadState: return "ErrBadState";
    case ErrModemError: return "ErrModemError";
    case ErrReplyTimeout: return "ErrReplyTimeout";
    case ErrEmptyScript: return "ErrEmptyScript";
    case ErrNoEvents: return "ErrNoEvents";
    case ErrInputRead: return "ErrInputRead";
    case ErrOutOfMemory: return "ErrOutOfMemory: an empty message";
    default: return "undocumented";
  }
}

void Soak::ServerMessage(long message, Generation g) {
  host::ServerPipeline& pipeline = g == ServerFlags ? *flags_ : *word_;
  Tally& t = tally_[g];
  if (message == 1 || random_.Chance(8)) {
    NewServerSettings();
    std::uint16_t stored = pipeline.StoreSettings(serverPanel_, settings_);
    if (stored != 0) Violation(message, "the settings store answered " + std::to_string(stored));
  }
  auto mask = static_cast<std::uint16_t>(random_.Chance(15) ? 0 : random_.Below(0x10000));
  ArmFaults(serverLink_, g);
  serverLink_.modem.ClearRecords();
  // Every line of the script ends within the reply time-out (ten ticks a
  // unit) plus the modem's own delay, so a transmitter still at work after
  // that many calls for the longest script (four set-up lines and two lines
  // for each of 327 PDUs) would never stop.
  const int bound = (4 + 2 * 327) * (10 * settings_.replyTimeout + 10);
  host::PipelineRun run = pipeline.Run(serverPanel_, serverLink_, mask, /*forceSend=*/false, bound);
  if (!run.sendRaised) {
    ++t.notRaised;
    if (run.result != 0) Violation(message, "the scheduler answered " + std::to_string(run.result));
    return;
  }
  ++t.sends;
  std::u16string text;
  bool hasText = ServerText(settings_, mask, g == ServerFlags, &text);
  std::string why;
  if (run.transmitterCalls >= bound && serverPanel_.GetPair(DeviceLW, kServerStateAddress) != StateIdle) {
    ++t.violations;
    Violation(message, "still sending after " + std::to_string(bound) + " transmitter calls\n" +
                           serverLink_.TraceText());
    serverPanel_.SetPair(DeviceLW, kServerStateAddress, StateIdle);
    return;
  }
  if (run.result == TransmitComplete) {
    if (!hasText) {
      Violation(message, "a message without a listed event was sent");
    } else if (!Delivered(serverLink_.modem, settings_.numbers, text, &why)) {
      ++t.violations;
      Violation(message, "reported sent (1) but " + why + "\n" + serverLink_.TraceText());
    } else {
      ++t.delivered;
      ++t.outcomes["delivered to every recipient exactly once"];
    }
  } else {
    ++t.failed;
    std::string name = std::to_string(run.result) + " " + CodeName(run.result) + " (" + run.stoppedAt + ")";
    ++t.outcomes[name];
    if (std::string(CodeName(run.result)) == "undocumented") {
      ++t.violations;
      Violation(message, "ended with " + name + "\n" + serverLink_.TraceText());
    }
    if (run.result == ErrNoEvents && hasText) {
      ++t.violations;
      Violation(message, "240 though an event was listed");
    }
    if (run.result == ErrOutOfMemory && !text.empty()) {
      ++t.violations;
      Violation(message, "237 for a message of " + std::to_string(text.size()) + " characters");
    }
  }
}

void Soak::NewRecipe() {
  host::Panel& p = chainPanel_;
  std::u16string title = First20(random_.Pick(kTitles));
  for (int i = 0; i < kChainTextWords; ++i) {
    p.Word(DeviceRW, kAlarmTitleAddress + i) = i < static_cast<int>(title.size()) ? title[static_cast<std::size_t>(i)] : 0;
  }
  for (int e = 0; e < kChainEntries; ++e) {
    std::u16string text = First20(random_.Pick(kEvents));
    for (int i = 0; i < kChainTextWords; ++i) {
      p.Word(DeviceRW, kAlarmTextAddress + kChainTextWords * e + i) =
          i < static_cast<int>(text.size()) ? text[static_cast<std::size_t>(i)] : 0;
    }
  }
  chainNumbers_.clear();
  int recipients = 1 + static_cast<int>(random_.Below(5));
  p.Word(DeviceRW, kPhoneCountAddress) = static_cast<std::uint16_t>(recipients);
  for (int i = 0; i < recipients; ++i) {
    chainNumbers_.push_back(Digits(random_, 10));
    p.PutText(DeviceRW, kPhoneNumberAddress + kPhoneNumberWords * i, chainNumbers_.back(), kPhoneNumberWords);
  }
  encoder_->Call(p);
}

// The alarm list the chain's composer makes of the recipe registers.
std::u16string ChainText(host::Panel& p) {
  auto text20 = [&p](int address) {
    std::u16string t;
    for (int i = 0; i < kChainTextWords && p.Word(DeviceRW, address + i) != 0; ++i) {
      t.push_back(static_cast<char16_t>(p.Word(DeviceRW, address + i)));
    }
    return t;
  };
  std::u16string text = text20(kAlarmTitleAddress) + u"\n";
  std::uint16_t listed = p.Word(DeviceRW, kAlarmMaskAAddress) & p.Word(DeviceRW, kAlarmMaskBAddress);
  int k = 0;
  for (int i = 0; i < kChainEntries; ++i) {
    if (((listed >> i) & 1u) == 0) continue;
    text += Ascii16(std::to_string(++k) + ". ") + text20(kAlarmTextAddress + kChainTextWords * i) + u"\n";
  }
  return text;
}

void Soak::ChainMessage(long message) {
  Tally& t = tally_[Chain];
  host::Panel& p = chainPanel_;
  if (chainNumbers_.empty() || random_.Chance(8)) NewRecipe();
  p.Word(DeviceRW, kAlarmMaskAAddress) = static_cast<std::uint16_t>(random_.Below(0x10000));
  p.Word(DeviceRW, kAlarmMaskBAddress) = static_cast<std::uint16_t>(random_.Chance(50) ? 0xFFFF : random_.Below(0x10000));
  std::u16string text = ChainText(p);
  ArmFaults(chainLink_, Chain);
  chainLink_.modem.ClearRecords();
  for (int i = 0; i < kStatusTextWords; ++i) p.Word(DeviceRW, kStatusTextAddress + i) = 0;
  ++t.sends;
  if (!chain_->StartMessage()) {
    ++t.violations;
    Violation(message, "the chain did not rest before the message");
    chain_->values = host::ChainValues{};
    chain_->values.replyTimeout = 10;
    return;
  }
  int steps = 0;
  while (chain_->Step() >= 0 && ++steps < 20000) {
  }
  std::string status = p.GetText(DeviceRW, kStatusTextAddress, kStatusTextWords);
  std::string why;
  if (!chain_->AtRest() || !chain_->violations.empty()) {
    ++t.violations;
    Violation(message, chain_->AtRest() ? "binding violated: " + chain_->violations.front()
                                        : "the chain did not come to rest in " + std::to_string(steps) + " steps");
    chain_->violations.clear();
    chain_->values = host::ChainValues{};
    chain_->values.replyTimeout = 10;
  } else if (status == "SMS has been send successfully.") {
    if (!Delivered(chainLink_.modem, chainNumbers_, text, &why)) {
      ++t.violations;
      Violation(message, "reported sent but " + why + "\n" + chainLink_.TraceText());
    } else {
      ++t.delivered;
      ++t.outcomes["delivered to every recipient exactly once"];
    }
  } else if (status.rfind("ERROR: ", 0) == 0) {
    ++t.failed;
    ++t.outcomes[status];
    if (o_.verbose) std::printf("message %ld: %s\n%s", message, status.c_str(), chainLink_.TraceText().c_str());
  } else {
    ++t.violations;
    Violation(message, "ended without a status text: \"" + status + "\"");
  }
}

void PrintTally(const char* name, const Tally& t) {
  std::printf("%-28s %6d sends: %6d delivered, %5d failed with a reason, %d violations", name, t.sends,
              t.delivered, t.failed, t.violations);
  if (t.notRaised != 0) std::printf(" (%d scheduler calls raised no send)", t.notRaised);
  std::printf("\n");
  for (const auto& [outcome, n] : t.outcomes) std::printf("    %6d  %s\n", n, outcome.c_str());
}

int Soak::Run() {
  long long settled = -1, peak = 0, last = 0;
  long warmUp = std::max<long>(20, o_.messages / 10);
  for (long m = 1; m <= o_.messages; ++m) {
    auto g = static_cast<Generation>(m % 3);
    if (g == Chain) {
      ChainMessage(m);
    } else {
      ServerMessage(m, g);
    }
    // What the host keeps of a message (access logs, traces, what the modem
    // received) goes with it, so that what stays is what the plug-ins and
    // the host hold for good.
    for (host::ModemLink* link : {&serverLink_, &chainLink_}) {
      link->modem.ClearRecords();
      link->ClearTrace();
    }
    std::vector<host::RegisterAccessRecord>().swap(serverPanel_.log);
    std::vector<host::RegisterAccessRecord>().swap(chainPanel_.log);
    last = HeapInUse();
    peak = std::max(peak, last);
    if (m == warmUp) settled = last;
    if (o_.verbose && m % 1000 == 0) std::printf("... %ld messages, heap %lld bytes\n", m, last);
  }
  int violations = 0;
  std::printf("soak: %ld messages, seed %llu, modem faults in %d%% of them, PDU input time-out %u ticks\n",
              o_.messages, static_cast<unsigned long long>(o_.seed), o_.faultPercent, o_.pduTimeout);
  PrintTally("server pipeline (flags)", tally_[ServerFlags]);
  PrintTally("server pipeline (LW 6007)", tally_[ServerWord]);
  PrintTally("chain", tally_[Chain]);
  for (const Tally& t : tally_) violations += t.violations;
  std::printf("modem faults armed:");
  for (const auto& [kind, n] : faults_) std::printf(" %s %d;", kind.c_str(), n);
  std::printf("\n");
  bool flat = true;
  if (last >= 0) {
    // A few kilobytes of slack for the allocator's own bookkeeping.
    flat = settled < 0 || last - settled <= 64 * 1024;
    std::printf("heap: %lld bytes after %ld messages, %lld at the end, peak %lld: %s\n", settled, warmUp, last,
                peak, flat ? "flat" : "GROWING");
  } else {
    std::printf("heap: not measurable on this system\n");
  }
  std::printf("violations: %d\n", violations);
  return violations == 0 && flat ? 0 : 1;
}

}  // namespace

int RunSoak(const std::vector<std::string>& args) {
  SoakOptions o;
  CLI::App app{"Both generations against a faulty emulated modem, in virtual time.", "panelsim soak"};
  app.add_option("--messages", o.messages, "messages to send (100000 for the nightly run)")
      ->check(CLI::Range(1L, 100000000L));
  app.add_option("--seed", o.seed, "seed of the generator; a run repeats with its seed");
  app.add_option("--faults", o.faultPercent, "percent of messages with modem faults")->check(CLI::Range(0, 100));
  app.add_option("--pdu-timeout", o.pduTimeout,
                 "ticks the modem waits for PDU text after its prompt (0: for ever)");
  app.add_option("--plugins", o.plugins, "the plug-ins to load");
  app.add_flag("--verbose", o.verbose, "the heap every thousand messages, the traffic of every failed chain message");
  if (int rc = ParseArgs(app, args); rc >= 0) return rc;

  std::string error;
  Soak soak(o);
  if (!soak.Load(&error)) {
    std::fprintf(stderr, "panelsim soak: %s\n", error.c_str());
    return 1;
  }
  return soak.Run();
}

}  // namespace panelsim
