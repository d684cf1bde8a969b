// The code-page converter: the code-type table, the codecs of each kind and the conversion loop.
// Every character goes through one Unicode value: the source row decodes it, the destination row
// encodes it. Streams live on the caller's stack; nothing is allocated.
#include "xmldoc/codepage.h"

namespace CXMLDOCLIB_Ostrel {

namespace {

// Kinds of code type.
enum CodeKind : uint8_t {
    KIND_BYTE_TABLE = 0,   // single byte, byte-valued from-Unicode table
    KIND_SINGLE_BYTE = 1,  // single byte, 16-bit from-Unicode table
    KIND_JAPANESE = 2,     // Shift_JIS, ISO-2022-JP, EUC-JP
    KIND_DOUBLE_BYTE = 3,  // other double-byte code pages
    KIND_UCS2 = 4,
    KIND_UCS4 = 5,
    KIND_UTF8 = 6,
};

struct CodeTypeTable {
    bool available;
    uint8_t kind;
    uint8_t unitWidth;
    int8_t tables; // row of kCodeTypeTables holding the mappings; -1 none
};

constexpr CodeTypeTable kUnused{false, 0, 0, -1};

constexpr CodeTypeTable kCodeTypeTable[kCodeTypeCount] = {
    {true, KIND_BYTE_TABLE, 1, 0},   //  0 US-ASCII
    {true, KIND_BYTE_TABLE, 1, 1},   //  1 ISO-8859-1
    {true, KIND_SINGLE_BYTE, 1, 2},  //  2 ISO-8859-2
    kUnused,                         //  3
    kUnused,                         //  4
    {true, KIND_SINGLE_BYTE, 1, 5},  //  5 ISO-8859-5
    kUnused,                         //  6
    {true, KIND_SINGLE_BYTE, 1, 7},  //  7 ISO-8859-7
    kUnused,                         //  8
    {true, KIND_SINGLE_BYTE, 1, 9},  //  9 ISO-8859-9
    kUnused,                         // 10
    kUnused,                         // 11
    kUnused,                         // 12
    kUnused,                         // 13
    kUnused,                         // 14
    kUnused,                         // 15
    kUnused,                         // 16
    {true, KIND_SINGLE_BYTE, 1, 17}, // 17 Windows-1250
    {true, KIND_SINGLE_BYTE, 1, 18}, // 18 Windows-1251
    {true, KIND_SINGLE_BYTE, 1, 19}, // 19 Windows-1252
    {true, KIND_SINGLE_BYTE, 1, 20}, // 20 Windows-1253
    {true, KIND_SINGLE_BYTE, 1, 21}, // 21 Windows-1254
    {true, KIND_SINGLE_BYTE, 1, 22}, // 22 Windows-1255
    kUnused,                         // 23
    kUnused,                         // 24
    kUnused,                         // 25
    {true, KIND_JAPANESE, 1, 26},    // 26 Shift_JIS (code page 932)
    {true, KIND_DOUBLE_BYTE, 1, 27}, // 27 code page 936
    kUnused,                         // 28
    {true, KIND_DOUBLE_BYTE, 1, 29}, // 29 code page 950
    kUnused,                         // 30
    {true, KIND_JAPANESE, 1, 26},    // 31 ISO-2022-JP, through Shift_JIS
    {true, KIND_JAPANESE, 1, 26},    // 32 EUC-JP, through Shift_JIS
    {true, KIND_DOUBLE_BYTE, 1, 33}, // 33 GB 2312 (EUC-CN)
    {true, KIND_DOUBLE_BYTE, 1, 34}, // 34 Big5
    kUnused,                         // 35
    {true, KIND_SINGLE_BYTE, 1, 36}, // 36 KOI8-R
    {true, KIND_UCS2, 2, -1},        // 37 UCS-2 with byte-order mark
    {true, KIND_UCS2, 2, -1},        // 38 UCS-2 big-endian
    {true, KIND_UCS2, 2, -1},        // 39 UCS-2 little-endian
    {true, KIND_UCS4, 4, -1},        // 40 UCS-4 big-endian
    {true, KIND_UTF8, 1, -1},        // 41 UTF-8
};

// ISO-2022-JP character sets.
enum : int32_t { SET_ASCII = 1, SET_KATAKANA = 2, SET_JIS0208 = 3 };

enum : int32_t { STATE_OPEN = 1, STATE_ZERO = -1, STATE_LIMIT = -2 };

constexpr uint8_t ESC = 0x1B;

// One side of a conversion.
struct CodeStream {
    uint8_t* buffer;
    int32_t limit; // negative: up to the zero character
    int32_t type;
    int32_t position;
    int32_t state;
    uint32_t replacement;
    int32_t replacementCount;
    int32_t* shift; // [0] the reader's ISO-2022-JP set, [1] the set the writer's output is in
};

// --- table lookups --------------------------------------------------------------------------------

inline uint32_t toUnicode(int32_t type, uint32_t code)
{
    const int8_t row = kCodeTypeTable[type].tables;
    if (row < 0)
        return 0;
    const CodeTypeTables& t = kCodeTypeTables[row];
    return (t.toUnicode != nullptr && code < t.toUnicodeCount) ? t.toUnicode[code] : 0;
}

inline uint32_t fromUnicode(int32_t type, uint32_t value)
{
    const int8_t row = kCodeTypeTable[type].tables;
    if (row < 0)
        return 0;
    const CodeTypeTables& t = kCodeTypeTables[row];
    if (t.fromUnicode == nullptr || value >= t.fromUnicodeCount)
        return 0;
    return t.fromUnicodeBytes ? static_cast<const uint8_t*>(t.fromUnicode)[value]
                              : static_cast<const uint16_t*>(t.fromUnicode)[value];
}

// --- stream primitives ----------------------------------------------------------------------------

// Room for n more bytes; without it the stream is at its limit.
inline bool room(CodeStream& s, int32_t n)
{
    if (s.limit < 0 || s.limit - s.position >= n)
        return true;
    s.state = STATE_LIMIT;
    return false;
}

// True when the byte after the current position exists (within the limit); a limited stream that
// ends there reaches its limit. With no limit the caller has already seen a nonzero byte, so the
// next one is at worst the terminator.
inline bool hasNext(CodeStream& s, int32_t offset)
{
    if (s.limit < 0 || s.limit - s.position > offset)
        return true;
    s.state = STATE_LIMIT;
    return false;
}

inline uint32_t endOfText(CodeStream& s)
{
    s.state = STATE_ZERO;
    return 0;
}

inline uint32_t replaced(CodeStream& s, uint32_t value)
{
    ++s.replacementCount;
    return value;
}

// Reads a lead byte and its trail: a zero trail is the terminator, never part of a code.
inline uint32_t readPair(CodeStream& s, uint32_t lead)
{
    if (!hasNext(s, 1))
        return 0;
    const uint32_t trail = s.buffer[s.position + 1];
    if (trail == 0) {
        s.position += 1;
        return endOfText(s);
    }
    s.position += 2;
    return (lead << 8) | trail;
}

inline void put(CodeStream& s, uint32_t byte)
{
    s.buffer[s.position++] = static_cast<uint8_t>(byte);
}

// --- Japanese character conversion ----------------------------------------------------------------

inline bool jisInRange(uint32_t v)
{
    return v >= 0x20 && v <= 0x7E;
}

// Two-byte Shift_JIS code to JIS row * 256 + cell; 0 when it has no JIS form.
inline uint32_t shiftJisToJis(uint32_t code)
{
    const uint32_t s1 = code >> 8, s2 = code & 0xFF;
    uint32_t row = s1 < 0xA0 ? 2 * (s1 - 0x70) - 1 : 2 * (s1 - 0xB0) - 1;
    uint32_t cell;
    if (s2 > 0x9E) {
        row += 1;
        cell = s2 - 0x7E;
    } else {
        cell = s2 < 0x80 ? s2 - 0x1F : s2 - 0x20;
    }
    if (s1 < 0x81 || !jisInRange(row) || !jisInRange(cell))
        return 0;
    return (row << 8) | cell;
}

// JIS row * 256 + cell to its two-byte Shift_JIS code; 0 when out of range.
inline uint32_t jisToShiftJis(uint32_t jis)
{
    const uint32_t row = jis >> 8, cell = jis & 0xFF;
    if (!jisInRange(row) || !jisInRange(cell))
        return 0;
    const uint32_t lead = ((row - 1) >> 1) + (row < 0x5F ? 0x71 : 0xB1);
    uint32_t trail;
    if (row & 1)
        trail = cell + (cell < 0x60 ? 0x1F : 0x20);
    else
        trail = cell + 0x7E;
    return (lead << 8) | trail;
}

inline bool isHalfWidthKatakana(uint32_t code)
{
    return code >= 0xA1 && code <= 0xDF;
}

inline bool isShiftJisLead(uint32_t byte)
{
    return byte >= 0x80 && !(byte >= 0xA0 && byte <= 0xDF);
}

inline bool isShiftJisSingle(uint32_t code)
{
    return code <= 0x7F || (code >= 0xA0 && code <= 0xDF);
}

// EUC-JP code (one, two or three bytes) to Shift_JIS; 0 when it has none.
inline uint32_t eucToShiftJis(uint32_t code)
{
    if (code < 0x80)
        return code;
    if (code > 0xFFFF)
        return 0; // JIS X 0212 (SS3): no Shift_JIS form
    const uint32_t lead = code >> 8, trail = code & 0xFF;
    if (lead == 0x8E)
        return isHalfWidthKatakana(trail) ? trail : 0;
    if (lead < 0xA0 || trail < 0xA0)
        return 0;
    return jisToShiftJis(((lead & 0x7F) << 8) | (trail & 0x7F));
}

inline uint32_t shiftJisToEuc(uint32_t code)
{
    if (code < 0x80)
        return code;
    if (isHalfWidthKatakana(code))
        return 0x8E00 | code;
    if (code <= 0xFF)
        return 0;
    const uint32_t jis = shiftJisToJis(code);
    return jis == 0 ? 0 : (jis | 0x8080);
}

// ISO-2022-JP code in a set to Shift_JIS; 0 when it has none.
inline uint32_t isoToShiftJis(uint32_t code, int32_t set)
{
    switch (set) {
    case SET_KATAKANA:
        if (code >= 0x21 && code <= 0x5F)
            return code + 0x80;
        return code <= 0x20 ? code : 0; // controls and space keep their meaning
    case SET_JIS0208:
        return jisToShiftJis(code);
    default:
        return code < 0x80 ? code : 0;
    }
}

// --- readRaw per row ------------------------------------------------------------------------------

inline uint32_t readSingleByte(CodeStream& s)
{
    if (!room(s, 1))
        return 0;
    const uint32_t b = s.buffer[s.position++];
    return b == 0 ? endOfText(s) : b;
}

inline uint32_t readShiftJis(CodeStream& s)
{
    if (!room(s, 1))
        return 0;
    const uint32_t b = s.buffer[s.position];
    if (!isShiftJisLead(b)) {
        s.position += 1;
        return b == 0 ? endOfText(s) : b;
    }
    return readPair(s, b);
}

// Kind 3 and EUC-JP: a byte with the high bit set leads a two-byte code, unless the code page
// defines it as a character by itself (0x80 in code page 936, for one). In EUC-JP, SS3 (0x8F)
// leads a three-byte code.
inline uint32_t readHighBitLead(CodeStream& s, bool euc)
{
    if (!room(s, 1))
        return 0;
    const uint32_t b = s.buffer[s.position];
    if (b < 0x80 || (!euc && toUnicode(s.type, b) != 0)) {
        s.position += 1;
        return b == 0 ? endOfText(s) : b;
    }
    if (euc && b == 0x8F) {
        const uint32_t pair = readPair(s, b);
        if (pair == 0)
            return 0;
        s.position -= 1; // the second byte now leads the last pair
        const uint32_t rest = readPair(s, pair & 0xFF);
        return rest == 0 ? 0 : (0x8F0000 | rest);
    }
    return readPair(s, b);
}

inline uint32_t readIso2022(CodeStream& s)
{
    for (;;) {
        if (!room(s, 1))
            return 0;
        const uint8_t* p = s.buffer + s.position;
        const uint32_t b = p[0];
        if (b == ESC && (s.limit < 0 || s.limit - s.position > 2)) {
            int32_t set = 0;
            if (p[1] == '(') {
                if (p[2] == 'B' || p[2] == 'J')
                    set = SET_ASCII;
                else if (p[2] == 'I')
                    set = SET_KATAKANA;
            } else if (p[1] == '$') {
                if (p[2] == '@' || p[2] == 'B' || p[2] == 'D')
                    set = SET_JIS0208;
            }
            if (set != 0) {
                s.shift[0] = set;
                s.position += 3;
                continue;
            }
        }
        if (b == 0x0E || b == 0x0F) {
            s.shift[0] = b == 0x0E ? SET_KATAKANA : SET_ASCII;
            s.position += 1;
            continue;
        }
        if (b == 0) {
            s.position += 1;
            return endOfText(s);
        }
        if (s.shift[0] != SET_JIS0208) {
            s.position += 1;
            return b;
        }
        return readPair(s, b);
    }
}

inline uint32_t readUcs2(CodeStream& s)
{
    if (s.type == CT_UCS2) {
        // The byte-order mark (or its absence) decides the order for the rest of the text.
        s.type = CT_UCS2_BE;
        if (s.position == 0 && room(s, 2)) {
            const uint8_t* p = s.buffer;
            if (p[0] == 0xFF && p[1] == 0xFE) {
                s.type = CT_UCS2_LE;
                s.position = 2;
            } else if (p[0] == 0xFE && p[1] == 0xFF) {
                s.position = 2;
            }
        }
        if (s.state != STATE_OPEN)
            return 0;
    }
    if (!room(s, 2))
        return 0;
    const uint8_t* p = s.buffer + s.position;
    s.position += 2;
    const uint32_t v = s.type == CT_UCS2_LE ? (p[0] | (uint32_t(p[1]) << 8)) : ((uint32_t(p[0]) << 8) | p[1]);
    return v == 0 ? endOfText(s) : v;
}

inline uint32_t readUcs4(CodeStream& s)
{
    if (!room(s, 4))
        return 0;
    const uint8_t* p = s.buffer + s.position;
    s.position += 4;
    const uint32_t v = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
    return v == 0 ? endOfText(s) : v;
}

// UTF-8: each malformed sequence (stray continuation, missing continuation, overlong form,
// surrogate, value above U+10FFFF, five- or six-byte form) reads as one replacement character and
// reading resumes after the bytes that belonged to it. A sequence cut by the limit ends the text.
inline uint32_t readUtf8(CodeStream& s)
{
    if (!room(s, 1))
        return 0;
    const uint8_t* p = s.buffer + s.position;
    const uint32_t b0 = p[0];
    if (b0 < 0x80) {
        s.position += 1;
        return b0 == 0 ? endOfText(s) : b0;
    }
    if (b0 < 0xC0) {
        s.position += 1;
        return replaced(s, s.replacement);
    }
    int32_t length;
    uint32_t value;
    if (b0 < 0xE0) {
        length = 2;
        value = b0 & 0x1F;
    } else if (b0 < 0xF0) {
        length = 3;
        value = b0 & 0x0F;
    } else if (b0 < 0xF8) {
        length = 4;
        value = b0 & 0x07;
    } else if (b0 < 0xFC) {
        length = 5;
        value = b0 & 0x03;
    } else {
        length = 6;
        value = b0 & 0x01;
    }
    int32_t i = 1;
    for (; i < length; ++i) {
        if (!hasNext(s, i))
            return 0;
        const uint32_t b = p[i];
        if ((b & 0xC0) != 0x80)
            break;
        value = (value << 6) | (b & 0x3F);
    }
    s.position += i;
    if (i < length || length > 4)
        return replaced(s, s.replacement);
    static constexpr uint32_t kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kMinimum[length] || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF)
        return replaced(s, s.replacement);
    return value;
}

// --- writeRaw per row -----------------------------------------------------------------------------

inline uint32_t written(CodeStream& s, uint32_t code, uint32_t count)
{
    if (code == 0)
        s.state = STATE_ZERO;
    return count;
}

inline uint32_t writeSingleByte(CodeStream& s, uint32_t code)
{
    if (!room(s, 1))
        return 0;
    code &= 0xFF;
    put(s, code);
    return written(s, code, 1);
}

// Codes that fit one byte are written as one; others high byte, then low byte.
inline uint32_t writeOneOrTwo(CodeStream& s, uint32_t code, bool single)
{
    if (single)
        return writeSingleByte(s, code);
    if (!room(s, 2))
        return 0;
    put(s, (code >> 8) & 0xFF);
    put(s, code & 0xFF);
    return 2;
}

inline uint32_t writeIso2022(CodeStream& s, uint32_t code, int32_t set)
{
    const int32_t bytes = set == SET_JIS0208 ? 2 : 1;
    const bool escape = set != s.shift[1];
    if (!room(s, (escape ? 3 : 0) + bytes))
        return 0;
    if (escape) {
        put(s, ESC);
        put(s, set == SET_JIS0208 ? '$' : '(');
        put(s, set == SET_JIS0208 ? 'B' : set == SET_KATAKANA ? 'I' : 'B');
        s.shift[1] = set;
    }
    if (bytes == 2)
        put(s, (code >> 8) & 0xFF);
    put(s, code & 0xFF);
    return written(s, code, (escape ? 3 : 0) + bytes);
}

inline uint32_t writeUcs2(CodeStream& s, uint32_t value)
{
    uint32_t mark = 0;
    if (s.type == CT_UCS2) {
        if (s.position == 0 && (s.limit < 0 || s.limit > 1)) {
            if (!room(s, 4))
                return 0;
            put(s, 0xFE);
            put(s, 0xFF);
            mark = 2;
        }
        s.type = CT_UCS2_BE;
    }
    if (!room(s, 2))
        return 0;
    if (s.type == CT_UCS2_LE) {
        put(s, value & 0xFF);
        put(s, value >> 8);
    } else {
        put(s, value >> 8);
        put(s, value & 0xFF);
    }
    return written(s, value, mark + 2);
}

inline uint32_t writeUcs4(CodeStream& s, uint32_t value)
{
    if (!room(s, 4))
        return 0;
    put(s, value >> 24);
    put(s, (value >> 16) & 0xFF);
    put(s, (value >> 8) & 0xFF);
    put(s, value & 0xFF);
    return written(s, value, 4);
}

inline uint32_t writeUtf8(CodeStream& s, uint32_t value)
{
    if (value < 0x80)
        return writeSingleByte(s, value);
    int32_t length;
    uint32_t lead;
    if (value <= 0x7FF) {
        length = 2;
        lead = 0xC0;
    } else if (value <= 0xFFFF) {
        length = 3;
        lead = 0xE0;
    } else if (value <= 0x1FFFFF) {
        length = 4;
        lead = 0xF0;
    } else if (value <= 0x3FFFFFF) {
        length = 5;
        lead = 0xF8;
    } else {
        length = 6;
        lead = 0xFC;
    }
    if (!room(s, length))
        return 0;
    uint8_t* p = s.buffer + s.position;
    for (int32_t i = length - 1; i > 0; --i) {
        p[i] = static_cast<uint8_t>(0x80 | (value & 0x3F));
        value >>= 6;
    }
    p[0] = static_cast<uint8_t>(lead | value);
    s.position += length;
    return static_cast<uint32_t>(length);
}

// --- decode / encode ------------------------------------------------------------------------------

uint32_t decode(CodeStream& s)
{
    if (s.state != STATE_OPEN)
        return 0;
    switch (s.type) {
    case CT_UTF8:
        return readUtf8(s);
    case CT_UCS2:
    case CT_UCS2_BE:
    case CT_UCS2_LE:
        return readUcs2(s);
    case CT_UCS4_BE:
        return readUcs4(s);
    case CT_ISO_2022_JP: {
        const uint32_t code = readIso2022(s);
        if (code == 0)
            return 0;
        const uint32_t v = toUnicode(CT_SHIFT_JIS, isoToShiftJis(code, s.shift[0]));
        if (v != 0)
            return v;
        return replaced(s, toUnicode(CT_SHIFT_JIS, isoToShiftJis(s.replacement, SET_ASCII)));
    }
    case CT_EUC_JP: {
        const uint32_t code = readHighBitLead(s, true);
        if (code == 0)
            return 0;
        const uint32_t v = toUnicode(CT_SHIFT_JIS, eucToShiftJis(code));
        if (v != 0)
            return v;
        return replaced(s, toUnicode(CT_SHIFT_JIS, eucToShiftJis(s.replacement)));
    }
    default: {
        uint32_t code;
        switch (kCodeTypeTable[s.type].kind) {
        case KIND_JAPANESE:
            code = readShiftJis(s);
            break;
        case KIND_DOUBLE_BYTE:
            code = readHighBitLead(s, false);
            break;
        default:
            code = readSingleByte(s);
            break;
        }
        if (code == 0)
            return 0;
        const uint32_t v = toUnicode(s.type, code);
        return v != 0 ? v : replaced(s, toUnicode(s.type, s.replacement));
    }
    }
}

void encode(CodeStream& s, uint32_t value)
{
    if (s.state != STATE_OPEN)
        return;
    switch (s.type) {
    case CT_UTF8:
        writeUtf8(s, value);
        return;
    case CT_UCS2:
    case CT_UCS2_BE:
    case CT_UCS2_LE:
        if (value > 0xFFFF) // no surrogate pairs in UCS-2
            value = replaced(s, s.replacement <= 0xFFFF ? s.replacement : 0xFFFD);
        writeUcs2(s, value);
        return;
    case CT_UCS4_BE:
        writeUcs4(s, value);
        return;
    case CT_ISO_2022_JP: {
        uint32_t code = 0;
        int32_t set = SET_ASCII;
        if (value != 0) {
            const uint32_t sjis = fromUnicode(CT_SHIFT_JIS, value);
            if (sjis != 0 && sjis < 0x80) {
                code = sjis;
            } else if (isHalfWidthKatakana(sjis)) {
                code = sjis - 0x80;
                set = SET_KATAKANA;
            } else if (sjis > 0xFF) {
                code = shiftJisToJis(sjis);
                set = SET_JIS0208;
            }
            if (code == 0) {
                code = replaced(s, s.replacement);
                set = SET_ASCII;
            }
        }
        writeIso2022(s, code, set);
        return;
    }
    case CT_EUC_JP: {
        uint32_t code = 0;
        if (value != 0) {
            code = shiftJisToEuc(fromUnicode(CT_SHIFT_JIS, value));
            if (code == 0)
                code = replaced(s, s.replacement);
        }
        writeOneOrTwo(s, code, code < 0x80);
        return;
    }
    default: {
        uint32_t code = 0;
        if (value != 0) {
            code = fromUnicode(s.type, value);
            if (code == 0)
                code = replaced(s, s.replacement);
        }
        switch (kCodeTypeTable[s.type].kind) {
        case KIND_JAPANESE:
            writeOneOrTwo(s, code, isShiftJisSingle(code));
            break;
        case KIND_DOUBLE_BYTE:
            writeOneOrTwo(s, code, code <= 0xFF);
            break;
        default:
            writeSingleByte(s, code);
            break;
        }
        return;
    }
    }
}

// --- hot loops between a table-driven code page and UTF-8 -----------------------------------------

// One table-driven type's tables, resolved once per conversion.
struct TableView {
    const uint16_t* to;
    uint32_t toCount;
    const void* from;
    uint32_t fromCount;
    bool fromBytes;
};

inline TableView viewOf(int32_t type)
{
    const CodeTypeTables& t = kCodeTypeTables[kCodeTypeTable[type].tables];
    return {t.toUnicode, t.toUnicodeCount, t.fromUnicode, t.fromUnicodeCount, t.fromUnicodeBytes};
}

// readHighBitLead for a code page other than EUC-JP, through its resolved tables.
inline uint32_t readDoubleByte(CodeStream& s, const TableView& t)
{
    if (!room(s, 1))
        return 0;
    const uint32_t b = s.buffer[s.position];
    if (b < 0x80 || (b < t.toCount && t.to[b] != 0)) {
        s.position += 1;
        return b == 0 ? endOfText(s) : b;
    }
    return readPair(s, b);
}

template <int Kind>
inline uint32_t decodeWith(CodeStream& s, const TableView& t, uint32_t replacementValue)
{
    if (s.state != STATE_OPEN)
        return 0;
    uint32_t code;
    if constexpr (Kind == KIND_JAPANESE)
        code = readShiftJis(s);
    else if constexpr (Kind == KIND_DOUBLE_BYTE)
        code = readDoubleByte(s, t);
    else
        code = readSingleByte(s);
    if (code == 0)
        return 0;
    const uint32_t v = code < t.toCount ? t.to[code] : 0;
    return v != 0 ? v : replaced(s, replacementValue);
}

template <int Kind>
inline void encodeWith(CodeStream& s, const TableView& t, uint32_t value)
{
    uint32_t code = 0;
    if (value != 0) {
        if (value < t.fromCount)
            code = t.fromBytes ? static_cast<const uint8_t*>(t.from)[value] : static_cast<const uint16_t*>(t.from)[value];
        if (code == 0)
            code = replaced(s, s.replacement);
    }
    if constexpr (Kind == KIND_JAPANESE)
        writeOneOrTwo(s, code, isShiftJisSingle(code));
    else if constexpr (Kind == KIND_DOUBLE_BYTE)
        writeOneOrTwo(s, code, code <= 0xFF);
    else
        writeSingleByte(s, code);
}

// True when the table-driven type reads and writes every character U+0001-U+007F as that one
// byte, so that runs of them pass unchanged between it and UTF-8.
bool tablesKeepAscii(const TableView& t)
{
    if (t.toCount < 0x80 || t.fromCount < 0x80)
        return false;
    for (uint32_t c = 1; c < 0x80; ++c) {
        const uint32_t from = t.fromBytes ? static_cast<const uint8_t*>(t.from)[c] : static_cast<const uint16_t*>(t.from)[c];
        if (t.to[c] != c || from != c)
            return false;
    }
    return true;
}

// The answer of tablesKeepAscii for each table-driven type, worked out once.
bool keepsAscii(int32_t type)
{
    struct Answers {
        bool value[kCodeTypeCount] = {};
        Answers()
        {
            for (int32_t type = 0; type < kCodeTypeCount; ++type)
                value[type] = kCodeTypeTable[type].tables == type && tablesKeepAscii(viewOf(type));
        }
    };
    static const Answers answers;
    return answers.value[type];
}

// Bytes left before a stream's limit (no limit: as many as an int holds).
inline int32_t left(const CodeStream& s) { return s.limit < 0 ? INT32_MAX : s.limit - s.position; }

// The two streams of a conversion run as pointers, with their ends (null: no limit).
struct RunCursor {
    RunCursor(const CodeStream& in, CodeStream& out)
        : src(in.buffer + in.position), dst(out.buffer + out.position), start(src), begin(dst),
          srcEnd(in.limit < 0 ? nullptr : src + left(in)), dstEnd(out.limit < 0 ? nullptr : dst + left(out))
    {
    }
    /// True while the input holds at least inBytes more and the output has room for outBytes more.
    bool room(std::ptrdiff_t inBytes, std::ptrdiff_t outBytes) const
    {
        return (!srcEnd || srcEnd - src >= inBytes) && (!dstEnd || dstEnd - dst >= outBytes);
    }
    /// Copies one ASCII character other than NUL, which every table maps to itself; false at any other byte.
    bool takeAscii()
    {
        if (static_cast<uint32_t>(*src) - 1u >= 0x7Fu)
            return false;
        *dst++ = *src++;
        return true;
    }
    /// Moves the streams' positions past what the run took and gave.
    void commit(CodeStream& in, CodeStream& out) const
    {
        in.position += static_cast<int32_t>(src - start);
        out.position += static_cast<int32_t>(dst - begin);
    }

