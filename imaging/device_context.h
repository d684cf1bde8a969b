// The device context of the suite's drawing code: GDI-style drawing over QPainter on a page image.
// Fonts come from a LOGFONT record (a positive height is the cell height, a negative one the
// character height), pens have the seven GDI styles, text is drawn word-wrapped, and brushes and
// images combine with the page through raster operations. All coordinates are device pixels.
#pragma once

#include <QtGui/QImage>
#include <QtGui/QPainter>

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace gdi {

/// a x b / c with a 64-bit product, rounded to the nearest integer, halves away from zero; -1 when
/// c is 0 or the result does not fit 32 bits.
int MulDiv(int a, int b, int c);

struct POINT {
    int32_t x = 0, y = 0;
};

struct RECT {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const RECT&) const = default;
};

/// The logical font record.
struct LOGFONTA {
    int32_t lfHeight = 0; ///< > 0: cell height; < 0: character height; 0: the default size
    int32_t lfWidth = 0, lfEscapement = 0, lfOrientation = 0;
    int32_t lfWeight = 0; ///< 0-1000; 0 the default (400), 700 bold
    uint8_t lfItalic = 0, lfUnderline = 0, lfStrikeOut = 0, lfCharSet = 0;
    uint8_t lfOutPrecision = 0, lfClipPrecision = 0, lfQuality = 0, lfPitchAndFamily = 0;
    char lfFaceName[32] = {}; ///< up to 31 characters and a terminating zero
    bool operator==(const LOGFONTA&) const = default;
};

/// Pen styles.
enum : int { PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_DASHDOT = 3, PS_DASHDOTDOT = 4, PS_NULL = 5, PS_INSIDEFRAME = 6 };

/// Raster operations of PatBlt and StretchBlt.
enum : uint32_t {
    SRCCOPY = 0x00CC0020,
    SRCAND = 0x008800C6,
    PATCOPY = 0x00F00021,
    PATAND = 0x00A000C9, ///< destination AND pattern
    BLACKNESS = 0x00000042,
    WHITENESS = 0x00FF0062,
};

/// DrawText flags.
enum : unsigned { DT_LEFT = 0, DT_CENTER = 0x1, DT_WORDBREAK = 0x10, DT_NOPREFIX = 0x800 };

/// Device capabilities.
enum : int { LOGPIXELSX = 88, LOGPIXELSY = 90 };

/// Largest character height a font is made with, in device pixels.
inline constexpr int kMaxFontPixels = 4096;
/// Widest pen, in device pixels.
inline constexpr int kMaxPenWidth = 4096;

struct Pen {
    int style = PS_SOLID;
    int width = 1; ///< device pixels; 0 and 1 draw one pixel wide
    QRgb colour = 0xff000000;
};

struct Brush {
    bool null = true; ///< a null brush paints nothing
    QRgb colour = 0xffffffff;
    int shade = 0; ///< 1-63: a pattern brush of black dots (see IsShadeDot) on white; 0: the colour
};

/// Shades of the cover sheets' frames in 64ths of the pixels: 5, 10 and 15 %.
inline constexpr int kShade5 = 3, kShade10 = 6, kShade15 = 10;

/// Whether the page pixel (x, y) is a dot of a shade of `level` 64ths (64 and more: every pixel):
/// ordered dots on an 8 x 8 threshold map fixed to the page, so shades of neighbouring areas join
/// without seams and every drawing of a sheet puts the same dots in the same places.
bool IsShadeDot(int level, int x, int y);

/// Calls dot(x, y) for each dot of a shade of `level` 64ths in the pixels [left, right) x
/// [top, bottom) of a page (row by row); what lies between the dots is the caller's to keep.
template <typename Dot>
void ForEachShadeDot(int level, const QRect& area, Dot&& dot)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (IsShadeDot(level, x, y))
                dot(x, y);
}

/// Where the segment from (x0, y0) to (x1, y1) crosses the box [left, right] x [top, bottom]: the
/// shares of the way from (x0, y0) at which it enters and leaves (0 <= enter <= leave <= 1).
struct LineSpan {
    double enter = 0, leave = 1;
};
/// The part of a segment inside a box; none when it misses the box. The one clipper of lines and
/// frame edges: whatever lies beyond a page is cut away before a pixel is stepped or stroked.
std::optional<LineSpan> ClipLine(double x0, double y0, double x1, double y1, double left, double top, double right,
                                 double bottom);

/// The Qt font of a logical font record at the device's pixel size: a positive height is the cell
/// (ascent plus descent) the font fits in, a negative one the character (em) height, 0 a 12-pixel
/// default; heights are bounded by kMaxFontPixels. Drawing is never antialiased.
QFont fontOfLogFont(const LOGFONTA& logFont);

/// A device context on a page image. The image must outlive it; drawing ends with the context.
class CDeviceContext {
public:
    /// Draws onto image, which is converted to 32-bit RGB first when it has another format (the
    /// raster operations need it).
    explicit CDeviceContext(QImage& image);
    ~CDeviceContext();
    CDeviceContext(const CDeviceContext&) = delete;
    CDeviceContext& operator=(const CDeviceContext&) = delete;

    /// Selects a pen, font or brush and answers the one selected before.
    Pen SelectPen(const Pen& pen);
    Brush SelectBrush(const Brush& brush);
    LOGFONTA SelectFont(const LOGFONTA& font);

    /// The device origin of logical (0, 0).
    POINT GetViewportOrg() const { return m_viewportOrg; }
    POINT SetViewportOrg(POINT origin);

    /// Pixels per inch of the device (LOGPIXELSX, LOGPIXELSY); 0 for another index.
    int GetDeviceCaps(int index) const;

    /// A line with the pen from the current position to (x, y), without its last point; (x, y)
    /// becomes the current position.
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    /// Connected lines through the points with the pen.
    void Polyline(const POINT* points, int count);
    /// A rectangle [left, right) x [top, bottom): filled with the brush, outlined with the pen (an
    /// inside-frame pen stays inside the rectangle).
    void Rectangle(const RECT& rect);
    /// The rectangle filled with a colour.
    void FillSolidRect(const RECT& rect, QRgb colour);
    /// Combines the brush into the rectangle with PATCOPY, PATAND, BLACKNESS or WHITENESS; false
    /// for another operation. A pattern brush's dots sit on the device's pixel grid.
    bool PatBlt(const RECT& rect, uint32_t rop);
    /// Stretches image over the rectangle (nearest pixels) with SRCCOPY or SRCAND; false for
    /// another operation or an empty image.
    bool StretchBlt(const RECT& rect, const QImage& image, uint32_t rop);
    /// Text (in the process code page) in the selected font, black, from the rectangle's top left corner: lines break
    /// at line feeds and, with DT_WORDBREAK, between words at the rectangle's width; without
    /// DT_NOPREFIX an ampersand marks the next character. Not clipped to the rectangle.
    void DrawText(std::string_view text, const RECT& rect, unsigned format);

private:
    void strokeLine(POINT from, POINT to);
    void strokeThin(POINT from, POINT to);
    void shade(const QRect& box, bool white);
    /// The device's pixels in logical coordinates.
    QRect visibleArea() const;

    QImage& m_image;
    std::unique_ptr<QPainter> m_painter;
    Pen m_pen;
    Brush m_brush;
    LOGFONTA m_font;
    POINT m_position, m_viewportOrg;
    int m_patternStep = 0;
};

} // namespace gdi
