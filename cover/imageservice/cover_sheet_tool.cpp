// The QeltaCoverSheetTool class and the library's component-server exports.
#include "cover/imageservice/cover_sheet_tool.h"

#include "platform/bstr.h"

#include <mutex>

namespace {

// Images are made one at a time per process.
std::mutex& imageMutex()
{
    static std::mutex mutex;
    return mutex;
}

const platform::com::ServerClass kClasses[] = {
    {CLSID_QeltaCoverSheetTool, "QeltaCoverSheetTool Class", kQeltaCoverSheetToolProgIdVersion,
     kQeltaCoverSheetToolProgId, "Apartment", &platform::com::createObject<CQeltaCoverSheetTool>},
};

} // namespace

HRESULT CQeltaCoverSheetTool::MakeImage(CCoverSheetImage& image, BSTR bszCoverSheetPath, int32_t nXResolution,
                                        int32_t nYResolution, BSTR bszImagePath)
{
    const std::string coverPath = platform::com::ansiFromBstr(bszCoverSheetPath);
    const std::string imagePath = platform::com::ansiFromBstr(bszImagePath);
    const std::lock_guard lock(imageMutex());
    if (!image.ReadCoverSheet(coverPath))
        return S_FALSE;
    image.SetOutputGeometry(m_bIsRequestStretch == 1, nXResolution, nYResolution);
    if (!m_imageKit || !m_imageKit->Complete())
        m_imageKit = CImageKit::Acquire();
    return image.Render(*m_imageKit, imagePath) ? S_OK : S_FALSE;
}

HRESULT CQeltaCoverSheetTool::CreateCoverSheetImage(BSTR bszCoverSheetPath, int32_t nXResolution, int32_t nYResolution,
                                                    BSTR bszImagePath)
{
    return guardedCall([&] {
        CCoverSheetImage image;
        return MakeImage(image, bszCoverSheetPath, nXResolution, nYResolution, bszImagePath);
    });
}

HRESULT CQeltaCoverSheetTool::CreateCoverSheetImageWithData(BSTR bszName, BSTR bszFaxNo, BSTR bszMemo, BSTR bszDate,
                                                            BSTR bszTime, int32_t nPageNo, BSTR bszCoverSheetPath,
                                                            int32_t nXResolution, int32_t nYResolution,
                                                            BSTR bszImagePath)
{
    return guardedCall([&] {
        CCoverSheetImage image;
        CCoverRecipientData& data = image.m_data;
        data.m_strName = platform::com::ansiFromBstr(bszName);
        data.m_strFaxNo = platform::com::ansiFromBstr(bszFaxNo);
        data.m_strMemo = platform::com::ansiFromBstr(bszMemo);
        data.m_strDate = platform::com::ansiFromBstr(bszDate);
        data.m_strTime = platform::com::ansiFromBstr(bszTime);
        data.m_nPageNo = nPageNo;
        data.m_bUse = true;
        return MakeImage(image, bszCoverSheetPath, nXResolution, nYResolution, bszImagePath);
    });
}

HRESULT CQeltaCoverSheetTool::get_bIsRequestStretch(int32_t* pVal)
{
    return guardedCall([&] {
        if (!pVal)
            return E_POINTER;
        *pVal = m_bIsRequestStretch;
        return S_OK;
    });
}

HRESULT CQeltaCoverSheetTool::put_bIsRequestStretch(int32_t newVal)
{
    return guardedCall([&] {
        m_bIsRequestStretch = newVal;
        return S_OK;
    });
}

QELTA_SERVER_EXPORTS(kClasses)