    const uint8_t* src;
    uint8_t* dst;
    const uint8_t* const start;
    uint8_t* const begin;
    const uint8_t* const srcEnd;
    uint8_t* const dstEnd;
};

// Converts, while both streams have room to spare, the characters that need none of the character
// loop's care: those the table maps (no replacement), no terminator, no sequence cut by a limit.
// Stops at the first other one, which the character loop then takes.
template <int Kind>
inline void toUtf8Run(CodeStream& in, CodeStream& out, const TableView& t)
{
    RunCursor c(in, out);
    // A 16-bit value takes at most three UTF-8 bytes; a code at most two bytes.
    while (c.room(2, 3)) {
        if (c.takeAscii())
            continue;
        const uint32_t b = c.src[0];
        if (b == 0)
            break;
        bool single = true;
        if constexpr (Kind == KIND_JAPANESE)
            single = !isShiftJisLead(b);
        else if constexpr (Kind == KIND_DOUBLE_BYTE)
            single = b < t.toCount && t.to[b] != 0;
        uint32_t code = b;
        if (!single) {
            const uint32_t trail = c.src[1];
            if (trail == 0)
                break;
            code = (b << 8) | trail;
        }
        const uint32_t v = code < t.toCount ? t.to[code] : 0;
        if (v == 0)
            break;
        c.src += single ? 1 : 2;
        if (v < 0x80) {
            *c.dst++ = static_cast<uint8_t>(v);
        } else if (v < 0x800) {
            c.dst[0] = static_cast<uint8_t>(0xC0 | (v >> 6));
            c.dst[1] = static_cast<uint8_t>(0x80 | (v & 0x3F));
            c.dst += 2;
        } else {
            c.dst[0] = static_cast<uint8_t>(0xE0 | (v >> 12));
            c.dst[1] = static_cast<uint8_t>(0x80 | ((v >> 6) & 0x3F));
            c.dst[2] = static_cast<uint8_t>(0x80 | (v & 0x3F));
            c.dst += 3;
        }
    }
    c.commit(in, out);
}

template <int Kind>
inline void fromUtf8Run(CodeStream& in, CodeStream& out, const TableView& t)
{
    RunCursor c(in, out);
    while (c.room(3, 2)) {
        if (c.takeAscii())
            continue;
        const uint32_t b0 = c.src[0];
        uint32_t value;
        int length;
        if (b0 >= 0xC2 && b0 < 0xE0) {
            const uint32_t b1 = c.src[1];
            if ((b1 & 0xC0) != 0x80)
                break;
            value = ((b0 & 0x1F) << 6) | (b1 & 0x3F);
            length = 2;
        } else if (b0 >= 0xE0 && b0 < 0xF0) {
            const uint32_t b1 = c.src[1];
            if ((b1 & 0xC0) != 0x80)
                break;
            const uint32_t b2 = c.src[2];
            if ((b2 & 0xC0) != 0x80)
                break;
            value = ((b0 & 0x0F) << 12) | ((b1 & 0x3F) << 6) | (b2 & 0x3F);
            if (value < 0x800 || (value >= 0xD800 && value <= 0xDFFF))
                break;
            length = 3;
        } else {
            break;
        }
        uint32_t code = 0;
        if (value < t.fromCount)
            code = t.fromBytes ? static_cast<const uint8_t*>(t.from)[value] : static_cast<const uint16_t*>(t.from)[value];
        if (code == 0)
            break;
        bool single;
        if constexpr (Kind == KIND_JAPANESE)
            single = isShiftJisSingle(code);
        else if constexpr (Kind == KIND_DOUBLE_BYTE)
            single = code <= 0xFF;
        else
            single = true;
        c.src += length;
        if (single) {
            *c.dst++ = static_cast<uint8_t>(code & 0xFF);
        } else {
            c.dst[0] = static_cast<uint8_t>((code >> 8) & 0xFF);
            c.dst[1] = static_cast<uint8_t>(code & 0xFF);
            c.dst += 2;
        }
    }
    c.commit(in, out);
}

template <int Kind>
void toUtf8(CodeStream& in, CodeStream& out)
{
    const TableView t = viewOf(in.type);
    const uint32_t replacementValue = toUnicode(in.type, in.replacement);
    if (keepsAscii(in.type)) {
        while (out.state == STATE_OPEN) {
            if (in.state == STATE_OPEN)
                toUtf8Run<Kind>(in, out, t);
            writeUtf8(out, decodeWith<Kind>(in, t, replacementValue));
        }
        return;
    }
    while (out.state == STATE_OPEN)
        writeUtf8(out, decodeWith<Kind>(in, t, replacementValue));
}

template <int Kind>
void fromUtf8(CodeStream& in, CodeStream& out)
{
    const TableView t = viewOf(out.type);
    if (keepsAscii(out.type)) {
        while (out.state == STATE_OPEN) {
            if (in.state == STATE_OPEN)
                fromUtf8Run<Kind>(in, out, t);
            encodeWith<Kind>(out, t, in.state == STATE_OPEN ? readUtf8(in) : 0);
        }
        return;
    }
    while (out.state == STATE_OPEN)
        encodeWith<Kind>(out, t, in.state == STATE_OPEN ? readUtf8(in) : 0);
}

// Runs a conversion through a hot loop when one fits the pair; false otherwise.
bool convertFast(CodeStream& in, CodeStream& out)
{
    auto ownTables = [](int32_t type) { return kCodeTypeTable[type].tables == type; };
    if (out.type == CT_UTF8 && ownTables(in.type)) {
        switch (kCodeTypeTable[in.type].kind) {
        case KIND_JAPANESE:
            toUtf8<KIND_JAPANESE>(in, out);
            return true;
        case KIND_DOUBLE_BYTE:
            toUtf8<KIND_DOUBLE_BYTE>(in, out);
            return true;
        default:
            toUtf8<KIND_SINGLE_BYTE>(in, out);
            return true;
        }
    }
    if (in.type == CT_UTF8 && ownTables(out.type)) {
        switch (kCodeTypeTable[out.type].kind) {
        case KIND_JAPANESE:
            fromUtf8<KIND_JAPANESE>(in, out);
            return true;
        case KIND_DOUBLE_BYTE:
            fromUtf8<KIND_DOUBLE_BYTE>(in, out);
            return true;
        default:
            fromUtf8<KIND_SINGLE_BYTE>(in, out);
            return true;
        }
    }
    return false;
}

} // namespace

