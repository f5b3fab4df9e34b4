// The host's SMS-SUBMIT decoder against python3-gammu's decodes of the same
// PDUs, its refusals of malformed ones, and the inbox's reassembly.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/sms.h"
#include "sms_golden.h"

namespace {

using testing_support::GoldenRejects;
using testing_support::GoldenSubmit;
using testing_support::GoldenSubmits;

std::string AlphabetName(host::SmsAlphabet a) {
  switch (a) {
    case host::SmsAlphabet::Gsm7: return "gsm7";
    case host::SmsAlphabet::Data8: return "8bit";
    case host::SmsAlphabet::Ucs2: return "ucs2";
  }
  return "?";
}

std::string ConcatText(const host::SmsSubmit& s) {
  if (!s.concat) return "none";
  return std::to_string(s.concat->reference) + "/" + std::to_string(s.concat->total) + "/" +
         std::to_string(s.concat->sequence) + (s.concat->reference16 ? " 16" : " 8");
}

host::SmsSubmit Decoded(const std::string& hex) {
  host::SmsDecodeResult r = host::DecodeSubmitPdu(hex);
  EXPECT_TRUE(r.ok) << hex << ": " << r.error;
  return r.sms;
}

TEST(SmsDecoder, AgreesWithGammuOnEveryGoldenPdu) {
  const std::vector<GoldenSubmit> all = GoldenSubmits();
  ASSERT_GE(all.size(), 20u) << "golden data missing: " << testing_support::SmsDataPath("index.txt");
  for (const GoldenSubmit& g : all) {
    SCOPED_TRACE(g.name);
    host::SmsDecodeResult r = host::DecodeSubmitPdu(g.pdu);
    ASSERT_TRUE(r.ok) << r.error;
    const host::SmsSubmit& s = r.sms;
    EXPECT_EQ(s.serviceCentre.number, g.expect.at("smsc"));
    EXPECT_EQ(s.destination.number, g.expect.at("number"));
    EXPECT_EQ(std::to_string(s.messageReference), g.expect.at("reference"));
    EXPECT_EQ(AlphabetName(s.alphabet), g.expect.at("coding"));
    EXPECT_EQ(std::to_string(s.messageClass), g.expect.at("class"));
    EXPECT_EQ(s.validityMinutes < 0 ? "none" : std::to_string(s.validityMinutes), g.expect.at("validity_minutes"));
    EXPECT_EQ(ConcatText(s), g.expect.at("concat"));
    EXPECT_EQ(std::to_string(s.tpduOctets), g.expect.at("tpdu_octets"));
    EXPECT_EQ(s.text, g.expect.at("text"));
  }
}

TEST(SmsDecoder, RefusesEveryMalformedPduWithItsReason) {
  const auto all = GoldenRejects();
  ASSERT_GE(all.size(), 20u);
  for (const auto& g : all) {
    SCOPED_TRACE(g.name + " " + g.pdu);
    host::SmsDecodeResult r = host::DecodeSubmitPdu(g.pdu);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find(g.why), std::string::npos) << "reason: " << r.error;
  }
}

// Every prefix and many one-octet changes of every golden PDU: refused or
// decoded, never a read out of bounds (the native target runs with ASan).
TEST(SmsDecoder, SurvivesCutAndChangedPdus) {
  int refused = 0;
  for (const GoldenSubmit& g : GoldenSubmits()) {
    for (std::size_t n = 0; n < g.pdu.size(); ++n) {
      host::SmsDecodeResult r = host::DecodeSubmitPdu(std::string_view(g.pdu).substr(0, n));
      refused += !r.ok;
      if (!r.ok) {
        EXPECT_FALSE(r.error.empty());
      }
    }
    for (std::size_t at = 0; at + 1 < g.pdu.size(); at += 2) {
      for (const char* octet : {"00", "FF", "7F", "80", "A0"}) {
        std::string changed = g.pdu;
        changed.replace(at, 2, octet);
        (void)host::DecodeSubmitPdu(changed);
      }
    }
  }
  EXPECT_GT(refused, 0);
}

