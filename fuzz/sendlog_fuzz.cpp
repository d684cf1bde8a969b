// Sending-log files from anywhere: root.xml, an entry's desktop.xml and its destination work file
// (the three parts of an input, split at lines "@@") go through open, count, position, find,
// create and the destination flush. Nothing may crash, and a create that succeeds on an index
// that reads must be counted and found.
#include "platform/files.h"
#include "sendlog/log_store.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace {

// A state root of this process for the log to live in, removed at exit.
struct StateRoot {
    std::string path;
    StateRoot()
    {
        const char* folder = std::getenv("TMPDIR");
        path = std::string(folder && *folder ? folder : "/tmp") + "/qelta-sendlog-fuzz-XXXXXX";
        if (!::mkdtemp(path.data()))
            std::abort();
        ::setenv("QELTA_ROOT", path.c_str(), 1);
    }
    ~StateRoot()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

std::vector<std::string_view> parts(std::string_view input)
{
    std::vector<std::string_view> out;
    for (size_t at; out.size() < 2 && (at = input.find("\n@@\n")) != std::string_view::npos;) {
        out.push_back(input.substr(0, at));
        input.remove_prefix(at + 4);
    }
    out.push_back(input);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static StateRoot root;
    static const std::string dir = CQeltaLog::LogDirectory();
    for (const auto& e : std::filesystem::directory_iterator(dir))
        std::filesystem::remove_all(e.path());
    const auto files = parts(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string entry = platform::joinPath(dir, "00000001");
    std::filesystem::create_directory(entry);
    const char* names[] = {"root.xml", "00000001/desktop.xml", "00000001/#desktop.xml"};
    for (size_t i = 0; i < files.size(); ++i)
        if (!platform::writeFileAtomic(platform::joinPath(dir, names[i]), files[i]))
            std::abort();

    CQeltaLog log;
    const int32_t before = log.GetLogCount2();
    for (int32_t i = 0; i < 3; ++i)
        log.GetLogIdAt(i);
    int32_t id = 0;
    log.FindLogId2("doc-x", id);
    CLogData entryData;
    log.GetLogData2(1, entryData);
    log.FlushLogDestination2(1);
    platform::LocalTime when;
    when.year = 2026, when.month = 3, when.day = 5, when.dayOfWeek = 4;
    if (log.CreateLogData2("", "fuzz", when, id) && before >= 0) {
        int32_t found = 0;
        if (log.GetLogCount2() != before + 1 || !log.FindLogId2(CQeltaLog::MakeCookie("fuzz", when), found)
            || found != id)
            std::abort();
    }
    log.RemoveLogData2(1);
    return 0;
}
