#!/usr/bin/env python3
"""Footprint and cost of every plug-in, measured from the builds.

  footprint.py table [--targets panel,pc,bench]
      the tables `make bench` prints: per plug-in and target the stripped
      size, imports, exports, static data, deepest stack of macro_main, heap
      and file use per call; per hot path the instructions per call. Every
      column names the command that measured it.
  footprint.py check-binaries --target panel|pc --build DIR
      sizes, imports, exports and static data against budgets.json.
  footprint.py check-instructions --build DIR
      instructions of the hot paths (callgrind) against budgets.json.
  footprint.py record --build DIR
      measures the hot paths and writes their budgets (measured + 10 %).
"""
import argparse
import glob
import json
import math
import os
import re
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUDGETS = os.path.join(ROOT, 'bench', 'budgets.json')
NAME_BUFFER = 4096
MARGIN = 0.10

TOOLS = {
    'panel': {'prefix': 'arm-linux-gnueabihf-', 'ext': '.so',
              'run': ['qemu-arm', '-L', '/usr/arm-linux-gnueabihf']},
    'pc': {'prefix': 'i686-w64-mingw32-', 'ext': '.dll',
           'run': [os.path.join(ROOT, 'cmake', 'wine-run.sh')]},
}

# Host functions a plug-in calls through its vector: their instructions are
# the host's, so callgrind stops counting inside them.
HOST_CALLBACKS = ['HostRead', 'HostWrite']


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, capture_output=True, text=True, **kw).stdout


def show(cmd):
    return ' '.join(shlex.quote(c) for c in cmd)


def rel(path):
    return os.path.relpath(path, ROOT)


def load_budgets():
    with open(BUDGETS) as f:
        return json.load(f)


def plugin_files(build, target):
    d = os.path.join(build, 'plugins')
    ext = TOOLS[target]['ext']
    return sorted(os.path.join(d, f) for f in os.listdir(d) if f.endswith(ext))


def plugin_name(path):
    return os.path.splitext(os.path.basename(path))[0]


# ------------------------------------------------------------- the binaries

def stripped_size(path, target):
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, os.path.basename(path))
        run([TOOLS[target]['prefix'] + 'strip', '--strip-all', '-o', out, path])
        return os.path.getsize(out)


def elf_facts(path):
    pre = TOOLS['panel']['prefix']
    dynamic = run([pre + 'readelf', '-dW', path])
    libs = re.findall(r'\(NEEDED\)\s+Shared library: \[([^\]]+)\]', dynamic)
    imports, exports = [], []
    for line in run([pre + 'readelf', '--dyn-syms', '-W', path]).splitlines():
        f = line.split()
        if len(f) < 8 or not f[0].endswith(':') or f[4] not in ('GLOBAL', 'WEAK'):
            continue
        name = f[7].split('@')[0]
        if f[6] == 'UND':
            if f[4] == 'GLOBAL':
                imports.append(name)
        else:
            exports.append(name)
    sections = {}
    for line in run([pre + 'readelf', '-SW', path]).splitlines():
        m = re.match(r'\s*\[\s*\d+\]\s+(\.\S+)\s+\S+\s+\S+\s+\S+\s+([0-9a-f]+)', line)
        if m:
            sections[m.group(1)] = int(m.group(2), 16)
    static = sum(sections.get(s, 0) for s in ('.data', '.bss', '.tdata', '.tbss'))
    return {'libs': libs, 'imports': sorted(imports), 'exports': sorted(exports), 'static': static}


def pe_facts(path):
    dump = run([TOOLS['pc']['prefix'] + 'objdump', '-p', path])
    libs, imports = [], []
    current = None
    for line in dump.splitlines():
        m = re.match(r'\s*DLL Name: (\S+)', line)
        if m:
            current = m.group(1)
            libs.append(current)
            continue
        m = re.match(r'\s+[0-9a-f]+\s+\d+\s+(\S+)$', line)
        if m and current:
            imports.append(m.group(1))
    exports = []
    table = dump.split('[Ordinal/Name Pointer] Table', 1)
    if len(table) == 2:
        for line in table[1].splitlines()[1:]:
            m = re.match(r'\s+\[\s*\d+\]\s+(\S+)$', line)
            if not m:
                break
            exports.append(m.group(1))
    sections = {}
    for line in run([TOOLS['pc']['prefix'] + 'objdump', '-h', path]).splitlines():
        m = re.match(r'\s*\d+\s+(\.\S+)\s+([0-9a-f]+)\s', line)
        if m:
            sections[m.group(1)] = int(m.group(2), 16)
    static = sum(sections.get(s, 0) for s in ('.data', '.bss', '.tls'))
    return {'libs': libs, 'imports': sorted(imports), 'exports': sorted(exports), 'static': static}


