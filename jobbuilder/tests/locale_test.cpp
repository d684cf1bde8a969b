// Numbers in files and streams keep their classic form under a comma-decimal locale, as a Qt
// program sets it from the environment.
#include "jobbuilder/pjl_stream.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/tests/support/test_support.h"
#include "sendlog/log_store.h"
#include "xmldoc/dom.h"
#include "xmldoc/xpath.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace mfpif_Halvet_R1;

namespace {

// Sets the German locale for the test's lifetime: the installed one, else one generated from the
// system's locale sources into a temporary folder.
class CommaLocale {
public:
    explicit CommaLocale(const std::string& folder)
    {
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) {
            if (auto p = platform::startProgram("/usr/bin/localedef",
                                                {"-c", "-i", "de_DE", "-f", "UTF-8", folder + "/de_DE.UTF-8"}))
                platform::waitProgram(*p);
            ::setenv("LOCPATH", folder.c_str(), 1);
            std::setlocale(LC_ALL, "de_DE.UTF-8");
        }
        char buf[16];
        std::snprintf(buf, sizeof buf, "%.1f", 0.5);
        active_ = std::string(buf) == "0,5";
    }
    ~CommaLocale()
    {
        std::setlocale(LC_ALL, "C");
        ::unsetenv("LOCPATH");
    }
    bool active() const { return active_; }

private:
    bool active_ = false;
};

} // namespace

TEST(CommaDecimalLocale, NumbersAreWrittenAndReadInTheirClassicForm)
{
    qelta::test::ScopedStateRoot root;
    CommaLocale locale(root.path());
    if (!locale.active()) {
        // CI installs the locale sources (scripts/install-deps.sh), so there the test must run.
        ASSERT_EQ(std::getenv("CI"), nullptr) << "no de_DE locale could be set or generated";
        GTEST_SKIP() << "no de_DE locale could be set or generated (install the package \"locales\")";
    }

    // The XML library: value nodes, documents written and loaded again, path expressions.
    IDocumentPtr doc(createDocument());
    INodePtr top = doc->createElement("p");
    doc->appendChild(top);
    top->appendChild(doc->createFloatNode(0.5));
    const DOMString written = doc->getXML();
    EXPECT_EQ(std::string(written.c_str()), "<p>0.5</p>");
    auto f = doc->createFloatNode(1.0);
    f->setNodeValue("2.25");
    EXPECT_EQ(f->getValue(), 2.25);
    EXPECT_THROW(f->setNodeValue("2,25"), std::exception);
    IDocumentPtr again(createDocument());
    INodePtr loaded = again->loadXML("<p><n>-12</n></p>", true);
    ASSERT_TRUE(loaded);
    again->appendChild(loaded);
    EXPECT_EQ(again->selectSingleNode("/p/n")->getInteger(), -12);
    EXPECT_TRUE(again->selectSingleNode("/p[number(n) = -12]"));

    // The sending log: counters, identifiers and dates in its files.
    CQeltaLog log;
    platform::LocalTime when;
    when.year = 2026, when.month = 3, when.day = 5, when.dayOfWeek = 4, when.hour = 9, when.minute = 30;
    int32_t id = 0;
    ASSERT_EQ(log.CreateLogData2("", "doc", when, id), 1);
    ASSERT_EQ(log.AddLogDestination2(id, "number", "0123"), 1);
    ASSERT_EQ(log.FlushLogDestination2(id), 1);
    EXPECT_EQ(log.GetLogCount2(), 1);
    EXPECT_EQ(log.GetLogIdAt(0), id);
    CLogData data;
    ASSERT_EQ(log.GetLogData2(id, data), 1);
    EXPECT_EQ(data.sentDate, "2026/03/05,09:30:00");

    // The job stream's numbered lines.
    CQeltaJob job;
    job.m_spoolTime = when;
    CJobStreamInputs in;
    std::string header;
    ASSERT_TRUE(BuildJobHeader(job, "n", in, 1234567, 8, header));
    EXPECT_NE(header.find("@PJL SET TOTALDATASIZE=1234575\r\n"), std::string::npos);
    EXPECT_NE(header.find("STARTTIME=\"2026/03/05,09:30:00\""), std::string::npos);
}
