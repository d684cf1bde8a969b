// The QeltaEncTool class and the library's component-server exports.
#include "crypto/enc_tool.h"

#include "crypto/enclib.h"
#include "platform/bstr.h"

#include <cstddef>
#include <string>

namespace {

using ExportFn = int (*)(int, const char*, char**);

// Runs one export on the ANSI form of bszSrc; hands out its text as a new BSTR, or null when it fails.
HRESULT convert(ExportFn fn, int32_t type, BSTR bszSrc, BSTR* pbszDst)
{
    if (!pbszDst)
        return E_POINTER;
    *pbszDst = nullptr;
    char* out = nullptr;
    // Out of memory while converting is reported like a failed export, with a null BSTR.
    guardedCall([&] {
        const std::string text = platform::com::ansiFromBstr(bszSrc);
        if (fn(type, text.c_str(), &out) >= 0 && out)
            *pbszDst = platform::com::bstrFromAnsi(out);
        return S_OK;
    });
    ENCLIB_EncryptFree(out);
    return S_OK;
}

const platform::com::ServerClass kClasses[] = {
    {CLSID_QeltaEncTool, "QeltaEncTool Class", PROGID_QeltaEncTool1, PROGID_QeltaEncTool, "Apartment",
     &platform::com::createObject<CQeltaEncTool>},
};

} // namespace

HRESULT CQeltaEncTool::EncryptString(int32_t type, BSTR bszSrc, BSTR* pbszDst)
{
    return guardedCall([&] { return convert(&ENCLIB_EncryptString, type, bszSrc, pbszDst); });
}

HRESULT CQeltaEncTool::DecryptString(int32_t type, BSTR bszSrc, BSTR* pbszDst)
{
    return guardedCall([&] { return convert(&ENCLIB_DecryptString, type, bszSrc, pbszDst); });
}

QELTA_SERVER_EXPORTS(kClasses)
