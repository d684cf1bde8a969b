// The PJL job stream byte for byte, and the spool time that stamps it.
#include "common/spool_time.h"
#include "jobbuilder/job_tool.h"
#include "jobbuilder/pjl_stream.h"
#include "jobbuilder/spool_time.h"
#include "platform/bstr.h"
#include "common/registry_helper.h"
#include "platform/files.h"
#include "platform/known_folders.h"
#include "platform/library.h"
#include "platform/registry.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>
#include <set>
#include <thread>

using qelta::test::md5Hex;
using qelta::test::readTextFile;
using qelta::test::ScopedStateRoot;
using qelta::test::writeTextFile;

namespace {

const std::string kPjlStart = "\x1B%-12345X@PJL\r\n";

platform::LocalTime at(int y, int mo, int d, int h, int mi, int s, int dow)
{
    platform::LocalTime t;
    t.year = y;
    t.month = mo;
    t.day = d;
    t.hour = h;
    t.minute = mi;
    t.second = s;
    t.dayOfWeek = dow;
    return t;
}

void addDestination(CQeltaJob& job, const std::string& number, int ifax = 0, int fcode = 0, int confirm = 0,
                    const std::string& sub = {}, const std::string& pass = {})
{
    auto d = std::make_unique<CJobDestination>();
    d->m_strNumber = number;
    d->m_bIFax = ifax;
    d->m_bFCode = fcode;
    d->m_bReceptionConfirm = confirm;
    d->m_strSubAddress = sub;
    d->m_strPassCode = pass;
    job.m_destinations.push_back(std::move(d));
}

// A registered job as the registrations leave it (spool time Thursday 3 Dec 2026 09:05:07).
CQeltaJob sampleJob(int modelType)
{
    CQeltaJob job;
    job.m_nModelType = modelType;
    job.m_strUserName = "alice";
    job.m_strPrinterName = "Office MFP";
    job.m_strPassword = "ENCODED==";
    job.m_bJobDataRegistered = 1;
    job.m_spoolTime = at(2026, 12, 3, 9, 5, 7, 4);
    job.m_bSpoolTimeFixed = 1;
    addDestination(job, "0123");
    job.m_bDestinationRegistered = 1;
    return job;
}

CJobStreamInputs sampleInputs()
{
    CJobStreamInputs in;
    in.computerName = "DESK7";
    in.notificationAddress = "192.0.2.5:6000";
    in.spoolTimeText = "Th,  3 Dec 2026 09:05:07 -540";
    in.digest = [](const std::string& text) { return "md5(" + text + ")"; };
    return in;
}

std::string header(const CQeltaJob& job, const CJobStreamInputs& in = sampleInputs(), uint32_t image = 100,
                   uint32_t block = 11)
{
    std::string h;
    EXPECT_TRUE(BuildJobHeader(job, job.JobName(), in, image, block, h));
    return h;
}

// Lines 1-12 for sampleJob with job name "FAX - 0123".
std::string commonLines(uint32_t image = 100, uint32_t block = 11, const std::string& user = "alice")
{
    return kPjlStart + "@PJL SET NOTIFYFAXJOBEND=OFF\r\n" + "@PJL SET USERNAME=\"" + user + "\"\r\n"
        + "@PJL SET PCNAME=\"DESK7\"\r\n" + "@PJL SET IPADDRESS=\"192.0.2.5:6000\"\r\n"
        + "@PJL SET JOBNAME=\"FAX - 0123\"\r\n" + "@PJL SET DRIVERNAME=\"Office MFP\"\r\n"
        + "@PJL SET STARTTIME=\"2026/12/03,09:05:07\"\r\n" + "@PJL SET SPOOLTIME=\"Th,  3 Dec 2026 09:05:07 -540\"\r\n"
        + "@PJL SET FAXIMAGESIZE=" + std::to_string(image) + "\r\n" + "@PJL SET TOTALDATASIZE="
        + std::to_string(image + block) + "\r\n" + "@PJL SET FAXMEMORYBOXCOUNT=1\r\n";
}

const std::string kEnter = "@PJL ENTER LANGUAGE=QELTA\r\n";

} // namespace

