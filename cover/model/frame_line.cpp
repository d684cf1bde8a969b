#include "cover/model/frame_line.h"

#include "platform/text.h"

#include <array>
#include <charconv>
#include <stdexcept>

namespace cover {

namespace {

struct Keyword {
    FrameType type;
    std::string_view word;
};

constexpr std::array<Keyword, 27> kKeywords{{
    {FrameType::StaticText, "StaticText"},     {FrameType::Memo, "Memo"},
    {FrameType::Fax, "FAX"},                   {FrameType::Company, "COMPANY"},
    {FrameType::Section, "SECTION"},           {FrameType::Post, "POST"},
    {FrameType::Name, "NAME"},                 {FrameType::Telephone, "TELEPHONE"},
    {FrameType::Mr, "Mr"},                     {FrameType::Zip, "ZIP"},
    {FrameType::Address1, "ADDRESS1"},         {FrameType::Address2, "ADDRESS2"},
    {FrameType::UserCompany, "UserCompany"},   {FrameType::UserSection, "UserSection"},
    {FrameType::UserPost, "UserPost"},         {FrameType::UserName, "UserName"},
    {FrameType::UserId, "UserID"},             {FrameType::UserFaxNumber, "UserFaxNumber"},
    {FrameType::UserZip, "UserZip"},           {FrameType::UserAddress1, "UserAddress1"},
    {FrameType::Time, "Time"},                 {FrameType::Date, "Date"},
    {FrameType::Page, "Page"},                 {FrameType::Bitmap, "Bitmap"},
    {FrameType::DrawingFrame, "DrawingFrame"}, {FrameType::DrawingLine, "DrawingLine"},
    {FrameType::PageCut, "PageCut"},
}};

constexpr std::string_view kCommaEscape = "\\054";
constexpr std::string_view kReturnEscape = "\\015";

// A field that must not break its line: no comma, carriage return or line feed.
void checkPlainField(std::string_view value, const char* what)
{
    if (value.find_first_of(",\r\n") != std::string_view::npos)
        throw std::invalid_argument(std::string(what) + " holds a comma or a line break");
}

void appendNumber(std::string& out, int value)
{
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

std::string rectPart(std::string_view keyword, const FrameRect& rect)
{
    std::string line(keyword);
    for (const int value : {rect.left, rect.top, rect.width, rect.height}) {
        line += ',';
        appendNumber(line, value);
    }
    line += ',';
    return line;
}

} // namespace

std::string_view keywordOf(FrameType type)
{
    for (const auto& k : kKeywords)
        if (k.type == type)
            return k.word;
    return {};
}

std::optional<FrameType> frameTypeOf(std::string_view keyword)
{
    for (const auto& k : kKeywords)
        if (platform::equalsNoCase(keyword, k.word))
            return k.type;
    return std::nullopt;
}

bool hasFont(FrameType type)
{
    return type != FrameType::Bitmap && type != FrameType::DrawingFrame && type != FrameType::DrawingLine
        && type != FrameType::PageCut;
}

std::vector<std::string_view> splitFrameLine(std::string_view line)
{
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (start < line.size()) {
        const size_t comma = line.find(',', start);
        if (comma == std::string_view::npos) {
            fields.push_back(line.substr(start));
            break;
        }
        fields.push_back(line.substr(start, comma - start));
        start = comma + 1;
    }
    return fields;
}

int fieldNumber(std::string_view field) { return platform::leadingInt(field).value_or(0); }

std::string escapeText(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8 + 4);
    for (const char c : text) {
        switch (c) {
        case '\n':
            out += "\\n";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\r':
            out += kReturnEscape;
            break;
        case ',':
            out += kCommaEscape;
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string unescapeText(std::string_view field)
{
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        const std::string_view rest = field.substr(i);
        if (rest.starts_with("\\\\")) {
            out += '\\';
            ++i;
        } else if (rest.starts_with("\\n")) {
            out += '\n';
            ++i;
        } else if (rest.starts_with(kCommaEscape)) {
            out += ',';
            i += kCommaEscape.size() - 1;
        } else if (rest.starts_with(kReturnEscape)) {
            out += '\r';
            i += kReturnEscape.size() - 1;
        } else {
            out += field[i];
        }
    }
    return out;
}

int fontHeightOfPoints(int points)
{
    const long long scaled = static_cast<long long>(points) * kPageResolution;
    const long long rounded = scaled >= 0 ? (scaled + 36) / 72 : -((-scaled + 36) / 72);
    return static_cast<int>(rounded);
}

std::string textFrameLine(FrameType type, const FrameRect& rect, const FrameFont& font)
{
    if (!hasFont(type))
        throw std::invalid_argument("no text kind");
    checkPlainField(font.face, "face name");
    std::string line = rectPart(keywordOf(type), rect);
    line += font.face;
    for (const int value : {font.height, font.weight, font.italic, font.underline, font.strikeOut, font.charSet}) {
        line += ',';
        appendNumber(line, value);
    }
    line += ',';
    return line;
}

std::string staticTextFrameLine(const FrameRect& rect, const FrameFont& font, std::string_view text)
{
    return textFrameLine(FrameType::StaticText, rect, font) + escapeText(text);
}

std::string bitmapFrameLine(const FrameRect& rect, std::string_view fileName)
{
    checkPlainField(fileName, "image file name");
    return rectPart(keywordOf(FrameType::Bitmap), rect).append(fileName);
}

std::string drawingFrameLine(const FrameRect& rect, int penStyle, int penWidth, int fill)
{
    std::string line = penFrameLine(FrameType::DrawingFrame, rect, penStyle, penWidth);
    line += ',';
    appendNumber(line, fill);
    return line;
}

std::string penFrameLine(FrameType type, const FrameRect& rect, int penStyle, int penWidth)
{
    if (hasFont(type) || type == FrameType::Bitmap)
        throw std::invalid_argument("no drawing kind");
    std::string line = rectPart(keywordOf(type), rect);
    appendNumber(line, penStyle);
    line += ',';
    appendNumber(line, penWidth);
    return line;
}

FrameRect frameRectOf(const std::vector<std::string_view>& fields)
{
    const auto at = [&](size_t i) { return i < fields.size() ? fieldNumber(fields[i]) : 0; };
    return {at(1), at(2), at(3), at(4)};
}

FrameFont frameFontOf(const std::vector<std::string_view>& fields)
{
    const auto at = [&](size_t i) { return i < fields.size() ? fieldNumber(fields[i]) : 0; };
    FrameFont font;
    if (fields.size() > 5)
        font.face = std::string(fields[5]);
    font.height = at(6);
    font.weight = at(7);
    font.italic = at(8);
    font.underline = at(9);
    font.strikeOut = at(10);
    font.charSet = at(11);
    return font;
}

} // namespace cover
