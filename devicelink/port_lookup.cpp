#include "devicelink/port_lookup.h"

#include "devicelink/reg_key.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/spooler.h"
#include "platform/tcp.h"
#include "platform/text.h"

#include <cstring>
#include <initializer_list>

namespace mfplink {

using WinReg_Ostrel_R1::RegKey;

namespace {

constexpr const char* kTcpMonitors[] = {"Standard TCP/IP Port", "Olvane TCP/IP Port"};
constexpr const char* kMakerMonitors[] = {"Brisomar Port", "Brisoneth Port", "Quellith Port", "QUELMARON"};
constexpr const char* kProviders[] = {"Internet Print Provider", "Microsoft Networks Print Provider"};
// The resolver writes into a buffer whose size it is not told.
constexpr size_t kResolverBufferBytes = 1024;

// Walks down names from base when each level exists (matched without regard to case).
bool descend(const RegKey& base, std::initializer_list<std::string_view> names, RegKey& out)
{
    RegKey key = base;
    for (const auto name : names) {
        if (!key.HasChild(name))
            return false;
        key = key.Child(name);
    }
    out = key;
    return true;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && platform::equalsNoCase(text.substr(0, prefix.size()), prefix);
}

bool endsWithNoCase(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && platform::equalsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

} // namespace

int PrinterPortAddressLookup::ResolveHost(std::string_view host, std::string& address)
{
    uint32_t parsed = 0;
    if (platform::parseIPv4(host, parsed)) {
        address = host;
        return 0;
    }
    const auto resolved = platform::resolveIPv4(host, kHostResolveTimeoutMs);
    if (!resolved)
        return 1;
    address = platform::formatIPv4(*resolved);
    return 0;
}

int PrinterPortAddressLookup::UrlRule(std::string_view url, const std::string& printerName, std::string& address)
{
    constexpr std::string_view kHttp = "http://";
    if (!startsWithNoCase(url, kHttp))
        return 1;
    const std::string_view rest = url.substr(kHttp.size());
    const size_t slash = rest.find('/');
    if (slash == 0 || slash == std::string_view::npos)
        return 1;
    const std::string_view host = rest.substr(0, slash);
    const std::string_view path = rest.substr(slash);
    if (startsWithNoCase(path, "/ipp"))
        return ResolveHost(host.substr(0, host.find(':')), address);
    constexpr std::string_view kPrinters = "/printers/", kPrinter = "/.printer";
    if (startsWithNoCase(path, kPrinters) && endsWithNoCase(path, kPrinter) && path.size() > kPrinters.size() + kPrinter.size()) {
        const std::string_view printer = path.substr(kPrinters.size(), path.size() - kPrinters.size() - kPrinter.size());
        if (printer.find('/') == std::string_view::npos)
            return useResolver_ ? AskResolver(printerName, address) : 1;
    }
    return 1;
}

int PrinterPortAddressLookup::DeviceUriRule(std::string_view uri, std::string& address, bool& found)
{
    found = false;
    const size_t separator = uri.find("://");
    if (separator == std::string_view::npos)
        return 1;
    const std::string scheme = platform::asciiLower(uri.substr(0, separator));
    if (scheme != "socket" && scheme != "lpd" && scheme != "ipp" && scheme != "ipps" && scheme != "http"
        && scheme != "https")
        return 1;
    found = true;
    std::string_view authority = uri.substr(separator + 3);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    const std::string_view host = authority.substr(0, authority.find(':'));
    if (host.empty())
        return 1;
    return ResolveHost(host, address);
}

std::string PrinterPortAddressLookup::ResolverLibraryName(std::string_view programPath)
{
    std::string name = platform::fileNameOf(programPath);
    if (const size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0)
        name.resize(dot);
    if (name.size() > 4)
        name.resize(4);
    return name + "hostaddrlib.dll";
}

int PrinterPortAddressLookup::AskResolver(const std::string& printerName, std::string& address)
{
    using ResolveFn = int (*)(const char*, unsigned, char*);
    const auto library = platform::Library::load(ResolverLibraryName(platform::programPath()));
    if (!library)
        return 1;
    const auto resolve = library->function<ResolveFn>("resolveIPAddress");
    if (!resolve)
        return 1;
    char out[kResolverBufferBytes] = {};
    const int rc = resolve(printerName.c_str(), static_cast<unsigned>(resolverTimeoutMs_), out);
    if (rc == 0)
        address.assign(out, ::strnlen(out, sizeof out));
    return rc;
}

int PrinterPortAddressLookup::Lookup(const std::string& portName, const std::string& printerName, std::string& address)
{
    found_ = 1;
    try {
        RegKey print(platform::Hive::LocalMachine, WinReg_Ostrel_R1::KEY_READ);
        if (descend(print, {"System", "CurrentControlSet", "control", "Print"}, print)) {
            RegKey port = print;
            for (const char* monitor : kTcpMonitors)
                if (descend(print, {"Monitors", monitor, "Ports", portName}, port)) {
                    found_ = 0;
                    if (const std::string ip = port.QueryString("IPAddress", ""); !ip.empty()) {
                        address = ip;
                        return 0;
                    }
                    const std::string host = port.QueryString("HostName", "");
                    return host.empty() ? 1 : ResolveHost(host, address);
                }
            for (const char* monitor : kMakerMonitors)
                if (descend(print, {"Monitors", monitor, "Ports", portName}, port)) {
                    found_ = 0;
                    if (const std::string host = port.QueryString("HostName", ""); !host.empty())
                        return ResolveHost(host, address);
                    const std::string url = port.QueryString("URL", "");
                    return url.empty() ? 1 : UrlRule(url, printerName, address);
                }
            if (descend(print, {"Monitors", "LPR Port", "Ports", portName}, port)) {
                found_ = 0;
                const std::string server = port.QueryString("Server Name", "");
                return server.empty() ? 1 : ResolveHost(server, address);
            }
            for (const char* provider : kProviders)
                if (descend(print, {"Providers", provider, "Ports", portName}, port)) {
                    found_ = 0;
                    return UrlRule(portName, printerName, address);
                }
        }
    } catch (const RegKey::CException&) {
        // Registry data that cannot be read counts as absent; a port found before the failure stays unresolved.
        if (found_ == 0)
            return 1;
    }

    // The printer's device URI in the spooler.
    if (!printerName.empty()) {
        if (const auto uri = platform::currentSpooler()->deviceUri(printerName)) {
            bool network = false;
            const int status = DeviceUriRule(*uri, address, network);
            if (network) {
                found_ = 0;
                return status;
            }
        }
    }

    // A print server's share: "\\server\printer".
    if (useResolver_ && portName.size() > 2 && portName[0] == '\\' && portName[1] == '\\'
        && portName.find('\\', 3) != std::string::npos)
        return AskResolver(printerName, address);
    if (platform::asciiLower(portName).starts_with("ip_")) {
        ResolveHost(std::string_view(portName).substr(3), address);
        return 0;
    }
    return 1;
}

int CopyAddress(const std::string& address, char* buffer, unsigned bufferSize)
{
    if (address.empty())
        return 0;
    const size_t needed = address.size() + 1;
    if (buffer && bufferSize > 0) {
        const size_t copied = std::min<size_t>(address.size(), bufferSize - 1);
        std::memcpy(buffer, address.data(), copied);
        buffer[copied] = '\0';
    }
    return static_cast<int>(needed);
}

} // namespace mfplink
