// bench_driver: runs the plug-ins through fixed scenarios on the substitute
// host and reports what each call costs.
//
//   bench_driver usage [PLUGINDIR]
//     every scenario, with the loader's counting wrappers in place; one line
//     per plug-in with the most allocations, bytes and blocks held at once,
//     file opens and file calls of any one of its calls.
//   bench_driver hot SCENARIO [PLUGINDIR]
//     one hot path, without the wrappers, for callgrind: a warm-up, then the
//     measured calls. Under callgrind the counters are zeroed after the
//     warm-up (client request), so with --collect-atstart=no and
//     --toggle-collect=macro_main only the instructions inside the plug-ins'
//     calls of the measured part are counted. Prints the number of those calls.
//   bench_driver list
//     the hot scenarios, one a line.
//
// Every scenario checks that it ended as it should and fails otherwise, so a
// figure never comes from a run that went wrong.
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/catalog.h"
#include "host/chain.h"
#include "host/faults.h"
#include "host/modem.h"
#include "host/panel.h"
#include "host/plugin.h"
#include "host/server_pipeline.h"
#include "host/workdir.h"
#include "macro/chain_registers.h"
#include "macro/codes.h"

#if defined(__linux__) && defined(__x86_64__) && __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define BENCH_ZERO_COUNTS() CALLGRIND_ZERO_STATS
#else
#define BENCH_ZERO_COUNTS() ((void)0)
#endif

namespace {

// The most a plug-in used in any one of its calls.
struct Usage {
  int calls = 0;
  long allocs = 0;      // allocation calls
  long peakBytes = 0;   // bytes held at once
  long peakBlocks = 0;  // blocks held at once
  long opens = 0;       // fopen calls
  long fileCalls = 0;   // every file function the loader counts
  long leftOpen = 0;    // files still open after a call
  long leftHeld = 0;    // blocks still held after a call
};

struct Bench {
  std::string dir;
  bool counting = true;  // usage mode: the wrappers count every call
  int measuredCalls = 0;
  bool measuring = false;
  std::map<std::string, Usage> usage;
  std::string failure;

