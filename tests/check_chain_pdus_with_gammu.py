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

from gammu_pdus import check_recipients


def check_run(path):
    run = json.load(open(path, encoding='utf-8'))
    pdus, numbers = run['pdus'], run['recipients']
    return check_recipients(pdus, numbers, run['message'])


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