def binary_facts(path, target):
    facts = elf_facts(path) if target == 'panel' else pe_facts(path)
    facts['size'] = stripped_size(path, target)
    return facts


# ------------------------------------------------------------- stack depth

def link_inputs(build, output):
    """The objects and static libraries of a plug-in's link step."""
    lines = run(['ninja', '-C', build, '-t', 'commands', output]).strip().splitlines()
    tokens = shlex.split(lines[-1].split('&&')[1] if '&&' in lines[-1] else lines[-1])
    return [t for t in tokens if t.endswith(('.o', '.obj', '.a'))]


def callgraph_files(build, output):
    files = []
    for t in link_inputs(build, output):
        if t.endswith('.a'):
            lib = os.path.basename(t)[3:-2]
            files += glob.glob(os.path.join(build, os.path.dirname(t), 'CMakeFiles', lib + '.dir',
                                            '**', '*.ci'), recursive=True)
        else:
            files.append(os.path.join(build, re.sub(r'\.(o|obj)$', '.ci', t)))
    return [f for f in files if os.path.exists(f)]


NODE = re.compile(r'node: \{ title: "([^"]+)" label: "([^"]*)"')
EDGE = re.compile(r'edge: \{ sourcename: "([^"]+)" targetname: "([^"]+)"')
FRAME = re.compile(r'\\n(\d+) bytes \(([a-z,]+)\)')


def stack_of(build, output):
    """Deepest stack from macro_main: the largest sum of frames on a call
    path through the plug-in's own functions. Calls into the C library end a
    path and are listed; the host's functions are called through the vector
    and are not part of the plug-in."""
    frames, calls = {}, {}
    for ci in callgraph_files(build, output):
        with open(ci) as f:
            text = f.read()
        for title, label in NODE.findall(text):
            m = FRAME.search(label)
            if m:
                frames[title] = max(frames.get(title, 0), int(m.group(1)))
        for src, dst in EDGE.findall(text):
            calls.setdefault(src, set()).add(dst)
    external = set()
    memo = {}

    def depth(fn, path):
        if fn not in frames:
            # A complete-object constructor or destructor is an alias of the
            # base-object one, which carries the frame.
            alias = re.sub(r'(C|D)1(E|Ev)', r'\g<1>2\2', fn)
            if alias in frames:
                return depth(alias, path)
            if fn != '__indirect_call':  # the host's functions, through the vector
                external.add(fn)
            return 0
        if fn in path:
            return float('inf')  # recursion: no bound
        if fn not in memo:
            memo[fn] = frames[fn] + max([depth(c, path | {fn}) for c in calls.get(fn, ())] + [0])
        return memo[fn]

    if 'macro_main' not in frames:
        return None, []
    return depth('macro_main', frozenset()), sorted(external)


# ------------------------------------------------------------- run time

def driver(build, target):
    exe = os.path.join(build, 'bench', 'bench_driver' + ('.exe' if target == 'pc' else ''))
    return TOOLS.get(target, {'run': []})['run'] + [exe]


def usage(build, target):
    cmd = driver(build, target) + ['usage']
    out = run(cmd, cwd=build)
    rows = {}
    lines = [l for l in out.splitlines() if l.strip()]
    head = lines[0].split('\t')
    for line in lines[1:]:
        f = line.split('\t')
        rows[f[0]] = {k: int(v) for k, v in zip(head[1:], f[1:])}
    return rows, cmd


def callgrind_command(build, scenario, outfile):
    cmd = ['valgrind', '--tool=callgrind', '--callgrind-out-file=' + outfile,
           '--collect-atstart=no', '--toggle-collect=macro_main']
    cmd += ['--toggle-collect=' + f for f in HOST_CALLBACKS]
    return cmd + [os.path.join(build, 'bench', 'bench_driver'), 'hot', scenario]


