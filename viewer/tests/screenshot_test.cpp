// Pictures of the viewer for the review: the sample fax in each display mode, zoomed and turned,
// and the About box, saved to the screenshots folder.
#include "platform/tests/support/test_support.h"
#include "sample/sample_run.h"
#include "uiwidgets/qt_prompter.h"
#include "viewer/app/main_frame.h"

#include <QDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace viewer;

namespace {

void save(QWidget& widget, const char* name)
{
    QDir().mkpath(QStringLiteral(QELTA_SCREENSHOT_DIR));
    const QString file = QStringLiteral(QELTA_SCREENSHOT_DIR "/pageviewer-%1.png").arg(QString::fromLatin1(name));
    EXPECT_TRUE(widget.grab().save(file)) << file.toStdString();
}

} // namespace

TEST(Screenshots, TheSampleFaxInEachModeZoomedTurnedAndAbout)
{
    qelta::test::ScopedStateRoot root;
    const std::string fax = root.path() + "/sample-fax.tif";
    ASSERT_TRUE(WriteSampleFax(fax, 3));
    CQtPrompter prompter;
    CViewerSettings settings;
    auto frame = StartPageViewer({"/T\"Sample fax\"", "/P", "\"" + fax + "\""}, prompter, settings, 1920);
    ASSERT_TRUE(frame);
    frame->resize(1000, 760);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    // Each display mode as it opens, then zoomed in one step and turned to the left.
    const struct {
        int mode;
        const char* name;
    } modes[] = {{ID_VIEW_PAGE_AND_REDUCED, "page-and-reduced"}, {ID_VIEW_ENTIRE_PAGE, "entire-page"},
                 {ID_VIEW_REDUCED, "reduced"}};
    for (const auto& m : modes) {
        frame->OnCommand(m.mode);
        save(*frame, m.name);
        frame->OnCommand(ID_VIEW_ENLARGE);
        frame->OnCommand(ID_VIEW_ROTATE_LEFT);
        save(*frame, (std::string(m.name) + "-zoomed-turned").c_str());
        frame->OnCommand(ID_PAGE_NEXT);
    }
    CAboutDlg about(frame.get());
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    save(about, "about");
}
