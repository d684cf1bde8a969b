#!/usr/bin/env python3
"""Generates xmldoc/codepage_tables_generated.cpp, the code-page converter's mapping tables.

The mappings come from the C library's iconv on the build machine (glibc), called through
ctypes. Every code of a table-driven code type is decoded on its own; a decode that fails,
does not consume exactly that code's bytes, yields more than one character or yields a
character outside the 16-bit range leaves the code without a character. The results are
bounded by fixed table sizes and inverted into the from-Unicode tables.

Usage: python3 tools/gen_codepage_tables.py [output.cpp]   (default: standard output)
"""

import ctypes
import ctypes.util
import sys

_libc = ctypes.CDLL(ctypes.util.find_library("c") or "libc.so.6", use_errno=True)
_libc.iconv_open.restype = ctypes.c_void_p
_libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
_libc.iconv.restype = ctypes.c_size_t
_libc.iconv.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_size_t),
                        ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_size_t)]
_libc.iconv_close.argtypes = [ctypes.c_void_p]
_libc.gnu_get_libc_version.restype = ctypes.c_char_p

_ICONV_ERROR = ctypes.c_size_t(-1).value


class Decoder:
    """One iconv descriptor from a code set to UCS-4LE, reset before every decode."""

    def __init__(self, name):
        self.cd = _libc.iconv_open(b"UCS-4LE", name.encode())
        if self.cd is None or self.cd == ctypes.c_void_p(-1).value:
            raise SystemExit("iconv_open failed for " + name)
        self.out = ctypes.create_string_buffer(64)

    def close(self):
        _libc.iconv_close(self.cd)

    def decode(self, data):
        """The Unicode value of data as exactly one character, or 0."""
        _libc.iconv(self.cd, None, None, None, None)
        inbuf = ctypes.create_string_buffer(data, len(data))
        inptr = ctypes.c_char_p(ctypes.addressof(inbuf))
        inleft = ctypes.c_size_t(len(data))
        outptr = ctypes.c_char_p(ctypes.addressof(self.out))
        outleft = ctypes.c_size_t(len(self.out))
        result = _libc.iconv(self.cd, ctypes.byref(inptr), ctypes.byref(inleft),
                             ctypes.byref(outptr), ctypes.byref(outleft))
        if result == _ICONV_ERROR or inleft.value != 0:
            return 0
        # Flush any shift state; a stateless code set writes nothing here.
        _libc.iconv(self.cd, None, None, ctypes.byref(outptr), ctypes.byref(outleft))
        produced = len(self.out) - outleft.value
        if produced != 4:
            return 0
        value = int.from_bytes(self.out.raw[:4], "little")
        return value if value <= 0xFFFF else 0


# (code type, iconv name, to-Unicode count, from-Unicode count, byte from-Unicode table, double-byte)
ROWS = [
    (0, "US-ASCII", 256, 256, True, False),
    (1, "ISO-8859-1", 256, 256, True, False),
    (2, "ISO-8859-2", 256, 734, False, False),
    (5, "ISO-8859-5", 256, 8471, False, False),
    (7, "ISO-8859-7", 255, 8218, False, False),
    (9, "ISO-8859-9", 256, 352, False, False),
    (17, "CP1250", 256, 8483, False, False),
    (18, "CP1251", 256, 8483, False, False),
    (19, "CP1252", 256, 8483, False, False),
    (20, "CP1253", 255, 8483, False, False),
    (21, "CP1254", 256, 8483, False, False),
    (22, "CP1255", 255, 8483, False, False),
    (26, "CP932", 64588, 65510, False, True),
    (27, "CP936", 65104, 65510, False, True),
    # glibc's CP950 decodes exactly like its BIG5, which already carries the code page 950
    # additions (0xA145 U+2027, 0xA3E1 U+20AC, 0xF9D6-0xF9FE); row 34 cuts them off at 0xF9D6.
    (29, "CP950", 63999, 65510, False, True),
    (33, "EUC-CN", 63487, 65510, False, True),
    (34, "BIG5", 63958, 65381, False, True),
    (36, "KOI8-R", 256, 9633, False, False),
]

NAMES = {
    0: "UsAscii", 1: "Iso8859_1", 2: "Iso8859_2", 5: "Iso8859_5", 7: "Iso8859_7", 9: "Iso8859_9",
    17: "Cp1250", 18: "Cp1251", 19: "Cp1252", 20: "Cp1253", 21: "Cp1254", 22: "Cp1255",
    26: "Cp932", 27: "Cp936", 29: "Cp950", 33: "EucCn", 34: "Big5", 36: "Koi8R",
}

# ISO-8859-7 as first published (1987): the euro, drachma and ypogegrammeni later added at
# these bytes are not characters of it.
TO_UNICODE_PATCHES = {
    7: {0xA4: 0, 0xA5: 0, 0xAA: 0, 0xFF: 0},
}

