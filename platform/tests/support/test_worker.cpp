// A helper program for tests that need several real processes. Commands:
//   reg-write HIVE KEY PREFIX COUNT   write COUNT string values PREFIX-i = i into KEY
//   reg-loop HIVE KEY                 rewrite values of KEY without end (the test kills it)
//   reg-read HIVE KEY VALUE OUTFILE   write the value's text (or "<missing>") to OUTFILE
//   endpoint-serve CLASS TITLE OUTFILE  register an endpoint, write its handle to OUTFILE, wait
//                                       for one post and write it to OUTFILE.post
//   endpoint-hold CLASS TITLE OUTFILE   register an endpoint, write its handle, wait to be killed
//   messages OUTFILE NAME...            register each message name, write "NAME NUMBER" lines to OUTFILE
// HIVE is HKCU, HKLM or HKCR. Exit code 0 on success.
#include "platform/endpoint.h"
#include "platform/files.h"
#include "platform/registry.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace platform;

namespace {
bool hiveOf(const std::string& name, Hive& hive)
{
    if (name == "HKCU")
        hive = Hive::CurrentUser;
    else if (name == "HKLM")
        hive = Hive::LocalMachine;
    else if (name == "HKCR")
        hive = Hive::ClassesRoot;
    else
        return false;
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s COMMAND HIVE KEY ...\n", argv[0]);
        return 2;
    }
    const std::string command = argv[1];
    if ((command == "endpoint-serve" || command == "endpoint-hold") && argc == 5) {
        auto endpoint = Endpoint::create(argv[2], argv[3]);
        if (!endpoint || !writeFileAtomic(argv[4], std::to_string(endpoint->handle())))
            return 1;
        if (command == "endpoint-hold")
            for (;;)
                ::pause();
        PostedMessage m;
        if (!endpoint->receive(m, 20000))
            return 1;
        const std::string text = std::to_string(m.message) + " " + std::to_string(m.wParam) + " " + std::to_string(m.lParam);
        return writeFileAtomic(std::string(argv[4]) + ".post", text) ? 0 : 1;
    }
    if (command == "messages") {
        std::string lines;
        for (int i = 3; i < argc; ++i)
            lines += std::string(argv[i]) + " " + std::to_string(registerMessage(argv[i])) + "\n";
        return writeFileAtomic(argv[2], lines) ? 0 : 1;
    }
    Hive hive;
    if (!hiveOf(argv[2], hive))
        return 2;
    RegistryKey key;
    if (command == "reg-write" && argc == 6) {
        if (RegistryKey::create(hive, argv[3], key) != RegStatus::Ok)
            return 1;
        const int count = std::atoi(argv[5]);
        for (int i = 0; i < count; ++i) {
            const std::string name = std::string(argv[4]) + "-" + std::to_string(i);
            if (key.set(name, RegValue::string(std::to_string(i))) != RegStatus::Ok) {
                std::fprintf(stderr, "write %s failed: %s\n", name.c_str(), registryLastError().c_str());
                return 1;
            }
        }
        return 0;
    }
    if (command == "reg-loop" && argc == 4) {
        if (RegistryKey::create(hive, argv[3], key) != RegStatus::Ok)
            return 1;
        std::string padding;
        for (unsigned i = 0;; ++i) {
            padding.assign(i % 4096, 'x'); // vary the size so partial files would show
            if (key.set("Loop" + std::to_string(i % 50), RegValue::string(padding)) != RegStatus::Ok)
                return 1;
        }
    }
    if (command == "reg-read" && argc == 6) {
        RegValue value;
        std::string text = "<missing>";
        if (RegistryKey::open(hive, argv[3], key) == RegStatus::Ok && key.query(argv[4], value) == RegStatus::Ok)
            text = value.text();
        return writeFileAtomic(argv[5], text) ? 0 : 1;
    }
    std::fprintf(stderr, "unknown command or arguments\n");
    return 2;
}