TEST(PjlHeader, PlainJobHasOnlyTheCommonLines)
{
    const CQeltaJob job = sampleJob(0);
    EXPECT_EQ(header(job), commonLines() + kEnter);

    CQeltaJob withHeader = sampleJob(0);
    withHeader.m_nDriverHeader = 1;
    EXPECT_EQ(header(withHeader), commonLines() + "@PJL SET DRIVERHEADER=ON\r\n" + kEnter);
    withHeader.m_nDriverHeader = 2;
    EXPECT_EQ(header(withHeader), commonLines() + kEnter) << "only the value 1 turns the header on";

    CQeltaJob notify = sampleJob(0);
    notify.m_bJobEndNotification = 1;
    EXPECT_NE(header(notify).find("NOTIFYFAXJOBEND=ON\r\n"), std::string::npos);
}

TEST(PjlHeader, FilingUserAndAccountLinesNeedModelTypeThree)
{
    for (int model : {0, 1, 2}) {
        CQeltaJob job = sampleJob(model);
        job.m_bFiling = 1;
        job.m_nFilingFolderType = 1;
        job.m_strFilingFolderName = "Sales";
        job.m_bAccountNumber = 1;
        job.m_strAccountNumber = "00123";
        EXPECT_EQ(header(job), commonLines() + kEnter) << model;
    }
    CQeltaJob mfp = sampleJob(3);
    mfp.m_bAccountNumber = 1;
    mfp.m_strAccountNumber = "00123";
    mfp.m_nDriverHeader = 1;
    EXPECT_EQ(header(mfp), commonLines() + "@PJL SET MFPUSERNAME=\"alice\"\r\n" + "@PJL SET MFPPASSWORD=\"ENCODED==\"\r\n"
                               + "@PJL SET DRIVERHEADER=ON\r\n" + "@PJL SET ACCOUNTNUMBER=\"00123\"\r\n" + kEnter);
}

TEST(PjlHeader, FilingFolderTypes)
{
    const std::string user = "@PJL SET MFPUSERNAME=\"alice\"\r\n@PJL SET MFPPASSWORD=\"ENCODED==\"\r\n";
    const std::string spool = "Th,  3 Dec 2026 09:05:07 -540";

    CQeltaJob temporary = sampleJob(3);
    temporary.m_bFiling = 1;
    temporary.m_nFilingFolderType = 0;
    temporary.m_strFilingFolderName = "ignored";
    temporary.m_strFilingFilePassword = "4321";
    EXPECT_EQ(header(temporary),
              commonLines() + "@PJL SET FILING=TEMPORALITY\r\n@PJL SET SUSPEND=HOLD\r\n" + user + kEnter);

    CQeltaJob standard = sampleJob(3);
    standard.m_bFiling = 1;
    standard.m_nFilingFolderType = 2;
    EXPECT_EQ(header(standard), commonLines() + "@PJL SET FILING=PERMANENCE\r\n@PJL SET SUSPEND=HOLD\r\n"
                                    + "@PJL SET FILINGFOLDERPATH=\"*standard\"\r\n" + user + kEnter);
    standard.m_strFilingFilePassword = "77";
    EXPECT_NE(header(standard).find("@PJL SET SUSPENDKEY=\"md5(77" + spool + ")\"\r\n"), std::string::npos);

    CQeltaJob folder = sampleJob(3);
    folder.m_bFiling = 1;
    folder.m_nFilingFolderType = 1;
    folder.m_strFilingFolderName = "Sales";
    EXPECT_EQ(header(folder), commonLines() + "@PJL SET FILING=PERMANENCE\r\n@PJL SET SUSPEND=HOLD\r\n"
                                  + "@PJL SET FILINGFOLDERPATH=\"Sales\"\r\n"
                                  + "@PJL SET FILINGFOLDERPASSWORD=\"md5(" + spool + ")\"\r\n" + user + kEnter)
        << "the folder password line stands also for an empty password";
    folder.m_strFilingFolderPassword = "1234";
    folder.m_strFilingFilePassword = "5678";
    const std::string h = header(folder);
    EXPECT_NE(h.find("FILINGFOLDERPASSWORD=\"md5(" + spool + "1234)\"\r\n@PJL SET SUSPENDKEY=\"md5(5678" + spool + ")\""),
              std::string::npos);

    // Without a digest server the lines stay, with empty values.
    CJobStreamInputs noDigest = sampleInputs();
    noDigest.digest = nullptr;
    EXPECT_NE(header(folder, noDigest).find("FILINGFOLDERPASSWORD=\"\"\r\n@PJL SET SUSPENDKEY=\"\"\r\n"), std::string::npos);
}

