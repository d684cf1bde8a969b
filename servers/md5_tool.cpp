// The digest server "QeltaMD5Lib.QeltaMD5Tool".
#include "platform/bstr.h"
#include "servers/IQeltaMD5Tool.h"
#include "platform/unicode.h"

#include <openssl/evp.h>

namespace {

class CQeltaMD5Tool : public platform::com::Object<IQeltaMD5Tool> {
public:
    HRESULT MakeDigest(BSTR bszText, BSTR* pbszDigest) override
    {
        return guardedCall([&] { return makeDigest(bszText, pbszDigest); });
    }

private:
    static HRESULT makeDigest(BSTR bszText, BSTR* pbszDigest)
    {
        if (!pbszDigest)
            return E_POINTER;
        *pbszDigest = nullptr;
        const std::string text = platform::utf16ToUtf8(platform::com::view(bszText));
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        if (!EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr))
            return E_FAIL;
        static const char hex[] = "0123456789abcdef";
        std::u16string out;
        for (unsigned i = 0; i < length; ++i) {
            out.push_back(static_cast<char16_t>(hex[digest[i] >> 4]));
            out.push_back(static_cast<char16_t>(hex[digest[i] & 15]));
        }
        *pbszDigest = platform::com::allocString(out);
        return *pbszDigest ? S_OK : E_OUTOFMEMORY;
    }
};

const platform::com::ServerClass kClasses[] = {
    {CLSID_QeltaMD5Tool, "QeltaMD5Tool Class", "QeltaMD5Lib.QeltaMD5Tool.1", kQeltaMD5ToolProgId, "Apartment",
     &platform::com::createObject<CQeltaMD5Tool>},
};

} // namespace

QELTA_SERVER_EXPORTS(kClasses)
