// Annotations: the item laid over a page, the application's defaults for new items, the geometry
// every user of items shares (turns between orientations, zoom, handles, repaint margins, the
// segment hit test) and the private clipboard block that carries one item between viewers.
// Display-free.
#pragma once

#include "imaging/device_context.h"
#include "viewer/viewer_dialog_logic.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace viewer {

/// Kinds of annotation; codes outside 2 to 10 are kept but never drawn, hit or edited.
enum AnnotationKind : int32_t {
    kAnnotFreehand = 2,
    kAnnotMarker = 3,
    kAnnotLine = 4,
    kAnnotRectangle = 5,
    kAnnotPaintRectangle = 6,
    kAnnotText = 7,
    kAnnotPatchMemo = 8,
    kAnnotTextFile = 9,
    kAnnotStamp = 10,
};
inline bool IsDrawnKind(int kind) { return kind >= kAnnotFreehand && kind <= kAnnotStamp; }
inline bool IsTextKind(int kind) { return kind >= kAnnotText && kind <= kAnnotStamp; }

/// White, the one colour that burns white into a 1-bit page.
inline constexpr uint32_t kColourWhite = 0x00FFFFFF;
/// Page images are 200 dots per inch; font heights are converted from the screen's dpi.
inline constexpr int kPageDpi = 200;
/// The longest side a page has, in page pixels: every coordinate of an item lies within it of the
/// page's origin, either way.
inline constexpr int32_t kMaxPageSide = 65535;

struct CAnnotationPoint {
    int32_t x = 0, y = 0;
    bool operator==(const CAnnotationPoint&) const = default;
};

/// One annotation. Geometry is in page pixels at 100 % in the frame of the item's own orientation
/// (the display rotation current when it was last written, with that orientation's page size).
/// Copies are deep (the points are values).
struct CAnnotationItem {
    int32_t page = 0;
    int32_t kind = 0;
    int32_t width = 0;          ///< pen width in page pixels
    uint32_t colour = 0;        ///< COLORREF of the pen, fill or text
    uint32_t background = 0;    ///< COLORREF of a patch memo's box
    std::string text;           ///< kinds 7 to 10, UTF-8
    gdi::LOGFONTA font;         ///< lfHeight in screen pixels at the screen's dpi
    int32_t style = 0;          ///< rectangles copy the rectangle style default into it
    gdi::RECT rect;             ///< normalised
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0; ///< the line's points, start first
    std::vector<CAnnotationPoint> points;  ///< freehand, in drawing order
    int32_t orientation = 0;    ///< quarter turns 0 to 3
    int32_t pageWidth = 0, pageHeight = 0; ///< the page's size in that orientation

    /// Every number 0, the text empty, the font all zero, no points.
    void Reset() { *this = CAnnotationItem{}; }
    bool operator==(const CAnnotationItem&) const = default;
};

/// The items of the whole document in z-order (index 0 drawn first).
using CAnnotationList = std::vector<std::unique_ptr<CAnnotationItem>>;

/// What the application holds for new annotations: all zero at start, never stored.
struct CAnnotationDefaults {
    int32_t freehandWidth = 0;
    uint32_t freehandColour = 0;
    uint32_t markerColour = 0;
    int32_t lineWidth = 0;
    uint32_t lineColour = 0;
    int32_t rectangleWidth = 0;
    uint32_t rectangleColour = 0;
    int32_t rectangleStyle = 0;
    uint32_t paintColour = 0;
    gdi::LOGFONTA textFont;
    uint32_t textColour = 0;
    gdi::LOGFONTA memoFont;
    uint32_t memoTextColour = 0;
    uint32_t memoColour = 0;
    gdi::LOGFONTA copyTextFont;
    uint32_t copyTextColour = 0;
    gdi::LOGFONTA stampFont;
    uint32_t stampColour = 0;
    int32_t stampCount = 0; ///< 0 to 20
    int32_t currentStamp = 0;
    std::array<CStampRecord, kMaxStamps> stamps{};
};

// ---- geometry ---------------------------------------------------------------------------------