TEST(PjlHeader, CutsAndLimits)
{
    CQeltaJob job = sampleJob(3);
    job.m_strUserName = "abcdefghijklmnopqrst"; // 20 bytes
    std::string h = header(job);
    EXPECT_NE(h.find("@PJL SET USERNAME=\"abcdefghijklmnop\"\r\n"), std::string::npos);
    EXPECT_NE(h.find("@PJL SET MFPUSERNAME=\"abcdefghijklmnopqrst\"\r\n"), std::string::npos);

    // A cut never splits a UTF-8 character: 15 ASCII bytes and a two-byte letter stop at 15.
    job.m_strUserName = std::string(15, 'x') + "\xC3\xA9" + "yz";
    h = header(job);
    EXPECT_NE(h.find("@PJL SET USERNAME=\"" + std::string(15, 'x') + "\"\r\n"), std::string::npos);

    job.m_strDocumentName = std::string(100, 'd');
    job.m_strPrinterName = std::string(40, 'p');
    h = header(job);
    EXPECT_NE(h.find("JOBNAME=\"" + std::string(80, 'd') + "\"\r\n"), std::string::npos);
    EXPECT_NE(h.find("DRIVERNAME=\"" + std::string(32, 'p') + "\"\r\n"), std::string::npos);

    // A line longer than 1,023 bytes is never written, and the header is refused.
    CJobStreamInputs in = sampleInputs();
    in.notificationAddress = std::string(1023 - 23, 'a'); // "@PJL SET IPADDRESS=" is 19, quotes and CR LF 4
    std::string out;
    EXPECT_TRUE(BuildJobHeader(sampleJob(0), "n", in, 1, 1, out));
    in.notificationAddress += "a";
    EXPECT_FALSE(BuildJobHeader(sampleJob(0), "n", in, 1, 1, out));
}

TEST(PjlHeader, EveryQuotedValueIsCheckedWhereverItComesFrom)
{
    // Each value may come from a server, the system or a registration; none may end its quotes or line.
    using Poison = void (*)(CQeltaJob&, CJobStreamInputs&, const std::string&);
    const Poison sources[] = {
        [](CQeltaJob&, CJobStreamInputs& in, const std::string& v) { in.notificationAddress = "192.0.2.5:" + v; },
        [](CQeltaJob&, CJobStreamInputs& in, const std::string& v) { in.computerName = v; },
        [](CQeltaJob&, CJobStreamInputs& in, const std::string& v) { in.spoolTimeText = v; },
        [](CQeltaJob&, CJobStreamInputs& in, const std::string& v) { in.digest = [v](const std::string&) { return v; }; },
        [](CQeltaJob& job, CJobStreamInputs&, const std::string& v) { job.m_strUserName = v; },
        [](CQeltaJob& job, CJobStreamInputs&, const std::string& v) { job.m_strPrinterName = v; },
        [](CQeltaJob& job, CJobStreamInputs&, const std::string& v) { job.m_strPassword = v; },
        [](CQeltaJob& job, CJobStreamInputs&, const std::string& v) { job.m_strFilingFolderName = v; },
        [](CQeltaJob& job, CJobStreamInputs&, const std::string& v) { job.m_strAccountNumber = v; },
        [](CQeltaJob& job, CJobStreamInputs&, const std::string& v) { job.m_strDocumentName = v; },
    };
    int index = 0;
    for (Poison poison : sources) {
        for (const char* bad : {"60\r\n", "6\"0", "6\x01", "6\x7F", "\r"}) {
            CQeltaJob job = sampleJob(3);
            job.m_bFiling = 1;
            job.m_nFilingFolderType = 1;
            job.m_strFilingFolderName = "Box";
            job.m_strFilingFilePassword = "12";
            job.m_bAccountNumber = 1;
            job.m_strAccountNumber = "7";
            CJobStreamInputs in = sampleInputs();
            std::string out;
            ASSERT_TRUE(BuildJobHeader(job, job.JobName(), in, 1, 1, out)) << index;
            poison(job, in, bad);
            EXPECT_FALSE(BuildJobHeader(job, job.JobName(), in, 1, 1, out)) << index << " " << int(bad[std::string(bad).size() - 1]);
        }
        ++index;
    }
}

