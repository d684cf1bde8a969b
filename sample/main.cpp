// qelta-sample: the state root of a trial run of the send wizard (QELTA_ROOT must be set).
//   qelta-sample prepare   registers the servers, writes the settings, the sample cover sheet and a
//                          new sample fax, and prints the wizard's command line, one argument a line
//   qelta-sample cover     the same state without a fax; prints the sample cover sheet's path
//   qelta-sample book      registers the phone book's server and writes the sample phone book
//                          (when there is none), and prints its path
//   qelta-sample results   prints the job streams and sending log entries this run made, and the
//                          failure logs it wrote (exit code 1 after a failure)
//   qelta-sample notice    sends, as the device would, a job-result notice "finished" for the newest
//                          job stream to the result monitor address the stream carries, and prints
//                          the job's sending log entry with its status once the monitor set it
#include "common/data_folders.h"
#include "sample/notice_sender.h"
#include "sample/sample_run.h"

#include "platform/com.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: qelta-sample prepare|cover|book|results|notice (with QELTA_ROOT set)\n");
    return 2;
}

int Prepare()
{
    std::string error;
    const auto run = PrepareSampleRun(error);
    if (!run) {
        std::fprintf(stderr, "qelta-sample: %s\n", error.c_str());
        return 1;
    }
    for (const std::string& arg : run->m_Args)
        std::printf("%s\n", arg.c_str());
    return 0;
}

int Cover()
{
    std::string error;
    const auto cover = PrepareSampleCover(error);
    if (!cover) {
        std::fprintf(stderr, "qelta-sample: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", cover->c_str());
    return 0;
}

int Book()
{
    if (!SampleRunPaths())
        return Usage();
    constexpr const char* kBookServer[] = {"booktool.dll"};
    for (const std::string& failure : RegisterServerLibraries(kBookServer)) {
        std::fprintf(stderr, "qelta-sample: %s\n", failure.c_str());
        return 1;
    }
    std::string error;
    if (!WriteSamplePhoneBook(error)) {
        std::fprintf(stderr, "qelta-sample: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", SamplePhoneBookPath().c_str());
    return 0;
}

int Results()
{
    const auto run = SampleRunPaths();
    if (!run)
        return Usage();
    const CSampleResults results = FindSampleResults(*run);
    for (const std::string& stream : results.m_StreamFiles)
        std::printf("Job stream:        %s\n", stream.c_str());
    for (const std::string& entry : results.m_LogEntries)
        std::printf("Sending log entry: %s\n", entry.c_str());
    for (const auto& [path, text] : results.m_FailureLogs) {
        std::string reason = text;
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r'))
            reason.pop_back();
        std::printf("The send failed:   %s\nFailure log:       %s\n", reason.empty() ? "(no reason given)" : reason.c_str(),
                    path.c_str());
    }
    if (!results.m_FailureLogs.empty())
        return 1;
    if (results.m_StreamFiles.empty() && results.m_LogEntries.empty())
        std::printf("Nothing was sent in this run (the wizard sends when Finish is pressed on the Preview page).\n");
    return 0;
}

// The result code of a job sent with no error (phase transmission, result 0x30).
constexpr uint16_t kFinishedCode = 0x1130;
// The sending log status a finished job gets.
constexpr int32_t kFinishedStatus = 2;

int Notice()
{
    const auto run = SampleRunPaths();
    if (!run)
        return Usage();
    const auto job = NewestSampleJob(*run);
    if (!job) {
        std::fprintf(stderr, "qelta-sample: no job stream yet: send the sample fax with the wizard first\n");
        return 1;
    }
    const size_t colon = job->m_strNotify.rfind(':');
    int port = 0;
    if (colon != std::string::npos)
        std::sscanf(job->m_strNotify.c_str() + colon + 1, "%d", &port);
    if (colon == std::string::npos || port <= 0) {
        std::fprintf(stderr,
                     "qelta-sample: %s carries no result monitor address (IPADDRESS \"%s\"): start the monitor "
                     "(bash scripts/run-resultmonitor.sh) before sending\n",
                     job->m_strStreamFile.c_str(), job->m_strNotify.c_str());
        return 1;
    }
    const std::string address = job->m_strNotify.substr(0, colon);
    const std::string record =
        BuildNoticeRecord(2, kFinishedCode, job->m_strJobName, job->m_strSpoolTime, kSamplePrinter, "");
    if (!SendNotice(address, port, record)) {
        std::fprintf(stderr, "qelta-sample: the result monitor at %s does not answer\n", job->m_strNotify.c_str());
        return 1;
    }
    std::printf("Notice sent:       job \"%s\" of %s finished, to %s\n", job->m_strJobName.c_str(),
                job->m_strStreamFile.c_str(), job->m_strNotify.c_str());
    // The monitor takes the notice on its listener's thread and updates the log on its UI thread.
    const std::string cookie = job->m_strJobName + "-" + job->m_strSpoolTime;
    std::optional<CSampleLogEntry> entry;
    for (int i = 0; i < 50; ++i) {
        entry = FindSampleLogEntry(cookie);
        if (entry && entry->m_nStatus == kFinishedStatus)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!entry) {
        std::fprintf(stderr, "qelta-sample: the sending log has no entry \"%s\"\n", cookie.c_str());
        return 1;
    }
    std::printf("Sending log entry: %s (status %d)\n", entry->m_strFolder.c_str(), entry->m_nStatus);
    return entry->m_nStatus == kFinishedStatus ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    MendUserFolders();
    if (argc != 2)
        return Usage();
    if (std::strcmp(argv[1], "prepare") == 0)
        return Prepare();
    if (std::strcmp(argv[1], "cover") == 0)
        return Cover();
    if (std::strcmp(argv[1], "book") == 0)
        return Book();
    if (std::strcmp(argv[1], "results") == 0)
        return Results();
    if (std::strcmp(argv[1], "notice") == 0)
        return Notice();
    return Usage();
}
