// A small component server that the component-layer tests register and create.
#pragma once

#include "platform/com.h"

struct ISampleCounter : IDispatch {
    static constexpr IID iid = platform::com::guid("{DD3FE5E3-D2A4-44DF-8300-FB4F9F5AAC64}");
    using parent = IDispatch;
    /// Adds one to the object's count and gives the new count.
    virtual HRESULT Increment(int32_t* value) = 0;

protected:
    ~ISampleCounter() = default;
};

inline constexpr CLSID CLSID_SampleCounter = platform::com::guid("{F95ACB41-3955-4E5A-AB33-55C0DB4B2560}");
