// The string encryption service's dual interface and its creatable class, for COM clients such as
// the job builder. The methods wrap the ENCLIB_* exports (see enclib.h).
#pragma once

#include "platform/com.h"

#include <cstdint>

struct IQeltaEncTool : IDispatch {
    static constexpr IID iid = platform::com::guid("{B8729F04-56ED-4BED-89C9-F6E5E47A412B}");
    using parent = IDispatch;

    /// Encodes bszSrc with the given type into a new BSTR at *pbszDst (null when encoding fails). Always S_OK.
    virtual HRESULT EncryptString(int32_t type, BSTR bszSrc, BSTR* pbszDst) = 0;
    /// Decodes bszSrc with the given type into a new BSTR at *pbszDst (null when decoding fails). Always S_OK.
    virtual HRESULT DecryptString(int32_t type, BSTR bszSrc, BSTR* pbszDst) = 0;

protected:
    ~IQeltaEncTool() = default;
};

/// The class QeltaEncTool, served by cryptotool.dll.
inline constexpr CLSID CLSID_QeltaEncTool = platform::com::guid("{381B3FA1-5C3F-458F-9772-EA21921EA70D}");

/// Program identifiers of QeltaEncTool: version-independent and versioned.
inline constexpr char PROGID_QeltaEncTool[] = "cryptotool.QeltaEncTool";
inline constexpr char PROGID_QeltaEncTool1[] = "cryptotool.QeltaEncTool.1";
