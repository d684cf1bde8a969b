// The real sheet offscreen, over the real devicelistlib and the recording spooler: the pages'
// controls, Apply and OK, the lazily filled printer list, Tab order and help.
#include "common/prompter.h"
#include "common/registry_helper.h"
#include "devicelist/devicelist.h"
#include "envsetup/app/envsetup_sheet.h"
#include "platform/state.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/tests/support/recording_spooler.h"
#include "platform/tests/support/test_support.h"
#include "uiwidgets/control_name.h"
#include "uiwidgets/tests/support/layout_order.h"

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

using platform::RecordingSpooler;

class ScriptedPrompter : public IPrompter {
public:
    int MessageBox(const std::string& strText, const std::string&, unsigned) override
    {
        shown.push_back(strText);
        return IDOK;
    }
    std::optional<FontChoice> ChooseFont(const FontChoice&) override { return answer; }
    std::vector<std::string> shown;
    std::optional<FontChoice> answer;
};

CRegistryHelper User() { return CRegistryHelper(HKEY_CURRENT_USER, kProductKeyPrefix); }

template <typename W>
W* Control(QWidget& sheet, int nId)
{
    W* widget = sheet.findChild<W*>(ControlName(nId));
    EXPECT_TRUE(widget) << nId;
    return widget;
}

class EnvsetupSheet : public ::testing::Test {
protected:
    void SetUp() override
    {
        spooler_ = RecordingSpooler::install("Office");
        spooler_->setMakeAndModel("Office", "Qelta MX-5000");
        spooler_->addPrinter("Lab");
        spooler_->setPlace("Lab", "Room 10");
        ASSERT_EQ(DEVICELISTLIB_UpdatePrinterList(nullptr), 1);
        User().WriteString(kProductSubkey, kHeaderFontFaceValue, "Arial");
        User().WriteDword(kProductSubkey, kHeaderFontSizeValue, 105);
    }

    static void ShowPrinterPage(QWidget& sheet)
    {
        sheet.findChild<QTabWidget*>()->setCurrentIndex(1);
        QCoreApplication::processEvents();
    }

    qelta::test::ScopedStateRoot root_;
    std::shared_ptr<RecordingSpooler> spooler_;
    ScriptedPrompter prompter_;
};

TEST_F(EnvsetupSheet, HeaderEditsEnableApplyWhichWritesThem)
{
    CEnvsetupDlg sheet(prompter_);
    sheet.show();
    EXPECT_EQ(sheet.windowTitle(), "Qelta Environment Setting");
    EXPECT_EQ(Control<QLineEdit>(sheet, IDC_FONT_FACE)->text(), "Arial");
    EXPECT_EQ(Control<QLineEdit>(sheet, IDC_FONT_SIZE)->text(), "10");
    EXPECT_TRUE(Control<QLineEdit>(sheet, IDC_FONT_FACE)->isReadOnly());
    EXPECT_TRUE(Control<QLineEdit>(sheet, IDC_FONT_SIZE)->isReadOnly());
    auto* apply = Control<QPushButton>(sheet, ID_APPLY_NOW);
    EXPECT_FALSE(apply->isEnabled());

    QTest::keyClicks(Control<QLineEdit>(sheet, IDC_HEADER_USER_NAME), "Ann");
    EXPECT_TRUE(apply->isEnabled());
    prompter_.answer = FontChoice{"DejaVu Serif", 120, 400};
    QTest::mouseClick(Control<QPushButton>(sheet, IDC_SELECT_FONT), Qt::LeftButton);
    EXPECT_EQ(Control<QLineEdit>(sheet, IDC_FONT_FACE)->text(), "DejaVu Serif");
    EXPECT_EQ(Control<QLineEdit>(sheet, IDC_FONT_SIZE)->text(), "12");
    QTest::mouseClick(apply, Qt::LeftButton);
    EXPECT_FALSE(apply->isEnabled());
    EXPECT_EQ(User().ReadString(kProductSubkey, kHeaderUserNameValue, ""), "Ann");
    EXPECT_EQ(User().ReadDword(kProductSubkey, kHeaderFontSizeValue, 0), 120u);
    EXPECT_TRUE(sheet.isVisible());
}

TEST_F(EnvsetupSheet, TheFaxNumberBoxHoldsOnlyAFaxNumberAndAltAApplies)
{
    // A stored number the rule refuses is shown as it is; keys may take characters out of it, and
    // only what a fax number may hold is typed in. Alt+A is Apply's, not a letter for the box.
    User().WriteString(kProductSubkey, kHeaderTelNumberValue, "+81 3");
    CEnvsetupDlg sheet(prompter_);
    sheet.show();
    QApplication::setActiveWindow(&sheet);
    auto* box = Control<QLineEdit>(sheet, IDC_HEADER_TEL_NUMBER);
    auto* apply = Control<QPushButton>(sheet, ID_APPLY_NOW);
    EXPECT_EQ(box->text().toStdString(), "+81 3");
    box->setFocus();
    box->setCursorPosition(0);
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClick(box, Qt::Key_End);
    QTest::keyClicks(box, "a4");
    EXPECT_EQ(box->text().toStdString(), "81 3") << "one stray character taken out, nothing typed in";
    box->selectAll();
    QTest::keyClicks(box, "R03-12a34 *#x+");
    EXPECT_EQ(box->text().toStdString(), "R03-1234*#");
    EXPECT_TRUE(apply->isEnabled());
    QTest::keyClick(box, Qt::Key_A, Qt::AltModifier);
    EXPECT_EQ(box->text().toStdString(), "R03-1234*#");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !apply->isEnabled(); })) << "Alt+A applied"; // a shortcut's click is animated
    EXPECT_EQ(User().ReadString(kProductSubkey, kHeaderTelNumberValue, ""), "R03-1234*#");
}

