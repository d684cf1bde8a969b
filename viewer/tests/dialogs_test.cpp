// The viewer's dialogs as widgets, offscreen: each driven once through its controls, its keyboard
// order checked against its layout, and a picture of each saved under "screenshots".
#include "common/resource_locale.h"
#include "platform/files.h"
#include "uiwidgets/control_name.h"
#include "uiwidgets/font_dialog.h"
#include "uiwidgets/tests/support/layout_order.h"
#include "viewer/app/main_frame.h"
#include "viewer/dialogs/viewer_dialogs.h"
#include "viewer/tests/viewer_test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <cstring>
#include <filesystem>
#include <memory>

namespace {

using namespace viewer_test;
namespace fs = std::filesystem;

template <typename W>
W* Find(QWidget& dialog, int id)
{
    W* widget = dialog.findChild<W*>(ControlName(id));
    EXPECT_NE(widget, nullptr) << "control " << id;
    return widget;
}

void Spin(QWidget& dialog, int id, const char* direction, int times)
{
    auto* spin = Find<QWidget>(dialog, id);
    auto* button = spin->findChild<QToolButton*>(QString::fromLatin1(direction));
    for (int i = 0; i < times; ++i)
        QTest::mouseClick(button, Qt::LeftButton);
}

// Shows the dialog, checks its Tab order and saves its picture.
void Check(QDialog& dialog, const std::string& name)
{
    dialog.show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(qelta::test::TabOrderFollowsLayout(&dialog)) << name;
    const std::string folder = QELTA_SCREENSHOT_DIR;
    platform::createDirectories(folder);
    const std::string file = folder + "/pageviewer-" + name + ".png";
    platform::removeFile(file);
    EXPECT_TRUE(dialog.grab().save(QString::fromStdString(file))) << file;
}

class NoFonts : public IFontChooser {
public:
    bool Choose(gdi::LOGFONTA& font, uint32_t& colour) override
    {
        ++asked;
        std::strcpy(font.lfFaceName, "Serif");
        colour = 0x0000FF;
        return true;
    }
    int asked = 0;
};

TEST(ViewerDialogs, ChangeFileFormat)
{
    CChangeFileFormatDlg dialog;
    auto* format = Find<QComboBox>(dialog, IDC_FORMAT_LIST);
    auto* sub = Find<QComboBox>(dialog, IDC_SUBFORMAT_LIST);
    EXPECT_EQ(sub->count(), 6);
    sub->setCurrentIndex(3);
    EXPECT_EQ(dialog.Result(), (CFileFormat{PF_TYPE_TIFF, PF_COMPRESSION_G3_MR}));
    Check(dialog, "change-file-format");
    format->setCurrentIndex(1);
    EXPECT_EQ(sub->count(), 1);
    EXPECT_EQ(dialog.Result(), (CFileFormat{PF_TYPE_FAX, 0}));
}

TEST_F(DocumentTest, FileInformationDialog)
{
    ASSERT_TRUE(document.OnOpenDocument(writeTiff(path("two.tif"), 2, COMPRESSION_CCITTFAX3, 80, 50)));
    CFileInfoDlg dialog(document.LoadedFile(), document.Pages());
    ASSERT_TRUE(dialog.Open());
    EXPECT_TRUE(Find<QLabel>(dialog, IDC_INFO_NOTE)->isHidden());
    EXPECT_EQ(Find<QLineEdit>(dialog, IDC_INFO_COMPRESSION)->text(), "CCITT Group 3 MH compression");
    EXPECT_EQ(Find<QLineEdit>(dialog, IDC_INFO_PAGE)->text(), "1/2");
    Check(dialog, "file-information");
    QTest::mouseClick(Find<QPushButton>(dialog, IDC_INFO_NEXT), Qt::LeftButton);
    EXPECT_EQ(Find<QLineEdit>(dialog, IDC_INFO_PAGE)->text(), "2/2");
    EXPECT_FALSE(Find<QPushButton>(dialog, IDC_INFO_NEXT)->isEnabled());
    EXPECT_TRUE(Find<QPushButton>(dialog, IDC_INFO_PREVIOUS)->hasFocus());
    // Every text shows whole in its box (less the frame and the 2-pixel margins), the longest included.
    for (const uint16_t compression : {COMPRESSION_CCITTRLE, COMPRESSION_PACKBITS, COMPRESSION_CCITTFAX3}) {
        ASSERT_TRUE(document.OnOpenDocument(writeTiff(path("info.tif"), 1, compression, 1728, 50)));
        CFileInfoDlg info(document.LoadedFile(), document.Pages());
        ASSERT_TRUE(info.Open());
        info.show();
        QCoreApplication::processEvents();
        for (const int id : {IDC_INFO_FORMAT, IDC_INFO_VERSION, IDC_INFO_COMPRESSION, IDC_INFO_WIDTH, IDC_INFO_HEIGHT,
                             IDC_INFO_COLOURS, IDC_INFO_PAGE}) {
            auto* field = Find<QLineEdit>(info, id);
            QStyleOptionFrame frame;
            frame.initFrom(field);
            frame.lineWidth = field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, field);
            const int shown = field->style()->subElementRect(QStyle::SE_LineEditContents, &frame, field).width() - 4;
            EXPECT_GE(shown, field->fontMetrics().horizontalAdvance(field->text())) << field->text().toStdString();
        }
    }
    // A file changed on disk since it was read: the note shows below the fields.
    fs::resize_file(path("info.tif"), 100);
    CFileInfoDlg changed(document.LoadedFile(), document.Pages());
    ASSERT_TRUE(changed.Open());
    changed.show();
    auto* note = Find<QLabel>(changed, IDC_INFO_NOTE);
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(note->text().toStdString(), LoadResourceString(IDS_FILE_CHANGED_ON_DISK));
}