  // Starts the counters of one plug-in call afresh.
  void Before() {
    if (counting) host::ResetCalls();
  }
  // Books the call just made.
  void After(const std::string& plugin) {
    if (measuring) ++measuredCalls;
    if (!counting) return;
    const host::CallStats& s = host::Calls().stats;
    Usage& u = usage[plugin];
    u.calls += 1;
    auto most = [](long& m, long v) {
      if (v > m) m = v;
    };
    most(u.allocs, s.calls[static_cast<int>(host::CallClass::Alloc)]);
    most(u.peakBytes, s.peakBytes);
    most(u.peakBlocks, s.peakAllocations);
    most(u.opens, s.fileOpens);
    most(u.fileCalls, s.calls[static_cast<int>(host::CallClass::File)]);
    most(u.leftOpen, s.openFiles);
    most(u.leftHeld, s.liveAllocations);
    host::ResetCalls();
  }
  // The warm-up is over: count from here.
  void StartMeasuring() {
    measuring = true;
    measuredCalls = 0;
    BENCH_ZERO_COUNTS();
  }
  std::unique_ptr<host::Plugin> Load(const std::string& name, bool required = true) {
    std::string error;
    auto p = host::Plugin::Load(dir + "/" + host::PluginFileName(name), &error);
    if (!p && required && failure.empty()) failure = error;
    return p;
  }
  bool Has(const std::string& name) const {
    for (const std::string& f : host::ListFiles(dir)) {
      if (f == host::PluginFileName(name)) return true;
    }
    return false;
  }
  void Call(host::Plugin& p, host::Panel& panel) {
    Before();
    p.Call(panel);
    After(p.name());
  }
  bool Check(bool ok, const std::string& what) {
    if (!ok && failure.empty()) failure = what;
    return ok;
  }
};

// ---------------------------------------------------------------- inputs

host::ServerSettings SampleSettings() {
  host::ServerSettings s;
  s.scheduleEnabled = 1;
  s.sendMode = 0;
  s.sendInterval = 0;
  s.replyTimeout = 30;
  s.numbers = {"9123456789", "9876543210"};
  s.title = "Boiler house";
  for (const char* t : {"Pressure high", "Temperature low", "Pump 2 failure", "Door open",
                        "Flame lost"}) {
    s.events.push_back({true, t});
  }
  return s;
}

constexpr std::uint16_t kSampleMask = 0x001F;

// SMSProfile_1.bin: schedule on, mode 0, interval 0, reply time-out 30.
bool WriteSendSettings(const host::WorkDir& work) {
  const char bytes[8] = {1, 0, 0, 0, 0, 0, 30, 0};
  return work.Write("SMSProfile_1.bin", std::string(bytes, sizeof bytes));
}

void PutUnits(host::Panel& panel, int address, const std::u16string& text, int words) {
  for (int i = 0; i < words; ++i) {
    panel.Word(DeviceRW, address + i) =
        i < static_cast<int>(text.size()) ? text[static_cast<std::size_t>(i)] : 0;
  }
}

// The chain's recipe: a title, five alarms listed in both masks, two phones,
// for the composer and, ten words lower, for the part encoder.
void PutChainRecipe(host::Panel& panel) {
  const char16_t* alarms[] = {u"Pressure high", u"Temperature low", u"Pump 2 failure",
                              u"Door open", u"Flame lost"};
  for (int base : {0, -10}) {
    panel.Word(DeviceRW, kAlarmMaskAAddress + base) = kSampleMask;
    panel.Word(DeviceRW, kAlarmMaskBAddress + base) = kSampleMask;
    PutUnits(panel, kAlarmTitleAddress + base, u"Boiler house", kChainTextWords);
    for (int e = 0; e < kChainEntries; ++e) {
      PutUnits(panel, kAlarmTextAddress + base + kChainTextWords * e, e < 5 ? alarms[e] : u"",
               kChainTextWords);
    }
  }
  panel.Word(DeviceRW, kPhoneCountAddress) = 2;
  panel.PutText(DeviceRW, kPhoneNumberAddress, "9123456789", kPhoneNumberWords);
  panel.PutText(DeviceRW, kPhoneNumberAddress + kPhoneNumberWords, "9876543210",
                kPhoneNumberWords);
}

// ---------------------------------------------------------------- hot paths

constexpr int kRepeat = 10;

// srv_transmit_alt in state 12 with no reply yet and time to spare.
void TransmitWaiting(Bench& b) {
  host::WorkDir work;
  host::Panel panel;
  if (!b.Check(WriteSendSettings(work), "cannot write the send settings")) return;
  auto p = b.Load("srv_transmit_alt");
  if (!p) return;
  panel.SetPair(DeviceLW, 6005, StateAwaitReply);
  panel.SetPair(DeviceLW, 6008, 1000);  // sent at tick 1000
  panel.Word(DeviceLW, 6012) = 0;
  panel.Word(DeviceLW, 6013) = 5;
  panel.SetTicks(1010);
  b.Call(*p, panel);
  b.StartMeasuring();
  for (int i = 0; i < kRepeat; ++i) b.Call(*p, panel);
  b.Check(panel.GetPair(DeviceLW, 6005) == StateAwaitReply && panel.Word(DeviceLW, 6007) == 0,
          "the transmitter stopped waiting");
}

// link_check_reply after "AT" with an empty reply area and time to spare.
void CheckerWaiting(Bench& b) {
  host::Panel panel;
  auto p = b.Load("link_check_reply");
  if (!p) return;
  auto& r = panel.record;
  r[CheckerVectorWord] = 1u << CheckerMacro;
  r[CheckerFailureWord] = 0;
  r[CheckerSendStateWord] = SendAt;
  r[CheckerFlagsWord] = 0;
  r[CheckerTimeoutWord] = 10;
  panel.SetPair(DeviceLW, 1007, 1000);
  panel.SetTicks(1010);
  b.Call(*p, panel);
  b.StartMeasuring();
  for (int i = 0; i < kRepeat; ++i) b.Call(*p, panel);
  b.Check(r[CheckerVectorWord] == (1u << CheckerMacro) && r[CheckerFailureWord] == 0,
          "the reply checker stopped waiting");
}

// srv_dispatch with the schedule on, mode 0 and no event active.
void SchedulerIdle(Bench& b) {
  host::WorkDir work;
  host::Panel panel;
  if (!b.Check(WriteSendSettings(work) && work.Write("SMSServerProfile.bin", std::string(10, '\0')),
               "cannot write the scheduler's files")) {
    return;
  }
  auto p = b.Load("srv_dispatch");
  if (!p) return;
  panel.Word(DeviceLW, 5999) = 0;
  panel.SetTicks(5000);
  b.Call(*p, panel);
  b.StartMeasuring();
  for (int i = 0; i < kRepeat; ++i) b.Call(*p, panel);
  b.Check((panel.GetPair(DeviceLW, 6003) & SendDue) == 0 && panel.Word(DeviceLW, 6007) == 0,
          "the scheduler raised a send or failed");
}

// One message from the scheduler to the transmitter's last line.
void ServerMessage(Bench& b, host::ServerChain chain) {
  host::WorkDir work;
  host::Panel panel;
  host::ModemLink link;
  host::ServerPipeline pipeline(b.dir, chain);
  std::string error;
  if (!b.Check(pipeline.Load(&error), error)) return;
  pipeline.onCall = [&b](const std::string& name, host::Panel&) { b.After(name); };
  b.Before();
  b.Check(pipeline.StoreSettings(panel, SampleSettings()) == 0, "storing the settings failed");
  b.StartMeasuring();
  b.Before();
  host::PipelineRun run = pipeline.Run(panel, link, kSampleMask);
  b.Check(run.sendRaised && run.result == TransmitComplete,
          "the message stopped at " + run.stoppedAt + " with " + std::to_string(run.result));
  b.Check(link.modem.inbox().All().size() == 2, "the phones did not get the message");
  if (!b.counting) return;  // callgrind would count this call too
  // The settings once more, the other way (state 7), for the usage table.
  b.measuring = false;
  b.Before();
  b.Check(pipeline.LoadSettings(panel) == 0, "loading the settings failed");
}

// One alarm message through the chain, from bit 7 to rest.
void ChainMessage(Bench& b, const std::string& composer, bool silentModem) {
  host::Panel panel;
  host::ModemLink link;
  if (silentModem) link.modem.faults.push_back(host::ModemFault::Silent("AT", 1));
  PutChainRecipe(panel);
  auto encoder = b.Load("link_encode_number");
  host::ChainDispatcher chain(panel);
  std::string error;
  if (!encoder || !b.Check(chain.AttachChain(b.dir, &error, composer), error)) return;
  b.Call(*encoder, panel);
  chain.values.replyTimeout = silentModem ? 1 : 10;
  const std::map<int, std::string> names = {
      {ComposerMacro, composer},           {SenderMacro, "link_send_sequence"},
      {CheckerMacro, "link_check_reply"},  {ErrorReporterMacro, "link_report_error"},
      {SequencerMacro, "link_sequencer"},
  };
  chain.onCall = [&](int macro) {
    auto it = names.find(macro);
    if (it != names.end()) b.After(it->second);
    link.AfterCall(panel);
    link.Tick(panel);
    b.Before();
  };
  b.StartMeasuring();
  chain.StartMessage();
  b.Before();
  for (int calls = 0; chain.Step() >= 0 && calls < 100000; ++calls) {
  }
  std::string status = panel.GetText(DeviceRW, kStatusTextAddress, kStatusTextWords);
  bool failed = status.rfind("ERROR", 0) == 0;
  b.Check(chain.AtRest() && chain.violations.empty() && failed == silentModem,
          "the chain ended with \"" + status + "\"");
  if (!silentModem) b.Check(link.modem.inbox().All().size() == 2, "the phones did not get it");
}

// ---------------------------------------------------------------- usage only

// The chain workers one call each, for a build without the sequencer.
void ChainWorkers(Bench& b) {
  host::Panel panel;
  PutChainRecipe(panel);
  for (const char* name : {"link_encode_number", "link_compose_alarms", "link_compose_events",
                           "link_encode_parts", "link_send_sequence"}) {
    if (!b.Has(name)) continue;
    auto p = b.Load(name);
    if (!p) return;
    for (auto& w : panel.record) w = 0;
    b.Call(*p, panel);
  }
}

void PhoneBook(Bench& b) {
  host::WorkDir work;
  host::Panel panel;
  auto p = b.Load("panel_phone_book");
  if (!p) return;
  panel.Word(DeviceLW, 6000) = 2;
  panel.PutText(DeviceLW, 6001, "Operator one", 10);
  panel.record[PhoneBookRequestWord] = PhoneBookSave;
  b.Call(*p, panel);
  b.Check(panel.record[PhoneBookResultWord] == 0, "saving the phone book failed");
  panel.record[PhoneBookRequestWord] = PhoneBookLoad;
  b.Call(*p, panel);
  b.Check(panel.record[PhoneBookResultWord] == 0, "loading the phone book failed");
}

void AlarmTexts(Bench& b) {
  if (!b.Has("panel_alarm_texts")) return;
  host::Panel panel;
  auto p = b.Load("panel_alarm_texts");
  if (!p) return;
  panel.Word(DeviceRW, 90) = 0x0003;
  PutUnits(panel, 92, u"  Boiler house  ", 20);
  PutUnits(panel, 112, u"   Pressure high", 20);
  PutUnits(panel, 132, u"Flame lost      ", 20);
  b.Call(*p, panel);
}

void Gprs(Bench& b) {
  host::WorkDir work;
  host::Panel panel;
  std::string profile(208, '\0');
  profile.replace(76, 8, "internet");
  std::string data(836, '\0');
  data[2] = 1;
  if (!b.Check(work.Write("gprs_ConnectionProfileSettings.bin", profile) &&
                   work.Write("gprs_DataSettings.bin", data),
               "cannot write the GPRS files")) {
    return;
  }
  auto send = b.Load("net_send_connection");
  if (!send) return;
  panel.record[GprsProfileCommandWord] = GprsProfileApn;
  panel.record[GprsMacroVectorWord] = 1u << kGprsSendConnectionMacro;
  b.Call(*send, panel);
  b.Check(panel.record[GprsMacroVectorWord] == (1u << kGprsAfterCommandMacro),
          "net_send_connection did not hand on");
  if (b.Has("net_load_settings")) {
    auto load = b.Load("net_load_settings");
    if (load) b.Call(*load, panel);
  }
}

void Stubs(Bench& b) {
  host::Panel panel;
  for (const char* name : {"srv_build_script_stub", "panel_common_stub", "panel_title_stub",
                           "net_service_stub"}) {
    if (!b.Has(name)) continue;
    auto p = b.Load(name);
    if (p) b.Call(*p, panel);
  }
}

// ---------------------------------------------------------------- table

struct Scenario {
  const char* name;
  const char* what;
  std::function<void(Bench&)> run;
  bool needsSequencer;
};

const std::vector<Scenario>& HotScenarios() {
  static const std::vector<Scenario> kHot = {
      {"transmit-wait", "srv_transmit_alt in state 12, no reply yet", TransmitWaiting, false},
      {"check-reply-wait", "link_check_reply after AT, no reply yet", CheckerWaiting, true},
      {"dispatch-idle", "srv_dispatch, schedule on, no event active", SchedulerIdle, false},
      {"server-message", "one message, flag-chained server pipeline (2 phones, 5 events)",
       [](Bench& b) { ServerMessage(b, host::ServerChain::FlagChained); }, false},
      {"server-message-error-word", "one message, server pipeline chained on LW 6007",
       [](Bench& b) { ServerMessage(b, host::ServerChain::ErrorWordOnly); }, false},
      {"chain-message", "one message through the chain (2 phones, 5 alarms)",
       [](Bench& b) { ChainMessage(b, "link_compose_alarms", false); }, true},
  };
  return kHot;
}

const std::vector<Scenario>& UsageOnlyScenarios() {
  static const std::vector<Scenario> kUsage = {
      {"chain-failure", "the chain with a silent modem: time-out, error reporter",
       [](Bench& b) { ChainMessage(b, "link_compose_alarms", true); }, true},
      {"chain-events", "the chain with link_compose_events",
       [](Bench& b) {
         if (b.Has("link_compose_events")) ChainMessage(b, "link_compose_events", false);
       },
       true},
      {"chain-workers", "each chain worker once", ChainWorkers, false},
      {"phone-book", "panel_phone_book save and load", PhoneBook, false},
      {"alarm-texts", "panel_alarm_texts trims three texts", AlarmTexts, false},
      {"gprs", "net_send_connection (APN), net_load_settings", Gprs, false},
      {"stubs", "the stubs once each", Stubs, false},
  };
  return kUsage;
}

int RunUsage(Bench& b) {
  bool sequencer = b.Has("link_sequencer");
  for (const auto* list : {&HotScenarios(), &UsageOnlyScenarios()}) {
    for (const Scenario& s : *list) {
      if (s.needsSequencer && !sequencer) continue;
      s.run(b);
      b.measuring = false;
      if (!b.failure.empty()) {
        std::fprintf(stderr, "bench_driver: %s: %s\n", s.name, b.failure.c_str());
        return 1;
      }
    }
  }
  std::printf("plugin\tcalls\tallocs\tpeak_bytes\tpeak_blocks\topens\tfile_calls\tleft_open\tleft_held\n");
  for (const auto& [name, u] : b.usage) {
    std::printf("%s\t%d\t%ld\t%ld\t%ld\t%ld\t%ld\t%ld\t%ld\n", name.c_str(), u.calls, u.allocs,
                u.peakBytes, u.peakBlocks, u.opens, u.fileCalls, u.leftOpen, u.leftHeld);
  }
  return 0;
}

int RunHot(Bench& b, const std::string& name) {
  for (const Scenario& s : HotScenarios()) {
    if (name != s.name) continue;
    if (s.needsSequencer && !b.Has("link_sequencer")) {
      std::fprintf(stderr, "bench_driver: %s needs the chain's PC-only plug-ins\n", s.name);
      return 1;
    }
    s.run(b);
    if (!b.failure.empty()) {
      std::fprintf(stderr, "bench_driver: %s: %s\n", s.name, b.failure.c_str());
      return 1;
    }
    std::printf("%s\tmeasured_calls=%d\n", s.name, b.measuredCalls);
    return 0;
  }
  std::fprintf(stderr, "bench_driver: no hot scenario %s\n", name.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  Bench b;
  b.dir = MACRO_PLUGIN_DIR;
  if (args.size() == 1 && args[0] == "list") {
    for (const Scenario& s : HotScenarios()) std::printf("%s\t%s\n", s.name, s.what);
    return 0;
  }
  if (!args.empty() && args[0] == "usage" && args.size() <= 2) {
    if (args.size() == 2) b.dir = args[1];
    return RunUsage(b);
  }
  if (!args.empty() && args[0] == "hot" && (args.size() == 2 || args.size() == 3)) {
    if (args.size() == 3) b.dir = args[2];
    b.counting = false;
    host::AllowInterposition(false);
    return RunHot(b, args[1]);
  }
  std::fprintf(stderr,
               "usage: bench_driver usage [PLUGINDIR] | hot SCENARIO [PLUGINDIR] | list\n");
  return 2;
}
