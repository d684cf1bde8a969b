#include "platform/tests/support/sample_server.h"

namespace {

class CSampleCounter : public platform::com::Object<ISampleCounter> {
public:
    HRESULT Increment(int32_t* value) override
    {
        if (!value)
            return E_POINTER;
        *value = ++count_;
        return S_OK;
    }

private:
    int32_t count_ = 0;
};

const platform::com::ServerClass kClasses[] = {
    {CLSID_SampleCounter, "SampleCounter Class", "Sample.Counter.1", "Sample.Counter", "Apartment",
     &platform::com::createObject<CSampleCounter>},
};

} // namespace

QELTA_SERVER_EXPORTS(kClasses)
