// Page rendering: the page image the document holds, the display image a view prepares from it
// (reductions, quarter turns, inversion, grey levels) and its drawing into a painter at any size.
// Display-free: QtGui images and painters only.
#pragma once

#include "imaging/imagekit.h"

#include <QtGui/QImage>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class QPainter;

namespace viewer {

/// Grey levels of the view palette run 0 (black) to this (white).
inline constexpr int kWhiteLevel = 64;
/// The 16 annotation colours follow the grey levels in the view palette.
inline constexpr int kFirstAnnotationColour = 65;
inline constexpr int kViewPaletteSize = 81;

/// What a painter can change, in its own (transformed) coordinates: its device's rectangle mapped
/// back through the painter's transform, within its clip.
QRect ShownPart(const QPainter& painter);

/// The view palette: 65 grey levels (entry k = 255 * k / 64) and the 16 annotation colours.
const std::array<QRgb, kViewPaletteSize>& ViewPalette();
/// The 16 annotation colours as COLORREF values (0x00BBGGRR), in palette order.
const std::array<uint32_t, 16>& AnnotationColours();
/// The palette index of an annotation COLORREF (65 to 80); 65 (black) for any other colour.
int PaletteIndexOfColour(uint32_t colorref);
/// A COLORREF as a Qt colour.
QRgb RgbOfColorref(uint32_t colorref);
/// A Qt colour as a COLORREF (0x00BBGGRR).
uint32_t ColorrefOfRgb(QRgb rgb);

/// One page of the document: a bilevel page of the imaging library, owned (freed with the page).
class CPageImage {
public:
    /// Takes ownership of bitmap; 0 makes an empty (white) 1 x 1 page.
    explicit CPageImage(IKHANDLE bitmap);
    ~CPageImage();
    CPageImage(const CPageImage&) = delete;
    CPageImage& operator=(const CPageImage&) = delete;

    /// The page's handle (still owned by the page).
    IKHANDLE Handle() const { return m_hBitmap; }
    /// The page as a Format_Mono image (colour 0 white, 1 black) sharing the page's pixels.
    QImage Bitmap() const;
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    /// How many times taller than its pixels the page is shown, from its two resolutions: 2.08 for a
    /// 204 x 98 dpi fax page, 1 for square pixels or an unknown resolution.
    double Stretch() const { return m_stretch; }
    /// The page's height in pixels of its horizontal resolution: the height it is shown at 100 %.
    int ShownHeight() const;
    /// Puts bitmap (owned from now on) in place of the page's; the old one is freed.
    void SetBitmap(IKHANDLE bitmap);

private:
    IKHANDLE m_hBitmap = 0;
    int m_nWidth = 0, m_nHeight = 0;
    double m_stretch = 1.0;
};

/// A new page of the imaging library from a bilevel image, its resolution kept; 0 when it cannot
/// be made.
IKHANDLE PageOfBitmap(const QImage& bitmap);

/// The document's pages in order; the array owns them.
using CPageImageArray = std::vector<std::unique_ptr<CPageImage>>;

/// Quarter turns of a bilevel image (Format_Mono); a null image when the source is not one.
/// Counter-clockwise: source (x, y) goes to (y, W - 1 - x) of an H x W result.
QImage TurnMonoCounterClockwise(const QImage& source);
/// Clockwise: source (x, y) goes to (H - 1 - y, x).
QImage TurnMonoClockwise(const QImage& source);
/// Half turn: source (x, y) goes to (W - 1 - x, H - 1 - y).
QImage TurnMonoHalf(const QImage& source);

/// The image a view shows for one page. It lives either as a bitmap (Format_Mono, as taken from
/// the page) or as bits (Format_Mono or Format_Indexed8) whose pixel values are mapped to view
/// palette entries by an index table. Every operation that fails answers false and leaves the
/// image as it was.
class CDisplayImage {
public:
    CDisplayImage();
    ~CDisplayImage();
    CDisplayImage(const CDisplayImage&) = delete;
    CDisplayImage& operator=(const CDisplayImage&) = delete;

    /// Takes the page's bitmap (shared until changed); discards bits and cache. Always true.
    bool SetFromBitmap(const QImage& bitmap);
    /// Turns the bitmap into bits (index table: white colours to 64, dark ones to 0); false without one.
    bool ToBits();
    /// Reduces by 2, 4 or 8: dropped rows and columns, or (grey) counts of set bits as 0 to 64.
    bool ReduceByStep(int step, bool grey);
    /// Reduces to a size: dropped rows and columns, or (grey) area averages; a zero size does nothing.
    bool ReduceToSize(int width, int height, bool grey);
    /// Turns by 90 (counter-clockwise), 180 or 270 degrees; 0 does nothing.
    bool Rotate(int degrees);
    /// White and black exchanged: the bitmap's pixels, or the bits' index table.
    void Invert();
    /// Draws the whole image into the rectangle (x, y, w, h) of the painter's device, only what the
    /// painter's clip lets show being computed.
    void Draw(QPainter& painter, int x, int y, int width, int height);
    /// Draws a part of the bits given in the coordinates of a display of referenceWidth x
    /// referenceHeight into (0, 0, targetWidth, targetHeight); false without bits or for an empty target.
    bool DrawRegion(QPainter& painter, int sourceX, int sourceY, int targetWidth, int targetHeight,
                    int referenceWidth, int referenceHeight);
    /// The same with the page's white shown in colorref (invert: the page shown inverted).
    bool DrawRegionInColour(QPainter& painter, int sourceX, int sourceY, int targetWidth, int targetHeight,
                            int referenceWidth, int referenceHeight, uint32_t colorref, bool invert);

    bool HasBitmap() const { return !m_bitmap.isNull(); }
    bool HasBits() const { return !m_bits.isNull(); }
    const QImage& Bitmap() const { return m_bitmap; }
    const QImage& Bits() const { return m_bits; }
    const std::array<uint8_t, 256>& IndexTable() const { return m_indexTable; }
    int Width() const;
    int Height() const;
    /// Display images alive in the process.
    static int LiveCount();

private:
    const QImage& Current() const { return m_bits.isNull() ? m_bitmap : m_bits; }
    // The colours the current image's pixel values show in.
    std::vector<QRgb> Colours() const;
    void SetGreyIndexTable(bool whiteHigh);

    QImage m_bitmap;
    QImage m_bits;
    std::array<uint8_t, 256> m_indexTable{};
    QImage m_cache; // the bitmap already stretched to the last drawn size
};

} // namespace viewer
