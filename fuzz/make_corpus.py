#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets, fuzz/corpus/<target>/, from
the fixtures of the tests: the same settings, recipients, templates, messages,
frame files, scripts, records and replies, laid out as each target reads its
input. Run it again after changing a target's input layout; the output is
kept in the repository.

A target reads its numbers with FuzzedDataProvider from the end of the input
(the first number is the last bytes, little-endian) and the file or register
bytes from the front, so a seed is the bytes followed by the numbers in
reverse order.
"""
import os
import shutil
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
TESTS = os.path.join(HERE, "..", "tests")


def u16(v):
    return struct.pack("<H", v & 0xFFFF)


def u32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def u8(v):
    return bytes([v & 0xFF])


def seed(data, *numbers):
    """data followed by the numbers (bytes each) so that the first is read first."""
    tail = b"".join(reversed(numbers))
    return bytes(data) + tail


def ucs2(text, units=None):
    b = b"".join(struct.pack("<H", ord(c)) for c in text)
    if units is not None:
        b = b[: 2 * units].ljust(2 * units, b"\0")
    return b


def address(number):
    digits = "7" + number
    out = "%02X91" % len(digits)
    if len(digits) % 2:
        digits += "F"
    return out + "".join(digits[i + 1] + digits[i] for i in range(0, len(digits), 2))


def send_settings(enabled, mode, interval, timeout):
    return u16(enabled) + u16(mode) + u16(interval) + u16(timeout)


def recipients(numbers, count=None):
    b = bytearray(92)
    b[0:2] = u16(len(numbers) if count is None else count)
    for i, n in enumerate(numbers[:3]):
        b[2 + 30 * i: 2 + 30 * i + len(n)] = n.encode()
        a = address(n).encode()
        b[12 + 30 * i: 12 + 30 * i + len(a)] = a
    return bytes(b)


def template(title, events, disabled=()):
    b = bytearray(840)
    b[0:40] = ucs2(title, 20)
    for i, e in enumerate(events[:16]):
        b[40 + 50 * i: 42 + 50 * i] = u16(0 if i in disabled else 1)
        b[50 + 50 * i: 90 + 50 * i] = ucs2(e, 20)
    return bytes(b)


def message(text):
    return u16(len(text)) + ucs2(text)


def records(texts, count=None):
    b = u16(len(texts) if count is None else count)
    for t in texts:
        t = t.encode("latin-1") if isinstance(t, str) else t
        b += t[:200].ljust(200, b"\0")
    return b


def hex_units(text):
    return "".join("%04X" % ord(c) for c in text)


def pdu(number, text, parts=1, part=1, reference=7):
    """An SMS-SUBMIT as the server encoders write it (39 units a part)."""
    udl = 2 * len(text) + (6 if parts > 1 else 0)
    head = "00" + ("41" if parts > 1 else "01") + "%02X" % (part - 1) + address(number) + "0008" + "%02X" % udl
    if parts > 1:
        head += "050003%02X%02X%02X" % (reference, parts, part)
    return head + hex_units(text)


PDU36 = "0001000B910721436587F900080400410042"
SCRIPT = ["AT\r\n", "ATE0\r\n", "AT+CMGF=0\r\n", 'AT+CSCS="UCS2"\r\n', "AT+CMGS=17\r\n", PDU36 + "\x1a"]
CYRILLIC = "\u041f\u0440\u0438\u0432\u0435\u0442"
FORTY = "Pressure high in boiler 2, flame out!!!" + "\u20ac"


def part_records(pdus, parts=None):
    """The message area RW 2000..: P, then per record its length, N and the data."""
    words = [len(pdus) if parts is None else parts]
    for p in pdus:
        data = (p + "\x1a").encode("latin-1")
        if len(data) % 2:
            data += b"\0"
        n = len(data) // 2
        words += [(len(p) - 2) // 2, n] + list(struct.unpack("<%dH" % n, data))
    return b"".join(u16(w) for w in words)


def seeds():
    s = {}
    s["send_settings"] = [
        seed(send_settings(1, 0, 1, 3), u32(1000), u16(5), u32(990)),
        seed(send_settings(1, 1, 0, 30), u32(50000), u16(3), u32(40000)),
        seed(send_settings(0, 0, 0, 0), u32(0), u16(0), u32(0)),
        seed(send_settings(1, 2, 2, 0), u32(2000), u16(1), u32(2000)),
        seed(send_settings(1, 0, 0, 3), u32(5), u16(1), u32(0xFFFFFFF0)),
        seed(b"\x01", u32(7), u16(1), u32(0)),
    ]
    s["recipients"] = [
        seed(recipients(["9123456789"]), u8(0)),
        seed(recipients(["9123456789", "812345678", "0123456789"]), u8(1)),
        seed(recipients(["9123456789", "812345678"], count=7), u8(2)),
        seed(recipients([], count=0), u8(0)),
        seed(recipients(["9123456789"])[:40], u8(1)),
    ]
    s["template"] = [
        seed(template("T", ["A", "B", "C"]), u16(5)),
        seed(template("", ["A", "", "C"]), u16(7)),
        seed(template("Boiler house 2", ["Pressure high", "Flame out"], disabled=(1,)), u16(3)),
        seed(template("x" * 20, [chr(0x61 + i) * 20 for i in range(16)]), u16(0xFFFF)),
        seed(template(CYRILLIC, [CYRILLIC]), u16(0)),
    ]
    s["server_profile"] = [
        seed(u16(0) + u32(0) + u32(0), u32(1000), u16(5), u8(0), u16(0)),
        seed(u16(5) + u32(900) + u32(900), u32(1000), u16(5), u8(1), u16(1)),
        seed(u16(3) + u32(100) + u32(100), u32(900), u16(6), u8(1), u16(1)),
        seed(u16(1) + u32(5000) + u32(5000), u32(10), u16(1), u8(0), u16(0)),
        seed(u16(1) + u32(0xFFFFFF00) + u32(0), u32(0xFFFFFFF0), u16(2), u8(2), u16(3)),
    ]
    s["message"] = [
        seed(message("AB"), u8(1)),
        seed(message(FORTY), u8(3)),
        seed(message("y" * 78), u8(2)),
        seed(message(CYRILLIC + "\n1. " + CYRILLIC), u8(1)),
        seed(message(""), u8(1)),
        seed(u16(3) + ucs2("A"), u8(2)),
    ]
    s["frames"] = [
        records([PDU36]),
        records([pdu("9123456789", FORTY[:39], 2, 1), pdu("9123456789", FORTY[39:], 2, 2)]),
        records([PDU36, ""]),
        records([], count=0),
        records([PDU36], count=2),
    ]
    s["script"] = [
        seed(records(SCRIPT), u8(0), u8(1), u8(4), u8(0)),
        seed(records(SCRIPT), u8(0), u8(2), u8(0), u8(0)),
        seed(records([], count=0), u8(0), u8(0), u8(0), u8(0)),
        seed(records(["AT\r\n", "ATE0\r\n"], count=3), u8(5), u8(0), u8(3), u8(0)),
    ]
    book = bytearray(542)
    book[0:2] = u16(2)
    for i in range(3):
        book[2 + 180 * i: 2 + 180 * i + 30] = ("Entry %d +7912345678%d" % (i, i)).encode().ljust(30, b"\0")
    s["phone_book"] = [
        seed(bytes(book), u16(2)),
        seed(bytes(book[:100]), u16(0)),
        seed(u16(3) + bytes(book[2:]), u16(7)),
        seed(u16(0) + bytes(book[2:]), u16(1)),
    ]
    profile = bytearray(208)
    for off, length, text in [(0, 6, "GPRS0"), (6, 6, "20"), (12, 32, "user"), (44, 32, "secret"),
                              (76, 100, "internet.example"), (176, 16, "10.0.0.1"), (192, 16, "10.0.0.2")]:
        profile[off: off + len(text)] = text.encode()
    full_apn = bytearray(profile)
    full_apn[76:176] = b"a" * 100
    s["gprs_profile"] = [
        seed(bytes(profile), u8(5), u16(0x1000), u32(1000), u8(1)),
        seed(bytes(full_apn), u8(5), u16(0x1003), u32(7), u8(1)),
        seed(bytes(profile), u8(0), u16(0x1000), u32(7), u8(1)),
        seed(bytes(profile), u8(8), u16(0x1000), u32(7), u8(1)),
        seed(bytes(profile), u8(1), u16(0x0002), u32(7), u8(0)),
    ]
    data = bytes((i * 7 + 3) & 0xFF for i in range(836))
    s["gprs_data"] = [data, data[:100], b"\x01\x02\x03"]
    block = lambda state, flags=0, index=0, count=0, mask=5: (
        u16(mask) + b"".join(u16(0x100 + i) for i in range(3)) + u32(flags) + u32(state) + u16(0x77) +
        u32(1000) + u32(1000) + u16(index) + u16(count))
    s["control_block"] = [
        seed(b"", *[block(st)[2 * i: 2 * i + 2] for i in range(15)], u32(1005))
        for st in (0, 7, 8, 10, 11, 12, 13)
    ]
    windows = send_settings(1, 1, 0, 3) + recipients(["9123456789", "812345678"]) + template("T", ["A", "B"])
    s["settings_windows"] = [
        seed(windows, u32(0x100)),
        seed(send_settings(0, 0, 0, 0) + recipients(["91234x6789"]) + template("", []), u32(0x120)),
        seed(send_settings(1, 0, 0, 0) + recipients(["", "0123456789"], count=9), u32(0)),
    ]
    rw = bytearray(864)
    rw[8:10] = u16(2)
    rw[10:20] = b"9123456789"
    rw[20:30] = b"9876543210"
    rw[160:162] = u16(0x3)
    rw[162:164] = u16(0x7)
    rw[164:204] = ucs2("  Title  ", 20)
    for i in range(16):
        rw[204 + 40 * i: 244 + 40 * i] = ucs2(" text %d " % i, 20)
    rw[180:182] = u16(0x0005)
    rw[182:184] = u16(0x0007)
    rw[184:224] = ucs2("  Boiler house  ", 20)
    for i in range(16):
        rw[224 + 40 * i: 264 + 40 * i] = ucs2(("  alarm %d" % i).ljust(20), 20)
    remnant = bytearray(rw)
    remnant[164:204] = ucs2("AB\0CDEFGH", 20)
    s["recipe_areas"] = [bytes(rw), bytes(remnant), bytes(rw[:200])]
    reply = lambda text: text.encode().ljust(200, b"\0")
    s["chain_records"] = [
        seed(reply("\r\nOK\r\n"), u16(0x80), u16(0), u16(state), u16(state), u16(64 if state == 8 else 1), u16(1),
             u32(1000), u32(990))
        for state in (0, 1, 2, 4, 8, 16, 32, 64)
    ] + [
        seed(reply("\r\n> "), u16(0x20), u16(0x20), u16(1), u16(16), u16(64), u16(3), u32(1100), u32(1000)),
        seed(reply("\r\nERROR\r\n"), u16(0x40), u16(0x24), u16(2), u16(32), u16(64), u16(0), u32(5), u32(0)),
    ]
    one = pdu("9123456789", "AB")
    two = [pdu("9123456789", FORTY[:39], 2, 1), pdu("9123456789", FORTY[39:], 2, 2)]
    long_record = pdu("9123456789", "x" * 39, 2, 1) + "00" * 10
    s["part_records"] = [
        seed(part_records([one]), u8(0)),
        seed(part_records(two), u8(1)),
        seed(part_records([long_record, one]), u8(0)),
        seed(part_records([one], parts=0), u8(1)),
    ]
    s["replies"] = [
        seed(reply("\r\nOK\r\n"), u16(1)),
        seed(reply("\r\n> "), u16(16)),
        seed(reply("\r\n+CMS ERROR: 304\r\n"), u16(32)),
        seed(reply("x" * 200), u16(64)),
        seed(reply(""), u16(8)),
    ]
    session = ("AT\rATE0\rAT+CMGF=0\rAT+CSCS=\"UCS2\"\rAT+CMGS=17\r" + PDU36 + "\x1a").encode()
    modem_options = lambda armed, kind, prefix, nth, persistent, banner: [
        u8(armed), u8(kind), u8(prefix), u8(nth), u8(persistent), u8(banner),
        u16(3), u16(20), u16(41), u16(60)]
    s["modem"] = [
        seed(session, *modem_options(0, 0, 0, 0, 0, 0)),
        seed(session, *modem_options(1, 1, 2, 1, 0, 1)),
        seed(session, *modem_options(1, 4, 3, 0, 1, 1)),
        seed(b"ATE0V0\rAT+CMEE=2;+CSCA?\rAT+CSCS=\"HEX\"\rAT+CSCA=\"2B3439\"\rat^sics=0,apn,x\r",
             *modem_options(1, 3, 1, 2, 0, 0)),
        seed(b"AT+CMGS=17\r" + PDU36.encode() + b"\x1b", *modem_options(1, 2, 4, 0, 0, 0)),
    ]
    golden = os.path.join(TESTS, "data", "sms")
    decoder = []
    for kind in ("submit", "reject"):
        for name in sorted(os.listdir(os.path.join(golden, kind))):
            if name.endswith(".pdu"):
                with open(os.path.join(golden, kind, name), "rb") as f:
                    decoder.append(f.read().split(b"\n")[0])
    s["sms_decoder"] = decoder
    return s


def main():
    out = os.path.join(HERE, "corpus")
    for target, items in seeds().items():
        folder = os.path.join(out, target)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        for i, data in enumerate(items):
            with open(os.path.join(folder, "seed-%02d" % i), "wb") as f:
                f.write(data)
        print("%-18s %d seeds" % (target, len(items)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
