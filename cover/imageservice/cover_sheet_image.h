// One cover sheet image in the making: the frames read from the cover sheet file, the recipient's
// data, and the page they are drawn on.
#pragma once

#include "cover/imageservice/imagekit_binding.h"
#include "cover/model/frame_line.h"

#include <string>
#include <string_view>
#include <vector>

/// The recipient's data of CreateCoverSheetImageWithData.
struct CCoverRecipientData {
    bool m_bUse = false; ///< set when data was given
    std::string m_strName, m_strFaxNo, m_strMemo, m_strDate, m_strTime;
    int m_nPageNo = -1;
};

/// One drawable object of the sheet.
class CFrame {
public:
    enum Kind { kName = 0, kFax, kStaticText, kMemo, kDate, kTime, kPage, kBitmap, kDrawingFrame, kDrawingLine,
                kPageCut, kNone = 99 };

    /// A frame with the texts it shows when no recipient data is given.
    CFrame();

    /// Takes one frame line; coverPath resolves relative image names. True when the line is a kind
    /// this service draws with every field that kind needs.
    bool Parse(std::string_view line, const CCoverRecipientData& data, const std::string& coverPath);

    /// Draws the frame onto *page (a bitmap replaces *page). True when drawn.
    bool DrawObject(const CImageKit& kit, IKHANDLE* page, int nXResolution, int nYResolution) const;

    int m_nKind = kNone;
    int m_nLeft = 0, m_nTop = 0, m_nWidth = 0, m_nHeight = 0;
    std::string m_strFace;
    int m_nFontHeight = 0, m_nWeight = 0;
    unsigned char m_bItalic = 0, m_bUnderline = 0, m_bStrikeOut = 0, m_nCharSet = 0;
    int m_nPenStyle = 0, m_nPenWidth = 0, m_nFill = 0;
    std::string m_strImagePath;
    std::string m_strText;
    std::string m_strName, m_strFaxNo, m_strMemo, m_strDate, m_strTime;
    int m_nPageNo = 99;

private:
    bool DrawText(const CImageKit& kit, IKHANDLE page) const;
    bool DrawBitmap(const CImageKit& kit, IKHANDLE* page, int nXResolution, int nYResolution) const;
    bool DrawCrossedBox(const CImageKit& kit, IKHANDLE page) const;
    int Right() const;
    int Bottom() const;
};

/// Made for one create call: reads the sheet, then renders it into a TIFF file.
class CCoverSheetImage {
public:
    static constexpr int kMaxPageHeight = cover::kMaxPageHeight;
    /// Page height of a sheet without a page cut.
    static constexpr int kDefaultPageHeight = 2338;

    CCoverRecipientData m_data;
    std::vector<CFrame> m_frames;
    int m_nXResolution = 200, m_nYResolution = 200;
    int m_nWidth = 1728, m_nHeight = kDefaultPageHeight;

    /// Reads the frames of the file; false when there is no file to read.
    bool ReadCoverSheet(const std::string& path);
    /// The output size and resolution: the requested ones when stretching, else 200 dpi.
    void SetOutputGeometry(bool bStretch, int nXResolution, int nYResolution);
    /// Draws the frames through kit and writes the page to imagePath. True when the file was written.
    bool Render(const CImageKit& kit, const std::string& imagePath);
};