TEST(DestinationBlock, EntriesCountAndLength)
{
    CQeltaJob job = sampleJob(3);
    job.m_destinations.clear();
    addDestination(job, "0123");
    addDestination(job, "a@b", 1, 0, 1);
    const std::string block = BuildDestinationBlock(job);
    EXPECT_EQ(block, std::string("\x1C#=\x01\x00\x02", 6) + "0123;" + "a@b/ifax/00000001;");
    EXPECT_EQ(block.size(), 29u);
    EXPECT_NE(header(job, sampleInputs(), 1000, 29).find("TOTALDATASIZE=1029\r\n"), std::string::npos);

    job.m_destinations.clear();
    addDestination(job, "x@y", 1, 0, 0);
    addDestination(job, "555", 0, 1, 0, "12", "34");
    EXPECT_EQ(BuildDestinationBlock(job), std::string("\x1C#=\x01\x00\x02", 6) + "x@y/ifax/00000000;555/12/34;");

    job.m_destinations.clear();
    for (int i = 0; i < 300; ++i)
        addDestination(job, "1");
    const std::string big = BuildDestinationBlock(job);
    EXPECT_EQ(static_cast<unsigned char>(big[4]), 0x01);
    EXPECT_EQ(static_cast<unsigned char>(big[5]), 0x2C);
    EXPECT_EQ(big.size(), 6u + 300 * 2);
}

TEST(JobStream, FileHoldsPathHeaderBlockImageAndTrailer)
{
    ScopedStateRoot root;
    CQeltaJob job = sampleJob(0);
    job.m_strImagePath = root.path() + "/page.tif";
    std::string image;
    for (int i = 0; i < 70000; ++i)
        image.push_back(static_cast<char>(i * 7));
    writeTextFile(job.m_strImagePath, image);

    CJobStream stream;
    ASSERT_TRUE(BuildJobStream(job, job.JobName(), sampleInputs(), stream));
    const std::string path = stream.Path();
    EXPECT_EQ(platform::fileNameOf(path).rfind("FAX", 0), 0u);
    const std::string bytes = readTextFile(path);
    ASSERT_GE(bytes.size(), kStreamPathField);
    std::string field(path);
    field.resize(kStreamPathField, '\0');
    EXPECT_EQ(bytes.substr(0, kStreamPathField), field);

    const std::string block = std::string("\x1C#=\x01\x00\x01", 6) + "0123;";
    const std::string expected = commonLines(70000, static_cast<uint32_t>(block.size())) + kEnter + block + image
        + "\x1B%-12345X@PJL EOJ\r\n\x1B%-12345X";
    EXPECT_EQ(bytes.substr(kStreamPathField), expected);
    EXPECT_EQ(stream.Length(), expected.size());
    EXPECT_EQ(::lseek(stream.Descriptor(), 0, SEEK_CUR), static_cast<off_t>(kStreamPathField));

    stream.Discard();
    EXPECT_FALSE(platform::pathExists(path));
}

TEST(JobStream, MissingImageLeavesNothingBehind)
{
    ScopedStateRoot root;
    CQeltaJob job = sampleJob(0);
    job.m_strImagePath = root.path() + "/gone.tif";
    CJobStream stream;
    EXPECT_FALSE(BuildJobStream(job, job.JobName(), sampleInputs(), stream));
    const auto temp = platform::knownFolder(platform::KnownFolder::Temp);
    ASSERT_TRUE(temp);
    EXPECT_TRUE(platform::listFiles(*temp, "FAX*").empty());
}

