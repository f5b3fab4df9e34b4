#!/usr/bin/python3
"""Writes the data files that the inspect tests decode.

accept/CASE/FILE   a file as the plug-ins write it: no problem to report
warn/CASE/FILE     readable, with something the plug-ins ignore or cut
reject/CASE/FILE   short, cut or corrupt: an error naming where

Each CASE folder also holds expect.txt, the text "panelsim inspect FILE"
prints in that folder (and some hold expect.json, its --json output). Those
are written once with panelsim and checked by hand; run this script again
(/usr/bin/python3 tests/data/inspect/make_files.py) only to add cases, then
write the expectations of the new cases the same way.

Every PDU written here is decoded by python3-gammu before it is kept, so the
good files hold PDUs an independent decoder accepts.
"""

import binascii
import os
import struct

import gammu

HERE = os.path.dirname(os.path.abspath(__file__))


def u16(*words):
    return b"".join(struct.pack("<H", w) for w in words)


def ucs2(text, units=None):
    data = text.encode("utf-16-le")
    if units is not None:
        data = data[: 2 * units].ljust(2 * units, b"\0")
    return data


def field(data, length):
    return data[:length].ljust(length, b"\0")


def address(number):
    work = "7" + number
    length = "%02X" % len(work)
    if len(work) % 2:
        work += "F"
    swapped = "".join(work[i + 1] + work[i] for i in range(0, len(work), 2))
    return length + "91" + swapped


def send_settings(enabled=1, mode=0, interval=5, timeout=30):
    return u16(enabled, mode, interval, timeout)


def recipients(count, entries):
    out = u16(count)
    for number, addr in entries + [("", "")] * (3 - len(entries)):
        out += field(number.encode(), 10) + field(addr.encode(), 20)
    return out


def template(title, events):
    out = ucs2(title, 20)
    for i in range(16):
        enabled, reserved, text = events.get(i, (0, (0, 0, 0, 0), ""))
        out += u16(enabled, *reserved) + ucs2(text, 20)
    return out


