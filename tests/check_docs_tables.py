#!/usr/bin/env python3
"""Checks that the integration guide's code tables agree with codes.h.

Every enumerator of the named enums must appear in the guide as a table row
holding its value and its name in backticks, and every such row in the guide
must name an enumerator with that value.
"""
import re
import sys

ENUMS = ['ResultCode', 'ServerFlags', 'ServerState', 'ChainMacro', 'ChainFailure']


def enumerators(header):
    text = open(header, encoding='utf-8').read()
    found = {}
    for name in ENUMS:
        m = re.search(r'enum\s+' + name + r'\s*:[^{]*\{(.*?)\};', text, re.S)
        if not m:
            raise SystemExit(f'{header}: enum {name} not found')
        for entry in re.finditer(r'(\w+)\s*=\s*(0x[0-9A-Fa-f]+|\d+)u?', m.group(1)):
            found[entry.group(1)] = int(entry.group(2), 0)
    return found


def documented(guide):
    rows = {}
    for line in open(guide, encoding='utf-8'):
        if not line.startswith('|'):
            continue
        cells = [c.strip() for c in line.strip().strip('|').split('|')]
        names = [re.fullmatch(r'`(\w+)`', c) for c in cells]
        numbers = [c for c in cells if re.fullmatch(r'0x[0-9A-Fa-f]+|\d+', c)]
        for n in names:
            if n and numbers:
                rows.setdefault(n.group(1), set()).update(int(x, 0) for x in numbers)
    return rows


def main():
    header, guide = sys.argv[1], sys.argv[2]
    code = enumerators(header)
    docs = documented(guide)
    problems = []
    for name, value in code.items():
        if name not in docs:
            problems.append(f'{name} = {value} is not in the guide')
        elif value not in docs[name]:
            problems.append(f'{name} = {value}, the guide says {sorted(docs[name])}')
    for name in docs:
        if name[0].isupper() and name not in code and re.match(r'(Err|State|Send|Failed|Result|Transmit|Message|Frames|Script|Scheduler|\w+Macro$)', name):
            problems.append(f'the guide names {name}, which codes.h does not have')
    for p in problems:
        print(p)
    print(f'{len(code) - len(problems)} passed, {len(problems)} failed')
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
