// A sending log of any size for the benchmarks, built fast: one entry made by the store, copied
// under every identifier, and the index written in one go. Entry n is the document "Report n" sent
// at sentAt().
#pragma once

#include "common/registry_helper.h"
#include "platform/files.h"
#include "sendlog/log_store.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

inline platform::LocalTime sentAt()
{
    platform::LocalTime t;
    t.year = 2026, t.month = 3, t.day = 5, t.dayOfWeek = 4, t.hour = 9, t.minute = 30, t.second = 0;
    return t;
}

inline std::string hexId(int32_t id)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08x", static_cast<unsigned>(id));
    return buf;
}

inline std::string document(int32_t id) { return "Report " + std::to_string(id); }

inline std::string valueElement(const std::string& name, const std::string& value)
{
    return "<" + name + "><data><value>" + value + "</value></data></" + name + ">";
}

// The folder of the log of that size, and of the one whose entries have folders only up to the
// identifier folders (see useLog).
inline std::string logFolder(int entries, int folders)
{
    return std::string(std::getenv("QELTA_ROOT")) + (folders < entries ? "/thin" : "/log") + std::to_string(entries);
}

// Points the store at the log of that size, building it on first use: one entry made by the store
// gives the entry file, copied under every identifier up to folders (all, unless fewer are asked
// for: the index lists every entry, the ones above have no folder); root.xml is written in one go.
inline void useLog(int entries, int folders = -1)
{
    if (folders < 0 || folders > entries)
        folders = entries;
    static std::map<std::string, bool> built;
    const std::string dir = logFolder(entries, folders);
    const CRegistryHelper user(HKEY_CURRENT_USER, kProductKeyPrefix);
    user.WriteString(kProductSubkey, "LogDirectory", dir);
    if (built.count(dir))
        return;
    built[dir] = true;

    CQeltaLog log;
    int32_t first = 0;
    log.CreateLogData2("", document(1), sentAt(), first);
    log.AddLogDestination2(first, "number", "0123456789");
    log.FlushLogDestination2(first);
    std::string data;
    platform::readFile(dir + "/" + hexId(1) + "/desktop.xml", data, 1u << 20);

    std::string index = "<system>\r\n\t<logIndex>\r\n\t\t" + valueElement("newIndex", std::to_string(entries))
        + "\r\n\t\t" + valueElement("logCount", std::to_string(entries)) + "\r\n\t\t<indexs>";
    for (int32_t id = 1; id <= entries; ++id) {
        index += "<index>" + valueElement("cookie", CQeltaLog::MakeCookie(document(id), sentAt()))
            + valueElement("idString", hexId(id)) + "</index>";
        if (id == 1 || id > folders)
            continue;
        std::string entry = data;
        for (const auto& [from, to] : {std::pair{hexId(1), hexId(id)}, std::pair{document(1) + "<", document(id) + "<"}})
            if (const auto at = entry.find(from); at != std::string::npos)
                entry.replace(at, from.size(), to);
        const std::string folder = dir + "/" + hexId(id);
        ::mkdir(folder.c_str(), 0777);
        std::ofstream(folder + "/desktop.xml", std::ios::binary) << entry; // setup only: no flush needed
    }
    index += "\r\n\t\t</indexs>\r\n\t</logIndex>\r\n</system>\r\n";
    platform::writeFileAtomic(dir + "/root.xml", index);
    // The copies reach the disk now: left to the kernel, their writing and journal commits would
    // land on whichever flushes are measured first.
    if (const platform::FileDescriptor folder = platform::openFolder(dir); !folder.valid() || ::syncfs(folder.get()) != 0)
        std::fprintf(stderr, "log of %d entries not flushed\n", entries);
    if (log.GetLogCount2() != entries)
        std::fprintf(stderr, "log of %d entries not built\n", entries);
}
