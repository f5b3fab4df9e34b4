#!/usr/bin/python3
"""Writes the golden SMS-SUBMIT PDUs the modem tests decode.

Every PDU here is either encoded by python3-gammu or written by hand, and
every expected decode is what python3-gammu's DecodePDU reports for it, so
the host's own decoder is judged against an independent one. Run it again
(/usr/bin/python3 tests/data/sms/make_golden.py) only to add cases: the
files it writes are kept in the repository.

submit/NAME.pdu     the PDU as hex, as it follows AT+CMGS (service-centre field first)
submit/NAME.expect  "key: value" lines of the decode (text with \\n, \\r and \\\\ escaped)
reject/NAME.pdu     a malformed PDU the decoder must refuse
reject/NAME.why     a word or phrase its reason must contain
index.txt           the names, "submit NAME" or "reject NAME", one a line
"""

import binascii
import os

import gammu

HERE = os.path.dirname(os.path.abspath(__file__))

CYRILLIC = ("Авария: насос №3 остановлен, давление в контуре ниже нормы. "
            "Проверьте задвижку Ф-12 и датчик уровня. ")


def gammu_parts(text, number, unicode=True, udh16=False, msg_class=-1):
    """SMS-SUBMIT PDUs of gammu's own encoder, as hex."""
    entry = "ConcatenatedTextLong16bit" if udh16 else "ConcatenatedTextLong"
    info = {"Class": msg_class, "Unicode": unicode, "Entries": [{"ID": entry, "Buffer": text}]}
    out = []
    for sms in gammu.EncodeSMS(info):
        sms["Number"] = number
        sms["SMSC"] = {"Location": 0, "Number": "", "Validity": "NA"}
        out.append(binascii.hexlify(gammu.EncodePDU(sms)).decode().upper())
    return out


def with_empty_centre(pdu):
    """Replaces gammu's service-centre field by "00", as the panel's encoders write it."""
    length = int(pdu[0:2], 16)
    return "00" + pdu[2 + 2 * length:]


def validity_minutes(v):
    if v == "NA":
        return "none"
    if v == "Max":
        return str(63 * 7 * 24 * 60)
    unit = {"M": 1, "H": 60, "D": 24 * 60, "W": 7 * 24 * 60}[v[-1]]
    return str(int(v[:-1]) * unit)


def escape(text):
    return text.replace("\\", "\\\\").replace("\n", "\\n").replace("\r", "\\r")


def expectation(pdu):
    octets = binascii.unhexlify(pdu)
    d = gammu.DecodePDU(octets, SMSC=True)
    coding = {"Unicode_No_Compression": "ucs2", "Default_No_Compression": "gsm7", "8bit": "8bit"}[d["Coding"]]
    text = d["Text"]
    if isinstance(text, bytes):  # 8-bit data: one code point per octet
        text = text.decode("latin-1")
    # gammu's binding sizes 7-bit text by septets, escapes included, and pads with NULs.
    text = text.split("\x00")[0]
    udh = d["UDH"]
    if udh["Type"] == "ConcatenatedMessages":
        concat = "%d/%d/%d 8" % (udh["ID8bit"], udh["AllParts"], udh["PartNumber"])
    elif udh["Type"] == "ConcatenatedMessages16bit":
        concat = "%d/%d/%d 16" % (udh["ID16bit"], udh["AllParts"], udh["PartNumber"])
    else:
        concat = "none"
    lines = [
        ("smsc", d["SMSC"]["Number"]),
        ("number", d["Number"]),
        ("reference", str(d["MessageReference"])),
        ("coding", coding),
        ("class", str(d["Class"])),
        ("validity_minutes", validity_minutes(d["SMSC"]["Validity"])),
        ("concat", concat),
        ("tpdu_octets", str(len(octets) - 1 - octets[0])),
        ("text", escape(text)),
    ]
    return "".join("%s: %s\n" % kv for kv in lines)


