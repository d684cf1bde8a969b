#include "viewer/tilt_detect.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace viewer {

namespace {

// True when angle's score beats best: a higher score, or the same score nearer level (a level page
// scores alike at the few smallest angles, which move no ink byte).
bool Beats(double angle, double score, const std::pair<double, double>& best)
{
    return score > best.second || (score == best.second && std::abs(angle) < std::abs(best.first));
}

// One byte of ink: its byte column, its row and how many ink pixels it holds.
struct InkByte {
    int32_t column;
    int32_t row;
    int32_t count;
};

class ProfileSearch {
public:
    // The margin takes the fine steps just beyond the widest tilt too.
    ProfileSearch(const QImage& ink)
        : m_columns((ink.width() + 7) / 8), m_centre(ink.width() / 2.0),
          m_margin(static_cast<int>(std::ceil(std::tan((kMaxTilt + 1) * std::numbers::pi / 180) * m_centre)) + 2),
          m_offsets(static_cast<size_t>(m_columns)),
          m_bins(static_cast<size_t>(ink.height() + 2 * m_margin))
    {
        ForEachInkByte(ink, [&](int column, int row, int count) { m_ink.push_back({column, row + m_margin, count}); });
    }

    // Calls f(column, row, count) for every byte of the image holding ink.
    template <class F> static void ForEachInkByte(const QImage& ink, F f)
    {
        const int columns = (ink.width() + 7) / 8, rest = ink.width() % 8;
        const uint8_t lastMask = rest ? static_cast<uint8_t>(0xFF00u >> rest) : 0xFF;
        for (int y = 0; y < ink.height(); ++y) {
            const uchar* row = ink.constScanLine(y);
            for (int c = 0; c < columns; ++c)
                if (const uint8_t bits = c == columns - 1 ? static_cast<uint8_t>(row[c] & lastMask) : row[c])
                    f(c, y, std::popcount(bits));
        }
    }

    // The sum of the squared row sums along lines falling by angle degrees: largest where the
    // lines of ink run along the rows.
    double Score(double angle)
    {
        const double slope = std::tan(angle * std::numbers::pi / 180);
        for (int c = 0; c < m_columns; ++c)
            m_offsets[static_cast<size_t>(c)] = static_cast<int32_t>(std::lround((c * 8 + 4 - m_centre) * slope));
        std::fill(m_bins.begin(), m_bins.end(), 0);
        for (const InkByte& ink : m_ink)
            m_bins[static_cast<size_t>(ink.row - m_offsets[static_cast<size_t>(ink.column)])] += ink.count;
        double sum = 0;
        for (const int32_t bin : m_bins)
            sum += static_cast<double>(bin) * bin;
        return sum;
    }

    // The best angle from low to high by step, with its score.
    std::pair<double, double> Best(double low, double high, double step)
    {
        std::pair<double, double> best{0, -1};
        const int steps = static_cast<int>(std::lround((high - low) / step));
        for (int i = 0; i <= steps; ++i) {
            const double angle = low + i * step;
            const double score = Score(angle);
            if (Beats(angle, score, best))
                best = {angle, score};
        }
        return best;
    }

private:
    int m_columns;
    double m_centre;
    int m_margin;
    std::vector<InkByte> m_ink;
    std::vector<int32_t> m_offsets;
    std::vector<int32_t> m_bins;
};

} // namespace

std::optional<double> DetectTilt(const QImage& ink)
{
    if (ink.isNull() || ink.format() != QImage::Format_Mono)
        return std::nullopt;
    int64_t total = 0;
    ProfileSearch::ForEachInkByte(ink, [&](int, int, int count) { total += count; });
    const int64_t area = static_cast<int64_t>(ink.width()) * ink.height();
    // Too little ink to show lines, or the background offered as ink.
    if (total < std::max<int64_t>(64, area / 20000) || total * 2 > area)
        return std::nullopt;
    ProfileSearch search(ink);

    constexpr double kCoarse = 0.5;
    std::vector<double> scores;
    std::pair<double, double> best{0, -1};
    for (double angle = -kMaxTilt; angle <= kMaxTilt + 1e-9; angle += kCoarse) {
        scores.push_back(search.Score(angle));
        if (Beats(angle, scores.back(), best))
            best = {angle, scores.back()};
    }
    // Scattered ink scores alike at every angle; the edge means the tilt lies beyond the search.
    std::vector<double> sorted = scores;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2), sorted.end());
    const double median = sorted[sorted.size() / 2];
    if (best.second < median * 1.2 || std::abs(best.first) >= kMaxTilt - kCoarse / 2)
        return std::nullopt;

    best = search.Best(best.first - kCoarse, best.first + kCoarse, 0.05);
    best = search.Best(best.first - 0.05, best.first + 0.05, 0.01);
    return best.first;
}

QImage LevelMono(const QImage& image, double tilt)
{
    if (image.isNull() || image.format() != QImage::Format_Mono)
        return {};
    const int width = image.width(), height = image.height();
    QImage result(width, height, QImage::Format_Mono);
    result.setColorTable(image.colorTable());
    result.setDotsPerMeterX(image.dotsPerMeterX());
    result.setDotsPerMeterY(image.dotsPerMeterY());
    const QList<QRgb> colours = image.colorTable();
    const bool oneIsWhite = colours.size() >= 2 && qGray(colours[1]) >= 128 && qGray(colours[0]) < 128;
    const int fill = oneIsWhite ? 1 : 0;

    // Each pixel of the result takes the source pixel under its centre turned back by the tilt;
    // 16.16 fixed point along a row.
    const double angle = tilt * std::numbers::pi / 180;
    const double cosA = std::cos(angle), sinA = std::sin(angle);
    const double cx = width / 2.0, cy = height / 2.0;
    constexpr double kOne = 65536.0;
    const int64_t stepX = std::llround(cosA * kOne), stepY = std::llround(sinA * kOne);
    const int bytes = (width + 7) / 8;
    const uchar* source = image.constBits();
    const qsizetype stride = image.bytesPerLine();
    for (int y = 0; y < height; ++y) {
        const double dx = 0.5 - cx, dy = y + 0.5 - cy;
        int64_t fx = std::llround((cx + dx * cosA - dy * sinA) * kOne);
        int64_t fy = std::llround((cy + dx * sinA + dy * cosA) * kOne);
        uchar* out = result.scanLine(y);
        for (int c = 0; c < bytes; ++c) {
            unsigned byte = 0;
            for (int bit = 0; bit < 8; ++bit) {
                const int64_t sx = fx >> 16, sy = fy >> 16;
                int value = fill;
                if (c * 8 + bit >= width)
                    value = 0; // the row's padding stays clear
                else if (sx >= 0 && sx < width && sy >= 0 && sy < height)
                    value = (source[sy * stride + (sx >> 3)] >> (7 - (sx & 7))) & 1;
                byte = (byte << 1) | static_cast<unsigned>(value);
                fx += stepX;
                fy += stepY;
            }
            out[c] = static_cast<uchar>(byte);
        }
    }
    return result;
}

} // namespace viewer
