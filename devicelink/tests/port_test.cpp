// The printer-port address lookup: the registry's port monitors and print providers, the URL
// rules, CUPS device URIs through the recording spooler, the outside resolver and the export's
// copy rules.
#include "devicelink/mfplink.h"
#include "devicelink/port_lookup.h"
#include "platform/library.h"
#include "platform/registry.h"
#include "platform/spooler.h"
#include "platform/tests/support/recording_spooler.h"
#include "platform/tests/support/test_support.h"

#include <cstring>
#include <gtest/gtest.h>

using mfplink::PrinterPortAddressLookup;
using platform::Hive;
using platform::RegistryKey;
using platform::RegStatus;
using platform::RegValue;

namespace {

constexpr const char* kPrint = "SYSTEM\\CurrentControlSet\\Control\\Print";

void setPort(const std::string& place, const std::string& port,
             const std::vector<std::pair<std::string, std::string>>& values = {})
{
    RegistryKey key;
    ASSERT_EQ(RegistryKey::create(Hive::LocalMachine, std::string(kPrint) + "\\" + place + "\\Ports\\" + port, key),
              RegStatus::Ok);
    for (const auto& [name, value] : values)
        ASSERT_EQ(key.set(name, RegValue::string(value)), RegStatus::Ok);
}

class PortLookup : public ::testing::Test {
protected:
    void SetUp() override
    {
        library = platform::Library::load("mfplink.dll");
        ASSERT_TRUE(library) << platform::Library::lastError();
        lookup = library->function<decltype(&MFPIF_DFAPI_GetIPAddrByPrinterPort)>("MFPIF_DFAPI_GetIPAddrByPrinterPort");
        ASSERT_TRUE(lookup);
        spooler = platform::RecordingSpooler::install("plain");
    }
    void TearDown() override { platform::setSpooler(nullptr); }

    // The address the export finds ("" when it returns 0).
    std::string addressOf(const std::string& printer, const std::string& port)
    {
        char buffer[260];
        std::memset(buffer, 'x', sizeof buffer);
        const int n = lookup(printer.c_str(), port.c_str(), buffer, sizeof buffer);
        if (n == 0)
            return std::string(buffer, buffer + 1) == "x" ? "" : "touched";
        EXPECT_EQ(static_cast<size_t>(n), std::strlen(buffer) + 1);
        return buffer;
    }

