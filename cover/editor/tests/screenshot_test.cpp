// Pictures of the cover sheet editor for the review: the sheet in its frame, the About box, the
// Save As dialog with its folder list, the font dialog, a context menu and both previews, saved to the screenshots folder.
#include "common/registry_helper.h"
#include "cover/editor/app/main_frame.h"
#include "platform/endpoint.h"
#include "platform/files.h"
#include "platform/tests/support/test_support.h"
#include "sample/sample_run.h"
#include "uiwidgets/font_dialog.h"
#include "uiwidgets/qt_prompter.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstring>

using namespace cvr;

namespace {

void save(QWidget& widget, const char* name)
{
    QDir().mkpath(QStringLiteral(QELTA_SCREENSHOT_DIR));
    const QString file = QStringLiteral(QELTA_SCREENSHOT_DIR "/covereditor-%1.png").arg(QString::fromLatin1(name));
    EXPECT_TRUE(widget.grab().save(file)) << file.toStdString();
}

} // namespace

TEST(Screenshots, TheSheetAboutSaveAsAndFont)
{
    qelta::test::ScopedStateRoot root;
    std::string error;
    const auto cover = PrepareSampleCover(error);
    ASSERT_TRUE(cover) << error;
    platform::writeFileAtomic(root.path() + "/covers/cover.fdr", "");
    platform::writeFileAtomic(root.path() + "/covers/Sales.fdr", "");

    CQtPrompter prompter;
    CQtScreenMetrics metrics;
    CtqHeaderApp app(prompter, metrics);
    ASSERT_TRUE(app.InitInstance({StartRequest::Path, *cover}, nullptr));
    CtqMainFrame& frame = *app.Frame();
    frame.resize(1000, 760);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    frame.OnCommand(ID_GRID_SHOW);
    QTest::mouseClick(frame.View()->viewport(), Qt::LeftButton, {}, QPoint(300, 140));
    save(frame, "sheet");
    // The context menu of the first frame line on the sheet.
    QPoint at(-1, -1);
    CtqHeaderDoc& doc = app.Document();
    for (size_t i = 0; i < doc.m_objects.GetSize() && at.x() < 0; ++i) {
        CtqRect* object = doc.m_objects.GetAt(i);
        if (dynamic_cast<CtqDrawingFrameRect*>(object)) {
            const gdi::RECT r = frame.View()->Logic().Conversion().ToDevice(object->GetRect());
            frame.View()->ScrollIntoView(object);
            const gdi::POINT scroll = frame.View()->GetScrollPosition();
            at = QPoint(r.left + 4 - scroll.x, (r.top + r.bottom) / 2 - scroll.y);
        }
    }
    if (QMenu* menu = frame.View()->ContextMenuAt(at)) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
        save(*menu, "context-menu");
        menu->close();
    } else {
        ADD_FAILURE() << "no context menu on the selected object";
    }
    for (const auto& [command, name] : {std::pair{57609, "print-preview"}, std::pair{32835, "preview"}}) {
        ASSERT_TRUE(frame.StartPreview(command == 57609));
        QTest::qWait(50);
        save(frame, name);
        frame.ClosePreview();
    }

    CAboutDlg about(&frame);
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    save(about, "about");
    about.close();

    bool listed = false;
    CQtPrompter::SetFileDialogHook([&](QFileDialog& dialog) {
        QTimer::singleShot(500, &dialog, [&] { // the folder's files are listed meanwhile
            auto* list = dialog.findChild<QComboBox*>(QStringLiteral("id1073"));
            listed = list && list->count() == 3 && list->findText(QStringLiteral("Cover sheet")) > 0
                     && list->findText(QStringLiteral("Sales")) > 0;
            dialog.resize(760, 480);
            save(dialog, "save-as");
            dialog.reject();
        });
    });
    frame.OnCommand(57604);
    CQtPrompter::SetFileDialogHook({});
    EXPECT_TRUE(listed) << "the folder list: Do not store, Cover sheet, Sales";

    gdi::LOGFONTA font;
    std::strcpy(font.lfFaceName, "DejaVu Serif");
    font.lfWeight = 700;
    CCustomFontDlg dialog(font, 140, &frame);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    save(dialog, "font");
}
