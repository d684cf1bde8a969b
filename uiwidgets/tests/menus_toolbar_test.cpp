// The shared menu pictures, hooks, flat toolbar with font combos and font dialog.
#include "uiwidgets/control_name.h"
#include "uiwidgets/cool_menu.h"
#include "uiwidgets/font_dialog.h"
#include "uiwidgets/toolbar_ex.h"

#include <QAction>
#include <QComboBox>
#include <QFontDatabase>
#include <QLineEdit>
#include <QListWidget>
#include <QSet>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <cstring>
#include <gtest/gtest.h>

namespace {

// A strip of n images of a size: image i is grey with a black square of side i + 1 in its corner.
QImage strip(int n, QSize size)
{
    QImage image(size.width() * n, size.height(), QImage::Format_RGB32);
    image.fill(QColor(192, 192, 192));
    for (int i = 0; i < n; ++i)
        for (int y = 0; y <= i; ++y)
            for (int x = 0; x <= i; ++x)
                image.setPixel(i * size.width() + x, y, qRgb(0, 0, 0));
    return image;
}

class Recorder : public CSubclassWnd {
public:
    Recorder(std::vector<std::string>& log, std::string name, bool stop) : m_Log(log), m_Name(std::move(name)), m_bStop(stop) {}

protected:
    bool OnHookedEvent(QEvent* event) override
    {
        if (event->type() != QEvent::User)
            return CSubclassWnd::OnHookedEvent(event);
        m_Log.push_back(m_Name);
        return m_bStop || CSubclassWnd::OnHookedEvent(event);
    }

private:
    std::vector<std::string>& m_Log;
    std::string m_Name;
    bool m_bStop;
};

} // namespace

TEST(SharedMenus, HooksChainLastFirstAndADestroyedWidgetDropsThem)
{
    std::vector<std::string> log;
    auto* widget = new QWidget;
    Recorder first(log, "first", false), second(log, "second", false), stopper(log, "stopper", true);
    first.HookWindow(widget);
    second.HookWindow(widget);
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(widget, &event);
    EXPECT_EQ(log, (std::vector<std::string>{"second", "first"}));
    log.clear();
    stopper.HookWindow(widget);
    second.HookWindow(nullptr); // out of the middle of the chain
    QCoreApplication::sendEvent(widget, &event);
    EXPECT_EQ(log, (std::vector<std::string>{"stopper"}));
    delete widget;
    EXPECT_FALSE(first.IsHooked());
    EXPECT_FALSE(stopper.IsHooked());
}

