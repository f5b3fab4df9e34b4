"""What both PDU checkers ask of python-gammu: one recipient's SMS-SUBMIT
parts decoded, checked and reassembled."""
import gammu


def check_recipient(pdus, number, message, references=None):
    """Decodes `pdus` (hex, the SMSC length first), all parts for `number`:
    each must be an SMS-SUBMIT in UCS2 to the number; several parts must
    carry one reference (within `references` when given), be numbered 1..F
    and reassemble to `message`."""
    parts = len(pdus)
    mine = [gammu.DecodePDU(bytes.fromhex(p), SMSC=True) for p in pdus]
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
            if references is not None:
                assert udh['ID8bit'] in references, udh
            refs.add(udh['ID8bit'])
    assert len(refs) <= 1, f'one recipient, several references: {refs}'
    linked = gammu.LinkSMS([[s] for s in mine])
    assert len(linked) == 1, f'{len(linked)} messages after linking'
    decoded = gammu.DecodeSMS(linked[0])
    if decoded is None:  # a single part needs no linking
        text = ''.join(s['Text'] for s in linked[0])
    else:
        text = ''.join(e['Buffer'] or '' for e in decoded['Entries'])
    assert text == message, f'{number}: {text!r} != {message!r}'


def check_recipients(pdus, numbers, message, references=None):
    """All parts of the first number, then those of the next."""
    assert numbers and len(pdus) % len(numbers) == 0, f'{len(pdus)} PDUs for {len(numbers)} recipients'
    parts = len(pdus) // len(numbers)
    for r, number in enumerate(numbers):
        check_recipient(pdus[r * parts:(r + 1) * parts], number, message, references)
    return len(pdus)
