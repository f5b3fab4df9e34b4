// The host side of the modem: LW 0..99 and a raised LB 0 or transmit flag
// out, LW 100..199 in, on the panel's tick counter.
#include <cstdio>

#include "host/modem.h"
#include "host/panel.h"
#include "macro/registers.h"

namespace host {
namespace {

constexpr std::size_t kAreaBytes = 2 * kModemReplyWords;

// Writes an answer as text into LW 100..199, NUL-padded; a longer one keeps its last 200 bytes.
void PlaceAnswer(Panel& panel, const std::string& bytes) {
  const std::size_t from = bytes.size() > kAreaBytes ? bytes.size() - kAreaBytes : 0;
  const std::string_view text = std::string_view(bytes).substr(from);
  for (int w = 0; w < kModemReplyWords; ++w) {
    const std::size_t lo = static_cast<std::size_t>(2 * w);
    const unsigned a = lo < text.size() ? static_cast<unsigned char>(text[lo]) : 0u;
    const unsigned b = lo + 1 < text.size() ? static_cast<unsigned char>(text[lo + 1]) : 0u;
    panel.Word(DeviceLW, kModemReplyAddress + w) = static_cast<std::uint16_t>(a | b << 8);
  }
}

}  // namespace

ModemLink::ModemLink(ModemOptions options) : modem(std::move(options)) {}

bool ModemLink::AfterCall(Panel& panel) {
  std::uint8_t& request = panel.Bit(DeviceLB, kTransmitRequestBit);
  if (request == 0 && panel.transmitFlag == 0) return false;
  request = 0;
  panel.transmitFlag = 0;
  const std::string command = panel.GetText(DeviceLW, kModemCommandAddress, kModemCommandWords);
  const std::uint32_t now = panel.Ticks();
  trace_.push_back({now, ModemTraceKind::Command, command});

  const bool awaiting = modem.AwaitingPdu();
  modem.Receive(command);
  if (!awaiting) pduSince_ = now;  // the input time-out runs from the prompt
  std::string reply;
  std::uint32_t extra = 0;
  for (const ModemAnswer& a : modem.TakeAnswers()) {
    if (!a.note.empty()) trace_.push_back({now, ModemTraceKind::Note, a.note});
    reply += a.bytes;
    extra += a.delay;
  }
  if (reply.empty()) {
    trace_.push_back({now, ModemTraceKind::Note, modem.AwaitingPdu() ? "no answer yet (PDU not ended)" : "no answer"});
    return true;
  }
  pending_.push_back({std::move(reply), now, answerDelay + extra});
  Deliver(panel);
  return true;
}

void ModemLink::Deliver(Panel& panel) {
  const std::uint32_t now = panel.Ticks();
  std::size_t done = 0;
  while (done < pending_.size() && now - pending_[done].sentAt >= pending_[done].delay) {
    PlaceAnswer(panel, pending_[done].bytes);
    trace_.push_back({now, ModemTraceKind::Answer, pending_[done].bytes});
    ++done;
  }
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(done));
}

void ModemLink::Tick(Panel& panel, std::uint32_t n) {
  if (pduTimeout != 0 && modem.AwaitingPdu() && panel.Ticks() + n - pduSince_ >= pduTimeout) {
    modem.AbandonPdu();
    trace_.push_back({panel.Ticks(), ModemTraceKind::Note, "PDU input timed out"});
  }
  Deliver(panel);
  while (n > 0) {
    std::uint32_t step = n;
    if (!pending_.empty()) {
      const Pending& next = pending_.front();
      const std::uint32_t waited = panel.Ticks() - next.sentAt;
      if (waited < next.delay && next.delay - waited < step) step = next.delay - waited;
    }
    panel.Advance(step);
    n -= step;
    Deliver(panel);
  }
}

std::string ModemLink::TraceText() const {
  static constexpr const char* kMarks[] = {"->", "<-", "!!"};
  std::string out;
  for (const ModemTraceEntry& e : trace_) {
    char stamp[24];
    std::snprintf(stamp, sizeof stamp, "%10lu ", static_cast<unsigned long>(e.tick));
    out += stamp;
    out += kMarks[static_cast<int>(e.kind)];
    out += ' ';
    out += e.kind == ModemTraceKind::Note ? e.text : VisibleText(e.text);
    out += '\n';
  }
  return out;
}

}  // namespace host
