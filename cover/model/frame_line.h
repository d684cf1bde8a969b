// Frame lines of the cover sheet file: one page object per line, fields separated by commas.
// Field 0 is the type keyword, fields 1-4 the rectangle (left, top, width, height in page pixels at
// 200 dpi on a page 1728 pixels wide), the fields from 5 on depend on the kind.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cover {

/// Page geometry of a cover sheet.
inline constexpr int kPageWidth = 1728;
inline constexpr int kPageResolution = 200;
/// Tallest page a page cut may ask for, in page pixels (one metre at 200 dpi).
inline constexpr int kMaxPageHeight = 7874;
/// Farthest an object's edge may lie from the page's corner, either way (five metres): coordinates
/// read from a file or a pasted block are held there, so that every zoom and conversion of them
/// stays far inside int's range.
inline constexpr int kMaxCoordinate = 5 * kMaxPageHeight;

/// Every kind of page object a cover sheet file holds.
enum class FrameType {
    StaticText,
    Memo,
    Fax,
    Company,
    Section,
    Post,
    Name,
    Telephone,
    Mr,
    Zip,
    Address1,
    Address2,
    UserCompany,
    UserSection,
    UserPost,
    UserName,
    UserId,
    UserFaxNumber,
    UserZip,
    UserAddress1,
    Time,
    Date,
    Page,
    Bitmap,
    DrawingFrame,
    DrawingLine,
    PageCut,
};

/// The keyword written for a type ("StaticText", "FAX", "UserCompany", ...).
std::string_view keywordOf(FrameType type);

/// The type a keyword names, matched without regard to case; none for an unknown keyword.
std::optional<FrameType> frameTypeOf(std::string_view keyword);

/// True for the kinds that carry a font (fields 5-11): free text, memo, recipient, sender, time,
/// date and page fields.
bool hasFont(FrameType type);

/// The fields of a line, split at every comma; an empty remainder after a final comma is no field
/// (so "NAME,1,2,3,4,Arial,39,400,0,0,0,0," and the same line without its last comma split alike).
/// The views point into line.
std::vector<std::string_view> splitFrameLine(std::string_view line);

/// A field as a decimal number: optional blanks, an optional sign and the digits that follow;
/// text that is no number gives 0, and a number beyond 32 bits is cut to the nearest limit.
int fieldNumber(std::string_view field);

/// The text of a free-text object as stored in its line: each line feed becomes "\n", each
/// backslash "\\", each carriage return "\015", then each comma "\054".
std::string escapeText(std::string_view text);

/// The exact inverse of escapeText, in one left-to-right pass: "\\" gives a backslash, "\n" a line
/// feed, "\054" a comma, "\015" a carriage return; any other backslash is an ordinary character.
std::string unescapeText(std::string_view field);

/// The rectangle of a line: left, top, width, height. Lines and page cuts store their two end
/// points instead: (left, top) and (left + width, top + height).
struct FrameRect {
    int left = 0, top = 0, width = 0, height = 0;
};

/// A sum or difference of page coordinates held to int's range: the fields of a file can be
/// anything, and an edge past INT_MAX must stay at the page's far side, not wrap round.
inline int clamped(int64_t value)
{
    return static_cast<int>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

/// The font of the text kinds (fields 5-11).
struct FrameFont {
    std::string face;  ///< face name, no commas
    int height = 0;    ///< page pixels (points x 200 / 72, rounded)
    int weight = 0;    ///< 400 normal, 700 bold
    int italic = 0, underline = 0, strikeOut = 0;
    int charSet = 0;   ///< the platform's character-set code; 0 is the ANSI set
};

/// The page-pixel height stored for a size in points: points x 200 / 72, rounded to nearest.
int fontHeightOfPoints(int points);

// The written forms. Each gives the whole line, keyword first.

/// A text kind other than StaticText: keyword, rectangle, font, ending with a comma.
std::string textFrameLine(FrameType type, const FrameRect& rect, const FrameFont& font);
/// StaticText: the text kind's line followed by the escaped text.
std::string staticTextFrameLine(const FrameRect& rect, const FrameFont& font, std::string_view text);
/// Bitmap: rectangle, then the image file name.
std::string bitmapFrameLine(const FrameRect& rect, std::string_view fileName);
/// DrawingFrame: rectangle, pen style, pen width, fill.
std::string drawingFrameLine(const FrameRect& rect, int penStyle, int penWidth, int fill);
/// DrawingLine or PageCut: rectangle (the two end points), pen style, pen width.
std::string penFrameLine(FrameType type, const FrameRect& rect, int penStyle, int penWidth);

/// Fields 1-4 of a split line (missing fields read as 0).
FrameRect frameRectOf(const std::vector<std::string_view>& fields);
/// Fields 5-11 of a split line (missing fields read as empty and 0).
FrameFont frameFontOf(const std::vector<std::string_view>& fields);

} // namespace cover
