#include "sendwizard/command_line.h"
#include "sendwizard/job_records.h"
#include "sendwizard/wizard_strings.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

bool NoFileExists(const std::string&) { return false; }
bool EveryFileExists(const std::string&) { return true; }

TEST(CommandLine, SwitchesFollowTheirLengthRulesWithEitherPrefix)
{
    struct Row {
        std::vector<std::string> args;
        std::string file, paper, compression, printer, text;
    };
    const Row rows[] = {
        {{"-SA4", "job.tif"}, "job.tif", "A4", "", "", ""},
        {{"/SA4", "job.tif"}, "job.tif", "A4", "", "", ""},
        {{"-SA", "job.tif"}, "job.tif", "", "", "", ""},              // one letter after S: ignored
        {{"/CMH", "/PLaser", "-Pabc"}, "", "", "MH", "Laser", ""},     // P with three letters: ignored
        {{"-Pabcd"}, "", "", "", "abcd", ""},
        {{"-Dabc:def"}, "", "", "", "", "ab"},
        {{"/Dabcd"}, "", "", "", "", "abcd"},
        {{"-DReport: Q3"}, "", "", "", "", "Repor"},
        {{"/Da/b/c", "/tmp/x.tif"}, "", "", "", "", "a/b/c"},          // "/tmp/x.tif" does not exist here
        {{"-D:abc"}, "", "", "", "", ""},
        {{"first.tif", "second.tif"}, "first.tif", "", "", "", ""},    // a second file is ignored
        {{"-sA4", "-X123", "-", ""}, "", "", "", "", ""},               // letters are case-sensitive
        {{"relative/job.tif", "-CMMR"}, "relative/job.tif", "", "MMR", "", ""},
    };
    for (const Row& row : rows) {
        const CWizardCommandLineInfo info = ParseWizardCommandLine(row.args, NoFileExists);
        SCOPED_TRACE(row.args.front());
        EXPECT_EQ(info.m_strFilePath, row.file);
        EXPECT_EQ(info.m_strPaper, row.paper);
        EXPECT_EQ(info.m_strCompression, row.compression);
        EXPECT_EQ(info.m_strPrinter, row.printer);
        EXPECT_EQ(info.m_strText, row.text);
    }
}

TEST(CommandLine, AMissingPageFileIsNoSwitchWhateverLetterFollowsItsSlash)
{
    // A second "/" makes a path of a word after S or C; after P or D (whose printer names and
    // document texts may hold one) only in the last word, with no page file before it.
    struct Row {
        std::vector<std::string> args;
        std::string missing, file, paper, compression, printer, text;
    };
    const Row rows[] = {
        {{"/Data/fax.tif"}, "/Data/fax.tif", "", "", "", "", ""},
        {{"/SA4", "/CMMR", "/PLaser", "/DReport", "/Data/fax.tif"},
         "/Data/fax.tif", "", "A4", "MMR", "Laser", "Report"},
        {{"/Scans/fax.tif", "-SA4"}, "/Scans/fax.tif", "", "A4", "", "", ""},
        {{"/Cover/fax.tif", "job.tif"}, "/Cover/fax.tif", "job.tif", "", "", "", ""},
        {{"/PFront/Desk", "/DQ3/Q4 plan", "job.tif"}, "", "job.tif", "", "", "Front/Desk", "Q3/Q4 plan"},
        {{"/D/home/ann/report.txt", "/Public/fax.tif"}, "/Public/fax.tif", "", "", "", "", "/home/ann/report.txt"},
        {{"job.tif", "/DQ3/Q4"}, "", "job.tif", "", "", "", "Q3/Q4"},
        {{"-D/home/ann/report.txt"}, "", "", "", "", "", "/home/ann/report.txt"},
        {{"/spool/job.tif", "/Data/fax.tif"}, "/spool/job.tif", "", "", "", "", ""}, // the first one named
        {{"/SA4", "/Dx"}, "", "", "A4", "", "", ""},                                   // short D: ignored
    };
    for (const Row& row : rows) {
        const CWizardCommandLineInfo info = ParseWizardCommandLine(row.args, NoFileExists);
        SCOPED_TRACE(row.args.front() + " ... " + row.args.back());
        EXPECT_EQ(info.m_strMissingPath, row.missing);
        EXPECT_EQ(info.m_strFilePath, row.file);
        EXPECT_EQ(info.m_strPaper, row.paper);
        EXPECT_EQ(info.m_strCompression, row.compression);
        EXPECT_EQ(info.m_strPrinter, row.printer);
        EXPECT_EQ(info.m_strText, row.text);
    }
}

