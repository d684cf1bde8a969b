// CQeltaEncTool: the coclass QeltaEncTool, a stateless wrapper over the ENCLIB_* exports.
#pragma once

#include "crypto/IQeltaEncTool.h"

class CQeltaEncTool : public platform::com::Object<IQeltaEncTool> {
public:
    HRESULT EncryptString(int32_t type, BSTR bszSrc, BSTR* pbszDst) override;
    HRESULT DecryptString(int32_t type, BSTR bszSrc, BSTR* pbszDst) override;
};
