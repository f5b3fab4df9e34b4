#!/usr/bin/env python3
"""Checks the shipped form of every plug-in in a plugins folder.

panel: 32-bit ARM ELF shared objects whose NEEDED list holds only the C
library, which define and export macro_main alone, load at 4 KiB pages and
keep no static data beyond the runtime's 4096-byte name buffer.
pc: 32-bit PE DLLs that import only KERNEL32.dll and msvcrt.dll and export
macro_main alone, with the same static data rule.
"""
import argparse
import os
import re
import subprocess
import sys

NAME_BUFFER = 4096
# Writable bytes the C runtime's start-up code keeps in every shared library
# (an init flag, the DSO handle, the DLL entry's bookkeeping).
STARTUP_SLACK = 160


def run(*cmd):
    return subprocess.run(cmd, check=True, capture_output=True, text=True).stdout


def section_sizes(lines, pattern):
    sizes = {}
    for line in lines:
        m = re.match(pattern, line)
        if m:
            sizes[m.group('name')] = int(m.group('size'), 16)
    return sizes


def check_elf(path):
    problems = []
    header = run('arm-linux-gnueabihf-readelf', '-hW', path)
    if 'ELF32' not in header or 'ARM' not in header or 'DYN' not in header:
        problems.append('not a 32-bit ARM shared object')
    if 'hard-float' not in header:
        problems.append('not built for the hard-float ABI')
    dynamic = run('arm-linux-gnueabihf-readelf', '-dW', path)
    needed = re.findall(r'\(NEEDED\)\s+Shared library: \[([^\]]+)\]', dynamic)
    extra = [n for n in needed if n != 'libc.so.6']
    if extra:
        problems.append('needs ' + ', '.join(extra))
    symbols = run('arm-linux-gnueabihf-readelf', '--dyn-syms', '-W', path)
    exported = []
    for line in symbols.splitlines():
        f = line.split()
        if len(f) >= 8 and f[0].endswith(':') and f[4] in ('GLOBAL', 'WEAK') and f[6] != 'UND':
            exported.append(f[7])
    if exported != ['macro_main']:
        problems.append('exports ' + (', '.join(exported) or 'nothing'))
    for line in run('arm-linux-gnueabihf-readelf', '-lW', path).splitlines():
        f = line.split()
        if f and f[0] == 'LOAD' and int(f[-1], 16) > 0x1000:
            problems.append('LOAD segment aligned to ' + f[-1])
    sections = section_sizes(
        run('arm-linux-gnueabihf-readelf', '-SW', path).splitlines(),
        r'\s*\[\s*\d+\]\s+(?P<name>\.\S+)\s+\S+\s+\S+\s+\S+\s+(?P<size>[0-9a-f]+)')
    writable = sections.get('.data', 0) + sections.get('.bss', 0)
    if writable > NAME_BUFFER + STARTUP_SLACK:
        problems.append(f'{writable} bytes of static data')
    if any(s.startswith('.gcc_except_table') or s == '.eh_frame_hdr' for s in sections):
        problems.append('carries exception tables')
    return problems


def check_pe(path):
    problems = []
    dump = run('i686-w64-mingw32-objdump', '-p', path)
    if 'pei-i386' not in dump:
        problems.append('not a 32-bit PE image')
    dlls = re.findall(r'DLL Name: (\S+)', dump)
    extra = [d for d in dlls if d.lower() not in ('kernel32.dll', 'msvcrt.dll')]
    if extra:
        problems.append('imports ' + ', '.join(extra))
    exports = []
    table = dump.split('[Ordinal/Name Pointer] Table', 1)
    if len(table) == 2:
        for line in table[1].splitlines()[1:]:
            m = re.match(r'\s+\[\s*\d+\]\s+(\S+)$', line)
            if not m:
                break
            exports.append(m.group(1))
    if exports != ['macro_main']:
        problems.append('exports ' + (', '.join(exports) or 'nothing'))
    sections = section_sizes(
        run('i686-w64-mingw32-objdump', '-h', path).splitlines(),
        r'\s*\d+\s+(?P<name>\.\S+)\s+(?P<size>[0-9a-f]+)\s')
    writable = sections.get('.data', 0) + sections.get('.bss', 0)
    if writable > NAME_BUFFER + STARTUP_SLACK:
        problems.append(f'{writable} bytes of static data')
    return problems


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--target', choices=['panel', 'pc'], required=True)
    ap.add_argument('--plugins', required=True, action='append', help='a folder; may be repeated')
    args = ap.parse_args()
    ext = '.so' if args.target == 'panel' else '.dll'
    check = check_elf if args.target == 'panel' else check_pe
    files = sorted(os.path.join(d, f) for d in args.plugins for f in os.listdir(d)
                   if f.endswith(ext))
    if not files:
        print('no plug-ins in ' + ', '.join(args.plugins))
        return 1
    failed = 0
    for f in files:
        problems = check(f)
        status = 'ok' if not problems else '; '.join(problems)
        print(f'{f}: {status}')
        failed += bool(problems)
    print(f'{len(files) - failed} passed, {failed} failed')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