    qelta::test::ScopedStateRoot root;
    std::shared_ptr<platform::Library> library;
    decltype(&MFPIF_DFAPI_GetIPAddrByPrinterPort) lookup = nullptr;
    std::shared_ptr<platform::RecordingSpooler> spooler;
};

TEST_F(PortLookup, RegistryReadersAndRules)
{
    setPort("Monitors\\Standard TCP/IP Port", "P1", {{"IPAddress", "192.0.2.7"}, {"HostName", "localhost"}});
    setPort("Monitors\\Standard TCP/IP Port", "P2", {{"IPAddress", ""}, {"HostName", "localhost"}});
    setPort("Monitors\\Standard TCP/IP Port", "P4");
    setPort("Monitors\\Olvane TCP/IP Port", "ip_10.1.1.1", {{"HostName", "printer.invalid"}});
    setPort("Monitors\\Olvane TCP/IP Port", "PORTUPPER", {{"IPAddress", "192.0.2.8"}});
    setPort("Monitors\\Quellith Port", "Q1", {{"URL", "HTTP://127.0.0.1:631/IPP/port1"}});
    setPort("Monitors\\QUELMARON", "Q2", {{"HostName", "192.0.2.9"}, {"URL", "http://localhost/ipp"}});
    setPort("Monitors\\Brisomar Port", "Q3", {{"URL", "http://srv/printers/shared/.printer"}});
    setPort("Monitors\\LPR Port", "L1", {{"Server Name", "192.0.2.10"}});
    setPort("Monitors\\LPR Port", "L2", {{"Server Name", ""}});
    setPort("Providers\\Internet Print Provider", "http://localhost:8631/ipp/queue");
    setPort("Providers\\Microsoft Networks Print Provider", "http://srv/printers/shared/.printer");

    struct Case {
        const char* printer;
        const char* port;
        const char* address;
    } cases[] = {
        {"p", "P1", "192.0.2.7"},
        {"p", "P2", "127.0.0.1"},
        {"p", "P4", ""},
        // Found under a monitor: the "ip_" form of its name is not tried.
        {"p", "ip_10.1.1.1", ""},
        {"p", "portupper", "192.0.2.8"},
        {"p", "Q1", "127.0.0.1"},
        {"p", "Q2", "192.0.2.9"},
        {"shared", "Q3", "192.0.2.50"},
        {"other", "Q3", ""},
        {"p", "L1", "192.0.2.10"},
        {"p", "L2", ""},
        {"p", "IP_192.0.2.11", "192.0.2.11"},
        {"p", "Ip_localhost", "127.0.0.1"},
        {"p", "ip_host.invalid", ""},
        {"shared", "\\\\server\\shared", "192.0.2.50"},
        {"shared", "\\\\server", ""},
        {"timeout", "\\\\server\\x", "20000"},
        {"p", "http://localhost:8631/ipp/queue", "127.0.0.1"},
        {"shared", "HTTP://SRV/printers/shared/.printer", "192.0.2.50"},
        {"other", "http://srv/printers/shared/.printer", ""},
        {"p", "LPT1:", ""},
        {"p", "", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(addressOf(c.printer, c.port), c.address) << c.port;
    // Nothing is created by reading.
    EXPECT_FALSE(platform::keyExists(Hive::LocalMachine, std::string(kPrint) + "\\Monitors\\Standard TCP/IP Port\\Ports\\LPT1:"));
    EXPECT_FALSE(platform::keyExists(Hive::LocalMachine, std::string(kPrint) + "\\Monitors\\Brisoneth Port"));
}

TEST_F(PortLookup, UrlRulesAndTheOutsideResolver)
{
    struct Case {
        const char* url;
        bool useResolver;
        int status;
        const char* address;
    } cases[] = {
        {"http://localhost:631/ipp/x", false, 0, "127.0.0.1"},
        {"HTTP://192.0.2.3/IPP", false, 0, "192.0.2.3"},
        {"http:///ipp", false, 1, ""},
        {"http://host.invalid/ipp", false, 1, ""},
        {"http://srv/printers/shared/.printer", true, 0, "192.0.2.50"},
        {"http://srv/PRINTERS/shared/.Printer", true, 0, "192.0.2.50"},
        {"http://srv/printers/shared/.printer", false, 1, ""},
        {"http://srv/printers/a/b/.printer", true, 1, ""},
        {"http://srv/printers//.printer", true, 1, ""},
        {"ftp://srv/ipp", true, 1, ""},
    };
    for (const auto& c : cases) {
        PrinterPortAddressLookup lookup(c.useResolver, -1);
        std::string address;
        EXPECT_EQ(lookup.UrlRule(c.url, "shared", address), c.status) << c.url;
        EXPECT_EQ(address, c.address) << c.url;
    }
    std::string address;
    EXPECT_EQ(PrinterPortAddressLookup(true, 1500).AskResolver("timeout", address), 0);
    EXPECT_EQ(address, "1500");
    EXPECT_EQ(PrinterPortAddressLookup(true, -1).AskResolver("unknown", address), 5);
    EXPECT_EQ(PrinterPortAddressLookup::ResolverLibraryName("/opt/qelta/bin/sendwizard"), "sendhostaddrlib.dll");
    EXPECT_EQ(PrinterPortAddressLookup::ResolverLibraryName("/x/ab.exe"), "abhostaddrlib.dll");
    EXPECT_EQ(PrinterPortAddressLookup::ResolverLibraryName("devicelink_port_test"), "devihostaddrlib.dll");
}

TEST_F(PortLookup, DeviceUrisOfCupsQueues)
{
    spooler->addPrinter("sock", "socket://192.0.2.20:9100");
    spooler->addPrinter("lpd", "lpd://localhost/queue?reserve=none");
    spooler->addPrinter("ipp", "ipp://user@192.0.2.21:631/printers/x");
    spooler->addPrinter("ipps", "IPPS://192.0.2.25/ipp/print");
    spooler->addPrinter("http", "http://192.0.2.22");
    spooler->addPrinter("usb", "usb://Maker/Model?serial=1");
    spooler->addPrinter("bad", "socket://host.invalid:9100");
    spooler->addPrinter("empty", "socket://:9100");
    // A port the registry knows wins over the queue's device URI.
    setPort("Monitors\\Standard TCP/IP Port", "R1", {{"IPAddress", "192.0.2.30"}});
    struct Case {
        const char* printer;
        const char* port;
        const char* address;
    } cases[] = {
        {"sock", "cups", "192.0.2.20"},
        {"lpd", "cups", "127.0.0.1"},
        {"ipp", "cups", "192.0.2.21"},
        {"ipps", "cups", "192.0.2.25"},
        {"http", "cups", "192.0.2.22"},
        {"sock", "R1", "192.0.2.30"},
        {"usb", "ip_192.0.2.23", "192.0.2.23"},
        {"usb", "cups", ""},
        {"bad", "ip_192.0.2.24", ""},
        {"empty", "cups", ""},
        {"unknown", "cups", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(addressOf(c.printer, c.port), c.address) << c.printer << " " << c.port;
}

TEST_F(PortLookup, CopyRules)
{
    const std::string printer = "sock";
    spooler->addPrinter(printer, "socket://192.0.2.20:9100");
    char buffer[16];
    struct Case {
        char* buffer;
        unsigned size;
        const char* text; // what the buffer holds afterwards
    } cases[] = {
        {buffer, sizeof buffer, "192.0.2.20"},
        {buffer, 11, "192.0.2.20"},
        {buffer, 10, "192.0.2.2"}, // short: cut and terminated
        {buffer, 1, ""},
        {buffer, 0, "untouched"},
        {nullptr, 16, "untouched"},
    };
    for (const auto& c : cases) {
        std::strcpy(buffer, "untouched");
        EXPECT_EQ(lookup(printer.c_str(), "cups", c.buffer, c.size), 11) << c.size;
        EXPECT_STREQ(buffer, c.text) << c.size;
    }
    std::strcpy(buffer, "untouched");
    EXPECT_EQ(lookup(nullptr, nullptr, buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "untouched");
}

} // namespace