TEST(SharedMenus, ImagesByCommandKeysAfterATabAndForeignItemsLeftAlone)
{
    CCoolMenuManager manager;
    EXPECT_FALSE(manager.LoadToolbar(QImage(), {1, 2}, QSize(21, 21))) << "a missing strip";
    EXPECT_FALSE(manager.LoadToolbar(strip(1, QSize(21, 21)), {1, 2}, QSize(21, 21))) << "a strip too short for its ids";
    ASSERT_TRUE(manager.LoadToolbar(strip(3, QSize(21, 21)), {100, 0, 101, 102}, QSize(21, 21)));
    EXPECT_FALSE(manager.LoadToolbar(strip(2, QSize(16, 15)), {200, 201}, QSize(16, 15))) << "a second image size";
    ASSERT_TRUE(manager.LoadToolbar(strip(2, QSize(21, 21)), {101, 103}, QSize(21, 21)));
    EXPECT_EQ(manager.ImageIndex(100), 0);
    EXPECT_EQ(manager.ImageIndex(101), 1) << "a command keeps its first image";
    EXPECT_EQ(manager.ImageIndex(102), 2);
    EXPECT_EQ(manager.ImageIndex(103), 3);
    EXPECT_EQ(manager.ImageIndex(200), -1);

    // The image of command 102: a 3 x 3 black square, the strip's grey transparent.
    const QImage image = manager.Icon(102).pixmap(QSize(21, 21)).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(image.pixel(2, 2), qRgb(0, 0, 0));
    EXPECT_EQ(qAlpha(image.pixel(3, 3)), 0);
    // Disabled: embossed, a highlight one pixel right and down under the shadow.
    const QImage embossed = EmbossedImage(manager.Icon(102).pixmap(QSize(21, 21)).toImage(), Qt::white, Qt::gray);
    EXPECT_EQ(embossed.pixel(0, 0), QColor(Qt::gray).rgba());
    EXPECT_EQ(embossed.pixel(3, 3), QColor(Qt::white).rgba());
    EXPECT_EQ(qAlpha(embossed.pixel(4, 4)), 0);

    manager.SetAccelerators({{QKeySequence(Qt::CTRL | Qt::Key_S), 100}, {QKeySequence(Qt::Key_F2), 100},
                             {QKeySequence(Qt::CTRL | Qt::Key_PageDown), 101}});
    EXPECT_EQ(manager.KeyText(100), QStringLiteral("\tCtrl+S, F2"));
    EXPECT_EQ(manager.KeyText(101), QStringLiteral("\tCtrl+PgDown"));
    EXPECT_EQ(manager.KeyText(102), QString());

    QMainWindow frame;
    QMenu* menu = frame.menuBar()->addMenu(QStringLiteral("&File"));
    QAction* save = menu->addAction(QStringLiteral("&Save\tOld"));
    save->setObjectName(QStringLiteral("id100"));
    QAction* foreign = menu->addAction(QStringLiteral("&Other"));
    foreign->setObjectName(QStringLiteral("id101"));
    foreign->setData(42);
    manager.Install(&frame);
    manager.ConvertMenu(menu);
    EXPECT_EQ(save->text(), QStringLiteral("&Save\tCtrl+S, F2"));
    EXPECT_FALSE(save->icon().isNull());
    EXPECT_EQ(foreign->text(), QStringLiteral("&Other"));
    EXPECT_TRUE(foreign->icon().isNull());
    EXPECT_EQ(foreign->data().toInt(), 42);

    manager.m_bAutoAccel = false; // the editor's menus carry their own key texts
    save->setText(QStringLiteral("&Save\tCtrl+S"));
    manager.ConvertMenu(menu);
    EXPECT_EQ(save->text(), QStringLiteral("&Save\tCtrl+S"));
}

TEST(SharedToolbar, FontCombosSendTheirCommandsAndTakeDigitsOnly)
{
    QMainWindow frame;
    CCoolMenuManager images;
    const std::vector<int> ids = {1, 0, 2, 3, 0, 4, 5, 6, 0, 7, 8, 0, 15000, 0, 15001, 0, 15002, 15003, 15004};
    ASSERT_TRUE(images.LoadToolbar(strip(13, QSize(21, 21)), ids, QSize(21, 21)));
    auto* bar = new CFontToolBar(&frame);
    std::map<int, QAction*> actions;
    bar->LoadButtons(ids, images, [&](int id) {
        auto* action = new QAction(&frame);
        action->setObjectName(QStringLiteral("id%1").arg(id));
        return actions[id] = action;
    });
    std::vector<int> sent;
    int focused = 0;
    bar->SetHandlers([&](int command) { sent.push_back(command); }, [&] { ++focused; });
    ASSERT_TRUE(bar->CreateFontCombos());
    frame.addToolBar(bar);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));

    QComboBox* name = bar->NameCombo();
    QComboBox* size = bar->SizeCombo();
    EXPECT_EQ(name->objectName(), QStringLiteral("id15000"));
    EXPECT_EQ(size->objectName(), QStringLiteral("id15001"));
    EXPECT_EQ(bar->SlotAction(CFontToolBar::kNameSlot), bar->actions()[CFontToolBar::kNameSlot]);
    EXPECT_GT(name->count(), 0);
    EXPECT_EQ(size->count(), 16);
    EXPECT_EQ(size->itemText(15), QStringLiteral("72"));

    const struct {
        const char* typed;
        bool sends;
        int size;
    } rows[] = {{"13", true, 13}, {"1a", false, 0}, {"", false, 0}, {"72", true, 72}};
    for (const auto& r : rows) {
        sent.clear();
        size->lineEdit()->setText(QString::fromLatin1(r.typed));
        size->lineEdit()->setFocus();
        QTest::keyClick(size->lineEdit(), Qt::Key_Return);
        EXPECT_EQ(sent, r.sends ? std::vector<int>{15001} : std::vector<int>{}) << r.typed;
        EXPECT_EQ(bar->GetSize(), r.size) << r.typed;
    }
    bar->ShowSize(36);
    EXPECT_EQ(size->currentText(), QStringLiteral("36"));
    bar->ShowSize(13);
    EXPECT_EQ(size->currentText(), QStringLiteral("13")) << "a size not in the list is typed in";
    // Each size shown as given, in or out of the list, one after another.
    for (const int points : {13, 15, 13, 12, 15, 12, 12, 72, 9}) {
        bar->ShowSize(points);
        EXPECT_EQ(size->currentText(), QString::number(points));
    }

    gdi::LOGFONTA current;
    current.lfHeight = 33;
    current.lfWeight = 700;
    current.lfItalic = 1;
    gdi::LOGFONTA chosen;
    bar->ShowFace(Utf8Text(name->itemText(name->count() - 1)));
    ASSERT_EQ(bar->GetChosenFont(current, chosen), 0);
    EXPECT_EQ(QString::fromUtf8(chosen.lfFaceName), name->itemText(name->count() - 1));
    EXPECT_EQ(chosen.lfHeight, 33);
    EXPECT_EQ(chosen.lfWeight, 700);
    EXPECT_EQ(chosen.lfItalic, 1);

    sent.clear();
    name->setFocus();
    QTest::keyClick(name, Qt::Key_Escape);
    EXPECT_GE(focused, 1);
    EXPECT_TRUE(sent.empty());
}

