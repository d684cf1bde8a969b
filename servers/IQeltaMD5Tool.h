// The digest server: MD5 digests of texts, as 32 lower-case hexadecimal digits.
#pragma once

#include "platform/com.h"

struct IQeltaMD5Tool : IDispatch {
    static constexpr IID iid = platform::com::guid("{8BC27E90-048F-4690-8236-FC3D16BEF139}");
    using parent = IDispatch;

    /// The MD5 digest of the text's UTF-8 bytes; the caller frees *pbszDigest.
    virtual HRESULT MakeDigest(BSTR bszText, BSTR* pbszDigest) = 0;

protected:
    ~IQeltaMD5Tool() = default;
};

inline constexpr CLSID CLSID_QeltaMD5Tool = platform::com::guid("{3EB9880B-0DEF-4F92-AAD0-286FF232E613}");
inline constexpr const char* kQeltaMD5ToolProgId = "QeltaMD5Lib.QeltaMD5Tool";
