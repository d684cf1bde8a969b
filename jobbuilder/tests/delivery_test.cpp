// Delivering a job stream: spooler page breaks, what each failing spooler call leaves behind, and
// the redirect file's names.
#include "jobbuilder/delivery.h"
#include "platform/com.h"
#include "platform/files.h"
#include "platform/spooler.h"
#include "platform/tests/support/recording_spooler.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <numeric>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using platform::RecordingSpooler;
using Step = RecordingSpooler::Step;

constexpr const char* kPrinter = "Office MFP";

// The page sizes the spooler must see: before each piece of 1024 bytes, a page ends when the
// bytes sent so far exceed the current boundary, which then moves on by length / pages.
std::vector<uint64_t> expectedPages(uint64_t length, uint64_t pages)
{
    std::vector<uint64_t> sizes{0};
    const uint64_t share = length / pages;
    uint64_t boundary = share;
    for (uint64_t sent = 0; sent < length;) {
        if (sent > boundary) {
            sizes.push_back(0);
            boundary += share;
        }
        const uint64_t piece = std::min<uint64_t>(1024, length - sent);
        sizes.back() += piece;
        sent += piece;
    }
    return sizes;
}

class DeliveryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        spooler_ = RecordingSpooler::install(kPrinter);
        job_.m_strImagePath = root_.path() + "/image.bin";
        job_.m_strUserName = "alice";
        job_.m_strPrinterName = kPrinter;
        job_.m_nModelType = 0;
        auto destination = std::make_unique<CJobDestination>();
        destination->m_strNumber = "0123";
        job_.m_destinations.push_back(std::move(destination));
    }
    void TearDown() override { platform::setSpooler(nullptr); }

    // A stream whose proper length is exactly `length` bytes (the image is sized to fit; the size
    // lines grow with the image's digits, so a second round settles it).
    void build(uint64_t length)
    {
        uint64_t image = 1000;
        for (int round = 0; round < 3; ++round) {
            setImageSize(image);
            ASSERT_TRUE(BuildJobStream(job_, "Report", inputs_, stream_));
            if (stream_.Length() == length)
                return;
            ASSERT_GT(length + image, stream_.Length());
            image = length + image - stream_.Length();
        }
        FAIL() << "no image size gives a stream of " << length << " bytes";
    }

    void setImageSize(uint64_t size)
    {
        std::string image(size, '\0');
        for (uint64_t i = 0; i < size; ++i)
            image[i] = static_cast<char>(i * 131 + 7);
        qelta::test::writeTextFile(job_.m_strImagePath, image);
    }

    // The stream proper, as the device must receive it.
    std::string streamBytes() const
    {
        std::string all = qelta::test::readTextFile(stream_.Path());
        return all.substr(kStreamPathField);
    }

    qelta::test::ScopedStateRoot root_;
    std::shared_ptr<RecordingSpooler> spooler_;
    CQeltaJob job_;
    CJobStreamInputs inputs_;
    CJobStream stream_;
};

} // namespace

TEST_F(DeliveryTest, SpoolerPagesBreakAfterThePieceThatPassesEachShare)
{
    build(30000);
    ASSERT_TRUE(DeliverToPrinter(stream_, kPrinter, "Report", 3));
    ASSERT_EQ(spooler_->documents().size(), 1u);
    const auto document = spooler_->documents()[0];
    EXPECT_TRUE(document.ended);
    EXPECT_EQ(document.dataType, "RAW");
    EXPECT_EQ(document.name, "Report");
    ASSERT_EQ(document.pages.size(), 3u);
    EXPECT_EQ(document.pages[0].size(), 10240u);
    EXPECT_EQ(document.pages[1].size(), 10240u);
    EXPECT_EQ(document.pages[2].size(), 9520u);
    EXPECT_EQ(document.pages[0] + document.pages[1] + document.pages[2], streamBytes());
}

TEST_F(DeliveryTest, PageBreaksForManySizesAndShortWrites)
{
    // Shares below one piece, exactly on piece boundaries and beyond the read block, and a spooler
    // that takes only part of each write.
    spooler_->limitWrites(700);
    struct Case {
        uint64_t length;
        int pages;
    };
    for (const Case c : {Case{30000, 7}, Case{4096 * 5, 5}, Case{250000, 2}, Case{3000, 9}, Case{200003, 1}}) {
        build(c.length);
        ASSERT_TRUE(DeliverToPrinter(stream_, kPrinter, "Report", c.pages)) << c.length;
        const auto document = spooler_->documents().back();
        std::vector<uint64_t> sizes;
        std::string joined;
        for (const auto& page : document.pages) {
            sizes.push_back(page.size());
            joined += page;
        }
        EXPECT_EQ(sizes, expectedPages(c.length, static_cast<uint64_t>(c.pages))) << c.length << "/" << c.pages;
        EXPECT_EQ(joined, streamBytes()) << c.length;
    }
}