TEST(SpoolTime, TextForm)
{
    EXPECT_EQ(FormatSpoolTimeText(at(2026, 12, 3, 9, 5, 7, 4), -540), "Th,  3 Dec 2026 09:05:07 -540");
    EXPECT_EQ(FormatSpoolTimeText(at(2027, 1, 15, 23, 59, 59, 5), 300), "Fr, 15 Jan 2027 23:59:59 300");
    EXPECT_EQ(FormatSpoolTimeText(at(2024, 2, 29, 0, 0, 0, 0), 0), "Sun, 29 Feb 2024 00:00:00 0");
    EXPECT_EQ(FormatSpoolTimeText(at(2023, 2, 29, 0, 0, 0, 3), 0), "") << "not a date";
    EXPECT_EQ(FormatSpoolTimeText(at(2023, 13, 1, 0, 0, 0, 3), 0), "");
}

TEST(SpoolTime, LastSpoolTimeRules)
{
    const auto now = at(2026, 12, 31, 23, 59, 59, 4);
    EXPECT_EQ(FormatLastSpoolTime(NextSpoolTime(now, std::nullopt), true), "2026/12/31,23:59:59");

    // Equal to the current second: one second later, into the next year, with its weekday.
    const auto next = NextSpoolTime(now, ParseLastSpoolTime("2026/12/31,23:59:59"));
    EXPECT_EQ(FormatLastSpoolTime(next, true), "2027/01/01,00:00:00");
    EXPECT_EQ(next.dayOfWeek, 5);
    // Within the hour ahead: one second after it; more than an hour ahead or in the past: now.
    EXPECT_EQ(FormatLastSpoolTime(NextSpoolTime(now, ParseLastSpoolTime("2027/1/1,0:30:00")), true), "2027/01/01,00:30:01");
    EXPECT_EQ(FormatLastSpoolTime(NextSpoolTime(now, ParseLastSpoolTime("2027/01/01,01:59:59")), true), "2026/12/31,23:59:59");
    EXPECT_EQ(FormatLastSpoolTime(NextSpoolTime(now, ParseLastSpoolTime("2026/12/31,23:59:58")), true), "2026/12/31,23:59:59");

    for (const char* bad : {"", "2026/12/31", "2026/12/31,23:59", "2026-12-31,23:59:59", "2026/12/31,23:59:59x",
                            "2026/02/30,00:00:00", "2026/12/31,24:00:00", "a/b/c,d:e:f", "2026//31,1:1:1"})
        EXPECT_FALSE(ParseLastSpoolTime(bad)) << bad;
    EXPECT_EQ(FormatLastSpoolTime(at(2026, 3, 4, 5, 6, 7, 0), false), "2026/3/4,5:6:7");
}

TEST(SpoolTime, FixedOncePerJobAndStoredInTheRegistry)
{
    ScopedStateRoot root;
    const CRegistryHelper machine(HKEY_LOCAL_MACHINE, kProductKeyPrefix);
    CQeltaJob job;
    FixSpoolTime(job);
    ASSERT_TRUE(job.m_bSpoolTimeFixed);
    EXPECT_EQ(machine.ReadString(kProductSubkey, "LastSpoolTime", ""), FormatLastSpoolTime(job.m_spoolTime, false))
        << "written unpadded when there was none";

    const auto first = job.m_spoolTime;
    FixSpoolTime(job);
    EXPECT_EQ(FormatLastSpoolTime(job.m_spoolTime, true), FormatLastSpoolTime(first, true)) << "fixed once";

    CQeltaJob second;
    FixSpoolTime(second);
    EXPECT_EQ(machine.ReadString(kProductSubkey, "LastSpoolTime", ""), FormatLastSpoolTime(second.m_spoolTime, true));
    EXPECT_NE(FormatLastSpoolTime(second.m_spoolTime, true), FormatLastSpoolTime(first, true));

    // A value that does not hold six numbers counts as empty.
    machine.WriteString(kProductSubkey, "LastSpoolTime", "garbage");
    CQeltaJob third;
    FixSpoolTime(third);
    EXPECT_EQ(machine.ReadString(kProductSubkey, "LastSpoolTime", ""), FormatLastSpoolTime(third.m_spoolTime, false));

    // A damaged hive does not stop the job: the spool time is still fixed.
    writeTextFile(platform::hiveFilePath(platform::Hive::LocalMachine), "damaged");
    CQeltaJob fourth;
    FixSpoolTime(fourth);
    EXPECT_TRUE(fourth.m_bSpoolTimeFixed);
    EXPECT_EQ(readTextFile(platform::hiveFilePath(platform::Hive::LocalMachine)), "damaged");
}