TEST(SmsDecoder, ReadsTheFlagsOfTheFirstOctet) {
  host::SmsSubmit s = Decoded("00B5000B919761214365F70000FF05E8329BFD06");
  EXPECT_TRUE(s.rejectDuplicates);
  EXPECT_TRUE(s.statusReport);
  EXPECT_TRUE(s.replyPath);
  EXPECT_FALSE(s.headerPresent);
  EXPECT_EQ(s.validityFormat, 2);
  EXPECT_EQ(s.firstOctet, 0xB5);

  host::SmsSubmit plain = Decoded("0001000B919761214365F70008020041");
  EXPECT_FALSE(plain.rejectDuplicates || plain.statusReport || plain.replyPath || plain.headerPresent);
  EXPECT_EQ(plain.validityFormat, 0);
  EXPECT_TRUE(plain.validity.empty());
}

TEST(SmsDecoder, TakesSevenOctetsForEnhancedAndAbsoluteValidity) {
  for (const char* pdu : {"0009000B919761214365F7000042000000000000" "01C8",
                          "0019000B919761214365F700002110101232548001C8"}) {
    host::SmsSubmit s = Decoded(pdu);
    EXPECT_EQ(s.validity.size(), 7u) << pdu;
    EXPECT_EQ(s.validityMinutes, -1) << pdu;
    EXPECT_EQ(s.text, "H") << pdu;
  }
}

TEST(SmsDecoder, RelativeValidityInMinutes) {
  // The same values gammu reports: 5M, 720M, 750M, 1440M, 2D, 30D, 5W, 63W.
  const struct {
    int vp;
    long minutes;
  } cases[] = {{0, 5}, {143, 720}, {144, 750}, {167, 1440}, {168, 2880},
               {196, 43200}, {197, 50400}, {255, 635040}};
  for (const auto& c : cases) {
    char pdu[64];
    std::snprintf(pdu, sizeof pdu, "0011000B919761214365F70000%02X0141", c.vp);
    EXPECT_EQ(Decoded(pdu).validityMinutes, c.minutes) << c.vp;
  }
}

TEST(SmsDecoder, FindsTheConcatenationElementAmongOthers) {
  // Header: element 0x70 of one octet, then 0x00 with reference 5, part 1 of 2.
  host::SmsDecodeResult r = host::DecodeSubmitPdu("0051000B919761214365F70008AA0B087001000003050201" "0041");
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_TRUE(r.sms.concat.has_value());
  EXPECT_EQ(r.sms.concat->reference, 5);
  EXPECT_EQ(r.sms.concat->total, 2);
  EXPECT_EQ(r.sms.concat->sequence, 1);
  EXPECT_EQ(r.sms.header.size(), 8u);
  EXPECT_EQ(r.sms.text, "A");
}

TEST(SmsDecoder, Ucs2SurrogatesAndLoneHalves) {
  // U+1F600 as a surrogate pair, then a lone high surrogate followed by 'A'.
  host::SmsSubmit s = Decoded("0011000B919761214365F70008AA08D83DDE00D8000041");
  EXPECT_EQ(s.text, "\xF0\x9F\x98\x80\xEF\xBF\xBD" "A");
}

TEST(SmsDecoder, AcceptsLowerCaseHex) {
  EXPECT_EQ(Decoded("0011000b919761214365f70008aa04041f0440").text, "Пр");
}

// ---------------------------------------------------------------------------
// The inbox.

host::SmsSubmit Part(const std::string& number, int ref, bool ref16, int total, int seq, const std::string& text) {
  host::SmsSubmit s;
  s.destination.number = number;
  s.concat = host::SmsConcat{static_cast<std::uint16_t>(ref), ref16, static_cast<std::uint8_t>(total),
                             static_cast<std::uint8_t>(seq)};
  s.text = text;
  return s;
}

