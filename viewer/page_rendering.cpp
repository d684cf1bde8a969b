#include "viewer/page_rendering.h"

#include "imaging/page_proportions.h"
#include "imaging/page_qimage.h"
#include "viewer/annotation_drawing.h"

#include <QtGui/QPaintEngine>
#include <QtGui/QPainter>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

namespace viewer {

namespace {

std::atomic<int> g_liveDisplayImages{0};

constexpr std::array<uint32_t, 16> kAnnotationColours = {
    0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0x808080,
    0xC0C0C0, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF,
};

// Set bits of every byte value.
constexpr std::array<uint8_t, 256> makeBitCounts()
{
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[i] = static_cast<uint8_t>((i & 1) + ((i >> 1) & 1) + ((i >> 2) & 1) + ((i >> 3) & 1) + ((i >> 4) & 1)
                                    + ((i >> 5) & 1) + ((i >> 6) & 1) + ((i >> 7) & 1));
    return t;
}
constexpr std::array<uint8_t, 256> kBitCount = makeBitCounts();

bool isMono(const QImage& image) { return image.format() == QImage::Format_Mono; }

QImage newMono(int width, int height, const QImage& like)
{
    QImage out(width, height, QImage::Format_Mono);
    if (out.isNull())
        return out;
    out.setColorTable(like.colorTable());
    out.fill(0);
    return out;
}

// An 8-bit image of pixel values; its colour table only names the values (the index table maps them).
QImage newIndexed(int width, int height)
{
    QImage out(width, height, QImage::Format_Indexed8);
    if (out.isNull())
        return out;
    static const QList<QRgb> values = [] {
        QList<QRgb> table;
        for (int i = 0; i < 256; ++i)
            table.append(qRgb(i, i, i));
        return table;
    }();
    out.setColorTable(values);
    return out;
}

inline bool monoBit(const uchar* line, int x) { return (line[x >> 3] >> (7 - (x & 7))) & 1; }

// Transposes an 8 x 8 bit block: row i's bit for column j (most significant first) becomes row j's
// bit for column i.
inline void transpose8(const uint8_t in[8], uint8_t out[8])
{
    uint64_t x = 0;
    for (int i = 0; i < 8; ++i)
        x = (x << 8) | in[i];
    uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAULL;
    x = x ^ t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCULL;
    x = x ^ t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ULL;
    x = x ^ t ^ (t << 28);
    for (int i = 7; i >= 0; --i) {
        out[i] = static_cast<uint8_t>(x);
        x >>= 8;
    }
}

// Both quarter turns over 8 x 8 blocks: clockwise takes the source's rows from the bottom.
QImage turnQuarter(const QImage& source, bool clockwise)
{
    if (!isMono(source))
        return {};
    const int w = source.width(), h = source.height();
    QImage out = newMono(h, w, source);
    if (out.isNull())
        return out;
    const int byteColumns = (w + 7) / 8;
    const int bands = (h + 7) / 8;
    std::vector<uchar*> rows(static_cast<size_t>(w));
    for (int r = 0; r < w; ++r)
        rows[static_cast<size_t>(r)] = out.scanLine(r);
    uint8_t block[8], turned[8];
    for (int k = 0; k < bands; ++k) {
        const uchar* lines[8];
        for (int i = 0; i < 8; ++i) {
            const int y = clockwise ? h - 1 - (8 * k + i) : 8 * k + i;
            lines[i] = (y >= 0 && y < h) ? source.constScanLine(y) : nullptr;
        }
        for (int bx = 0; bx < byteColumns; ++bx) {
            for (int i = 0; i < 8; ++i)
                block[i] = lines[i] ? lines[i][bx] : 0;
            transpose8(block, turned);
            const int valid = std::min(8, w - 8 * bx);
            for (int j = 0; j < valid; ++j) {
                const int x = 8 * bx + j;
                rows[static_cast<size_t>(clockwise ? x : w - 1 - x)][k] = turned[j];
            }
        }
    }
    // Padding bits past the last column of a partial band are zero already: the band was padded.
    return out;
}

QImage turnIndexed(const QImage& source, int degrees)
{
    const int w = source.width(), h = source.height();
    QImage out = newIndexed(degrees == 180 ? w : h, degrees == 180 ? h : w);
    if (out.isNull())
        return out;
    for (int y = 0; y < h; ++y) {
        const uchar* line = source.constScanLine(y);
        for (int x = 0; x < w; ++x) {
            if (degrees == 90)
                out.scanLine(w - 1 - x)[y] = line[x];
            else if (degrees == 270)
                out.scanLine(x)[h - 1 - y] = line[x];
            else
                out.scanLine(h - 1 - y)[w - 1 - x] = line[x];
        }
    }
    return out;
}

// How the painter's coordinates reach its device's pixels. On a scaled screen (a device pixel ratio
// of 2) a painter unit is several device pixels: images are made and drawn at the device's pixels so
// that a page keeps its sharpness. Where the painter turns or mirrors, images are made in its units.
struct DeviceMapping {
    explicit DeviceMapping(QPainter& painter)
    {
        // The painter's transform already holds the ratio; without the painter's own moves and
        // scales only the ratio is left.
        toDevice = painter.combinedTransform();
        painter.save();
        painter.resetTransform();
        const qreal deviceRatio = painter.combinedTransform().m11();
        painter.restore();
        aligned = toDevice.type() <= QTransform::TxScale && toDevice.m11() > 0 && toDevice.m22() > 0
                  && deviceRatio > 0;
        ratio = aligned ? deviceRatio : 1.0;
    }
    // A rectangle of painter coordinates in the pixels images are made in, its edges rounded to the
    // nearest pixel edge (neighbouring rectangles share their edges).
    QRect Map(const QRect& rect) const
    {
        if (!aligned)
            return rect;
        const QRectF mapped = toDevice.mapRect(QRectF(rect));
        return QRect(QPoint(qRound(mapped.left()), qRound(mapped.top())),
                     QPoint(qRound(mapped.right()) - 1, qRound(mapped.bottom()) - 1));
    }
    // Draws the source part of an image made in these pixels (its ratio set) with its corner at a
    // pixel given by Map.
    void Put(QPainter& painter, const QImage& image, const QPoint& at, const QRect& source) const
    {
        if (!aligned) {
            painter.drawImage(at, image, source);
            return;
        }
        painter.save();
        painter.resetTransform();
        painter.drawImage(QPointF(at.x() / ratio, at.y() / ratio), image, source);
        painter.restore();
    }

