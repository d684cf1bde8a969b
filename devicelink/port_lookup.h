// The network address of the device behind a printer, found from its port: the port monitors' and
// print providers' data in the registry, the printer's device URI in the spooler, an outside
// resolver for print-server ports, and ports named "ip_<address>".
#pragma once

#include <string>
#include <string_view>

namespace mfplink {

/// The outside resolver's default time-out, used for -1.
inline constexpr int kResolverDefaultTimeoutMs = 20000;
/// How long a host name may take to resolve.
inline constexpr int kHostResolveTimeoutMs = 20000;

/// One lookup.
class PrinterPortAddressLookup {
public:
    /// useResolver: print-server ports are handed to the outside resolver, waiting resolverTimeoutMs
    /// (-1: 20 s).
    PrinterPortAddressLookup(bool useResolver, int resolverTimeoutMs)
        : useResolver_(useResolver), resolverTimeoutMs_(resolverTimeoutMs < 0 ? kResolverDefaultTimeoutMs : resolverTimeoutMs)
    {
    }

    /// 0 with the address, or 1 when none was found. Registry failures are thrown.
    int Lookup(const std::string& portName, const std::string& printerName, std::string& address);

    /// The host's dotted IPv4 address: 0, or 1 when it does not resolve.
    static int ResolveHost(std::string_view host, std::string& address);
    /// The address of a printer URL ("http://host/ipp...", or a print server's
    /// "http://host/printers/name/.printer", which goes to the outside resolver): 0 or 1.
    int UrlRule(std::string_view url, const std::string& printerName, std::string& address);
    /// The address of a CUPS device URI (socket://, lpd://, ipp://, ipps://, http://, https://):
    /// 0 or 1; found tells whether the URI named a network device at all.
    static int DeviceUriRule(std::string_view uri, std::string& address, bool& found);
    /// Asks the outside resolver "<first four characters of the program's name>hostaddrlib.dll".
    int AskResolver(const std::string& printerName, std::string& address);

    /// The name of the outside resolver's library for a program path.
    static std::string ResolverLibraryName(std::string_view programPath);

private:
    int found_ = 1;
    bool useResolver_;
    int resolverTimeoutMs_;
};

/// The export's result: the address copied into buffer (cut and terminated when it is short) and
/// its length plus one, or 0.
int CopyAddress(const std::string& address, char* buffer, unsigned bufferSize);

} // namespace mfplink