def submit_cases():
    cases = {}
    # UCS2, one part, service centre "00" as the panel's encoders write it.
    cases["ucs2_single"] = with_empty_centre(gammu_parts("Насос 3: авария", "+79161234567")[0])
    # UCS2 as gammu writes it, with its one-octet service-centre field.
    cases["ucs2_single_gammu_centre"] = gammu_parts("Hello, Ωmega", "+79161234567")[0]
    # Cyrillic in three parts, 8-bit and 16-bit concatenation references.
    for i, p in enumerate(gammu_parts(CYRILLIC * 2, "+79161234567")):
        cases["ucs2_cyrillic_ref8_part%d" % (i + 1)] = with_empty_centre(p)
    for i, p in enumerate(gammu_parts(CYRILLIC * 2, "+4917612345", udh16=True)):
        cases["ucs2_cyrillic_ref16_part%d" % (i + 1)] = with_empty_centre(p)
    # 7-bit default alphabet, one part and two parts with extension characters, class 1.
    cases["gsm7_single"] = with_empty_centre(
        gammu_parts("Pump 3 @ 12:00 - pressure < 2 bar; £5 ¥ è é Ç Ø Å Δ Φ Ω ¿ § ß", "+79161234567", unicode=False)[0])
    for i, p in enumerate(gammu_parts("Valve {A} [B] ~ | € ^ \\ " * 9, "+4917612345", unicode=False,
                                      udh16=True, msg_class=1)):
        cases["gsm7_extension_ref16_part%d" % (i + 1)] = with_empty_centre(p)
    for i, p in enumerate(gammu_parts("Line %d of the alarm list. " % 1 * 8, "+79161234567", unicode=False)):
        cases["gsm7_ref8_part%d" % (i + 1)] = with_empty_centre(p)
    # Numbers: unknown type, national type, odd and even lengths; written by hand.
    # 0x11: SMS-SUBMIT with a relative validity period (0xAA: 4 days).
    cases["unknown_even"] = "0011000A8110325476980008AA0400410042"
    cases["unknown_odd"] = "0011000B811032547698F00008AA0400410042"
    cases["national_odd"] = "0011000BA11032547698F00008AA0400410042"
    cases["international_odd"] = "0011000B919471163254F10008AA04041F0440"
    # No validity period (VPF 00), a service centre number, a message reference.
    cases["centre_and_reference"] = "07919761989901F001 2A 0B919761214365F7 0000 05 C8329BFD06".replace(" ", "")
    # Reject-duplicates, status report and reply path set (gammu reports none of them for
    # SMS-SUBMIT; the unit tests check them), validity 255 (63 weeks).
    cases["flags_set"] = "00B5000B919761214365F70000FF05E8329BFD06"
    # Absolute validity period (VPF 11): 7 octets of time stamp.
    cases["absolute_validity"] = "0019000B919761214365F7000021101012325480 01C8".replace(" ", "")
    # 8-bit data, class 1 through the 1111 coding group.
    cases["data8"] = "0011000B919761214365F700F5AA04E9FC4142"
    # UCS2 class 0 (flash).
    cases["ucs2_class0"] = "0011000B919761214365F70018AA0404100411"
    # An alphanumeric destination.
    cases["alphanumeric_destination"] = "0001000AD0C8329BFD06000001C8"
    return cases


def reject_cases():
    ok = "0011000B919761214365F70008AA0400410042"
    return {
        "empty": ("", "empty"),
        "odd_hex": (ok[:-1], "odd number"),
        "not_hex": (ok[:10] + "G" + ok[11:], "not a hex digit"),
        "deliver_type": ("0004" + ok[4:], "not SMS-SUBMIT"),
        "command_type": ("0012" + ok[4:], "not SMS-SUBMIT"),
        "centre_too_long": ("0C" + "91" + "11" * 11 + ok[2:], "service-centre"),
        "centre_cut": ("07919761", "service-centre"),
        "number_too_long": ("00110015911122334455667788990011F00008AA0400410042", "20"),
        "empty_number": ("0011000091" + "0008AA0400410042", "empty destination"),
        "type_without_bit7": ("0011000B119761214365F70008AA0400410042", "bit 7"),
        "odd_number_without_filler": ("0011000B919761214365070008AA0400410042", "filler"),
        "filler_inside_number": ("0011000B9197F1214365F70008AA0400410042", "filler"),
        "cut_in_number": ("0011000B91976121", "destination"),
        "cut_before_udl": ("0011000B919761214365F70008", "TP-VP"),
        "user_data_short": ("0011000B919761214365F70008AA06004100420043"[:-4], "TP-UDL"),
        "user_data_long": (ok + "00", "after the user data"),
        "ucs2_udl_over_140": ("0011000B919761214365F70008AA8E" + "0041" * 71, "140"),
        "gsm7_udl_over_160": ("0011000B919761214365F70000AAA1" + "41" * 141, "160"),
        "ucs2_odd_text": ("0011000B919761214365F70008AA03004100", "odd"),
        "reserved_alphabet": ("0011000B919761214365F7000CAA0400410042", "reserved alphabet"),
        "compressed": ("0011000B919761214365F70028AA0400410042", "compressed"),
        "header_overruns_data": ("0051000B919761214365F70008AA0408000301", "header"),
        "element_overruns_header": ("0051000B919761214365F70008AA0A05000501020100410042", "overruns the header"),
        "concat_sequence_zero": ("0051000B919761214365F70008AA0805000301020000410042"[:-4], "part 0 of 2"),
        "concat_sequence_over_total": ("0051000B919761214365F70008AA08050003010203 0041".replace(" ", ""), "part 3 of 2"),
        "concat_total_zero": ("0051000B919761214365F70008AA080500030100010041", "part 1 of 0"),
        "concat_wrong_length": ("0051000B919761214365F70008AA0704000201020041", "concatenation element"),
        "two_concat_elements": ("0051000B919761214365F70008AA0D0A00030102010003010201" + "0041", "two concatenation"),
        "udhi_without_data": ("0051000B919761214365F70008AA00", "no user data"),
        "gsm7_header_longer_than_udl": ("0051000B919761214365F70000AA03027F00", "longer than TP-UDL"),
    }


def main():
    index = []
    for sub in ("submit", "reject"):
        os.makedirs(os.path.join(HERE, sub), exist_ok=True)
    for name, pdu in submit_cases().items():
        with open(os.path.join(HERE, "submit", name + ".pdu"), "w") as f:
            f.write(pdu + "\n")
        with open(os.path.join(HERE, "submit", name + ".expect"), "w", encoding="utf-8") as f:
            f.write(expectation(pdu))
        index.append("submit " + name)
    for name, (pdu, why) in reject_cases().items():
        with open(os.path.join(HERE, "reject", name + ".pdu"), "w") as f:
            f.write(pdu + "\n")
        with open(os.path.join(HERE, "reject", name + ".why"), "w") as f:
            f.write(why + "\n")
        index.append("reject " + name)
    with open(os.path.join(HERE, "index.txt"), "w") as f:
        f.write("\n".join(index) + "\n")


if __name__ == "__main__":
    main()
