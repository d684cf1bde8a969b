// The real covereditor program as separate processes: one editor per user, the hand-over of a
// second editor's command line, and two editors started at once.
#include "cover/editor/app/main_frame.h"
#include "common/registry_helper.h"
#include "platform/endpoint.h"
#include "platform/files.h"
#include "platform/tests/support/test_support.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <gtest/gtest.h>

using qelta::test::ScopedStateRoot;

namespace {

std::unique_ptr<QProcess> startEditor(const ScopedStateRoot& root, const QStringList& args)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QELTA_ROOT"), QString::fromStdString(root.path()));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(QStringLiteral(COVEREDITOR_PATH), args);
    EXPECT_TRUE(process->waitForStarted(10000));
    return process;
}

} // namespace

TEST(CoverEditorProcess, ASecondEditorHandsItsWholePathOverAndEndsWithZero)
{
    ScopedStateRoot root;
    // The test stands in for a running editor.
    auto first = platform::Endpoint::create(cvr::kFrameClass, "Cover Sheet Editor");
    ASSERT_TRUE(first);
    const std::string path = root.path() + "/" + std::string(300, 'n') + ".TQC";
    auto second = startEditor(root, {QString::fromStdString(path)});
    ASSERT_TRUE(second->waitForFinished(20000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    platform::PostedMessage message;
    ASSERT_TRUE(first->receive(message, 2000));
    EXPECT_EQ(message.message, platform::registerMessage(cvr::kOpenDocMessage));
    EXPECT_EQ(message.text, path) << "the whole path, not cut at 255 characters";

    // Without an argument the first editor is only raised: the post carries no text.
    auto third = startEditor(root, {});
    ASSERT_TRUE(third->waitForFinished(20000));
    EXPECT_EQ(third->exitCode(), 0);
    ASSERT_TRUE(first->receive(message, 2000));
    EXPECT_TRUE(message.text.empty());
}

TEST(CoverEditorProcess, OfTwoEditorsStartedAtOnceOneRuns)
{
    ScopedStateRoot root;
    auto a = startEditor(root, {QStringLiteral("/e")});
    auto b = startEditor(root, {QStringLiteral("/e")});
    // One hands over and ends; the other keeps running with the endpoint.
    const bool aEnded = a->waitForFinished(20000);
    const bool bEnded = aEnded ? b->waitForFinished(3000) : b->waitForFinished(20000);
    EXPECT_NE(aEnded, bEnded) << "exactly one of them ends";
    QProcess* ended = aEnded ? a.get() : b.get();
    QProcess* running = aEnded ? b.get() : a.get();
    EXPECT_EQ(ended->exitCode(), 0);
    EXPECT_NE(platform::findEndpointByClass(cvr::kFrameClass), 0u);
    running->kill();
    running->waitForFinished(10000);
}

TEST(CoverEditorProcess, TheTrialRunScriptOpensTheSampleSheetOfTheStateFolder)
{
    ScopedStateRoot root;
    QProcess script;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QELTA_BIN"), QStringLiteral(BIN_DIR));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    script.setProcessEnvironment(environment);
    script.start(QStringLiteral("bash"), {QStringLiteral(SOURCE_DIR "/scripts/run-covereditor.sh"), QStringLiteral("--state"),
                                          QString::fromStdString(root.path())});
    ASSERT_TRUE(script.waitForStarted(10000));
    // The script becomes the editor: it runs, holding the one-editor endpoint of the state folder.
    for (int i = 0; i < 200 && platform::findEndpointByClass(cvr::kFrameClass) == 0; ++i)
        QThread::msleep(50);
    EXPECT_NE(platform::findEndpointByClass(cvr::kFrameClass), 0u);
    EXPECT_EQ(script.state(), QProcess::Running);
    EXPECT_TRUE(platform::pathExists(root.path() + "/covers/Sample.TQC"));
    EXPECT_EQ(CRegistryHelper(HKEY_LOCAL_MACHINE, kProductKeyPrefix).ReadString(kProductSubkey, "CvrEditor", ""), "covereditor");
    script.kill();
    script.waitForFinished(10000);
    const QString output = QString::fromUtf8(script.readAllStandardOutput());
    EXPECT_TRUE(output.contains(QStringLiteral("Starting: covereditor ") + QString::fromStdString(root.path()) + QStringLiteral("/covers/Sample.TQC")))
        << output.toStdString();
}
