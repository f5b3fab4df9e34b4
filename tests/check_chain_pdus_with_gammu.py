#!/usr/bin/env python3
"""Decodes the PDUs the chain runs sent to the modem, with python-gammu.

Each <run>.json holds the message every recipient must receive, the
recipients in order and the PDUs (hex, without Ctrl-Z) as they went out:
all parts of the first recipient, then those of the next. Every PDU must be
an SMS-SUBMIT in UCS2 to the right number; a recipient's parts must carry
one reference, be numbered 1..F and reassemble to the message.
"""
import glob
import json
import os
import sys

import gammu


def check_run(path):
    run = json.load(open(path, encoding='utf-8'))
    pdus, numbers = run['pdus'], run['recipients']
    assert numbers and len(pdus) % len(numbers) == 0, f'{len(pdus)} PDUs for {len(numbers)} recipients'
    parts = len(pdus) // len(numbers)
    for r, number in enumerate(numbers):
        mine = [gammu.DecodePDU(bytes.fromhex(p), SMSC=True) for p in pdus[r * parts:(r + 1) * parts]]
        refs = set()
        for k, sms in enumerate(mine):
            assert sms['Type'] == 'Submit', sms['Type']
            assert sms['Coding'] == 'Unicode_No_Compression', sms['Coding']
            assert sms['Number'] == number, (sms['Number'], number)
            udh = sms['UDH']
            if parts == 1:
                assert udh['Type'] == 'NoUDH', udh
            else:
                assert udh['Type'] == 'ConcatenatedMessages', udh
                assert udh['AllParts'] == parts and udh['PartNumber'] == k + 1, udh
                refs.add(udh['ID8bit'])
        assert len(refs) <= 1, f'one recipient, several references: {refs}'
        linked = gammu.LinkSMS([[s] for s in mine])
        assert len(linked) == 1, f'{len(linked)} messages after linking'
        decoded = gammu.DecodeSMS(linked[0])
        if decoded is None:
            text = ''.join(s['Text'] for s in linked[0])
        else:
            text = ''.join(e['Buffer'] or '' for e in decoded['Entries'])
        assert text == run['message'], f'{number}: {text!r} != {run["message"]!r}'
    return len(pdus)


def main():
    runs = sorted(glob.glob(os.path.join(sys.argv[1], '*.json')))
    if not runs:
        print(f'no chain runs in {sys.argv[1]}')
        return 1
    failed = 0
    for path in runs:
        name = os.path.basename(path)
        try:
            print(f'{name}: {check_run(path)} PDUs decoded')
        except Exception as e:  # report every run, not just the first
            failed += 1
            print(f'{name}: FAILED: {e!r}')
    print(f'{len(runs) - failed} passed, {failed} failed')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