// The texts a dialog shows, in the order of its widgets: caption, labels, group boxes and buttons
// (the spin buttons and the fields filled at run time left out).
std::vector<std::string> TextsOf(QDialog& dialog)
{
    std::vector<std::string> texts{dialog.windowTitle().toStdString()};
    for (QWidget* widget : dialog.findChildren<QWidget*>()) {
        if (auto* group = qobject_cast<QGroupBox*>(widget))
            texts.push_back(group->title().toStdString());
        else if (auto* button = qobject_cast<QAbstractButton*>(widget); button && !qobject_cast<QToolButton*>(widget))
            texts.push_back(button->text().toStdString());
        else if (auto* label = qobject_cast<QLabel*>(widget);
                 label && label->objectName() != ControlName(IDC_STAMP_PREVIEW)
                 && label->objectName() != ControlName(IDC_INFO_NOTE))
            texts.push_back(label->text().toStdString());
    }
    return texts;
}

// Every dialog's and menu's texts come from the viewer's language module: in English each has its
// text, and a module of another language replaces them (what it lacks stays English).
TEST_F(DocumentTest, DialogTextsComeFromTheLanguageModule)
{
    ASSERT_TRUE(document.OnOpenDocument(writeTiff(path("one.tif"), 1)));
    struct Tool : ITiltTool {
        std::optional<std::pair<gdi::POINT, gdi::POINT>> ReferenceLine() override { return std::nullopt; }
        int LineOrientation() override { return 0; }
        std::pair<int, int> PageSize() override { return {10, 10}; }
        void Correct(std::optional<std::pair<int, int>>) override {}
        void End() override {}
    } tool;
    struct Editor : IStampEditor {
        bool Edit(const std::string&, CStampRecord&) override { return false; }
    } editor;
    NoFonts fonts;
    const std::array<CStampRecord, kMaxStamps> stamps{};
    std::vector<std::unique_ptr<QDialog>> dialogs;
    const auto open = [&] {
        dialogs.clear();
        dialogs.push_back(std::make_unique<CChangeFileFormatDlg>());
        dialogs.push_back(std::make_unique<CFileInfoDlg>(document.LoadedFile(), document.Pages()));
        dialogs.push_back(std::make_unique<CSettingsDlg>(CSettingsValues{}, prompter));
        dialogs.push_back(std::make_unique<CPageJumpDlg>(1, 0, prompter));
        dialogs.push_back(std::make_unique<CTiltCorrectionDlg>(tool, prompter));
        dialogs.push_back(std::make_unique<CLineStyleDlg>(1, 0, "", prompter));
        dialogs.push_back(std::make_unique<CColorDlg>(0, false, ""));
        dialogs.push_back(std::make_unique<CColorFontDlg>(0, gdi::LOGFONTA{}, 0, "", fonts));
        dialogs.push_back(std::make_unique<CEditStampDlg>(CStampRecord{}, "", fonts));
        dialogs.push_back(std::make_unique<CStampListDlg>(stamps, 0, 0, gdi::LOGFONTA{}, 0, "", editor));
    };
    open();
    for (auto& dialog : dialogs)
        for (const std::string& text : TextsOf(*dialog))
            EXPECT_FALSE(text.empty()) << dialog->metaObject()->className();
    const std::vector<std::string> english = {"Settings", "Reduced view settings",
                                              "&Adjust image to display size with reduced view", "&Line number:", "OK",
                                              "Cancel"};
    EXPECT_EQ(TextsOf(*dialogs[2]), english);
    // The main frame's File and View menus, an item of the Zoom popup inside View, and the About box.
    CViewerSettings settings;
    const auto frameTexts = [&] {
        CMainFrame viewer(settings, prompter, 1920);
        CAboutDlg about(&viewer);
        const QList<QAction*> tops = viewer.menuBar()->actions();
        return std::vector<std::string>{Utf8Text(tops.value(0)->text()), Utf8Text(tops.value(1)->text()),
                                        Utf8Text(viewer.Action(ID_VIEW_ENLARGE)->text()), Utf8Text(about.windowTitle()),
                                        Utf8Text(about.findChild<QPushButton*>(ControlName(IDOK))->text())};
    };
    EXPECT_EQ(frameTexts(), (std::vector<std::string>{"&File", "&View", "En&large", "About Qelta Viewer", "OK"}));

    CSDLocale german(ZPG_TEST_PROGRAM, "ZPG");
    ASSERT_EQ(german.LoadLocale(0x0407), 1);
    SetCurrentResourceLocale(&german);
    open();
    const std::vector<std::string> texts = TextsOf(*dialogs[2]);
    const std::vector<std::string> frameTranslated = frameTexts();
    SetCurrentResourceLocale(nullptr);
    dialogs.clear();
    const std::vector<std::string> translated = {"Einstellungen", "Verkleinerte Ansicht",
                                                 "&Adjust image to display size with reduced view", "&Line number:",
                                                 "OK", "Abbrechen"};
    EXPECT_EQ(texts, translated);
    EXPECT_EQ(frameTranslated,
              (std::vector<std::string>{"&Datei", "&View", "&Vergrößern", "Info über Qelta Viewer", "OK"}));
}

