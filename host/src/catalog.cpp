#include "host/catalog.h"

namespace host {
namespace {

constexpr CatalogEntry kDeliverables[] = {
    {"srv_dispatch", 15, true, "send scheduler"},
    {"srv_compose_text", 15, true, "text message composer"},
    {"srv_compose_events", 15, true, "event list message composer"},
    {"srv_store_settings", 15, true, "settings store"},
    {"srv_encode_pdu", 15, true, "SMS-SUBMIT PDU encoder"},
    {"srv_encode_pdu_alt", 15, true, "PDU encoder, flag-chained"},
    {"srv_build_script", 15, true, "AT script builder"},
    {"srv_build_script_alt", 15, true, "AT script builder, flag-chained"},
    {"srv_build_script_stub", 15, true, "empty script builder slot"},
    {"srv_transmit", 15, true, "script transmitter"},
    {"srv_transmit_alt", 15, true, "script transmitter with clean-up"},
    {"link_send_sequence", 12, true, "chain modem send sequence"},
    {"link_compose_alarms", 12, true, "chain alarm list composer"},
    {"link_compose_events", 12, false, "chain alarm list composer (second name)"},
    {"link_encode_parts", 12, true, "chain message part encoder"},
    {"link_encode_number", 12, true, "chain phone number encoder"},
    {"link_sequencer", 12, false, "chain sequencer"},
    {"link_check_reply", 12, false, "chain modem reply checker"},
    {"link_report_error", 12, false, "chain error reporter"},
    {"panel_phone_book", 15, true, "phone book"},
    {"panel_alarm_texts", 12, false, "alarm text trimming"},
    {"panel_common_stub", 15, true, "empty panel slot"},
    {"panel_title_stub", 15, false, "empty title slot"},
    {"net_send_connection", 12, true, "GPRS connection profile sender"},
    {"net_load_settings", 12, false, "GPRS data settings loader"},
    {"net_service_stub", 12, true, "empty GPRS slot"},
};

}  // namespace

const CatalogEntry* FindDeliverable(const std::string& name) {
  for (const CatalogEntry& e : kDeliverables) {
    if (name == e.name) return &e;
  }
  return nullptr;
}

const CatalogEntry* Deliverables(int* count) {
  *count = static_cast<int>(sizeof kDeliverables / sizeof kDeliverables[0]);
  return kDeliverables;
}

}  // namespace host
