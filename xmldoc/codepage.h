// The code-page converter: text between 42 numbered code types (25 in use), character by
// character through 16-bit Unicode values, with a caller-chosen replacement for what a table
// cannot map. Plain functions over caller-owned buffers and constant tables; nothing is allocated.
#pragma once

#include <cstdint>

namespace CXMLDOCLIB_Ostrel {

/// Code types (rows of the code-type table).
enum CodeType : int32_t {
    CT_US_ASCII = 0,
    CT_ISO_8859_1 = 1,
    CT_ISO_8859_2 = 2,
    CT_ISO_8859_5 = 5,
    CT_ISO_8859_7 = 7,
    CT_ISO_8859_9 = 9,
    CT_WINDOWS_1250 = 17,
    CT_WINDOWS_1251 = 18,
    CT_WINDOWS_1252 = 19,
    CT_WINDOWS_1253 = 20,
    CT_WINDOWS_1254 = 21,
    CT_WINDOWS_1255 = 22,
    CT_SHIFT_JIS = 26, ///< code page 932
    CT_CP936 = 27,
    CT_CP950 = 29,
    CT_ISO_2022_JP = 31,
    CT_EUC_JP = 32,
    CT_GB2312 = 33, ///< EUC-CN form
    CT_BIG5 = 34,
    CT_KOI8_R = 36,
    CT_UCS2 = 37,   ///< with byte-order mark
    CT_UCS2_BE = 38,
    CT_UCS2_LE = 39,
    CT_UCS4_BE = 40,
    CT_UTF8 = 41,
};

inline constexpr int32_t kCodeTypeCount = 42;

/// The mapping tables of one code type, as generated from the published mappings.
/// toUnicode[code] is the Unicode value of a code (0: no character); fromUnicode[value] is the
/// code of a Unicode value (0: not representable) — bytes for the single-byte rows whose
/// fromUnicodeBytes is set, 16-bit codes otherwise. Rows without tables have null pointers.
struct CodeTypeTables {
    const uint16_t* toUnicode;
    uint32_t toUnicodeCount;
    const void* fromUnicode;
    uint32_t fromUnicodeCount;
    bool fromUnicodeBytes;
};

/// The generated tables, indexed by code type.
extern const CodeTypeTables kCodeTypeTables[kCodeTypeCount];

/// True when type is 0-41 and its row is in use.
bool IsValidCodeType(int32_t type);

/// 0 (no conversion), 1 (same type), 2 (Japanese family), 3 (to UCS-2), 4 (to UTF-8),
/// 5 (from UCS-2), 6 (from UTF-8).
int32_t ConversionRoute(int32_t sourceType, int32_t destinationType);

/// Converts source (sourceLength bytes; negative: up to its zero character) of sourceType into
/// destination (destinationLength bytes; negative: no limit) as destinationType, writing the
/// replacement for what cannot be mapped. Results:
///   -1  refused: a null buffer, a length of 0, an unknown type, reserved not 0, or a pair of
///       types without a route (ConversionRoute 0); nothing is written.
///    0  the text was converted completely and ends with its zero character.
///    1  the destination ran out of room: the text is cut after the last whole character that
///       fitted and has no terminating zero (also when only the zero itself did not fit).
/// Reading never goes past the end of the source: a zero byte where a trail byte belongs ends the
/// text, as does a lead byte (or the start of a UTF-8 sequence) cut off by sourceLength. Each
/// malformed UTF-8 sequence reads as one replacement character. A value above U+FFFF written as
/// UCS-2 is replaced. EUC-JP's three-byte JIS X 0212 codes (SS3) read as one code and are
/// replaced: they have no Shift_JIS form.
int32_t ConvertCodePage(const void* source, int32_t sourceLength, int32_t sourceType, void* destination,
                        int32_t destinationLength, int32_t destinationType, uint32_t replacement, int32_t reserved);

} // namespace CXMLDOCLIB_Ostrel