TEST(ViewerDialogs, SettingsAndPageJump)
{
    ScriptedPrompter prompter;
    CSettingsDlg settings(CSettingsValues{0, 7, 1, 2}, prompter);
    EXPECT_EQ(Find<QLineEdit>(settings, IDC_SETTINGS_LINES)->text(), "2");
    EXPECT_FALSE(Find<QWidget>(settings, IDC_SETTINGS_SPIN)->isEnabled());
    Find<QCheckBox>(settings, IDC_SETTINGS_ADJUST)->click();
    EXPECT_TRUE(Find<QWidget>(settings, IDC_SETTINGS_SPIN)->isEnabled());
    Spin(settings, IDC_SETTINGS_SPIN, "up", 5);
    EXPECT_EQ(Find<QLineEdit>(settings, IDC_SETTINGS_LINES)->text(), "4");
    Check(settings, "settings");
    QTest::mouseClick(Find<QPushButton>(settings, IDOK), Qt::LeftButton);
    EXPECT_EQ(settings.result(), QDialog::Accepted);
    EXPECT_EQ(settings.Values().lines, 4);
    EXPECT_EQ(settings.Values().appValue, 2);

    CPageJumpDlg jump(5, 0, prompter);
    auto* page = Find<QLineEdit>(jump, IDC_JUMP_PAGE);
    EXPECT_FALSE(page->isReadOnly());
    Spin(jump, IDC_JUMP_SPIN, "down", 3);
    EXPECT_EQ(page->text(), "1");
    Spin(jump, IDC_JUMP_SPIN, "up", 9);
    EXPECT_EQ(page->text(), "5");
    Check(jump, "page-jump");
    QTest::mouseClick(Find<QPushButton>(jump, IDOK), Qt::LeftButton);
    EXPECT_EQ(jump.Current(), 4);
    // The box takes typed digits (nothing else) and Up and Down.
    CPageJumpDlg typed(5, 0, prompter);
    page = Find<QLineEdit>(typed, IDC_JUMP_PAGE);
    page->setFocus();
    page->selectAll();
    QTest::keyClicks(page, "3x");
    EXPECT_EQ(page->text(), "3");
    QTest::keyClick(page, Qt::Key_Up);
    QTest::keyClick(page, Qt::Key_Up);
    EXPECT_EQ(page->text(), "5");
    QTest::keyClick(page, Qt::Key_Down);
    EXPECT_EQ(page->text(), "4");
    QTest::keyClick(page, Qt::Key_Backspace);
    QTest::keyClicks(page, "2");
    QTest::mouseClick(Find<QPushButton>(typed, IDOK), Qt::LeftButton);
    EXPECT_EQ(typed.Current(), 1);
    page->selectAll();
    QTest::keyClicks(page, "9");
    prompter.script.push_back({"Page settings exceed range", IDOK});
    QTest::mouseClick(Find<QPushButton>(typed, IDOK), Qt::LeftButton);
    EXPECT_TRUE(prompter.script.empty());
}