def message(text):
    units = ucs2(text)
    return u16(len(units) // 2) + units


def pdus_for(text, addr, reference):
    """The encoder's PDUs: parts of 39 UCS2 characters, UDH with an 8-bit reference."""
    hex_text = binascii.hexlify(text.encode("utf-16-be")).decode().upper()
    parts = [hex_text[i:i + 156] for i in range(0, len(hex_text), 156)]
    out = []
    for k, part in enumerate(parts):
        multi = len(parts) > 1
        pdu = "00" + ("41" if multi else "01") + "%02X" % k + addr + "00" + "08"
        pdu += "%02X" % (len(part) // 2 + (6 if multi else 0))
        if multi:
            pdu += "050003%02X%02X%02X" % (reference, len(parts), k + 1)
        pdu += part
        gammu.DecodePDU(binascii.unhexlify(pdu), SMSC=True)  # refuses what is not a PDU
        out.append(pdu)
    return out


def frames(texts, count=None):
    out = u16(len(texts) if count is None else count)
    for t in texts:
        out += field(t if isinstance(t, bytes) else t.encode(), 200)
    return out


def script_records(pdus):
    lines = [b"AT\r\n", b"ATE0\r\n", b"AT+CMGF=0\r\n", b'AT+CSCS="UCS2"\r\n']
    for p in pdus:
        lines.append(b"AT+CMGS=%d\r\n" % ((len(p) - 2) // 2))
        lines.append(p.encode() + b"\x1a")
    return lines


def script(lines, count=None):
    out = u16(len(lines) if count is None else count)
    for line in lines:
        out += field(line, 200)
    return out


def phone_book(in_use, entries):
    out = u16(in_use)
    for e in entries + [b""] * (3 - len(entries)):
        out += field(e, 180)
    return out


CONNECTION = [("conType", 6), ("inactTo", 6), ("user", 32), ("passwd", 32), ("apn", 100),
              ("dns1", 16), ("dns2", 16)]


def connection(values):
    return b"".join(field(values.get(tag, b""), n) for tag, n in CONNECTION)


def data_settings(header, entries, unused=0):
    words = [[0] * 16 for _ in range(3)]
    t16 = [b""] * 16
    t30 = [b""] * 16
    for i, (w1, w2, w3, a, b) in entries.items():
        words[0][i], words[1][i], words[2][i] = w1, w2, w3
        t16[i], t30[i] = a, b
    out = u16(unused, header)
    for w in words:
        out += u16(*w)
    out += b"".join(field(t, 16) for t in t16) + b"".join(field(t, 30) for t in t30)
    return out


N1, N2 = "9161234567", "9169876543"
A1, A2 = address(N1), address(N2)
TEXT = "[Насосная 4]\n1. Авария насоса 1\n2. Low tank level\n"
PDUS = pdus_for(TEXT, A1, 17)
ONE_PART = pdus_for("AB", "0B910721436587F9", 1)

CASES = {
    "accept": {
        "send-settings": ("SMSProfile_1.bin", send_settings(1, 1, 5, 30)),
        "recipients": ("SMSProfile_2.bin", recipients(2, [(N1, A1), (N2, A2)])),
        "template": ("SMSProfile_3.bin", template("Насосная 4", {
            0: (1, (0, 0, 0, 0), "Авария насоса 1"),
            3: (1, (1, 2, 3, 4), "Low tank level"),
            5: (0, (0, 0, 0, 0), "Дверь открыта")})),
        "server-profile": ("SMSServerProfile.bin", u16(5) + struct.pack("<II", 123456, 123456)),
        "message": ("SMSMessage.bin", message(TEXT)),
        "pdus": ("SMSMessage.txt", frames(PDUS + ONE_PART)),
        "script": ("SMSMessage.at", script(script_records(PDUS))),
        "phone-book": ("panel_phone_book.bin", phone_book(2, [b"Ivanov 9161234567",
                                                              b"Petrov\0\x01\x02\xff"])),
        "gprs-connection": ("gprs_ConnectionProfileSettings.bin", connection({
            "conType": b"GPRS0", "inactTo": b"20", "user": b"panel",
            "passwd": b"s3cret", "apn": b"internet.example", "dns1": b"10.0.0.1",
            "dns2": b"10.0.0.2"})),
        "gprs-data": ("gprs_DataSettings.bin", data_settings(7, {
            0: (1, 2, 3, b"station-4", b"alarm.example:5000"),
            5: (10, 20, 30, b"\x01\x02bin", b"")})),
    },
    "warn": {
        "send-settings-long": ("SMSProfile_1.bin", send_settings() + b"\xff\xff"),
        "recipients-stale-address": ("SMSProfile_2.bin",
                                     recipients(2, [(N1, A2), ("12345", address("12345"))])),
        "template-junk-after-text": ("SMSProfile_3.bin",
                                     template("A", {})[:2] + b"\0\0" + b"B\0" +
                                     template("A", {})[6:]),
        "server-profile-ticks": ("SMSServerProfile.bin", u16(1) + struct.pack("<II", 10, 20)),
        "message-empty": ("SMSMessage.bin", u16(0)),
        "message-long": ("SMSMessage.bin", message("OK") + b"junk"),
        "script-no-commands": ("SMSMessage.at", u16(0)),
        "phone-book-unused-entry": ("panel_phone_book.bin", phone_book(1, [b"A", b"B"])),
        "gprs-connection-control": ("gprs_ConnectionProfileSettings.bin", connection({
            "conType": b"GPRS0", "passwd": b"ab\rAT+X", "apn": b"int\xe9rnet"})),
        "gprs-data-long": ("gprs_DataSettings.bin", data_settings(1, {}) + b"\0" * 4),
    },
    "reject": {
        "send-settings-short": ("SMSProfile_1.bin", send_settings()[:5]),
        "send-settings-mode": ("SMSProfile_1.bin", send_settings(mode=2)),
        "recipients-count": ("SMSProfile_2.bin", recipients(4, [(N1, A1)])),
        "recipients-addresses": ("SMSProfile_2.bin", recipients(3, [
            (N1, "0B919761214365F7ABCD"), (N2, ""), ("", "0191F7")])),
        "recipients-bad-hex": ("SMSProfile_2.bin", recipients(1, [(N1, "0B91x761214365F7")])),
        "template-short": ("SMSProfile_3.bin", template("Title", {})[:95]),
        "server-profile-short": ("SMSServerProfile.bin", u16(1, 2)),
        "message-short": ("SMSMessage.bin", message("Hello")[:7]),
        "message-no-count": ("SMSMessage.bin", b"\x05"),
        "pdus-missing": ("SMSMessage.txt", frames(ONE_PART, count=3)),
        "pdus-corrupt": ("SMSMessage.txt", frames([
            ONE_PART[0][:-2],                     # user data shorter than its length
            "0001000B910721436587F90008040041004Z",  # not hexadecimal
            b"0" * 200,                           # no NUL in its record
            ""])),
        "pdus-cut": ("SMSMessage.txt", frames(ONE_PART + ONE_PART)[:300]),
        "script-mismatch": ("SMSMessage.at", script([
            b"AT\r\n", b"AT+CMGS=20\r\n", ONE_PART[0].encode() + b"\x1a",
            b"AT+CMGS=17\r\n", ONE_PART[0].encode(), b"AT+CMGS=17\r\n"])),
        "script-cut": ("SMSMessage.at", script(script_records(ONE_PART))[:450]),
        "phone-book-short": ("panel_phone_book.bin", phone_book(1, [b"A"])[:100]),
        "gprs-connection-short": ("gprs_ConnectionProfileSettings.bin",
                                  connection({"conType": b"GPRS0", "passwd": b"s3cret"})[:60]),
        "gprs-connection-semicolon": ("gprs_ConnectionProfileSettings.bin", connection({
            "conType": b"GPRS0", "passwd": b"ab;+CFUN=0", "apn": b"internet"})),
        "gprs-data-short": ("gprs_DataSettings.bin", data_settings(1, {})[:200]),
    },
}


def main():
    for group, cases in CASES.items():
        for case, (name, data) in cases.items():
            folder = os.path.join(HERE, group, case)
            os.makedirs(folder, exist_ok=True)
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
