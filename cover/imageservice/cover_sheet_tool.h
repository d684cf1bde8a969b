// The cover sheet image service's component: the stretch flag and the two create methods.
#pragma once

#include "cover/imageservice/IQeltaCoverSheetTool.h"
#include "cover/imageservice/cover_sheet_image.h"

class CQeltaCoverSheetTool : public platform::com::Object<IQeltaCoverSheetTool> {
public:
    HRESULT CreateCoverSheetImage(BSTR bszCoverSheetPath, int32_t nXResolution, int32_t nYResolution,
                                  BSTR bszImagePath) override;
    HRESULT CreateCoverSheetImageWithData(BSTR bszName, BSTR bszFaxNo, BSTR bszMemo, BSTR bszDate, BSTR bszTime,
                                          int32_t nPageNo, BSTR bszCoverSheetPath, int32_t nXResolution,
                                          int32_t nYResolution, BSTR bszImagePath) override;
    HRESULT get_bIsRequestStretch(int32_t* pVal) override;
    HRESULT put_bIsRequestStretch(int32_t newVal) override;

private:
    /// Reads, lays out and renders one image; S_OK when the file was written, else S_FALSE.
    HRESULT MakeImage(CCoverSheetImage& image, BSTR bszCoverSheetPath, int32_t nXResolution, int32_t nYResolution,
                      BSTR bszImagePath);

    int32_t m_bIsRequestStretch = 0;
    /// The imaging functions, bound on the first image and kept while this object lives.
    std::shared_ptr<CImageKit> m_imageKit;
};