bool IsValidCodeType(int32_t type)
{
    return type >= 0 && type < kCodeTypeCount && kCodeTypeTable[type].available;
}

int32_t ConversionRoute(int32_t sourceType, int32_t destinationType)
{
    if (!IsValidCodeType(sourceType) || !IsValidCodeType(destinationType))
        return 0;
    const uint8_t from = kCodeTypeTable[sourceType].kind;
    const uint8_t to = kCodeTypeTable[destinationType].kind;
    if (sourceType == destinationType)
        return 1;
    if (to == KIND_UCS2)
        return 3;
    if (to == KIND_UTF8)
        return 4;
    if (from == KIND_UCS2)
        return 5;
    if (from == KIND_UTF8)
        return 6;
    if (from == KIND_JAPANESE && to == KIND_JAPANESE)
        return 2;
    return 0;
}

int32_t ConvertCodePage(const void* source, int32_t sourceLength, int32_t sourceType, void* destination,
                        int32_t destinationLength, int32_t destinationType, uint32_t replacement, int32_t reserved)
{
    if (source == nullptr || destination == nullptr || sourceLength == 0 || destinationLength == 0 ||
        !IsValidCodeType(sourceType) || !IsValidCodeType(destinationType) || reserved != 0)
        return -1;
    if (ConversionRoute(sourceType, destinationType) == 0)
        return -1;

    int32_t shift[2] = {SET_ASCII, SET_ASCII};
    // The source is only ever read; the stream type is shared with the destination's.
    CodeStream in{const_cast<uint8_t*>(static_cast<const uint8_t*>(source)), sourceLength, sourceType, 0, STATE_OPEN,
                  replacement, 0, shift};
    CodeStream out{static_cast<uint8_t*>(destination), destinationLength, destinationType, 0, STATE_OPEN,
                   replacement, 0, shift};
    if (!convertFast(in, out))
        while (out.state == STATE_OPEN)
            encode(out, decode(in));
    return out.state == STATE_LIMIT ? 1 : 0;
}

} // namespace CXMLDOCLIB_Ostrel