TEST(SharedFontDialog, TakesAndGivesTheFontAndHidesItsColours)
{
    gdi::LOGFONTA font;
    std::strcpy(font.lfFaceName, "DejaVu Sans");
    font.lfWeight = 700;
    font.lfUnderline = 1;
    CCustomFontDlg dialog(font, 120, nullptr);
    dialog.SetCaption(QStringLiteral("Text font"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Text font"));
    const gdi::LOGFONTA same = dialog.Font();
    EXPECT_EQ(same.lfWeight, 700);
    EXPECT_EQ(same.lfItalic, 0);
    EXPECT_EQ(same.lfUnderline, 1);
    EXPECT_EQ(dialog.PointSizeTenths(), 120);
    dialog.show();
    auto* colour = dialog.findChild<QComboBox*>(QStringLiteral("id1139"));
    ASSERT_NE(colour, nullptr);
    EXPECT_EQ(colour->count(), 16);
    EXPECT_TRUE(colour->isVisible());
    dialog.ShowColours(false);
    EXPECT_FALSE(colour->isVisible());
    auto* size = dialog.findChild<QComboBox*>(QStringLiteral("id1138"));
    size->setEditText(QStringLiteral("10.5"));
    EXPECT_EQ(dialog.PointSizeTenths(), 105);
    // The size box is wide enough for a size with tenths; what is no size gives 0.
    EXPECT_GE(size->lineEdit()->width(), size->lineEdit()->fontMetrics().horizontalAdvance(QStringLiteral("11.9")));
    for (const char* none : {"abc", "", "0", "-3", "1e10", "1639"}) {
        size->setEditText(QString::fromLatin1(none));
        EXPECT_EQ(dialog.PointSizeTenths(), 0) << none;
    }
    // The face list names families as desktop dialogs do: no foundries, each once.
    auto* faces = dialog.findChild<QListWidget*>(QStringLiteral("id1136"));
    QStringList shown;
    for (int i = 0; i < faces->count(); ++i)
        shown.push_back(faces->item(i)->text());
    EXPECT_FALSE(shown.filter(QStringLiteral(" [")).size() > 0) << shown.filter(QStringLiteral(" [")).join(", ").toStdString();
    EXPECT_EQ(QSet<QString>(shown.begin(), shown.end()).size(), shown.size());
    EXPECT_TRUE(shown.contains(QStringLiteral("DejaVu Sans")));
    // A face that is not installed shows a stand-in and stays the font's face until another is chosen.
    std::strcpy(font.lfFaceName, "No Such Face Installed");
    CCustomFontDlg missing(font, 120, nullptr);
    auto* missingFaces = missing.findChild<QListWidget*>(QStringLiteral("id1136"));
    ASSERT_NE(missingFaces->currentItem(), nullptr);
    EXPECT_STREQ(missing.Font().lfFaceName, "No Such Face Installed");
    missingFaces->setCurrentRow((missingFaces->currentRow() + 1) % missingFaces->count());
    EXPECT_EQ(QString::fromUtf8(missing.Font().lfFaceName), missingFaces->currentItem()->text());
    dialog.SetColour(QColor(255, 0, 0));
    EXPECT_EQ(dialog.Colour(), QColor(255, 0, 0));
}
