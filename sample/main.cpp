// qelta-sample: the state root of a trial run of the send wizard (QELTA_ROOT must be set).
//   qelta-sample prepare   registers the servers, writes the settings, the sample cover sheet and a
//                          new sample fax, and prints the wizard's command line, one argument a line
//   qelta-sample book      registers the phone book's server and writes the sample phone book
//                          (when there is none), and prints its path
//   qelta-sample results   prints the job streams and sending log entries this run made, and the
//                          failure logs it wrote (exit code 1 after a failure)
#include "sample/sample_run.h"

#include "platform/com.h"

#include <cstdio>
#include <cstring>

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: qelta-sample prepare|book|results (with QELTA_ROOT set)\n");
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

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return Usage();
    if (std::strcmp(argv[1], "prepare") == 0)
        return Prepare();
    if (std::strcmp(argv[1], "book") == 0)
        return Book();
    if (std::strcmp(argv[1], "results") == 0)
        return Results();
    return Usage();
}
