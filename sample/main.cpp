// qelta-sample: the state root of a trial run of the send wizard (QELTA_ROOT must be set).
//   qelta-sample prepare   registers the servers, writes the settings, the sample cover sheet and a
//                          new sample fax, and prints the wizard's command line, one argument a line
//   qelta-sample results   prints where the newest job stream and sending log entry are
#include "sample/sample_run.h"

#include "platform/com.h"

#include <cstdio>
#include <cstring>

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: qelta-sample prepare|results (with QELTA_ROOT set)\n");
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

int Results()
{
    const auto run = SampleRunPaths();
    if (!run)
        return Usage();
    const CSampleResults results = FindSampleResults(*run);
    if (results.m_strStreamFile.empty())
        std::printf("Job stream:        none yet (it goes to %s)\n", run->m_strStreamFile.c_str());
    else
        std::printf("Job stream:        %s\n", results.m_strStreamFile.c_str());
    if (results.m_strLogEntry.empty())
        std::printf("Sending log entry: none yet (the log is %s)\n", run->m_strLogFolder.c_str());
    else
        std::printf("Sending log entry: %s (newest of %d)\n", results.m_strLogEntry.c_str(), results.m_nLogEntries);
    return results.m_strStreamFile.empty() || results.m_strLogEntry.empty() ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return Usage();
    if (std::strcmp(argv[1], "prepare") == 0)
        return Prepare();
    if (std::strcmp(argv[1], "results") == 0)
        return Results();
    return Usage();
}