TEST_F(EnvsetupSheet, ThePrinterPageChoosesThePrinterAndOkStoresIt)
{
    CEnvsetupDlg sheet(prompter_);
    sheet.show();
    auto* list = Control<QTreeWidget>(sheet, IDC_PRINTER_LIST);
    EXPECT_EQ(list->topLevelItemCount(), 0); // read when first shown
    ShowPrinterPage(sheet);
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(1)->text(2), "Room 10");
    EXPECT_EQ(list->topLevelItem(0)->checkState(0), Qt::Unchecked); // no stored printer: no row marked
    EXPECT_TRUE(list->header()->sectionsMovable());
    EXPECT_EQ(list->columnWidth(0), 160);

    auto* use = Control<QCheckBox>(sheet, IDC_USE_USER_PRINTER);
    EXPECT_FALSE(list->isEnabled());
    EXPECT_FALSE(Control<QPushButton>(sheet, IDC_SET_DEFAULT)->isEnabled());
    QTest::mouseClick(use, Qt::LeftButton, {}, QPoint(8, use->height() / 2));
    EXPECT_TRUE(list->isEnabled());
    EXPECT_TRUE(Control<QPushButton>(sheet, IDC_UPDATE_LIST)->isEnabled());
    EXPECT_TRUE(Control<QPushButton>(sheet, ID_APPLY_NOW)->isEnabled());

    // The Name column is the sort column, reversed: a click sorts it ascending, the next reversed.
    const QPoint title(list->header()->sectionViewportPosition(0) + 5, list->header()->height() / 2);
    QTest::mouseClick(list->header()->viewport(), Qt::LeftButton, {}, title);
    EXPECT_EQ(list->topLevelItem(0)->text(0), "Lab");
    QTest::mouseClick(list->header()->viewport(), Qt::LeftButton, {}, title);
    EXPECT_EQ(list->topLevelItem(0)->text(0), "Office");

    list->setCurrentItem(list->topLevelItem(1));
    QTest::mouseClick(Control<QPushButton>(sheet, IDC_SET_DEFAULT), Qt::LeftButton);
    std::string stored;
    EXPECT_EQ(DEVICELISTLIB_GetUserDefinedPrinter(stored), 1);
    EXPECT_EQ(stored, "Lab");
    QTest::mouseClick(Control<QPushButton>(sheet, 1), Qt::LeftButton); // OK
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_EQ(DEVICELISTLIB_GetIsUseUserDefinedPrinter(), 1);
    EXPECT_TRUE(prompter_.shown.empty());
}

TEST_F(EnvsetupSheet, OkWithTheDefaultPrinterInUseAndNoneChosenKeepsTheSheetOpenOnThePrinterPage)
{
    CEnvsetupDlg sheet(prompter_);
    sheet.show();
    ShowPrinterPage(sheet);
    auto* use = Control<QCheckBox>(sheet, IDC_USE_USER_PRINTER);
    QTest::mouseClick(use, Qt::LeftButton, {}, QPoint(8, use->height() / 2));
    auto* tabs = sheet.findChild<QTabWidget*>();
    tabs->setCurrentIndex(0);
    QTest::mouseClick(Control<QPushButton>(sheet, 1), Qt::LeftButton); // OK
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(tabs->currentIndex(), 1);
    EXPECT_EQ(prompter_.shown.size(), 1u);
    EXPECT_EQ(DEVICELISTLIB_GetIsUseUserDefinedPrinter(), 0);
}

TEST_F(EnvsetupSheet, TabFollowsTheLayoutOnBothPages)
{
    CEnvsetupDlg sheet(prompter_);
    sheet.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
    ASSERT_TRUE(QApplication::focusWidget());
    EXPECT_EQ(QApplication::focusWidget()->objectName(), ControlName(IDC_FONT_FACE))
        << "opened in the page's first field";
    EXPECT_TRUE(qelta::test::TabOrderFollowsLayout(sheet.findChild<QWidget*>(ControlName(IDD_HEADER_SETTING))));
    ShowPrinterPage(sheet);
    Control<QCheckBox>(sheet, IDC_USE_USER_PRINTER)->click();
    EXPECT_TRUE(qelta::test::TabOrderFollowsLayout(sheet.findChild<QWidget*>(ControlName(IDD_PRINTER_SETTING))));
}

TEST_F(EnvsetupSheet, HelpOpensTheSheetsTopicOfTheShippedFile)
{
    std::vector<std::string> opened;
    CEnvsetupDlg sheet(prompter_, [&](const std::string& address) {
        opened.push_back(address);
        return true;
    });
    sheet.show();
    QTest::keyClick(&sheet, Qt::Key_F1);
    QTest::mouseClick(Control<QPushButton>(sheet, IDHELP), Qt::LeftButton);
    const std::string shipped = platform::dataFolder() + "/Sendwizard2.html#131206";
    EXPECT_EQ(opened, (std::vector<std::string>{shipped, shipped}));
    EXPECT_EQ(qelta::test::missingHelpAnchor(shipped), "");
    EXPECT_TRUE(prompter_.shown.empty());
}

} // namespace