/// The turn in degrees (0, 90, 180, 270) from orientation `from` into orientation `to`.
int TurnAngle(int from, int to);
/// A point turned by angle; W x H is the page's size in the target orientation.
gdi::POINT TurnPointBy(int angle, gdi::POINT point, int width, int height);
/// A rectangle turned corner-wise by angle, normalised.
gdi::RECT TurnRectBy(int angle, const gdi::RECT& rect, int width, int height);
/// Between orientations (the difference from - to picks the angle).
gdi::RECT TurnRect(const gdi::RECT& rect, int from, int to, int width, int height);
/// A page value at the zoom (truncated toward zero), and back.
int ToScreen(int value, double zoom);
int ToPage(int value, double zoom);
gdi::RECT ToScreen(const gdi::RECT& rect, double zoom);
gdi::RECT ToPage(const gdi::RECT& rect, double zoom);
/// The page's size in orientation `rotation` for its own size (quarter turns swap the sides).
std::pair<int, int> SizeInOrientation(int width, int height, int rotation);

/// The item's rectangle turned into `rotation` (W x H the page size there) and zoomed.
gdi::RECT ScreenRectOf(const CAnnotationItem& item, int rotation, int width, int height, double zoom);
/// The item's line points, the same way.
std::pair<gdi::POINT, gdi::POINT> ScreenLineOf(const CAnnotationItem& item, int rotation, int width, int height,
                                               double zoom);

/// The rectangle widened for repainting an item drawn with pen width w at the zoom: with w > 0 and
/// u = max(1, trunc(zoom x (w + 1))), left and top move out by max(u, 3), right and bottom by
/// max(u, 4); with w = 0 by 3 and 4.
gdi::RECT RepaintArea(const gdi::RECT& rect, int width, double zoom);
/// The pen width on screen: max(1, trunc(zoom x width)).
int ScreenPenWidth(int width, double zoom);

/// The normalised rectangle spanned by two points.
gdi::RECT Spanned(gdi::POINT a, gdi::POINT b);
/// The bounding box of points; empty for none.
gdi::RECT BoundingBox(const std::vector<CAnnotationPoint>& points);
gdi::RECT OffsetRect(const gdi::RECT& rect, int dx, int dy);
/// A point moved into the rectangle (its right and bottom edges included).
gdi::POINT ClampToRect(gdi::POINT point, const gdi::RECT& rect);
/// A vector turned by angle as points are (without the page's size): 90 (-dy, dx), 180 (-dx, -dy),
/// 270 (dy, -dx).
gdi::POINT TurnVector(int angle, gdi::POINT vector);

/// An annotation font's height (given at the screen's dpi) in page pixels, truncated toward zero;
/// 96 dpi when the screen gives none.
int PageFontHeight(int lfHeight, int screenDpi);

/// The eight handles of a rectangle, hit codes 2 to 9 in order: each the square from (x - 3, y - 3)
/// to (x + 4, y + 4) around its centre.
std::array<gdi::RECT, 8> HandleRects(const gdi::RECT& rect);
/// The handle square around one point.
gdi::RECT HandleRect(gdi::POINT centre);
inline bool PtInRect(const gdi::RECT& r, gdi::POINT p)
{
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}
/// Whether the point lies within tolerance t of the segment (the viewer's integer segment test).
bool SegmentHit(gdi::POINT a, gdi::POINT b, gdi::POINT p, int tolerance);

// ---- clipboard block --------------------------------------------------------------------------

/// The MIME type under which one item travels on the clipboard, beside its picture as image data.
inline constexpr const char* kAnnotationMimeType = "application/x-qelta-cf-tqlvwtl";
/// The block's fixed part; text or points follow.
inline constexpr size_t kAnnotationBlockHeader = 136;

/// The item as a clipboard block, little-endian: 136 bytes, + the text's length for kinds 7 to 10
/// (a zero byte follows the text), + 8 per point for freehand.
std::vector<uint8_t> ToClipboardBlock(const CAnnotationItem& item);
/// Reads a block into item (reset first). Refused, the item unchanged: a block under 136 bytes, a
/// count that does not fit the block, a text without a zero byte inside the block, a coordinate,
/// page size or font size beyond kMaxPageSide, a pen wider than gdi::kMaxPenWidth, and, with a
/// page size, a rectangle wider or taller than the page.
bool FromClipboardBlock(CAnnotationItem& item, std::span<const uint8_t> block,
                        std::optional<std::pair<int, int>> pageSize);

} // namespace viewer
