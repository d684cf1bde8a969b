// A helper program for the sending log tests that need several real processes. Commands:
//   create TAG COUNT           make COUNT entries, each with one flushed destination; the document
//                              of entry i is "TAG-i" (cookies differ between workers)
//   create-loop TAG            make entries without end (the test kills it)
//   create-limited TAG COUNT BYTES  try COUNT entries with files limited to BYTES (a full disk)
//   endpoint-serve CLASS TITLE OUTFILE  register an endpoint, write its handle to OUTFILE, wait
//                                       for one post and write "message wParam lParam" to OUTFILE.post
// Started as a viewer or log browser (no arguments, or a first argument starting with "/"), it
// writes its arguments, one a line, to the file that SENDLOG_WORKER_ARGS names.
// The log directory comes from QELTA_ROOT, as in the test that started it. Exit code 0 on success.
#include "platform/endpoint.h"
#include "platform/files.h"
#include "sendlog/log_store.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>

namespace {

platform::LocalTime sentAt()
{
    platform::LocalTime t;
    t.year = 2026, t.month = 3, t.day = 5, t.dayOfWeek = 4, t.hour = 9, t.minute = 30, t.second = 0;
    return t;
}

// One entry as the job builder makes it, without FlushLogData2's pause.
bool createOne(CQeltaLog& log, const std::string& document)
{
    int32_t id = 0;
    return log.CreateLogData2("/nonexistent/image.tif", document, sentAt(), id) && id > 0
        && log.AddLogDestination2(id, "number", "0123") && log.AddLogDestination2(id, "name", document)
        && log.FlushLogDestination2(id);
}

int viewer(int argc, char** argv)
{
    const char* out = std::getenv("SENDLOG_WORKER_ARGS");
    if (!out)
        return 2;
    std::string text;
    for (int i = 1; i < argc; ++i)
        text += std::string(argv[i]) + "\n";
    return platform::writeFileAtomic(out, text) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 1 || argv[1][0] == '/')
        return viewer(argc, argv);
    const std::string command = argv[1];
    CQeltaLog log;
    if (command == "create" && argc == 4) {
        const int count = std::atoi(argv[3]);
        for (int i = 0; i < count; ++i)
            if (!createOne(log, std::string(argv[2]) + "-" + std::to_string(i))) {
                std::fprintf(stderr, "entry %d failed\n", i);
                return 1;
            }
        return 0;
    }
    if (command == "create-loop" && argc == 3) {
        for (unsigned i = 0;; ++i)
            createOne(log, std::string(argv[2]) + "-" + std::to_string(i));
    }
    if (command == "create-limited" && argc == 5) {
        // Writes past the limit fail with EFBIG instead of stopping the program.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlim_t bytes = std::strtoull(argv[4], nullptr, 10);
        const rlimit limit{bytes, bytes};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 1;
        for (int i = 0; i < std::atoi(argv[3]); ++i)
            createOne(log, std::string(argv[2]) + "-" + std::to_string(i));
        return 0;
    }
    if (command == "endpoint-serve" && argc == 5) {
        auto endpoint = platform::Endpoint::create(argv[2], argv[3]);
        if (!endpoint || !platform::writeFileAtomic(argv[4], std::to_string(endpoint->handle())))
            return 1;
        platform::PostedMessage m;
        if (!endpoint->receive(m, 20000))
            return 1;
        const std::string text =
            std::to_string(m.message) + " " + std::to_string(m.wParam) + " " + std::to_string(m.lParam);
        return platform::writeFileAtomic(std::string(argv[4]) + ".post", text) ? 0 : 1;
    }
    std::fprintf(stderr, "unknown command or arguments\n");
    return 2;
}
