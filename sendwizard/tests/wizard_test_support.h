// What the wizard's tests share: message boxes and folder questions answered by a script, and the
// suite's component servers registered in the test's state root.
#pragma once

#include "common/prompter.h"
#include "common/tests/support/scripted_prompter.h"
#include "jobbuilder/tests/support/job_test_support.h"
#include "platform/tests/support/recording_spooler.h"
#include "platform/tests/support/test_support.h"
#include "sample/sample_run.h"
#include "sendwizard/imagekit_binding.h"
#include "sendwizard/preview_page_logic.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace wizard_test {

// The wizard's questions answered by a script: its caption, its questions, its cover folder question.
class ScriptedPrompter : public test_support::ScriptedPrompter {
public:
    ScriptedPrompter()
        : test_support::ScriptedPrompter("Qelta Driver", {MB_YESNO | MB_ICONQUESTION, MB_YESNO | MB_ICONEXCLAMATION},
                                         MB_ICONEXCLAMATION, "Select Cover Sheet Folder")
    {
    }
};

// Registers the servers a whole job goes through: cover sheets, job builder, sending log and theirs.
inline void RegisterJobServers()
{
    const std::vector<std::string> failed = ::RegisterJobServers();
    ASSERT_TRUE(failed.empty()) << failed.front();
}

// Runs a worker on a thread of its own, without a display, and records what it reports.
class RecordingProgress : public IProgressRunner, public IProgressSink {
public:
    int Run(const std::string& strCaption, const Worker& worker) override
    {
        captions.push_back(strCaption);
        values.clear();
        failure = 0;
        std::thread([&] { worker(*this); }).join();
        return failure;
    }
    void Progress(int nPercent) override { values.push_back(nPercent); }
    void Fail(int nCode) override { failure = failure ? failure : nCode; }
    std::vector<std::string> captions;
    std::vector<int> values;
    int failure = 0;
};

// A private state root with the job's servers registered, the imaging library bound and the
// recording spooler knowing the printer "Fax", plus a three-page work file.
struct JobEnvironment {
    JobEnvironment()
    {
        platform::com::initializeThread();
        RegisterJobServers();
        BindImageKit();
        jobtest::writeFaxTiff(work, 3, 400);
    }
    ~JobEnvironment()
    {
        UnbindImageKit();
        platform::setSpooler(nullptr);
    }
    qelta::test::ScopedStateRoot root;
    std::shared_ptr<platform::RecordingSpooler> spooler = platform::RecordingSpooler::install("Fax");
    std::string work = root.path() + "/work.tif";
};

} // namespace wizard_test