TEST(SmsInbox, ReassemblesGammuPartsOutOfOrderAndDropsDuplicates) {
  const auto all = GoldenSubmits();
  for (const char* set : {"ucs2_cyrillic_ref8_part", "ucs2_cyrillic_ref16_part"}) {
    SCOPED_TRACE(set);
    std::vector<host::SmsSubmit> parts;
    std::string whole;
    for (int i = 1; i <= 4; ++i) {
      const GoldenSubmit* g = testing_support::FindGolden(all, set + std::to_string(i));
      ASSERT_NE(g, nullptr);
      parts.push_back(Decoded(g->pdu));
      whole += g->expect.at("text");
    }
    host::SmsInbox inbox;
    EXPECT_FALSE(inbox.Add(parts[2]));
    EXPECT_FALSE(inbox.Add(parts[0]));
    EXPECT_FALSE(inbox.Add(parts[2]));
    ASSERT_EQ(inbox.Pending().size(), 1u);
    EXPECT_EQ(inbox.Pending()[0].received, (std::vector<int>{1, 3}));
    EXPECT_EQ(inbox.Pending()[0].total, 4);
    EXPECT_FALSE(inbox.Add(parts[3]));
    EXPECT_TRUE(inbox.Add(parts[1]));
    EXPECT_EQ(inbox.Duplicates(), 1);
    EXPECT_TRUE(inbox.Pending().empty());
    ASSERT_EQ(inbox.All().size(), 1u);
    const host::ReceivedSms& sms = inbox.All()[0];
    EXPECT_EQ(sms.text, whole);
    EXPECT_EQ(sms.parts, 4);
    EXPECT_EQ(sms.number, parts[0].destination.number);
    EXPECT_EQ(sms.reference, parts[0].concat->reference);
    EXPECT_EQ(sms.reference16, parts[0].concat->reference16);
  }
}

TEST(SmsInbox, KeepsMessagesApartByNumberReferenceWidthAndTotal) {
  host::SmsInbox inbox;
  inbox.Add(Part("+111", 7, false, 2, 1, "a1 "));
  inbox.Add(Part("+222", 7, false, 2, 2, "b2"));   // another phone
  inbox.Add(Part("+111", 7, true, 2, 2, "c2"));    // 16-bit reference 7
  inbox.Add(Part("+111", 7, false, 3, 2, "d2"));   // another total
  EXPECT_EQ(inbox.Pending().size(), 4u);
  EXPECT_TRUE(inbox.Add(Part("+111", 7, false, 2, 2, "a2")));
  EXPECT_TRUE(inbox.Add(Part("+222", 7, false, 2, 1, "b1 ")));
  EXPECT_EQ(inbox.Pending().size(), 2u);
  ASSERT_EQ(inbox.For("+111").size(), 1u);
  EXPECT_EQ(inbox.For("+111")[0].text, "a1 a2");
  ASSERT_EQ(inbox.For("+222").size(), 1u);
  EXPECT_EQ(inbox.For("+222")[0].text, "b1 b2");
  EXPECT_EQ(inbox.Numbers(), (std::vector<std::string>{"+111", "+222"}));
  EXPECT_EQ(inbox.Duplicates(), 0);
}

TEST(SmsInbox, SinglePartsAndReusedReferences) {
  host::SmsInbox inbox;
  host::SmsSubmit single;
  single.destination.number = "+333";
  single.text = "one";
  EXPECT_TRUE(inbox.Add(single));
  EXPECT_TRUE(inbox.Add(Part("+333", 9, false, 1, 1, "alone")));  // a header saying "part 1 of 1"
  // A reference used again after its message completed starts a new message.
  EXPECT_FALSE(inbox.Add(Part("+333", 4, false, 2, 1, "x")));
  EXPECT_TRUE(inbox.Add(Part("+333", 4, false, 2, 2, "y")));
  EXPECT_FALSE(inbox.Add(Part("+333", 4, false, 2, 2, "y")));
  EXPECT_TRUE(inbox.Add(Part("+333", 4, false, 2, 1, "x")));
  const auto got = inbox.For("+333");
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].text, "one");
  EXPECT_EQ(got[0].parts, 1);
  EXPECT_EQ(got[0].reference, -1);
  EXPECT_EQ(got[1].reference, 9);
  EXPECT_EQ(got[2].text, "xy");
  EXPECT_EQ(got[3].text, "xy");
  EXPECT_EQ(inbox.Duplicates(), 0);
  inbox.Clear();
  EXPECT_TRUE(inbox.All().empty());
}

}  // namespace