TEST(ViewerDialogs, TiltCorrection)
{
    struct Tool : ITiltTool {
        std::optional<std::pair<gdi::POINT, gdi::POINT>> ReferenceLine() override { return std::nullopt; }
        int LineOrientation() override { return 0; }
        std::pair<int, int> PageSize() override { return {10, 10}; }
        void Correct(std::optional<std::pair<int, int>>) override { ++corrected; }
        void End() override { ++ended; }
        int corrected = 0, ended = 0;
    } tool;
    ScriptedPrompter prompter;
    CTiltCorrectionDlg dialog(tool, prompter);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    Check(dialog, "tilt-correction");
    QTest::mouseClick(Find<QPushButton>(dialog, IDC_TILT_AUTO), Qt::LeftButton);
    prompter.script = {{"Please drag and correct tilt.", IDOK}};
    QTest::mouseClick(Find<QPushButton>(dialog, IDC_TILT_MANUAL), Qt::LeftButton);
    EXPECT_EQ(tool.corrected, 1);
    EXPECT_TRUE(dialog.isVisible()) << "both buttons leave the dialog open";
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(tool.ended, 1);
}

TEST(ViewerDialogs, StyleDialogs)
{
    ScriptedPrompter prompter;
    CLineStyleDlg line(0, 0x123456, "", prompter);
    EXPECT_EQ(line.windowTitle(), "Line Width and Color Setting");
    EXPECT_EQ(Find<QLineEdit>(line, IDC_LINE_WIDTH)->text(), "1");
    EXPECT_EQ(Find<QComboBox>(line, IDC_COLOUR_LIST)->currentText(), "BLACK");
    EXPECT_EQ(Find<QComboBox>(line, IDC_COLOUR_LIST)->count(), 16);
    Check(line, "line-style");
    QTest::keyClicks(Find<QLineEdit>(line, IDC_LINE_WIDTH), "99");
    ASSERT_EQ(Find<QLineEdit>(line, IDC_LINE_WIDTH)->text(), "199");
    prompter.script = {{"Please enter an integer between 1 and 32.", IDOK}};
    QTest::mouseClick(Find<QPushButton>(line, IDOK), Qt::LeftButton);
    EXPECT_NE(line.result(), QDialog::Accepted) << "199 is out of range";

    CColorDlg marker(0xFFFFFF, true, "Marker", nullptr);
    EXPECT_EQ(marker.windowTitle(), "Marker");
    EXPECT_EQ(Find<QComboBox>(marker, IDC_COLOUR_LIST)->count(), 15);
    EXPECT_EQ(marker.Colour(), 0x000000u);
    Check(marker, "color");

    NoFonts fonts;
    gdi::LOGFONTA font;
    CColorFontDlg memo(0x00FFFF, font, 0, "", fonts);
    EXPECT_EQ(memo.Colour(), 0x00FFFFu);
    Check(memo, "color-font");
    QTest::mouseClick(Find<QPushButton>(memo, IDC_FONT), Qt::LeftButton);
    EXPECT_STREQ(memo.Font().lfFaceName, "Serif");
    EXPECT_EQ(memo.TextColour(), 0x0000FFu);
}

