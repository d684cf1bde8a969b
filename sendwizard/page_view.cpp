#include "sendwizard/page_view.h"

#include "sendwizard/imagekit_binding.h"

#include <algorithm>
#include <cmath>

CIkFile::~CIkFile() { Free(); }

void CIkFile::Free()
{
    if (m_hImage && ImageKit().pfnFreeMemory)
        ImageKit().pfnFreeMemory(m_hImage);
    m_hImage = 0;
}

bool CIkFile::FileAction(long nAction)
{
    if (nAction != kFileActionRead || !ImageKit().pfnTiffFileLoad)
        return false;
    Free();
    m_hImage = ImageKit().pfnTiffFileLoad(m_strFileName.c_str(), m_nPageIndex, 0, "", "", "");
    return m_hImage != 0;
}

double DisplayZoomFor(int nMode, double dZoom, int nImageWidth, int nImageHeight, int nViewWidth, int nViewHeight)
{
    if (nImageWidth <= 0 || nImageHeight <= 0 || nViewWidth <= 0 || nViewHeight <= 0)
        return dZoom;
    const double width = static_cast<double>(nViewWidth) / nImageWidth;
    const double height = static_cast<double>(nViewHeight) / nImageHeight;
    switch (nMode) {
    case kDisplayWholePage: return std::min(width, height);
    case kDisplayFillArea: return std::max(width, height);
    default: return dZoom;
    }
}

double ZoomOfSliderPosition(int nPosition) { return std::clamp(nPosition, 1, 100) * 0.01; }

int SliderPositionOfZoom(double dZoom) { return static_cast<int>(std::lround(dZoom * 100)); }
