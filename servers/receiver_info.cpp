// The notification-address server: reads what the result monitor publishes under
// HKEY_CURRENT_USER "SOFTWARE\Kovra\RTN" ("FAXServerPort", "FAXIPAddress", "FAXRunning").
#include "platform/bstr.h"
#include "platform/registry.h"
#include "servers/IResultReceiverInfo.h"

namespace {

class CResultReceiverInfo : public platform::com::Object<IResultReceiverInfo> {
public:
    HRESULT Refresh() override
    {
        return guardedCall([&] { return refresh(); });
    }

    HRESULT Reserved() override { return E_NOTIMPL; }

    HRESULT GetReceiverAddress(BSTR* pbszPort, BSTR* pbszAddress) override
    {
        if (!pbszPort || !pbszAddress)
            return E_POINTER;
        return guardedCall([&] {
            *pbszPort = platform::com::bstrFromAnsi(port_);
            *pbszAddress = platform::com::bstrFromAnsi(address_);
            return port_.empty() || address_.empty() ? S_FALSE : S_OK;
        });
    }

private:
    HRESULT refresh()
    {
        port_.clear();
        address_.clear();
        platform::RegistryKey key;
        if (platform::RegistryKey::open(platform::Hive::CurrentUser, "SOFTWARE\\Kovra\\RTN", key) != platform::RegStatus::Ok)
            return S_FALSE;
        platform::RegValue running, port, address;
        if (key.query("FAXRunning", running) != platform::RegStatus::Ok || running.type != platform::RegType::Dword
            || running.number() != 1 || key.query("FAXServerPort", port) != platform::RegStatus::Ok
            || key.query("FAXIPAddress", address) != platform::RegStatus::Ok || port.text().empty()
            || address.text().empty())
            return S_FALSE;
        port_ = port.text();
        address_ = address.text();
        return S_OK;
    }

    std::string port_, address_;
};

const platform::com::ServerClass kClasses[] = {
    {CLSID_ResultReceiverInfo, "ResultReceiverInfo Class", "ResultReceiver.ResultReceiverInfo.1",
     "ResultReceiver.ResultReceiverInfo", "Apartment", &platform::com::createObject<CResultReceiverInfo>},
};

} // namespace

QELTA_SERVER_EXPORTS(kClasses)
