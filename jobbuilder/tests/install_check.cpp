// Run from an installed tree by install_test.cmake: finds the job builder through the registrations
// that the install wrote, and flushes one job to the file named by "FileOutput".
//   install_check PREFIX WORKFOLDER LIBFOLDER MACHINEFOLDER
// Exit code 0 when the job arrived in WORKFOLDER/job.pjl, every library came from the installed
// library folder LIBFOLDER and the class registrations are in the installed machine folder.
#include "common/registry_helper.h"
#include "jobbuilder/IQeltaJobTool.h"
#include "jobbuilder/tests/support/job_test_support.h"
#include "platform/bstr.h"
#include "platform/com.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/registry.h"
#include "platform/state.h"
#include "platform/tests/support/recording_spooler.h"

#include <cstdio>
#include <fstream>
#include <set>
#include <string>

namespace {

const std::set<std::string> kSuiteLibraries{"libfaxplatform.so", "libxmldoclib.so", "libqeltaimaging.so",
                                            "libsendconvlib.so", "libcryptotool.so", "libqeltamd5lib.so",
                                            "libresultreceiver.so", "libsendlog.so", "libjobbuilder.so"};

int fail(const std::string& why)
{
    std::fprintf(stderr, "install_check: %s\n", why.c_str());
    return 1;
}

bool setText(platform::Hive hive, const std::string& name, const std::string& text)
{
    platform::RegistryKey key;
    return platform::RegistryKey::create(hive, std::string(kProductKeyPrefix) + kProductSubkey, key) == platform::RegStatus::Ok
           && key.set(name, platform::RegValue::string(text)) == platform::RegStatus::Ok;
}

} // namespace

int main(int argc, char** argv)
{
    using platform::com::Bstr;
    if (argc != 5)
        return fail("usage: install_check PREFIX WORKFOLDER LIBFOLDER MACHINEFOLDER");
    const std::string prefix = argv[1], work = argv[2], libraries = argv[3], machine = argv[4];
    if (platform::stateRoot())
        return fail("QELTA_ROOT must not be set: the installed tree's own folders are under test");
    if (platform::libraryFolder() != libraries || platform::installPrefix() != prefix)
        return fail("the platform library came from " + platform::libraryFolder());
    if (platform::hiveFilePath(platform::Hive::ClassesRoot) != machine + "/HKCR.reg")
        return fail("the class registrations are not in the installed machine folder: "
                    + platform::hiveFilePath(platform::Hive::ClassesRoot));

    const std::string image = work + "/page.tif", output = work + "/job.pjl";
    jobtest::writeFaxTiff(image, 1);
    auto spooler = platform::RecordingSpooler::install("Installed MFP");
    if (!setText(platform::Hive::LocalMachine, "FileOutput", output)
        || !setText(platform::Hive::CurrentUser, "LogDirectory", work + "/log"))
        return fail("cannot write the settings: " + platform::registryLastError());

    platform::com::initializeThread();
    platform::com::Ptr<IQeltaJobTool> tool;
    if (const HRESULT hr = platform::com::createInstance(kQeltaJobToolProgId, CLSCTX_INPROC_SERVER, tool); FAILED(hr))
        return fail("the job builder cannot be created from its registration");
    Bstr path(image), printer("Installed MFP"), user("alice"), empty(""), document("Installed");
    Bstr name("Bob"), number("0123");
    if (tool->RegisterJobData(path.get(), printer.get(), user.get(), empty.get(), 0, 0, document.get()) != S_OK
        || tool->RegisterJobTarget(0, name.get(), number.get(), empty.get(), empty.get(), 0, empty.get()) != S_OK)
        return fail("the job was not registered");
    if (tool->FlushJob() != S_OK)
        return fail("FlushJob failed");
    std::string sent;
    if (platform::readFile(output, sent, 1 << 24) != platform::ReadStatus::Ok || !sent.starts_with("\x1B%-12345X@PJL"))
        return fail("no job stream in " + output);
    if (!spooler->documents().empty())
        return fail("the job went to the printer instead of the file");
    // Every library of the suite in this process, and the job builder among them, came from LIBFOLDER.
    std::ifstream maps("/proc/self/maps");
    bool jobBuilderSeen = false;
    for (std::string line; std::getline(maps, line);) {
        const auto slash = line.find('/');
        if (slash == std::string::npos)
            continue;
        const std::string file = line.substr(slash);
        const std::string name = platform::fileNameOf(file);
        if (!kSuiteLibraries.contains(name))
            continue;
        if (platform::parentPath(file) != libraries)
            return fail(name + " was loaded from " + file);
        jobBuilderSeen |= name == "libjobbuilder.so";
    }
    if (!jobBuilderSeen)
        return fail("the job builder library was never loaded");
    tool.reset();
    std::printf("install_check: %zu bytes sent to %s\n", sent.size(), output.c_str());
    return 0;
}