def instructions(build):
    exe = os.path.join(build, 'bench', 'bench_driver')
    scenarios = [l.split('\t') for l in run([exe, 'list']).splitlines() if l.strip()]
    results = []
    with tempfile.TemporaryDirectory() as tmp:
        for name, what in scenarios:
            out = os.path.join(tmp, name + '.out')
            cmd = callgrind_command(build, name, out)
            stdout = run(cmd, cwd=build)
            calls = int(re.search(r'measured_calls=(\d+)', stdout).group(1))
            with open(out) as f:
                total = int(re.search(r'^summary: (\d+)', f.read(), re.M).group(1))
            shown = callgrind_command(build, name, 'callgrind.out')
            results.append({'scenario': name, 'what': what, 'calls': calls, 'total': total,
                            'command': show(shown) + '  # "summary:" / measured_calls'})
    return results


# ------------------------------------------------------------- checks

def check_binaries(target, build):
    b = load_budgets()
    limits = b['binaries'][target]
    failed = 0
    sizes = []
    for path in plugin_files(build, target):
        facts = binary_facts(path, target)
        sizes.append(facts['size'])
        problems = []
        if facts['size'] > limits['max_size']:
            problems.append(f"{facts['size']} bytes stripped, budget {limits['max_size']}")
        extra = [l for l in facts['libs'] if l not in limits['libraries']]
        if extra:
            problems.append('imports from ' + ', '.join(extra))
        if facts['exports'] != ['macro_main']:
            problems.append('exports ' + (', '.join(facts['exports']) or 'nothing'))
        allowed = NAME_BUFFER + limits['startup_static']
        if facts['static'] > allowed:
            problems.append(f"{facts['static']} bytes of static data, budget {allowed}")
        print(f"{plugin_name(path)}: {facts['size']} bytes: " + ('; '.join(problems) or 'ok'))
        failed += bool(problems)
    median = statistics.median(sizes) if sizes else 0
    if 'median_size' in limits:
        ok = median <= limits['median_size']
        print(f"median size {median:.0f} bytes, budget {limits['median_size']}: "
              + ('ok' if ok else 'over'))
        failed += not ok
    print(f'{len(sizes) - failed} passed, {failed} failed')
    return 1 if failed or not sizes else 0


def check_instructions(build):
    budgets = load_budgets()['instructions']
    failed = 0
    results = instructions(build)
    for r in results:
        budget = budgets.get(r['scenario'])
        if budget is None:
            print(f"{r['scenario']}: {r['total']} instructions: no budget recorded")
            failed += 1
            continue
        problems = []
        if r['calls'] != budget['calls']:
            problems.append(f"{r['calls']} plug-in calls, recorded {budget['calls']}")
        if r['total'] > budget['budget']:
            problems.append(f"over the budget of {budget['budget']}")
        print(f"{r['scenario']}: {r['total']} instructions in {r['calls']} calls "
              f"(recorded {budget['measured']}, budget {budget['budget']}): "
              + ('; '.join(problems) or 'ok'))
        failed += bool(problems)
    print(f'{len(results) - failed} passed, {failed} failed')
    return 1 if failed or not results else 0


def record(build):
    b = load_budgets()
    b['instructions'] = {}
    for r in instructions(build):
        b['instructions'][r['scenario']] = {
            'calls': r['calls'], 'measured': r['total'],
            'budget': math.ceil(r['total'] * (1 + MARGIN))}
        print(f"{r['scenario']}: {r['total']} in {r['calls']} calls")
    with open(BUDGETS, 'w') as f:
        json.dump(b, f, indent=2)
        f.write('\n')
    return 0


# ------------------------------------------------------------- the table

def fmt_bytes(n):
    return f'{n:,}'.replace(',', ' ')


