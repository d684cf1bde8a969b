// Pictures of the viewer for the review: the sample fax in each display mode, zoomed and turned,
// the page with one annotation of each kind and the tilt tool's reference line, and the About box,
// saved to the screenshots folder.
#include "platform/tests/support/test_support.h"
#include "sample/sample_run.h"
#include "uiwidgets/qt_prompter.h"
#include "viewer/app/main_frame.h"

#include <QDir>
#include <QScrollBar>

#include <cstring>
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

// One annotation of each kind on page 0, in the page's own orientation.
void AddOneOfEachKind(CAnnotationLayer& layer, int width, int height)
{
    gdi::LOGFONTA font;
    font.lfHeight = -16;
    std::strcpy(font.lfFaceName, "DejaVu Sans");
    const auto add = [&](int kind, gdi::RECT rect, uint32_t colour, int pen, const char* text) {
        auto item = std::make_unique<CAnnotationItem>();
        item->kind = kind;
        item->rect = rect;
        item->colour = colour;
        item->width = pen;
        item->text = text;
        item->font = font;
        item->pageWidth = width;
        item->pageHeight = height;
        return layer.Append(std::move(item));
    };
    auto& items = layer.Items();
    const int freehand = add(kAnnotFreehand, {120, 200, 520, 320}, 0x0000FF, 3, "");
    for (int i = 0; i <= 8; ++i)
        items[static_cast<size_t>(freehand)]->points.push_back({120 + 50 * i, i % 2 ? 320 : 200});
    add(kAnnotMarker, {120, 380, 900, 440}, 0x00FFFF, 0, "");
    const int line = add(kAnnotLine, {120, 500, 900, 620}, 0xFF0000, 4, "");
    items[static_cast<size_t>(line)]->x1 = 120;
    items[static_cast<size_t>(line)]->y1 = 500;
    items[static_cast<size_t>(line)]->x2 = 900;
    items[static_cast<size_t>(line)]->y2 = 620;
    add(kAnnotRectangle, {1000, 200, 1500, 500}, 0x008000, 3, "");
    add(kAnnotPaintRectangle, {1050, 250, 1250, 350}, 0x808080, 0, "");
    add(kAnnotText, {120, 700, 800, 800}, 0x000000, 0, "Please call back before noon");
    const int memo = add(kAnnotPatchMemo, {900, 700, 1500, 900}, 0x000080, 0, "Signed copy follows by post");
    items[static_cast<size_t>(memo)]->background = 0x80FFFF;
    add(kAnnotTextFile, {120, 950, 900, 1100}, 0x000000, 0, "Text copied from a file:\nline two");
    add(kAnnotStamp, {1000, 1000, 1600, 1080}, 0x0000FF, 0, "RECEIVED 10/12/26 09:05");
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

    // Editing set here (the program never allows it): one annotation of each kind and the tilt
    // tool's reference line.
    frame->OnCommand(ID_PAGE_FIRST);
    frame->OnCommand(ID_VIEW_PAGE_AND_REDUCED);
    frame->OnCommand(ID_VIEW_RESTORE);
    CTqlVwTLPageView& view = *frame->PageView();
    view.PageState().SetEditingAllowed(1);
    const CPageImage& page = *frame->Document().Pages()[0];
    AddOneOfEachKind(view.Layer(), page.Width(), page.Height());
    view.PageState().SetTool(kToolTilt);
    const int zoomed = static_cast<int>(1300 * view.ZoomScale());
    view.Layer().Tilt().StartLine(40, zoomed);
    view.Layer().Tilt().MoveLine(view.viewport()->width() - 40, zoomed + 12);
    view.Layer().Tilt().EndLine(view.viewport()->width() - 40, zoomed + 12);
    view.PageState().SetTiltLine(1);
    view.viewport()->update();
    save(*frame, "annotations");

    CAboutDlg about(frame.get());
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    save(about, "about");
}
