// devicelistlib and the spooler's listing over a real CUPS server: a private cupsd on the loopback
// interface whose queues are made and removed by the test.
#include "devicelist/devicelist.h"
#include "platform/spooler.h"
#include "platform/tests/support/cups_server.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cups/cups.h>

#include <algorithm>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

class DeviceListCups : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        server_ = std::make_unique<qelta::test::CPrivateCupsServer>();
        ready_ = server_->Start(why_);
    }
    static void TearDownTestSuite() { server_.reset(); }

    void SetUp() override
    {
        if (!ready_)
            return qelta::test::SkipOrFailWithoutCups(why_);
        // Every CUPS client of this thread talks to the private server.
        cupsSetServer(server_->Address().c_str());
        platform::setSpooler(nullptr);
    }

    static bool Listed(const std::string& entry)
    {
        const int count = DEVICELISTLIB_GetNumberOfListedPrinter();
        for (int i = 0; i < count; ++i) {
            std::string listed;
            if (DEVICELISTLIB_GetPrinterList(i, listed) && listed == entry)
                return true;
        }
        return false;
    }

    static inline std::unique_ptr<qelta::test::CPrivateCupsServer> server_;
    static inline std::string why_;
    static inline bool ready_ = false;
};

TEST_F(DeviceListCups, AQueueIsListedWithItsModelAndLocationUntilItIsRemoved)
{
    std::string why;
    ASSERT_TRUE(server_->AddQueue("qelta_listed", "Qelta: MX-7", "Room 3: shelf 2", why)) << why;
    const std::string entry = "Qelta  MX-7:qelta_listed:Room 3: shelf 2";

    ASSERT_EQ(DEVICELISTLIB_UpdatePrinterList(nullptr), 1);
    EXPECT_TRUE(Listed(entry));
    EXPECT_TRUE(Listed("Local Raw Printer:" + server_->Queue() + ":"));
    EXPECT_EQ(DEVICELISTLIB_ValidPrinter("qelta_listed"), 1);
    const auto destinations = platform::currentSpooler()->listDestinations(5s);
    ASSERT_TRUE(destinations);
    EXPECT_TRUE(std::any_of(destinations->begin(), destinations->end(), [](const platform::Destination& d) {
        return d.name == "qelta_listed" && d.makeAndModel == "Qelta: MX-7" && d.location == "Room 3: shelf 2";
    }));

    ASSERT_TRUE(server_->RemoveQueue("qelta_listed"));
    ASSERT_EQ(DEVICELISTLIB_UpdatePrinterList(nullptr), 1);
    EXPECT_FALSE(Listed(entry));
    EXPECT_EQ(DEVICELISTLIB_ValidPrinter("qelta_listed"), 0);
}

TEST_F(DeviceListCups, AServerThatNeverAnswersFailsTheListingInTime)
{
    // A listener that takes the connection and says nothing.
    int port = 0;
    const int s = qelta::test::listenOnLoopback(4, port);
    ASSERT_GE(s, 0);
    const std::string silent = "127.0.0.1:" + std::to_string(port);
    cupsSetServer(silent.c_str());

    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(platform::makeCupsSpooler()->listDestinations(500ms));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
    ::close(s);
}

} // namespace
