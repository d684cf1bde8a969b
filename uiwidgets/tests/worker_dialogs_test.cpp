// The worker dialogs driven offscreen: the posted protocol from a real worker thread, Escape
// without Cancel, Cancel while the worker runs, and the timer run without a worker.
#include "uiwidgets/worker_dialogs.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

struct Shared {
    std::atomic<bool> release{false};
    std::atomic<bool> sawStop{false};
    std::atomic<int> posts{0};
};

// Calls what on the event loop once the dialog is shown.
void WhenShown(QDialog& dialog, std::function<void()> what)
{
    auto* timer = new QTimer(&dialog);
    QObject::connect(timer, &QTimer::timeout, &dialog, [timer, &dialog, what] {
        if (!dialog.isVisible())
            return;
        timer->stop();
        what();
    });
    timer->start(10);
}

TEST(WorkerDialogs, ProgressFollowsThePostedProtocol)
{
    struct Case {
        const char* name;
        DialogWorker worker;
        int code, position;
    };
    const Case cases[] = {
        {"percent then code",
         [](void*, platform::EndpointHandle h) {
             platform::postMessage(h, ProgressMessage(), 1, 50);
             platform::postMessage(h, ProgressMessage(), 3, 7);
             return 0;
         },
         7, 50},
        {"end by returning",
         [](void*, platform::EndpointHandle h) {
             platform::postMessage(h, ProgressMessage(), 1, 30);
             return 0;
         },
         0, 30},
        {"bad percent ignored",
         [](void*, platform::EndpointHandle h) {
             platform::postMessage(h, ProgressMessage(), 1, 250);
             platform::postMessage(h, ProgressMessage(), 9, 1);
             return 0;
         },
         0, 0},
    };
    for (const Case& c : cases) {
        CDProgress dialog;
        EXPECT_EQ(dialog.Run("Converting", 1, c.worker, nullptr), QDialog::Accepted) << c.name;
        EXPECT_EQ(dialog.ResultCode(), c.code) << c.name;
        EXPECT_EQ(dialog.Position(), c.position) << c.name;
        EXPECT_EQ(dialog.windowTitle(), "Converting");
    }
}

TEST(WorkerDialogs, EscapeWithoutCancelWaitsForTheWorker)
{
    Shared shared;
    CDDiscover dialog;
    bool stillOpen = false;
    WhenShown(dialog, [&] {
        EXPECT_FALSE(dialog.findChild<QPushButton*>("id2")->isVisible());
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QApplication::processEvents();
        stillOpen = dialog.isVisible();
        shared.release = true;
    });
    const int result = dialog.Run("Search", "Searching...", 0,
        [](void* data, platform::EndpointHandle) {
            auto* s = static_cast<Shared*>(data);
            while (!s->release)
                std::this_thread::sleep_for(2ms);
            return 0;
        },
        &shared);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(result, QDialog::Accepted);
}

TEST(WorkerDialogs, CancelAsksTheWorkerToStopAndClosesWhenItEnded)
{
    for (int keepOpen = 0; keepOpen < 2; ++keepOpen) {
        Shared shared;
        CDProgress dialog;
        dialog.SetKeepOpen(keepOpen == 1, "Close");
        WhenShown(dialog, [&] { dialog.findChild<QPushButton*>("id2")->click(); });
        const int result = dialog.Run("", 1,
            [](void* data, platform::EndpointHandle h) {
                auto* s = static_cast<Shared*>(data);
                while (platform::endpointExists(h)) {
                    if (platform::postMessage(h, ProgressMessage(), 1, 10))
                        ++s->posts;
                    std::this_thread::sleep_for(2ms);
                }
                std::this_thread::sleep_for(20ms); // still busy after the request
                s->sawStop = true;
                return 0;
            },
            &shared);
        EXPECT_EQ(result, QDialog::Rejected);
        EXPECT_TRUE(shared.sawStop) << "closed before its worker ended";
        EXPECT_FALSE(dialog.WorkerRunning());
    }
}

TEST(WorkerDialogs, KeepOpenShowsDoneWhenTheWorkerReturns)
{
    CDProgress dialog;
    dialog.SetKeepOpen(true, "Close");
    auto* timer = new QTimer(&dialog);
    QObject::connect(timer, &QTimer::timeout, &dialog, [&] {
        auto* done = dialog.findChild<QPushButton*>("id1");
        if (dialog.isVisible() && !dialog.WorkerRunning() && done->isVisible()) {
            EXPECT_EQ(done->text(), "Close");
            done->click();
        }
    });
    timer->start(10);
    EXPECT_EQ(dialog.Run("", 0, [](void*, platform::EndpointHandle) { return 0; }, nullptr), QDialog::Accepted);
}

TEST(WorkerDialogs, DiscoverResultCodesAndTheTwoCancelFlags)
{
    // A worker that posts failure and returns: the dialog closes with 999 and the thread's own
    // closing post afterwards finds nothing to close.
    {
        CDDiscover dialog;
        EXPECT_EQ(dialog.Run("Update", "Updating...", 0, 0,
                             [](void*, platform::EndpointHandle h) {
                                 platform::postMessage(h, DiscoverMessage(), 3, 999);
                                 std::this_thread::sleep_for(30ms);
                                 return 999;
                             },
                             nullptr),
                  QDialog::Accepted);
        EXPECT_EQ(dialog.ResultCode(), 999);
        EXPECT_FALSE(dialog.WorkerRunning());
    }
    // Flag A shows Cancel; flag B alone hides it but Escape still cancels; either gives result 1.
    struct Case {
        int a, b;
        bool click;
        bool cancelShown;
    };
    for (const Case c : {Case{1, 0, true, true}, Case{0, 1, false, false}, Case{1, 1, false, true}}) {
        Shared shared;
        CDDiscover dialog;
        bool shown = false;
        WhenShown(dialog, [&] {
            shown = dialog.findChild<QPushButton*>("id2")->isVisible();
            if (c.click)
                dialog.findChild<QPushButton*>("id2")->click();
            else
                QTest::keyClick(&dialog, Qt::Key_Escape);
        });
        const int result = dialog.Run("Update", "Updating...", c.a, c.b,
            [](void*, platform::EndpointHandle h) {
                while (platform::endpointExists(h))
                    std::this_thread::sleep_for(2ms);
                return 0;
            },
            &shared);
        EXPECT_EQ(shown, c.cancelShown) << c.a << c.b;
        EXPECT_EQ(result, QDialog::Rejected) << c.a << c.b;
        EXPECT_EQ(dialog.ResultCode(), 1) << c.a << c.b;
    }
}

TEST(WorkerDialogs, WithoutAWorkerTheTimerEndsBoth)
{
    CDDiscover discover;
    EXPECT_EQ(discover.Run("Search", "Searching...", 0, nullptr, nullptr), QDialog::Accepted);
    CDProgress progress;
    EXPECT_EQ(progress.Run("", 0, nullptr, nullptr), QDialog::Accepted);
    EXPECT_EQ(progress.Position(), 90);
}

} // namespace
