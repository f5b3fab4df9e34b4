#!/usr/bin/env python3
"""The serial path, end to end, between processes.

1. `panelsim modem --pty` serves the emulated modem on a pseudo-terminal; a
   second panelsim runs the whole server pipeline (`send --modem PATH`), the
   chain (`chain --modem PATH`) and the connection profile (`gprs --modem
   PATH`) over that terminal in real time. The SMS
   the modem reports must be the messages sent.
2. An independent client, python-gammu with an AT connection, initialises
   the same kind of modem and sends a long Unicode SMS through it; the modem
   must decode and reassemble it.
3. `panelsim modem check` reports the emulated modem ready.
"""
import subprocess
import sys
import tempfile

import gammu

PANELSIM = sys.argv[1]


def serve(exit_after=None):
    """Starts the modem; it stops after `exit_after` SMS, or when terminated."""
    limit = [] if exit_after is None else ['--exit-after', str(exit_after)]
    p = subprocess.Popen([PANELSIM, 'modem', '--pty', '--quiet'] + limit,
                         stdout=subprocess.PIPE, text=True, encoding='utf-8')
    first = p.stdout.readline().split()
    assert first[:2] == ['modem', 'on'], first
    return p, first[2]


def finish(p):
    out, _ = p.communicate(timeout=60)
    return [line for line in out.splitlines() if line.startswith('SMS to ')]


CHECKS = []


def check(name, got, want):
    CHECKS.append(name)
    if got != want:
        print(f'{name}: FAILED\n  got  {got}\n  want {want}')
        return 1
    print(f'{name}: ok')
    return 0


def main():
    failed = 0

    p, path = serve(3)
    send = subprocess.run([PANELSIM, 'send', '--modem', path, '--quiet',
                           '--to', '9161234567', '--to', '9261234567', '--to', '812345678',
                           '--title', 'Котельная', '--event', 'Давление выше нормы',
                           '--event', 'Пламя погасло', '--active', '0,1'],
                          capture_output=True, text=True, timeout=120)
    text = r'[Котельная]\n1. Давление выше нормы\n2. Пламя погасло\n'
    failed += check('server pipeline over the pseudo-terminal', finish(p), [
        f'SMS to +79161234567 (2 parts): {text}',
        f'SMS to +79261234567 (2 parts): {text}',
        f'SMS to +7812345678 (2 parts): {text}'])
    failed += check('send exit status', send.returncode, 0)

    p, path = serve(1)
    chain = subprocess.run([PANELSIM, 'chain', '--modem', path, '--quiet', '--title', 'Цех',
                            '--alarm', 'Насос', '--phone', '9161234567'],
                           capture_output=True, text=True, timeout=120)
    failed += check('chain over the pseudo-terminal', finish(p),
                    [r'SMS to +79161234567 (1 part): Цех\n1. Насос\n'])
    failed += check('chain exit status', chain.returncode, 0)

    # The connection profile through a real-time link: all seven commands accepted.
    with tempfile.TemporaryDirectory() as folder:
        example = subprocess.run([PANELSIM, 'settings', 'example'], capture_output=True, text=True)
        subprocess.run([PANELSIM, 'settings', 'write', '-', '--dir', folder], input=example.stdout,
                       capture_output=True, text=True, check=True)
        p, path = serve()
        gprs = subprocess.run([PANELSIM, 'gprs', '--dir', folder, '--modem', path],
                              capture_output=True, text=True, timeout=120)
        p.terminate()
        finish(p)
        failed += check('gprs over the pseudo-terminal',
                        (gprs.returncode, gprs.stdout.splitlines()[-1]), (0, '7 of 7 commands accepted'))

    p, path = serve(1)
    message = 'Авария насоса №3: давление 12 бар, температура 95 °C, включён резервный насос'
    sm = gammu.StateMachine()
    sm.SetConfig(0, {'Device': path, 'Connection': 'at115200', 'Model': '',
                     'LockDevice': False, 'StartInfo': False, 'SyncTime': False,
                     'UseGlobalDebugFile': False, 'DebugFile': '', 'DebugLevel': ''})
    sm.Init()
    smsinfo = {'Class': -1, 'Unicode': True,
               'Entries': [{'ID': 'ConcatenatedTextLong', 'Buffer': message}]}
    for part in gammu.EncodeSMS(smsinfo):
        part['SMSC'] = {'Location': 1}
        part['Number'] = '+79161234567'
        sm.SendSMS(part)
    sm.Terminate()
    failed += check('independent client (python-gammu) through the pseudo-terminal', finish(p),
                    [f'SMS to +79161234567 (2 parts): {message}'])

    p, path = serve()
    health = subprocess.run([PANELSIM, 'modem', 'check', '--modem', path],
                            capture_output=True, text=True, timeout=60)
    p.terminate()
    finish(p)
    failed += check('modem check', (health.returncode, health.stdout.splitlines()[-1]),
                    (0, 'the modem is ready to send SMS'))

    print(f'{len(CHECKS) - failed} passed, {failed} failed')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
