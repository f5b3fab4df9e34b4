// Reassembly of concatenated SMS and the list each phone number receives.
#include <algorithm>

#include "host/sms.h"

namespace host {

bool SmsInbox::Add(const SmsSubmit& part) {
  if (!part.concat || part.concat->total == 1) {
    ReceivedSms sms;
    sms.number = part.destination.number;
    sms.text = part.text;
    if (part.concat) {
      sms.reference = part.concat->reference;
      sms.reference16 = part.concat->reference16;
    }
    received_.push_back(std::move(sms));
    return true;
  }
  const SmsConcat& c = *part.concat;
  auto same = [&](const Partial& p) {
    return p.key.number == part.destination.number && p.key.reference == c.reference &&
           p.key.reference16 == c.reference16 && p.key.total == c.total;
  };
  auto it = std::find_if(partial_.begin(), partial_.end(), same);
  if (it == partial_.end()) {
    Partial p;
    p.key.number = part.destination.number;
    p.key.reference = c.reference;
    p.key.reference16 = c.reference16;
    p.key.total = c.total;
    p.texts.resize(c.total);
    p.have.resize(c.total);
    partial_.push_back(std::move(p));
    it = partial_.end() - 1;
  }
  const std::size_t slot = c.sequence - 1u;  // the decoder guarantees 1..total
  if (it->have[slot]) {
    ++duplicates_;
    return false;
  }
  it->have[slot] = true;
  it->texts[slot] = part.text;
  it->key.received.push_back(c.sequence);
  std::sort(it->key.received.begin(), it->key.received.end());
  if (it->key.received.size() < it->have.size()) return false;

  ReceivedSms sms;
  sms.number = it->key.number;
  sms.parts = it->key.total;
  sms.reference = it->key.reference;
  sms.reference16 = it->key.reference16;
  for (const auto& t : it->texts) sms.text += t;
  received_.push_back(std::move(sms));
  partial_.erase(it);
  return true;
}

std::vector<ReceivedSms> SmsInbox::For(std::string_view number) const {
  std::vector<ReceivedSms> out;
  for (const auto& s : received_) {
    if (s.number == number) out.push_back(s);
  }
  return out;
}

std::vector<std::string> SmsInbox::Numbers() const {
  std::vector<std::string> out;
  for (const auto& s : received_) out.push_back(s.number);
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

std::vector<PendingSms> SmsInbox::Pending() const {
  std::vector<PendingSms> out;
  for (const auto& p : partial_) out.push_back(p.key);
  return out;
}

void SmsInbox::Clear() {
  received_.clear();
  partial_.clear();
  duplicates_ = 0;
}

}  // namespace host
