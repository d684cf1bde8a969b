// The cover sheet image service: a cover sheet file, with or without one recipient's data, drawn
// onto a white page and written as a one-page TIFF file at a requested resolution.
#pragma once

#include "platform/com.h"

struct IQeltaCoverSheetTool : IDispatch {
    static constexpr IID iid = platform::com::guid("{BF945F12-5ECC-467C-9AB3-9F2185B6FF3C}");
    using parent = IDispatch;

    /// Draws the cover sheet without recipient data: S_OK when the image file was written, else S_FALSE.
    virtual HRESULT CreateCoverSheetImage(BSTR bszCoverSheetPath, int32_t nXResolution, int32_t nYResolution,
                                          BSTR bszImagePath) = 0;
    /// The same with the recipient's name, fax number, memo, date, time and page number filled in.
    virtual HRESULT CreateCoverSheetImageWithData(BSTR bszName, BSTR bszFaxNo, BSTR bszMemo, BSTR bszDate, BSTR bszTime,
                                                  int32_t nPageNo, BSTR bszCoverSheetPath, int32_t nXResolution,
                                                  int32_t nYResolution, BSTR bszImagePath) = 0;
    /// The stretch flag: 1 makes the image at the requested resolution, anything else at 200 dpi.
    virtual HRESULT get_bIsRequestStretch(int32_t* pVal) = 0;
    virtual HRESULT put_bIsRequestStretch(int32_t newVal) = 0;

protected:
    ~IQeltaCoverSheetTool() = default;
};

inline constexpr CLSID CLSID_QeltaCoverSheetTool = platform::com::guid("{99FA87BB-C9C6-4D4A-BD7F-CFB54910A048}");
inline constexpr const char* kQeltaCoverSheetToolProgId = "covertool.QeltaCoverSheetTool";
inline constexpr const char* kQeltaCoverSheetToolProgIdVersion = "covertool.QeltaCoverSheetTool.1";