def table(targets):
    budgets = load_budgets()
    out = []
    say = out.append
    for target in [t for t in targets if t in TOOLS]:
        build = os.path.join(ROOT, 'build', target)
        rows, usage_cmd = usage(build, target)
        files = plugin_files(build, target)
        say(f'\n## {target}: {len(files)} plug-ins in {rel(os.path.join(build, "plugins"))}\n')
        say('| plug-in | stripped size | imports | exports | static data | stack of macro_main '
            '| heap peak per call | allocations per call | file opens per call | calls |')
        say('|---|---:|---|---|---:|---:|---:|---:|---:|---:|')
        sizes = []
        libc_seen = set()
        for path in files:
            name = plugin_name(path)
            facts = binary_facts(path, target)
            sizes.append(facts['size'])
            depth, external = stack_of(build, os.path.relpath(path, build))
            libc_seen |= set(external)
            u = rows.get(name)
            heap = (f"{u['peak_bytes']} B in {u['peak_blocks']}" if u else 'not run')
            say(f"| {name} | {fmt_bytes(facts['size'])} | {', '.join(facts['libs']) or 'none'}"
                f" ({len(facts['imports'])} functions) | {', '.join(facts['exports'])}"
                f" | {facts['static']} | {depth if depth is not None else '?'}"
                f"{' + C library' if external else ''} | {heap}"
                f" | {u['allocs'] if u else '-'} | {u['opens'] if u else '-'}"
                f" | {u['calls'] if u else '-'} |")
        lim = budgets['binaries'][target]
        say(f"\nlargest {fmt_bytes(max(sizes))} B, median {fmt_bytes(int(statistics.median(sizes)))} B"
            f" (budget: each at most {fmt_bytes(lim['max_size'])} B"
            + (f", median at most {fmt_bytes(lim['median_size'])} B" if 'median_size' in lim else '')
            + f"); static data: the {NAME_BUFFER}-byte name buffer"
            f" + at most {lim['startup_static']} B of start-up code.")
        pre = TOOLS[target]['prefix']
        say('\nmeasured by:')
        say(f"- stripped size: `{pre}strip --strip-all -o /tmp/P FILE && stat -c %s /tmp/P`")
        if target == 'panel':
            say(f"- imports, exports: `{pre}readelf -dW FILE` (NEEDED) and "
                f"`{pre}readelf --dyn-syms -W FILE` (UND globals, defined globals)")
            say(f"- static data: `{pre}readelf -SW FILE`, .data + .bss")
        else:
            say(f"- imports, exports, static data: `{pre}objdump -p FILE` (DLL Name, export "
                f"table) and `{pre}objdump -h FILE`, .data + .bss")
        say('- stack: each object is compiled with `-fcallgraph-info=su`; the deepest path from '
            'macro_main through the .ci files of the objects and libraries of the link '
            '(`ninja -t commands FILE`) adds up the frames: '
            '`bench/footprint.py table`; calls into the C library end a path.')
        say(f"- heap, allocations, file opens (the most of any one call, counted by the host's "
            f"import wrappers; calls = calls made in all scenarios): `{show(usage_cmd)}`"
            f" (run in {rel(build)})")
        if libc_seen:
            say(f"- C library functions the stack paths end in: {', '.join(sorted(libc_seen))}")

    if 'bench' in targets:
        build = os.path.join(ROOT, 'build', 'bench')
        recorded = budgets.get('instructions', {})
        say('\n## instructions per call (callgrind, native build without sanitizers: '
            f'{rel(build)})\n')
        say('| hot path | plug-in calls | instructions | per call | budget |')
        say('|---|---:|---:|---:|---:|')
        results = instructions(build)
        for r in results:
            bud = recorded.get(r['scenario'], {}).get('budget')
            say(f"| {r['scenario']}: {r['what']} | {r['calls']} | {fmt_bytes(r['total'])} "
                f"| {fmt_bytes(r['total'] // max(r['calls'], 1))} "
                f"| {fmt_bytes(bud) if bud else 'none'} |")
        say('\nOnly instructions inside macro_main count, the C library calls it makes '
            'included, the host functions it calls through its vector excluded. The counters '
            'are zeroed after a warm-up call. Commands (run in the build folder):')
        for r in results:
            say(f"- {r['scenario']}: `{r['command']}`")
    print('\n'.join(out))
    return 0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('command', choices=['table', 'check-binaries', 'check-instructions', 'record'])
    ap.add_argument('--target', choices=['panel', 'pc'])
    ap.add_argument('--targets', default='panel,pc,bench')
    ap.add_argument('--build')
    a = ap.parse_args()
    if a.command == 'table':
        return table(a.targets.split(','))
    if a.command == 'check-binaries':
        return check_binaries(a.target, a.build)
    if a.command == 'check-instructions':
        return check_instructions(a.build)
    return record(a.build)


if __name__ == '__main__':
    sys.exit(main())