// The production font chooser behind the colour-and-font dialog's "&Font...": the shared font
// dialog opens at the page height's size with the text colour and its colour row; OK brings the
// height back in page pixels (200 dpi) and the colour as a COLORREF, Cancel keeps both.
TEST(ViewerDialogs, FontChooserOverColourAndFont)
{
    struct Case {
        const char* caption;
        const char* size;
        int colourIndex; // a basic colour of the font dialog
        bool ok;
        int height;      // page pixels afterwards
        uint32_t colour; // COLORREF afterwards
    };
    const Case cases[] = {
        {"", "24", 9, true, 67, 0x0000FF},                 // 240 tenths -> 66.7 page pixels; red
        {"Text Properties", "9.5", 4, true, 26, 0x800000}, // 95 tenths -> 26.4; navy
        {"", "36", 9, false, 50, 0xFF0000},                // Cancel: 18 pt and blue stay
        {"", "big", 2, true, 50, 0x008000},                // no size: the height stays; green
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        gdi::LOGFONTA font;
        std::strcpy(font.lfFaceName, "Serif");
        font.lfHeight = 50; // 18 points on a 200 dpi page
        CQtFontChooser chooser(nullptr, c.caption);
        CColorFontDlg memo(0x00FFFF, font, 0xFF0000, "", chooser);
        memo.show();
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<CCustomFontDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            seen = true;
            EXPECT_EQ(dialog->windowTitle(), *c.caption ? c.caption : "Font");
            auto* size = Find<QComboBox>(*dialog, IDC_FONT_SIZE);
            auto* colour = Find<QComboBox>(*dialog, IDC_FONT_COLOUR);
            EXPECT_EQ(size->currentText(), "18");
            EXPECT_FALSE(colour->isHidden());
            EXPECT_EQ(dialog->Colour(), QColor(0, 0, 255)) << "the text colour is shown";
            size->setEditText(QString::fromLatin1(c.size));
            colour->setCurrentIndex(c.colourIndex);
            c.ok ? dialog->accept() : dialog->reject();
        });
        QTest::mouseClick(Find<QPushButton>(memo, IDC_FONT), Qt::LeftButton);
        EXPECT_TRUE(seen);
        EXPECT_EQ(memo.Font().lfHeight, c.height);
        EXPECT_EQ(memo.TextColour(), c.colour);
        EXPECT_EQ(memo.Colour(), 0x00FFFFu) << "the memo's own colour is not the font's";
    }
}

