// The cover sheet renderer behind coverrender's exports: reads a cover sheet file with the model's
// reader and object classes, fills in the caller's texts, draws the page and writes or packs it.
// The clock and the font metrics can be replaced (tests).
#pragma once

#include "cover/model/cover_objects.h"
#include "platform/global_memory.h"
#include "platform/system_info.h"

#include <QtGui/QImage>

#include <functional>
#include <optional>
#include <string>

namespace coverrender {

/// Page height of a sheet without a usable page cut.
inline constexpr int kDefaultPageHeight = 2290;
/// Bytes of one row of the packed bitmap.
inline constexpr int kPackedRowBytes = (1728 + 31) / 32 * 4;
/// Tries at a free page file name.
inline constexpr int kNameTries = 10;

using LocalTime = platform::LocalTime;

struct TextMetrics {
    int height = 0;       ///< tmHeight
    int maxCharWidth = 0; ///< tmMaxCharWidth
    int charSet = 0;      ///< tmCharSet
};

/// What the caller hands in; null pointers count as empty.
struct Texts {
    const char* recipientFields = nullptr;
    const char* memo = nullptr;
    const char* sender = nullptr;
};

/// The composed number of the UserID and UserFaxNumber fields.
std::string composedNumber(bool secondLanguage, const std::string& country, const std::string& area,
                           const std::string& number);

/// Capacity of one memo frame of the given size: whole lines times whole characters, doubled for
/// character set 2; 0 for a zero metric, negative sizes count as 0.
int memoCapacity(int width, int height, const TextMetrics& metrics);

/// The page file name for a time, "CyymmddhhmmssSSS.TQG".
std::string pageFileName(const LocalTime& time);

class Renderer {
public:
    Renderer();

    void setClock(std::function<LocalTime()> clock) { m_clock = std::move(clock); }
    void setMetrics(std::function<TextMetrics(const gdi::LOGFONTA&)> metrics) { m_metrics = std::move(metrics); }

    /// The drawn page (white background, 1728 x page height, 32-bit); none when the sheet cannot be
    /// read or has no frames.
    std::optional<QImage> render(const std::string& coverPath, const Texts& texts);
    /// Renders and writes the page file into outputDirectory; its full path, or empty on failure
    /// (no file is then left behind).
    std::string writePageFile(const std::string& coverPath, const Texts& texts, const std::string& outputDirectory);
    /// The packed bitmap of a rendered page in an unlocked block, or null.
    static HGLOBAL packBitmap(const QImage& page);
    /// The largest memo capacity of the sheet; 0 without frames or memo frames.
    int maxMemoLength(const std::string& coverPath);

private:
    bool loadSheet(const std::string& coverPath, const Texts& texts, CtqRtArray& objects, int& pageHeight);

    std::function<LocalTime()> m_clock;
    std::function<TextMetrics(const gdi::LOGFONTA&)> m_metrics;
};

} // namespace coverrender