TEST(SpoolTime, JobsBuiltTogetherGetDistinctTimes)
{
    ScopedStateRoot root;
    constexpr int kJobs = 12;
    std::vector<CQeltaJob> jobs(kJobs);
    std::vector<std::thread> threads;
    for (auto& job : jobs)
        threads.emplace_back([&job] { FixSpoolTime(job); });
    for (auto& t : threads)
        t.join();
    std::set<std::string> times;
    for (const auto& job : jobs)
        times.insert(FormatLastSpoolTime(job.m_spoolTime, true));
    EXPECT_EQ(times.size(), size_t(kJobs));
}

TEST(JobStream, OutsideServersSupplyAddressAndDigests)
{
    ScopedStateRoot root;
    for (const char* name : {"qeltamd5lib.dll", "resultreceiver.dll"}) {
        auto library = platform::Library::load(name);
        ASSERT_TRUE(library) << platform::Library::lastError();
        ASSERT_EQ(library->function<DllRegisterServerFn>("DllRegisterServer")(), S_OK);
    }
    const CRegistryHelper rtn(HKEY_CURRENT_USER, "SOFTWARE\\Kovra\\");
    rtn.WriteString("RTN", "FAXServerPort", "6000");
    rtn.WriteString("RTN", "FAXIPAddress", "192.0.2.5");
    rtn.WriteDword("RTN", "FAXRunning", 1);
    platform::com::initializeThread();

    auto build = [&](CQeltaJobTool& tool, std::string& text) {
        CJobStream stream;
        ASSERT_TRUE(tool.BuildStream("Quarterly", stream));
        text = readTextFile(stream.Path()).substr(kStreamPathField);
    };
    std::string imagePath = root.path() + "/img.tif";
    writeTextFile(imagePath, "IMAGE");
    platform::com::Ptr<IQeltaJobTool> tool;
    ASSERT_EQ(platform::com::createObject<CQeltaJobTool>(IQeltaJobTool::iid, tool.out()), S_OK);
    auto* impl = static_cast<CQeltaJobTool*>(tool.get());
    const_cast<CQeltaJob&>(impl->Job()).m_strImagePath = imagePath;
    ASSERT_EQ(tool->RegisterDocumentFiling2(1, platform::com::Bstr("Box").get(), platform::com::Bstr("12").get(),
                                            platform::com::Bstr("34").get()),
              S_OK);
    const_cast<CQeltaJob&>(impl->Job()).m_nModelType = 3;
    std::string text;
    build(*impl, text);
    EXPECT_NE(text.find("@PJL SET IPADDRESS=\"192.0.2.5:6000\"\r\n"), std::string::npos) << text;
    const std::string spool = FormatSpoolTimeText(impl->Job().m_spoolTime);
    EXPECT_NE(text.find("@PJL SET SPOOLTIME=\"" + spool + "\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("FILINGFOLDERPASSWORD=\"" + md5Hex(spool + "12") + "\""), std::string::npos) << text;
    EXPECT_NE(text.find("SUSPENDKEY=\"" + md5Hex("34" + spool) + "\""), std::string::npos);

    // The monitor stopped: the address line stays, empty.
    rtn.WriteDword("RTN", "FAXRunning", 0);
    platform::com::Ptr<IQeltaJobTool> stopped;
    ASSERT_EQ(platform::com::createObject<CQeltaJobTool>(IQeltaJobTool::iid, stopped.out()), S_OK);
    auto* second = static_cast<CQeltaJobTool*>(stopped.get());
    const_cast<CQeltaJob&>(second->Job()).m_strImagePath = imagePath;
    build(*second, text);
    EXPECT_NE(text.find("@PJL SET IPADDRESS=\"\"\r\n"), std::string::npos);
    platform::com::uninitializeThread();
}
