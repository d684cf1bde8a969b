// One job through every step with the real components: cover sheet service, job builder and sending
// log, printing to the recording spooler.
#include "jobbuilder/tests/support/job_test_support.h"
#include "platform/bstr.h"
#include "platform/tests/support/recording_spooler.h"
#include "platform/tests/support/test_support.h"
#include "sendwizard/imagekit_binding.h"
#include "sendwizard/sheet_logic.h"
#include "sendwizard/tests/wizard_test_support.h"
#include "common/prompter.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct NoPrompts : IPrompter {
    int MessageBox(const std::string& text, const std::string&, unsigned) override
    {
        ADD_FAILURE() << "unexpected message box: " << text;
        return IDOK;
    }
};

TEST(WizardJob, AThreePageJobWithCoverAndHeaderReachesThePrinterAndTheLog)
{
    qelta::test::ScopedStateRoot root;
    const auto spooler = platform::RecordingSpooler::install("Fax");
    platform::com::initializeThread();
    ASSERT_NO_FATAL_FAILURE(wizard_test::RegisterJobServers());
    BindImageKit();

    const std::string work = root.path() + "/work.tif";
    jobtest::writeFaxTiff(work, 3, 400);
    const std::string cover = root.path() + "/Sales.TQC";
    qelta::test::writeTextFile(cover, "[TQLCVR]\r\nFrames=2\r\nLang=0\r\n"
                                      "Frame.1=NAME,100,100,800,60,DejaVu Sans,39,400,0,0,0,0,\r\n"
                                      "Frame.2=Page,100,200,800,60,DejaVu Sans,39,400,0,0,0,0,\r\n");
    NoPrompts prompter;
    CPSMainuiLogic sheet;
    ASSERT_TRUE(sheet.SetCommandLineValues(work, "A4", "MMR", "Fax", "Report", prompter));
    ASSERT_EQ(sheet.m_nPageCount, 3);
    sheet.m_nModelType = 0;
    sheet.AddDocument(std::make_unique<CFaxDocument>(
        work, std::vector<CJobDestination>{{"0123 456", "Ann", kDestinationFax, 0, "", "", 0}}, 1, cover, "Hello",
        platform::LocalTime{2026, 12, 3, 9, 14, 30, 5, 0}));
    CJobSummary summary;
    summary.m_strUserName = "ann";
    summary.m_strJobName = "Report";
    summary.m_bHeader = 1;
    summary.m_strHeaderText = "$USER $PAGENO";
    summary.m_strHeaderUserName = "Ann";
    LOGFONTA font;
    font.lfHeight = -16;
    std::strcpy(font.lfFaceName, "DejaVu Sans");
    summary.m_HeaderFont = font;
    sheet.SetJobSummary(std::make_unique<CJobSummary>(summary));

    ASSERT_EQ(sheet.CreateJobTool(), 1);
    ASSERT_EQ(sheet.BuildCoverImage(0), 1) << qelta::test::readTextFile(sheet.GetJobFolder() + kCreateJobDataLog);
    ASSERT_EQ(sheet.AppendSourcePages(0), 1);
    ASSERT_EQ(sheet.StampDocumentPages(0, 1), 1);
    ASSERT_EQ(sheet.ConvertDocumentImage(0), 1);
    EXPECT_EQ(jobtest::readTiff(sheet.GetDocumentImagePath(0)).size(), 4u);
    ASSERT_EQ(sheet.RegisterDocumentJob(0), 1);
    ASSERT_EQ(sheet.FlushDocumentJob(0), 1);

    const auto documents = spooler->documents();
    ASSERT_EQ(documents.size(), 1u);
    EXPECT_TRUE(documents[0].ended);
    EXPECT_EQ(documents[0].dataType, "RAW");
    std::string stream;
    for (const auto& page : documents[0].pages)
        stream += page;
    EXPECT_NE(stream.find("@PJL"), std::string::npos);

    platform::com::Ptr<IQeltaLogTool> log;
    ASSERT_EQ(platform::com::createInstance(CLSID_QeltaLogTool, CLSCTX_INPROC_SERVER, log), S_OK);
    int32_t count = 0;
    ASSERT_EQ(log->GetLogCount(&count), S_OK);
    EXPECT_EQ(count, 1);
    log.reset();

    sheet.DropDocuments();
    UnbindImageKit();
    platform::setSpooler(nullptr);
    platform::com::uninitializeThread();
}

} // namespace
