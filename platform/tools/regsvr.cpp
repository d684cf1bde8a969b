// qelta-regsvr: registers (or with -u removes) component server libraries of the suite.
//   qelta-regsvr [-u] [--machine-folder DIR] [--library-folder DIR] [--default NAME=VALUE]... LIBRARY...
// LIBRARY is a file name in the suite's library folder, e.g. cryptotool.dll or libcryptotool.so.
// The install runs it on the libraries it laid down:
//   --machine-folder DIR   the machine hives written are those in DIR (the installation's machine
//                          folder, perhaps below a staging folder), not this process's own
//   --library-folder DIR   the registrations name the libraries in DIR (where they will be installed),
//                          not the folder they were loaded from
//   --default NAME=VALUE   the machine setting NAME (text) takes VALUE when it has no value yet; a
//                          value there already, the user's or an earlier install's, is kept
#include "platform/com.h"
#include "platform/library.h"
#include "platform/registry.h"
#include "platform/state.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

int usage(const char* program)
{
    std::fprintf(stderr,
                 "usage: %s [-u] [--machine-folder DIR] [--library-folder DIR] [--default NAME=VALUE]... LIBRARY...\n",
                 program);
    return 2;
}

// Gives the machine setting `name` the text `value` unless it has a value; false when the hive
// cannot be written.
bool writeDefaultSetting(const std::string& name, const std::string& value)
{
    platform::RegistryKey key;
    if (platform::RegistryKey::create(platform::Hive::LocalMachine, platform::kProductKey, key)
        != platform::RegStatus::Ok)
        return false;
    return key.update(name, [&](const platform::RegValue* current) -> std::optional<platform::RegValue> {
               if (current)
                   return std::nullopt;
               return platform::RegValue::string(value);
           })
        == platform::RegStatus::Ok;
}

} // namespace

int main(int argc, char** argv)
{
    bool unregister = false;
    std::vector<std::pair<std::string, std::string>> defaults;
    int first = 1;
    for (; first < argc && argv[first][0] == '-'; ++first) {
        const std::string option = argv[first];
        if (option == "-u") {
            unregister = true;
            continue;
        }
        if (first + 1 >= argc)
            return usage(argv[0]);
        const std::string value = argv[++first];
        if (option == "--machine-folder" && !value.empty()) {
            platform::setMachineStateFolder(value);
        } else if (option == "--library-folder" && !value.empty()) {
            platform::com::setServerLibraryFolder(value);
        } else if (const auto equals = value.find('='); option == "--default" && equals != std::string::npos && equals > 0) {
            defaults.emplace_back(value.substr(0, equals), value.substr(equals + 1));
        } else {
            return usage(argv[0]);
        }
    }
    if (first >= argc && defaults.empty())
        return usage(argv[0]);
    int failures = 0;
    for (int i = first; i < argc; ++i) {
        auto library = platform::Library::load(argv[i]);
        if (!library) {
            std::fprintf(stderr, "%s: %s\n", argv[i], platform::Library::lastError().c_str());
            ++failures;
            continue;
        }
        const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
        const auto fn = library->function<DllRegisterServerFn>(entry);
        const HRESULT hr = fn ? fn() : CO_E_ERRORINDLL;
        if (FAILED(hr)) {
            std::fprintf(stderr, "%s: %s failed (0x%08X)\n", argv[i], entry, static_cast<unsigned>(hr));
            ++failures;
        }
    }
    for (const auto& [name, value] : defaults)
        if (!writeDefaultSetting(name, value)) {
            std::fprintf(stderr, "the machine setting \"%s\": %s\n", name.c_str(), platform::registryLastError().c_str());
            ++failures;
        }
    return failures == 0 ? 0 : 1;
}
