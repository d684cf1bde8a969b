// What the wizard's tests share: message boxes and folder questions answered by a script, and the
// suite's component servers registered in the test's state root.
#pragma once

#include "common/prompter.h"
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

// Message boxes answered in turn, and folders chosen; an unexpected question fails the test, and so
// does an unused answer.
class ScriptedPrompter : public IPrompter {
public:
    ~ScriptedPrompter() override
    {
        EXPECT_TRUE(expected.empty()) << "message box not shown: " << expected.front();
        EXPECT_TRUE(folders.empty()) << "folder not asked for";
    }
    int MessageBox(const std::string& strText, const std::string& strCaption, unsigned nFlags) override
    {
        EXPECT_EQ(strCaption, "Qelta Driver");
        if (expected.empty()) {
            ADD_FAILURE() << "unexpected message box: " << strText;
            return IDOK;
        }
        EXPECT_EQ(strText, expected.front());
        expected.erase(expected.begin());
        // A question is answered from answers; anything else is a warning.
        if ((nFlags & MB_YESNO) == MB_YESNO) {
            // Questions, and the delete questions that warn.
            EXPECT_TRUE(nFlags == unsigned{MB_YESNO | MB_ICONQUESTION} || nFlags == unsigned{MB_YESNO | MB_ICONEXCLAMATION})
                << nFlags;
            EXPECT_FALSE(answers.empty()) << strText;
            const int answer = answers.empty() ? IDNO : answers.front();
            if (!answers.empty())
                answers.erase(answers.begin());
            return answer;
        }
        EXPECT_EQ(nFlags, unsigned{MB_ICONEXCLAMATION});
        return IDOK;
    }
    std::optional<std::string> BrowseForFolder(const std::string& strTitle, const std::string& strStart) override
    {
        EXPECT_EQ(strTitle, "Select Cover Sheet Folder");
        starts.push_back(strStart);
        if (folders.empty()) {
            ADD_FAILURE() << "unexpected folder question";
            return std::nullopt;
        }
        auto answer = folders.front();
        folders.erase(folders.begin());
        return answer;
    }
    std::vector<std::string> expected;
    std::vector<int> answers;
    std::vector<std::optional<std::string>> folders;
    std::vector<std::string> starts; ///< the folder each folder question opened at
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
