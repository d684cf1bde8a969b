// The page loader and the zoom rules of the page display that the cover sheet and preview pages
// show page images with.
#pragma once

#include "imaging/imagekit.h"

#include <string>

/// Display actions: the whole page scaled into the view ("Scale"), the page filling the view with
/// the rest reached by scrolling ("Fit to Area"), or the zoom factor ("Actual Size").
enum : int { kDisplayWholePage = 1, kDisplayFillArea = 2, kDisplayZoomFactor = 3 };
/// The file action that reads the page.
inline constexpr int kFileActionRead = 4;

/// Loads one page of an image file; the image it read lives until the next read or its end.
class CIkFile {
public:
    CIkFile() = default;
    ~CIkFile();
    CIkFile(const CIkFile&) = delete;
    CIkFile& operator=(const CIkFile&) = delete;

    void SetFileName(std::string strFileName) { m_strFileName = std::move(strFileName); }
    /// The 0-based page to read.
    void SetPageIndex(short nPageIndex) { m_nPageIndex = nPageIndex; }
    /// Performs a file action: kFileActionRead reads the page. False when it could not.
    bool FileAction(long nAction);
    /// The image read; 0 when none.
    IKHANDLE GetImageHandle() const { return m_hImage; }

private:
    void Free();
    std::string m_strFileName;
    short m_nPageIndex = 0;
    IKHANDLE m_hImage = 0;
};

/// The scale a display action gives for an image in a view (1.0 = one image pixel a screen
/// pixel): the whole page, the page filling the view (the larger of the width and height ratios),
/// or the zoom factor as it stands. An empty image or view keeps the zoom factor.
double DisplayZoomFor(int nMode, double dZoom, int nImageWidth, int nImageHeight, int nViewWidth, int nViewHeight);

/// The zoom factor of a zoom slider position (1..100, in hundredths), and the position of a factor.
double ZoomOfSliderPosition(int nPosition);
int SliderPositionOfZoom(double dZoom);
