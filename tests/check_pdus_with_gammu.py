#!/usr/bin/env python3
"""Decodes every PDU frame file the encoder tests left, with python-gammu.

Each <case>.frames (count word, 200-byte NUL-terminated hex records) comes
with <case>.json: the message every recipient must receive and the numbers in
file order. Every record must be an SMS-SUBMIT in UCS2 to the right number;
one recipient's parts must share one reference, be numbered 1..F, and
reassemble to the message.
"""
import glob
import json
import os
import sys

from gammu_pdus import check_recipients


def records(path):
    data = open(path, 'rb').read()
    count = int.from_bytes(data[:2], 'little')
    body = data[2:]
    if len(body) != 200 * count:
        raise AssertionError(f'{count} records announced, {len(body)} bytes follow')
    out = []
    for k in range(count):
        rec = body[200 * k:200 * (k + 1)]
        text = rec.split(b'\0', 1)[0]
        if rec[len(text):] != b'\0' * (200 - len(text)):
            raise AssertionError(f'record {k}: bytes after the text are not zero')
        out.append(text.decode('ascii'))
    return out


def check_case(frames_path):
    want = json.load(open(frames_path[:-len('.frames')] + '.json', encoding='utf-8'))
    pdus = records(frames_path)
    numbers = want['recipients']
    if not numbers:
        assert not pdus, 'records for no recipient'
        return 0
    return check_recipients(pdus, numbers, want['message'], references=range(1, 251))


def main():
    folder = sys.argv[1]
    cases = sorted(glob.glob(os.path.join(folder, '*.frames')))
    if not cases:
        print(f'no frame files in {folder}')
        return 1
    failed = 0
    for path in cases:
        name = os.path.basename(path)
        try:
            n = check_case(path)
            print(f'{name}: {n} PDUs decoded')
        except Exception as e:  # report every case, not just the first
            failed += 1
            print(f'{name}: FAILED: {e}')
    print(f'{len(cases) - failed} passed, {failed} failed')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