TEST(ViewerDialogs, StampDialogs)
{
    NoFonts fonts;
    CStampRecord record;
    std::strcpy(record.name, "Paid");
    std::strcpy(record.text, "Paid on DATE");
    CEditStampDlg edit(record, "Edit Text Stamp Properties", fonts);
    auto* text = Find<QLineEdit>(edit, IDC_STAMP_TEXT);
    EXPECT_FALSE(text->hasSelectedText());
    Check(edit, "edit-stamp");
    text->setSelection(8, 4);
    QTest::mouseClick(Find<QPushButton>(edit, IDC_STAMP_DATE), Qt::LeftButton);
    EXPECT_EQ(text->text(), "Paid on %x");
    text->undo();
    EXPECT_EQ(text->text(), "Paid on DATE") << "the insertion can be undone";
    QTest::mouseClick(Find<QPushButton>(edit, IDC_STAMP_TIME), Qt::LeftButton);
    QTest::mouseClick(Find<QPushButton>(edit, IDOK), Qt::LeftButton);
    EXPECT_STREQ(edit.Record().text, "Paid on %X");

    struct Editor : IStampEditor {
        bool Edit(const std::string&, CStampRecord& r) override
        {
            std::strcpy(r.name, "New");
            return true;
        }
    } editor;
    std::array<CStampRecord, kMaxStamps> stamps{};
    stamps[0] = record;
    std::strcpy(stamps[1].name, "Copy");
    std::strcpy(stamps[1].text, "COPY %X");
    CStampListDlg list(stamps, 2, 1, gdi::LOGFONTA{}, 0, "", editor);
    EXPECT_EQ(list.windowTitle(), "Stamp Properties");
    auto* names = Find<QListWidget>(list, IDC_STAMP_LIST);
    EXPECT_EQ(names->count(), 2);
    EXPECT_EQ(names->currentRow(), 1);
    Check(list, "stamp-properties");
    EXPECT_EQ(Find<QLabel>(list, IDC_STAMP_PREVIEW)->text(), "Paid on DATE") << "the first record at the start";
    names->setCurrentRow(0);
    names->setCurrentRow(1);
    EXPECT_EQ(Find<QLabel>(list, IDC_STAMP_PREVIEW)->text(), "COPY %X");
    QTest::mouseClick(Find<QPushButton>(list, IDC_STAMP_CREATE), Qt::LeftButton);
    EXPECT_EQ(names->count(), 3);
    EXPECT_EQ(names->currentRow(), 2);
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(Find<QPushButton>(list, IDC_STAMP_DELETE), Qt::LeftButton);
    EXPECT_EQ(names->count(), 0);
    EXPECT_FALSE(Find<QPushButton>(list, IDC_STAMP_DELETE)->isEnabled());
    EXPECT_FALSE(Find<QPushButton>(list, IDC_STAMP_EDIT)->isEnabled());
    EXPECT_EQ(Find<QLabel>(list, IDC_STAMP_PREVIEW)->text(), "");
}

TEST(ViewerDialogs, PagesTravelAsImageDataOnTheClipboard)
{
    CQtPageClipboard clipboard;
    ASSERT_TRUE(clipboard.Open());
    QImage page(20, 10, QImage::Format_Mono);
    page.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    page.fill(0);
    page.setPixel(4, 5, 1);
    clipboard.SetImage(page);
    const std::optional<QImage> back = clipboard.Image();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->size(), page.size());
    EXPECT_EQ(qGray(back->pixel(4, 5)), 0);
    EXPECT_EQ(qGray(back->pixel(5, 5)), 255);
}

TEST(ViewerDialogs, FilterStringsBecomeQtFilters)
{
    const QStringList open = QtNameFilters(kOpenFilter);
    ASSERT_EQ(open.size(), 8);
    EXPECT_EQ(open[0], "Document File (*.TQD, *.TQG) (*.TQD *.tqd *.TQG *.tqg)");
    EXPECT_EQ(open[6], "Document Link File (*.LNK, *.TQS) (*.LNK *.lnk *.TQS *.tqs)");
    EXPECT_EQ(open[7], "All Files (*.*) (*.*)");
    const QStringList save = QtNameFilters(kSaveAsFilter);
    ASSERT_EQ(save.size(), 10);
    EXPECT_EQ(save[9], "FAX File (*.FAX) (*.FAX *.fax)");
}

} // namespace