TEST_F(DeliveryTest, PageCountBelowOneIsRefusedUntouched)
{
    build(5000);
    EXPECT_FALSE(DeliverToPrinter(stream_, kPrinter, "Report", 0));
    EXPECT_FALSE(DeliverToPrinter(stream_, kPrinter, "Report", -2));
    EXPECT_TRUE(spooler_->calls().empty());
}

TEST_F(DeliveryTest, EveryFailingSpoolerCallLeavesNoFinishedDocument)
{
    build(30000);
    struct Case {
        Step step;
        int occurrence;
        bool started; // a document exists and must end up cancelled
    };
    const Case cases[] = {{Step::Open, 1, false},     {Step::StartDocument, 1, false}, {Step::StartPage, 1, true},
                          {Step::StartPage, 2, true}, {Step::Write, 2, true},          {Step::EndPage, 1, true},
                          {Step::EndPage, 3, true},   {Step::EndDocument, 1, true}};
    for (const Case& c : cases) {
        auto spooler = RecordingSpooler::install(kPrinter);
        spooler->failAt(c.step, c.occurrence);
        EXPECT_FALSE(DeliverToPrinter(stream_, kPrinter, "Report", 3)) << static_cast<int>(c.step);
        const auto documents = spooler->documents();
        ASSERT_EQ(documents.size(), c.started ? 1u : 0u) << static_cast<int>(c.step);
        if (c.started) {
            EXPECT_FALSE(documents[0].ended) << static_cast<int>(c.step);
            EXPECT_TRUE(documents[0].cancelled) << static_cast<int>(c.step);
        }
        if (c.step != Step::Open) {
            EXPECT_EQ(spooler->calls().back(), "close") << static_cast<int>(c.step);
        }
    }
    EXPECT_FALSE(DeliverToPrinter(stream_, "Unknown printer", "Report", 3));
    EXPECT_EQ(platform::com::takeErrorInfo(), "the print queue \"Unknown printer\" cannot be opened (no such queue, or "
                                              "the print server cannot be reached)");
}

TEST_F(DeliveryTest, RedirectTargetNamesAndContent)
{
    build(70000);
    const std::string p = root_.path() + "/out/job.pjl";
    ASSERT_TRUE(platform::createDirectories(root_.path() + "/out"));
    EXPECT_FALSE(CreateRedirectTarget(""));

    auto first = CreateRedirectTarget(p);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->path, p);
    ASSERT_TRUE(DeliverToFile(stream_, std::move(*first)));
    EXPECT_EQ(qelta::test::readTextFile(p), streamBytes());

    // An existing file is never touched: the next free numbered name is taken.
    auto second = CreateRedirectTarget(p);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->path, p + ".0");
    ::close(second->fd);
    qelta::test::writeTextFile(p + ".1", "earlier");
    auto third = CreateRedirectTarget(p);
    ASSERT_TRUE(third);
    EXPECT_EQ(third->path, p + ".2");
    ::close(third->fd);
    EXPECT_EQ(qelta::test::readTextFile(p + ".1"), "earlier");
    EXPECT_EQ(qelta::test::readTextFile(p), streamBytes());

    for (int n = 3; n <= 255; ++n)
        qelta::test::writeTextFile(p + "." + std::to_string(n), "");
    EXPECT_FALSE(CreateRedirectTarget(p)) << "all numbered names are taken";
    EXPECT_FALSE(platform::pathExists(p + ".256"));
    platform::com::takeErrorInfo();
    EXPECT_FALSE(CreateRedirectTarget(root_.path() + "/missing/job.pjl"));
    EXPECT_EQ(platform::com::takeErrorInfo(),
              "cannot create the job file " + root_.path() + "/missing/job.pjl: No such file or directory")
        << "the reason names the file and the system's text";
}

TEST_F(DeliveryTest, FailedFileDeliveryRemovesTheTarget)
{
    build(5000);
    const std::string p = root_.path() + "/job.pjl";
    auto target = CreateRedirectTarget(p);
    ASSERT_TRUE(target);
    // The stream file shrinks under the delivery: the copy cannot be completed.
    ASSERT_EQ(::ftruncate(stream_.Descriptor(), 1000), 0);
    EXPECT_FALSE(DeliverToFile(stream_, std::move(*target)));
    EXPECT_FALSE(platform::pathExists(p));
    EXPECT_EQ(platform::com::takeErrorInfo(), "cannot write the job file " + p);
}
