// A stand-in for the maker's outside resolver, loaded by the port-lookup tests as
// "<first four characters of the test program>hostaddrlib.dll". Printer "shared" is at 192.0.2.50;
// printer "timeout" answers the time-out it was given; others are unknown.
#include <cstdio>
#include <cstring>

extern "C" __attribute__((visibility("default"))) int resolveIPAddress(const char* printerName, unsigned timeoutMs,
                                                                       char* out)
{
    if (std::strcmp(printerName, "shared") == 0) {
        std::strcpy(out, "192.0.2.50");
        return 0;
    }
    if (std::strcmp(printerName, "timeout") == 0) {
        std::snprintf(out, 16, "%u", timeoutMs);
        return 0;
    }
    return 5;
}