TEST(CommandLine, ASlashNamingAnExistingFileIsTheWorkFile)
{
    const auto info = ParseWizardCommandLine({"/var/spool/qelta/job.tif", "-SB4"}, EveryFileExists);
    EXPECT_EQ(info.m_strFilePath, "/var/spool/qelta/job.tif");
    const auto dashed = ParseWizardCommandLine({"-SB4", "/var/spool/qelta/job.tif"}, NoFileExists);
    EXPECT_EQ(dashed.m_strFilePath, "");
    EXPECT_EQ(dashed.m_strPaper, "B4");
}

TEST(CommandLine, PaperIndexMatchesExactlyAndDefaultsToA4)
{
    EXPECT_EQ(GetPaperIndex("A3"), 0);
    EXPECT_EQ(GetPaperIndex("A4"), 3);
    EXPECT_EQ(GetPaperIndex("85x11R"), 9);
    EXPECT_EQ(GetPaperIndex("16KR"), 16);
    EXPECT_EQ(GetPaperIndex("a3"), 3);
    EXPECT_EQ(GetPaperIndex("Letter"), 3);
    EXPECT_EQ(GetPaperIndex(""), 3);
}

CJobSummary SummaryWithHeader(std::string text)
{
    CJobSummary summary;
    summary.m_bHeader = 1;
    summary.m_strHeaderText = std::move(text);
    summary.m_strHeaderUserName = "Ann";
    summary.m_strHeaderTelNumber = "+1 555 0100";
    return summary;
}

TEST(HeaderMacros, WordsAreExpandedAndEachFollowedByOneSpace)
{
    EXPECT_EQ(SummaryWithHeader("$USER $PAGENO").ExpandHeaderMacros(2, 5), "Ann  P.002/005 ");
    EXPECT_EQ(SummaryWithHeader("ab").ExpandHeaderMacros(1, 1), "");
    EXPECT_EQ(SummaryWithHeader("   From  $user   tel $TelNo  ").ExpandHeaderMacros(1, 1), "From Ann tel +1 555 0100 ");
    EXPECT_EQ(SummaryWithHeader("$PAGENO").ExpandHeaderMacros(1234, 7), " P.1234/007 ");
    EXPECT_EQ(SummaryWithHeader("$USERS $").ExpandHeaderMacros(1, 1), "$USERS $ ");
}

TEST(HeaderMacros, DateIsFormattedInTheUserLocale)
{
    ::setenv("LC_ALL", "C", 1);
    const std::string line = SummaryWithHeader("$date").ExpandHeaderMacros(1, 1);
    ::unsetenv("LC_ALL");
    // "MM/DD/YY HH:MM:SS " in the C locale.
    ASSERT_EQ(line.size(), 18u) << line;
    EXPECT_EQ(line[2], '/');
    EXPECT_EQ(line[5], '/');
    EXPECT_EQ(line[8], ' ');
    EXPECT_EQ(line[11], ':');
    EXPECT_EQ(line.back(), ' ');
}

TEST(PageText, TranslatedFormatsReadOnlyTheTwoNumbers)
{
    EXPECT_EQ(FormatPageText(" P.%03d/%03d", 2, 5), " P.002/005");
    EXPECT_EQ(FormatPageText("%d of %d, 100%%", 3, 9), "3 of 9, 100%");
    EXPECT_EQ(FormatPageText("%s %n %d %d %d", 1, 2), "%s %n 1 2 %d");
}

TEST(FaxDocument, OwnsCopiesOfItsDestinationsAndNamesItsCover)
{
    auto destinations = std::make_unique<std::vector<CJobDestination>>();
    for (int i = 0; i < 3; ++i)
        destinations->emplace_back("555-010" + std::to_string(i), "Name", kDestinationFax, 0, "", "", 0);
    CFaxDocument document("/tmp/work.tif", *destinations, 1, "C:\\Covers\\Sales.TQC", "", {});
    destinations.reset();
    ASSERT_EQ(document.m_Destinations.size(), 3u);
    EXPECT_EQ(document.GetFirstDestination()->m_strNumber, "555-0100");
    EXPECT_EQ(document.GetCoverName(), "Sales");
    EXPECT_TRUE(document.m_strLogImagePath.empty());
}

TEST(JobSummary, CompressionNames)
{
    CJobSummary summary;
    const char* expected[] = {"MMR", "MH", "MR", "MR"};
    for (int code = 0; code < 4; ++code) {
        summary.m_nCompression = code;
        EXPECT_STREQ(summary.GetCompressionName(), expected[code]);
    }
}

} // namespace