# Code page 950 encodes these values twice; its converter writes these codes.
FROM_UNICODE_CHOICES = {
    29: {0x2550: 0xF9F9, 0x255E: 0xF9E9, 0x2561: 0xF9EB, 0x256A: 0xF9EA, 0x256D: 0xA27E,
         0x256E: 0xA2A1, 0x256F: 0xA2A3, 0x2570: 0xA2A2, 0x5341: 0xA451, 0x5345: 0xA4CA},
}


def build_to_unicode(name, double_byte):
    """Every code of the code set mapped to its Unicode value (0: none), 256 or 65536 entries."""
    dec = Decoder(name)
    try:
        singles = [dec.decode(bytes([b])) for b in range(256)]
        singles[0] = 0  # code 0 is U+0000 either way
        if not double_byte:
            return singles
        table = singles + [0] * (65536 - 256)
        for lead in range(0x80, 0x100):
            if singles[lead]:
                continue  # a character of its own, never a lead byte
            for trail in range(256):
                table[lead * 256 + trail] = dec.decode(bytes([lead, trail]))
        return table
    finally:
        dec.close()


def build_row(row, notes):
    ctype, name, to_count, from_count, byte_from, double_byte = row
    full = build_to_unicode(name, double_byte)
    for code, value in TO_UNICODE_PATCHES.get(ctype, {}).items():
        if full[code]:
            notes.append("%s: 0x%02X (U+%04X) patched to no character" % (name, code, full[code]))
        full[code] = value
    dropped = [c for c in range(to_count, len(full)) if full[c]]
    if dropped:
        notes.append("%s: %d codes at or beyond the to-Unicode count dropped (0x%X-0x%X)"
                     % (name, len(dropped), dropped[0], dropped[-1]))
    to_uni = full[:to_count] + [0] * max(0, to_count - len(full))

    from_uni = [0] * from_count
    unrepresentable = 0
    for code, value in enumerate(to_uni):  # ascending: the highest code of a value wins
        if code == 0 or value == 0:
            continue
        if value >= from_count:
            unrepresentable += 1
            continue
        from_uni[value] = code
    for value, code in FROM_UNICODE_CHOICES.get(ctype, {}).items():
        if to_uni[code] != value:
            raise SystemExit("%s: 0x%04X does not decode to U+%04X" % (name, code, value))
        from_uni[value] = code
    if unrepresentable:
        notes.append("%s: %d characters at or beyond the from-Unicode count left out of it"
                     % (name, unrepresentable))
    return to_uni, from_uni


def emit_array(out, ctype_name, name, values, width):
    out.append("static const %s %s[%d] = {" % (ctype_name, name, len(values)))
    for i in range(0, len(values), 16):
        out.append(",".join(("0x%0*X" % (width, v)) if v else "0" for v in values[i:i + 16]) + ",")
    out.append("};")
    out.append("")


def generate():
    version = _libc.gnu_get_libc_version().decode()
    notes = []
    out = []
    out.append("// Generated by tools/gen_codepage_tables.py from the mappings of glibc %s iconv." % version)
    out.append("// Do not edit by hand; run the generator instead:")
    out.append("//   python3 tools/gen_codepage_tables.py > xmldoc/codepage_tables_generated.cpp")
    out.append("// Code sets: " + ", ".join("%d %s" % (r[0], r[1]) for r in ROWS) + ".")
    body = []
    entries = {}
    for row in ROWS:
        ctype, name, to_count, from_count, byte_from, _ = row
        to_uni, from_uni = build_row(row, notes)
        base = NAMES[ctype]
        emit_array(body, "uint16_t", "k%sToUnicode" % base, to_uni, 4)
        emit_array(body, "uint8_t" if byte_from else "uint16_t", "k%sFromUnicode" % base, from_uni,
                   2 if byte_from else 4)
        entries[ctype] = "{k%sToUnicode, %d, k%sFromUnicode, %d, %s}" % (
            base, to_count, base, from_count, "true" if byte_from else "false")
    for note in notes:
        out.append("// Note: " + note + ".")
    out.append("")
    out.append('#include "xmldoc/codepage.h"')
    out.append("")
    out.append("namespace CXMLDOCLIB_Ostrel {")
    out.append("")
    out.extend(body)
    out.append("const CodeTypeTables kCodeTypeTables[kCodeTypeCount] = {")
    for ctype in range(42):
        out.append("    %s, // %d" % (entries.get(ctype, "{nullptr, 0, nullptr, 0, false}"), ctype))
    out.append("};")
    out.append("")
    out.append("} // namespace CXMLDOCLIB_Ostrel")
    return "\n".join(out) + "\n", notes


def main():
    text, notes = generate()
    for note in notes:
        print(note, file=sys.stderr)
    if len(sys.argv) > 1:
        with open(sys.argv[1], "w", encoding="ascii", newline="\n") as f:
            f.write(text)
    else:
        sys.stdout.write(text)


if __name__ == "__main__":
    main()