    QTransform toDevice;
    qreal ratio = 1.0;
    bool aligned = false;
};

// Nearest stretch: the part of target (a rectangle of the device's pixels, DeviceMapping::Map) inside
// visible, from the src rectangle of image, into an RGB32 image placed on the painter.
void stretchOnDevice(QPainter& painter, const DeviceMapping& device, const QImage& image,
                     const std::vector<QRgb>& colours, const QRect& src, const QRect& target, const QRect& visible)
{
    const QRect part = target.intersected(visible);
    if (part.isEmpty() || src.isEmpty())
        return;
    QImage out(part.size(), QImage::Format_RGB32);
    if (out.isNull())
        return;
    out.setDevicePixelRatio(device.ratio);
    std::vector<int> column(static_cast<size_t>(part.width()));
    for (int i = 0; i < part.width(); ++i)
        column[static_cast<size_t>(i)] =
            src.x() + static_cast<int>(int64_t{part.x() - target.x() + i} * src.width() / target.width());
    const bool mono = isMono(image);
    std::vector<uint8_t> maskOf;
    if (mono)
        maskOf.resize(column.size());
    std::vector<int> byteIndex(column.size());
    for (size_t i = 0; i < column.size(); ++i) {
        byteIndex[i] = mono ? column[i] >> 3 : column[i];
        if (mono)
            maskOf[i] = static_cast<uint8_t>(0x80u >> (column[i] & 7));
    }
    const QRgb c0 = colours.empty() ? 0 : colours[0];
    const QRgb c1 = colours.size() > 1 ? colours[1] : c0;
    for (int r = 0; r < part.height(); ++r) {
        const int sy =
            src.y() + static_cast<int>(int64_t{part.y() - target.y() + r} * src.height() / target.height());
        const uchar* line = image.constScanLine(sy);
        auto* to = reinterpret_cast<QRgb*>(out.scanLine(r));
        if (mono) {
            for (size_t i = 0; i < column.size(); ++i)
                to[i] = (line[byteIndex[i]] & maskOf[i]) ? c1 : c0;
        } else {
            for (size_t i = 0; i < column.size(); ++i)
                to[i] = colours[line[byteIndex[i]]];
        }
    }
    device.Put(painter, out, part.topLeft(), out.rect());
}

// The same for dst and visible in the painter's coordinates.
void stretchVisible(QPainter& painter, const QImage& image, const std::vector<QRgb>& colours, const QRect& src,
                    const QRect& dst, const QRect& visible)
{
    const DeviceMapping device(painter);
    stretchOnDevice(painter, device, image, colours, src, device.Map(dst), device.Map(visible));
}

// The part of an image that a region given in a display of reference size shows.
QRect regionPart(const QImage& image, int sourceX, int sourceY, int targetWidth, int targetHeight, int referenceWidth,
                 int referenceHeight)
{
    const int iw = image.width(), ih = image.height();
    const QRect src(static_cast<int>(int64_t{sourceX} * iw / referenceWidth),
                    static_cast<int>(int64_t{sourceY} * ih / referenceHeight),
                    static_cast<int>(int64_t{targetWidth} * iw / referenceWidth),
                    static_cast<int>(int64_t{targetHeight} * ih / referenceHeight));
    return src.intersected(image.rect());
}

// Band k of n over length total: its start and size (the first total mod n bands one longer).
std::pair<int, int> band(int total, int n, int k)
{
    const int base = total / n, extra = total % n;
    return {k * base + std::min(k, extra), base + (k < extra ? 1 : 0)};
}

} // namespace

QRect ShownPart(const QPainter& painter)
{
    // The painter's transform reaches the device's pixels; a widget gives its size in units of the
    // screen, which a scaled screen has fewer of than pixels.
    const QPaintDevice& device = *painter.device();
    const qreal pixels = device.devType() == QInternal::Widget ? device.devicePixelRatio() : 1.0;
    QRectF shown = painter.combinedTransform().inverted().mapRect(
        QRectF(0, 0, device.width() * pixels, device.height() * pixels));
    if (painter.hasClipping())
        shown = shown.intersected(painter.clipBoundingRect());
    return shown.toAlignedRect();
}

const std::array<QRgb, kViewPaletteSize>& ViewPalette()
{
    static const std::array<QRgb, kViewPaletteSize> palette = [] {
        std::array<QRgb, kViewPaletteSize> p{};
        for (int k = 0; k <= kWhiteLevel; ++k) {
            const int v = 255 * k / 64;
            p[static_cast<size_t>(k)] = qRgb(v, v, v);
        }
        for (size_t i = 0; i < kAnnotationColours.size(); ++i)
            p[kFirstAnnotationColour + i] = RgbOfColorref(kAnnotationColours[i]);
        return p;
    }();
    return palette;
}

const std::array<uint32_t, 16>& AnnotationColours() { return kAnnotationColours; }

int PaletteIndexOfColour(uint32_t colorref)
{
    for (size_t i = 0; i < kAnnotationColours.size(); ++i)
        if (kAnnotationColours[i] == colorref)
            return kFirstAnnotationColour + static_cast<int>(i);
    return kFirstAnnotationColour;
}

QRgb RgbOfColorref(uint32_t colorref)
{
    return qRgb(static_cast<int>(colorref & 0xFF), static_cast<int>((colorref >> 8) & 0xFF),
                static_cast<int>((colorref >> 16) & 0xFF));
}

uint32_t ColorrefOfRgb(QRgb rgb)
{
    return static_cast<uint32_t>(qRed(rgb)) | static_cast<uint32_t>(qGreen(rgb)) << 8 |
           static_cast<uint32_t>(qBlue(rgb)) << 16;
}

// ---- CPageImage ----

IKHANDLE PageOfBitmap(const QImage& bitmap)
{
    // Fax pages are often finer across than down (204 x 98): each way keeps its own resolution.
    const auto dpiOf = [](int dotsPerMeter) { return static_cast<int>(std::lround(dotsPerMeter * 0.0254)); };
    return qelta::imaging::pageOfImage(bitmap, dpiOf(bitmap.dotsPerMeterX()), dpiOf(bitmap.dotsPerMeterY()));
}

CPageImage::CPageImage(IKHANDLE bitmap)
{
    SetBitmap(bitmap != 0 ? bitmap : IKCreateImage(1, 1, 1, 255, 255, 255, 0, nullptr, nullptr, nullptr));
}

CPageImage::~CPageImage()
{
    if (m_hBitmap != 0)
        IKFreeMemory(m_hBitmap);
}

QImage CPageImage::Bitmap() const { return qelta::imaging::monoImageOfPage(m_hBitmap); }

void CPageImage::SetBitmap(IKHANDLE bitmap)
{
    if (m_hBitmap != 0 && m_hBitmap != bitmap)
        IKFreeMemory(m_hBitmap);
    m_hBitmap = bitmap;
    IKIMAGEINFO info{};
    info.size = sizeof info;
    if (bitmap != 0 && IKGetImageType(&info, bitmap, nullptr) == 1) {
        m_nWidth = info.width;
        m_nHeight = info.height;
        m_stretch = qelta::imaging::pageStretch(info.xResolution, info.yResolution);
    } else {
        m_nWidth = m_nHeight = 0;
        m_stretch = 1.0;
    }
}

int CPageImage::ShownHeight() const { return qelta::imaging::shownHeight(m_nHeight, m_stretch); }

// ---- turns ----

QImage TurnMonoCounterClockwise(const QImage& source) { return turnQuarter(source, false); }
QImage TurnMonoClockwise(const QImage& source) { return turnQuarter(source, true); }

QImage TurnMonoHalf(const QImage& source)
{
    if (!isMono(source))
        return {};
    const int w = source.width(), h = source.height();
    QImage out = newMono(w, h, source);
    if (out.isNull())
        return out;
    // Row by row: a page's rows may be packed closer than the new image's.
    for (int y = 0; y < h; ++y)
        MirrorRows(out.scanLine(h - 1 - y), source.constScanLine(y), w, 1, static_cast<int>(out.bytesPerLine()));
    return out;
}

// ---- CDisplayImage ----

CDisplayImage::CDisplayImage()
{
    ViewPalette();
    ++g_liveDisplayImages;
}

CDisplayImage::~CDisplayImage() { --g_liveDisplayImages; }

int CDisplayImage::LiveCount() { return g_liveDisplayImages.load(); }

int CDisplayImage::Width() const { return Current().width(); }
int CDisplayImage::Height() const { return Current().height(); }

bool CDisplayImage::SetFromBitmap(const QImage& bitmap)
{
    m_bits = QImage();
    m_cache = QImage();
    m_bitmap = bitmap;
    return true;
}

bool CDisplayImage::ToBits()
{
    if (m_bitmap.isNull())
        return false;
    m_bits = m_bitmap;
    m_indexTable.fill(0);
    for (int i = 0; i < 256; ++i)
        m_indexTable[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    const QList<QRgb> colours = m_bitmap.colorTable();
    for (int v = 0; v < 2; ++v)
        m_indexTable[static_cast<size_t>(v)] =
            (v < colours.size() && qGray(colours[v]) >= 128) ? kWhiteLevel : 0;
    m_bitmap = QImage();
    m_cache = QImage();
    return true;
}

void CDisplayImage::SetGreyIndexTable(bool whiteHigh)
{
    for (int i = 0; i < 256; ++i)
        m_indexTable[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    if (!whiteHigh)
        for (int i = 0; i <= kWhiteLevel; ++i)
            m_indexTable[static_cast<size_t>(i)] = static_cast<uint8_t>(kWhiteLevel - i);
}

bool CDisplayImage::ReduceByStep(int step, bool grey)
{
    if (step != 2 && step != 4 && step != 8)
        return false;
    const QImage& source = Current();
    if (source.isNull())
        return false;
    const int w = source.width() / step, h = source.height() / step;
    if (w == 0 || h == 0)
        return false;
    if (!grey || HasBits()) {
        if (grey && !isMono(m_bits))
            return false; // grey levels are counted from bilevel bits only
        if (!grey) {
            // Every step-th pixel of every step-th row, at the image's depth.
            QImage out = isMono(source) ? newMono(w, h, source) : QImage(w, h, source.format());
            if (out.isNull())
                return false;
            if (!isMono(source))
                out.setColorTable(source.colorTable());
            for (int y = 0; y < h; ++y) {
                const uchar* from = source.constScanLine(y * step);
                uchar* to = out.scanLine(y);
                if (isMono(source)) {
                    std::memset(to, 0, static_cast<size_t>(out.bytesPerLine()));
                    for (int x = 0; x < w; ++x)
                        if (monoBit(from, x * step))
                            to[x >> 3] |= static_cast<uint8_t>(0x80u >> (x & 7));
                } else {
                    for (int x = 0; x < w; ++x)
                        to[x] = from[x * step];
                }
            }
            (HasBits() ? m_bits : m_bitmap) = out;
            m_cache = QImage();
            return true;
        }
    }
    if (!isMono(source))
        return false;
    QImage out = newIndexed(w, h);
    if (out.isNull())
        return false;
    const int scale = 64 / (step * step);
    for (int y = 0; y < h; ++y) {
        uchar* to = out.scanLine(y);
        std::fill(to, to + w, uchar{0});
        for (int r = 0; r < step; ++r) {
            const uchar* from = source.constScanLine(y * step + r);
            if (step == 8) {
                for (int x = 0; x < w; ++x)
                    to[x] = static_cast<uchar>(to[x] + kBitCount[from[x]]);
            } else if (step == 4) {
                for (int x = 0; x < w; ++x)
                    to[x] = static_cast<uchar>(
                        to[x] + kBitCount[from[x >> 1] & ((x & 1) ? 0x0F : 0xF0)]);
            } else {
                static constexpr uint8_t masks[4] = {0xC0, 0x30, 0x0C, 0x03};
                for (int x = 0; x < w; ++x)
                    to[x] = static_cast<uchar>(to[x] + kBitCount[from[x >> 2] & masks[x & 3]]);
            }
        }
        for (int x = 0; x < w; ++x)
            to[x] = static_cast<uchar>(to[x] * scale);
    }
    if (!HasBits())
        ToBits();
    const bool whiteHigh = m_indexTable[0] < m_indexTable[1];
    m_bits = out;
    SetGreyIndexTable(whiteHigh);
    return true;
}

bool CDisplayImage::ReduceToSize(int width, int height, bool grey)
{
    if (width <= 0 || height <= 0)
        return true;
    const QImage& source = Current();
    if (source.isNull())
        return false;
    const int sw = source.width(), sh = source.height();
    if (!grey && HasBitmap()) {
        QImage out = newMono(width, height, source);
        if (out.isNull())
            return false;
        for (int y = 0; y < height; ++y) {
            const uchar* from = source.constScanLine(static_cast<int>(int64_t{y} * sh / height));
            uchar* to = out.scanLine(y);
            for (int x = 0; x < width; ++x)
                if (monoBit(from, static_cast<int>(int64_t{x} * sw / width)))
                    to[x >> 3] |= static_cast<uint8_t>(0x80u >> (x & 7));
        }
        m_bitmap = out;
        m_cache = QImage();
        return true;
    }
    if (width >= sw || height >= sh || !isMono(source))
        return false;
    // Per output column: its source span's first byte, masks of its first and last byte, and width.
    struct Span {
        int firstByte, lastByte, pixels;
        uint8_t firstMask, lastMask;
    };
    std::vector<Span> spans(static_cast<size_t>(width));
    for (int x = 0; x < width; ++x) {
        const int from = static_cast<int>(int64_t{x} * sw / width);
        const int to = static_cast<int>(int64_t{x + 1} * sw / width); // exclusive
        Span& s = spans[static_cast<size_t>(x)];
        s.firstByte = from >> 3;
        s.lastByte = (to - 1) >> 3;
        s.pixels = to - from;
        s.firstMask = static_cast<uint8_t>(0xFFu >> (from & 7));
        s.lastMask = static_cast<uint8_t>(0xFF00u >> (((to - 1) & 7) + 1));
        if (s.firstByte == s.lastByte)
            s.firstMask = s.lastMask = static_cast<uint8_t>(s.firstMask & s.lastMask);
    }
    QImage out = newIndexed(width, height);
    if (out.isNull())
        return false;
    std::vector<int> counts(static_cast<size_t>(width));
    for (int y = 0; y < height; ++y) {
        const int r0 = static_cast<int>(int64_t{y} * sh / height), r1 = static_cast<int>(int64_t{y + 1} * sh / height);
        std::fill(counts.begin(), counts.end(), 0);
        for (int r = r0; r < r1; ++r) {
            const uchar* line = source.constScanLine(r);
            for (int x = 0; x < width; ++x) {
                const Span& s = spans[static_cast<size_t>(x)];
                int c = kBitCount[line[s.firstByte] & s.firstMask];
                if (s.lastByte != s.firstByte) {
                    for (int b = s.firstByte + 1; b < s.lastByte; ++b)
                        c += kBitCount[line[b]];
                    c += kBitCount[line[s.lastByte] & s.lastMask];
                }
                counts[static_cast<size_t>(x)] += c;
            }
        }
        uchar* to = out.scanLine(y);
        for (int x = 0; x < width; ++x)
            to[x] = static_cast<uchar>(counts[static_cast<size_t>(x)] * 64
                                       / (spans[static_cast<size_t>(x)].pixels * (r1 - r0)));
    }
    if (!HasBits())
        ToBits();
    const bool whiteHigh = m_indexTable[0] < m_indexTable[1];
    m_bits = out;
    SetGreyIndexTable(whiteHigh);
    return true;
}

bool CDisplayImage::Rotate(int degrees)
{
    degrees = ((degrees % 360) + 360) % 360;
    if (degrees == 0)
        return true;
    if (degrees != 90 && degrees != 180 && degrees != 270)
        return false;
    QImage& image = HasBits() ? m_bits : m_bitmap;
    if (image.isNull())
        return false;
    QImage out;
    if (isMono(image))
        out = degrees == 90 ? TurnMonoCounterClockwise(image)
                            : degrees == 270 ? TurnMonoClockwise(image) : TurnMonoHalf(image);
    else if (&image == &m_bits)
        out = turnIndexed(image, degrees);
    if (out.isNull())
        return false;
    image = out;
    m_cache = QImage();
    return true;
}

void CDisplayImage::Invert()
{
    if (HasBits()) {
        if (isMono(m_bits))
            std::swap(m_indexTable[0], m_indexTable[1]);
        else
            for (int i = 0; i < 32; ++i)
                std::swap(m_indexTable[static_cast<size_t>(i)], m_indexTable[static_cast<size_t>(64 - i)]);
    } else if (HasBitmap()) {
        m_bitmap.invertPixels();
        m_cache = QImage();
    }
}

std::vector<QRgb> CDisplayImage::Colours() const
{
    if (HasBits()) {
        std::vector<QRgb> colours(256, qRgb(0, 0, 0));
        const auto& palette = ViewPalette();
        for (size_t i = 0; i < 256; ++i)
            if (m_indexTable[i] < kViewPaletteSize)
                colours[i] = palette[m_indexTable[i]];
        return colours;
    }
    const QList<QRgb> table = m_bitmap.colorTable();
    return {table.value(0, qRgb(255, 255, 255)), table.value(1, qRgb(0, 0, 0))};
}

void CDisplayImage::Draw(QPainter& painter, int x, int y, int width, int height)
{
    const QImage& image = Current();
    if (width <= 0 || height <= 0 || image.isNull() || painter.device() == nullptr)
        return;
    const int iw = image.width(), ih = image.height();
    const QRect visible = ShownPart(painter);
    const QRect target(x, y, width, height);
    const QRect whole(0, 0, iw, ih);
    const std::vector<QRgb> colours = Colours();
    // Sizes in the device's pixels, which a scaled screen has more of than the painter has units.
    const DeviceMapping device(painter);
    const QRect deviceTarget = device.Map(target), deviceVisible = device.Map(visible);
    const int dw = deviceTarget.width(), dh = deviceTarget.height();
    if (dw <= 0 || dh <= 0)
        return;
    const bool multiples = dw % iw == 0 && dh % ih == 0;
    if (HasBitmap() && !multiples && dw < iw && dh < ih) {
        // Smaller in both directions: stretched once to this size and kept.
        if (m_cache.size() != deviceTarget.size() || m_cache.devicePixelRatio() != device.ratio) {
            m_cache = QImage(deviceTarget.size(), QImage::Format_RGB32);
            if (m_cache.isNull())
                return;
            QPainter cachePainter(&m_cache);
            stretchVisible(cachePainter, image, colours, whole, m_cache.rect(), m_cache.rect());
            cachePainter.end();
            m_cache.setDevicePixelRatio(device.ratio);
        }
        const QRect part = deviceTarget.intersected(deviceVisible);
        if (!part.isEmpty())
            device.Put(painter, m_cache, part.topLeft(), part.translated(-deviceTarget.topLeft()));
        return;
    }
    const bool bands = !multiples && ih > 32 && ih < dh && (HasBitmap() ? (dw > 320 && dh > 320) : dh > 480);
    if (bands) {
        for (int k = 0; k < 32; ++k) {
            // Each band where the whole stretch puts its rows.
            const auto [sy, sh] = band(ih, 32, k);
            const int ty = static_cast<int>(int64_t{sy} * dh / ih);
            const int th = static_cast<int>(int64_t{sy + sh} * dh / ih) - ty;
            const QRect dst(deviceTarget.x(), deviceTarget.y() + ty, dw, th);
            if (th > 0 && sh > 0 && dst.intersects(deviceVisible))
                stretchOnDevice(painter, device, image, colours, QRect(0, sy, iw, sh), dst, deviceVisible);
        }
        return;
    }
    stretchOnDevice(painter, device, image, colours, whole, deviceTarget, deviceVisible);
}

bool CDisplayImage::DrawRegion(QPainter& painter, int sourceX, int sourceY, int targetWidth, int targetHeight,
                               int referenceWidth, int referenceHeight)
{
    if (!HasBits() || targetWidth <= 0 || targetHeight <= 0 || referenceWidth <= 0 || referenceHeight <= 0)
        return false;
    const QRect part =
        regionPart(m_bits, sourceX, sourceY, targetWidth, targetHeight, referenceWidth, referenceHeight);
    if (!part.isEmpty())
        stretchVisible(painter, m_bits, Colours(), part, QRect(0, 0, targetWidth, targetHeight), ShownPart(painter));
    return true;
}

bool CDisplayImage::DrawRegionInColour(QPainter& painter, int sourceX, int sourceY, int targetWidth,
                                       int targetHeight, int referenceWidth, int referenceHeight, uint32_t colorref,
                                       bool invert)
{
    if (!HasBits() || targetWidth <= 0 || targetHeight <= 0 || referenceWidth <= 0 || referenceHeight <= 0)
        return false;
    const QRect part =
        regionPart(m_bits, sourceX, sourceY, targetWidth, targetHeight, referenceWidth, referenceHeight);
    if (part.isEmpty())
        return true;
    // A copy of the part of the bits shown, as palette levels, the page's white in the colour.
    QImage levels = newIndexed(part.width(), part.height());
    if (levels.isNull())
        return false;
    const bool mono = isMono(m_bits);
    const auto colour = static_cast<uchar>(PaletteIndexOfColour(colorref));
    for (int y = 0; y < part.height(); ++y) {
        const uchar* from = m_bits.constScanLine(part.y() + y);
        uchar* to = levels.scanLine(y);
        for (int x = 0; x < part.width(); ++x) {
            const int sx = part.x() + x;
            uchar v = mono ? m_indexTable[monoBit(from, sx) ? 1 : 0] : m_indexTable[from[sx]];
            if (invert && (v == kWhiteLevel || v == 0))
                v = static_cast<uchar>(kWhiteLevel - v);
            to[x] = v == kWhiteLevel ? colour : v;
        }
    }
    std::vector<QRgb> colours(256, qRgb(0, 0, 0));
    std::copy(ViewPalette().begin(), ViewPalette().end(), colours.begin());
    stretchVisible(painter, levels, colours, QRect(QPoint(0, 0), part.size()), QRect(0, 0, targetWidth, targetHeight),
                   ShownPart(painter));
    return true;
}

} // namespace viewer
