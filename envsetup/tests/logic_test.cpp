// The driver environment pages without widgets, over the real devicelistlib and the recording
// spooler, each test in its own state root.
#include "common/prompter.h"
#include "common/registry_helper.h"
#include "common/resource_locale.h"
#include "devicelist/devicelist.h"
#include "envsetup/envsetup_logic.h"
#include "platform/registry.h"
#include "platform/tests/support/recording_spooler.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using platform::RecordingSpooler;

// Keeps every message box and answers the font choice as told.
class ScriptedPrompter : public IPrompter {
public:
    int MessageBox(const std::string& strText, const std::string& strCaption, unsigned) override
    {
        shown.push_back(strCaption + "|" + strText);
        return IDOK;
    }
    std::optional<FontChoice> ChooseFont(const FontChoice& initial) override
    {
        asked.push_back(initial);
        return answer;
    }
    std::vector<std::string> shown;
    std::vector<FontChoice> asked;
    std::optional<FontChoice> answer;
};

CRegistryHelper User() { return CRegistryHelper(HKEY_CURRENT_USER, kProductKeyPrefix); }

TEST(EnvsetupStart, TheSheetRunsInItsLanguageAndALanguageOfZeroEndsAtOnce)
{
    struct CountingRunner : IEnvsetupRunner {
        void Run() override
        {
            ++runs;
            caption = EnvString(IDS_ENVSETUP_CAPTION);
        }
        int runs = 0;
        std::string caption;
    };
    qelta::test::ScopedStateRoot root;
    CountingRunner runner;
    EXPECT_EQ(RunEnvsetup(runner), 0);
    EXPECT_EQ(runner.runs, 1);
    EXPECT_EQ(runner.caption, "Qelta Environment Setting");

    platform::RegistryKey key;
    ASSERT_EQ(platform::RegistryKey::create(platform::Hive::LocalMachine, CSDLocale::kOverrideKey, key),
              platform::RegStatus::Ok);
    ASSERT_EQ(key.set("", platform::RegValue::string("0")), platform::RegStatus::Ok);
    EXPECT_EQ(RunEnvsetup(runner), 1);
    EXPECT_EQ(runner.runs, 1);
}

TEST(HeaderPage, AnUnsetOrUnusableFontIsReplacedAndWrittenBack)
{
    struct Row {
        std::optional<std::string> face;
        std::optional<uint32_t> size;
        std::string defaultFace;
        std::string face_shown;
        int size_kept;
        bool written;
    };
    const Row rows[] = {
        {std::nullopt, std::nullopt, "DejaVu Sans", "DejaVu Sans", 240, true},
        {"Arial", 0, "DejaVu Sans", "DejaVu Sans", 240, true},
        {"", 100, "DejaVu Sans", "DejaVu Sans", 240, true},
        {"Arial", 0xFFFFFFFBu, "DejaVu Sans", "DejaVu Sans", 240, true}, // -5 tenths
        {std::nullopt, 0, "", "Tahoma", 240, false},                     // no face known: nothing stored
        {"Arial", 105, "DejaVu Sans", "Arial", 105, false},
    };
    for (const Row& row : rows) {
        qelta::test::ScopedStateRoot root;
        if (row.face)
            User().WriteString(kProductSubkey, kHeaderFontFaceValue, *row.face);
        if (row.size)
            User().WriteDword(kProductSubkey, kHeaderFontSizeValue, *row.size);
        ScriptedPrompter prompter;
        CPPHeaderLogic page(prompter, [&] { return row.defaultFace; });
        page.OnInitDialog();
        SCOPED_TRACE(row.face_shown + " " + std::to_string(row.size_kept));
        EXPECT_EQ(page.FontFace(), row.face_shown);
        EXPECT_EQ(page.FontSize(), row.size_kept);
        EXPECT_EQ(page.SizeText(), std::to_string(row.size_kept / 10));
        EXPECT_FALSE(page.IsModified());
        if (row.written) {
            EXPECT_EQ(User().ReadString(kProductSubkey, kHeaderFontFaceValue, ""), row.face_shown);
            EXPECT_EQ(User().ReadDword(kProductSubkey, kHeaderFontSizeValue, 0), 240u);
        } else {
            EXPECT_EQ(User().ReadString(kProductSubkey, kHeaderFontFaceValue, "none"), row.face.value_or("none"));
        }
    }
}

TEST(HeaderPage, AChosenFontIsShownAndAppliedWithTheTexts)
{
    qelta::test::ScopedStateRoot root;
    User().WriteString(kProductSubkey, kHeaderFontFaceValue, "Arial");
    User().WriteDword(kProductSubkey, kHeaderFontSizeValue, 105);
    User().WriteString(kProductSubkey, kHeaderUserNameValue, "Ann");
    ScriptedPrompter prompter;
    CPPHeaderLogic page(prompter, {});
    page.OnInitDialog();
    EXPECT_EQ(page.m_strUserName, "Ann");

    page.OnSelectFont(); // cancelled
    EXPECT_FALSE(page.IsModified());
    EXPECT_EQ(page.FontFace(), "Arial");
    prompter.answer = FontChoice{"DejaVu Serif", 115, 700};
    page.OnSelectFont();
    EXPECT_EQ(prompter.asked, (std::vector<FontChoice>{{"Arial", 105, 400}, {"Arial", 105, 400}}));
    EXPECT_EQ(page.FontFace(), "DejaVu Serif");
    EXPECT_EQ(page.SizeText(), "11");
    EXPECT_TRUE(page.IsModified());

    page.m_strTelNumber = "+1 555 0100";
    page.OnEditChanged();
    page.OnApply();
    EXPECT_FALSE(page.IsModified());
    EXPECT_EQ(User().ReadString(kProductSubkey, kHeaderFontFaceValue, ""), "DejaVu Serif");
    EXPECT_EQ(User().ReadDword(kProductSubkey, kHeaderFontSizeValue, 0), 115u);
    EXPECT_EQ(User().ReadString(kProductSubkey, kHeaderUserNameValue, ""), "Ann");
    EXPECT_EQ(User().ReadString(kProductSubkey, kHeaderTelNumberValue, ""), "+1 555 0100");
}

TEST(HeaderPage, AnUntouchedHalfPointSizeSurvivesApply)
{
    qelta::test::ScopedStateRoot root;
    User().WriteString(kProductSubkey, kHeaderFontFaceValue, "Arial");
    User().WriteDword(kProductSubkey, kHeaderFontSizeValue, 105);
    ScriptedPrompter prompter;
    CPPHeaderLogic page(prompter, {});
    page.OnInitDialog();
    page.m_strUserName = "Bo";
    page.OnEditChanged();
    page.OnApply();
    page.OnApply();
    EXPECT_EQ(User().ReadDword(kProductSubkey, kHeaderFontSizeValue, 0), 105u);
}

// Three printers in the spooler and their list made.
class PrinterPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        spooler_ = RecordingSpooler::install("Office");
        spooler_->setMakeAndModel("Office", "Qelta MX-5000");
        spooler_->setPlace("Office", "Floor 3: east");
        spooler_->addPrinter("Lab");
        spooler_->setPlace("Lab", "10");
        spooler_->addPrinter("Store");
        spooler_->setPlace("Store", "9");
        ASSERT_EQ(DEVICELISTLIB_UpdatePrinterList(nullptr), 1);
    }

    static std::vector<std::string> Names(const CPPPrinterLogic& page)
    {
        std::vector<std::string> names;
        for (const PrinterRow& row : page.Rows())
            names.push_back(row.strName + (row.bChecked ? "+" : "") + (row.nImage == kImageUserPrinter ? "*" : ""));
        return names;
    }

    qelta::test::ScopedStateRoot root_;
    std::shared_ptr<RecordingSpooler> spooler_;
    ScriptedPrompter prompter_;
};

TEST_F(PrinterPage, TheStoredPrinterIsMarkedAMissingOneLeavesRowZeroCheckedAndNoneMarksNoRow)
{
    struct Row {
        const char* stored;
        std::vector<std::string> names;
    };
    const Row rows[] = {
        {nullptr, {"Office", "Lab", "Store"}}, // nothing chosen yet: no row looks chosen
        {"Lab", {"Office", "Lab+*", "Store"}},
        {"Gone", {"Office+", "Lab", "Store"}},
    };
    for (const Row& row : rows) {
        if (row.stored)
            DEVICELISTLIB_SetUserDefinedPrinter(row.stored);
        CPPPrinterLogic page(prompter_);
        page.OnInitDialog();
        EXPECT_EQ(Names(page), row.names) << (row.stored ? row.stored : "none");
        EXPECT_FALSE(page.IsModified());
    }
    CPPPrinterLogic page(prompter_);
    page.OnInitDialog();
    EXPECT_EQ(page.Rows()[0], (PrinterRow{"Office", "Qelta MX-5000", "Floor 3: east", kImagePrinter, true}));
}

TEST_F(PrinterPage, AFailedUpdateKeepsTheRowsAndALostPrinterMarksThePage)
{
    DEVICELISTLIB_SetUserDefinedPrinter("Lab");
    CPPPrinterLogic page(prompter_);
    page.OnInitDialog();
    spooler_->addPrinter("New");
    spooler_->failAt(RecordingSpooler::Step::List);
    page.OnUpdateList();
    EXPECT_EQ(prompter_.shown, (std::vector<std::string>{"Qelta Environment Setting|FAILED"}));
    EXPECT_EQ(Names(page), (std::vector<std::string>{"Office", "Lab+*", "Store"}));
    EXPECT_FALSE(page.IsModified());

    spooler_->removePrinter("Lab");
    page.OnUpdateList();
    EXPECT_EQ(Names(page), (std::vector<std::string>{"Office+", "Store", "New"}));
    EXPECT_TRUE(page.IsModified());
}

TEST_F(PrinterPage, SetAsDefaultStoresTheSelectedRowOnly)
{
    CPPPrinterLogic page(prompter_);
    page.OnInitDialog();
    std::string stored = "none";
    page.OnSetAsDefault(); // no row selected: nothing stored
    EXPECT_EQ(DEVICELISTLIB_GetUserDefinedPrinter(stored), 0);

    page.OnSelect(2);
    page.OnSetAsDefault();
    EXPECT_EQ(DEVICELISTLIB_GetUserDefinedPrinter(stored), 1);
    EXPECT_EQ(stored, "Store");
    EXPECT_EQ(Names(page), (std::vector<std::string>{"Office", "Lab", "Store+*"}));
    EXPECT_EQ(page.SelectedRow(), 2);
}

TEST_F(PrinterPage, TheCheckBoxGatesTheListAndApplyStoresTheChoice)
{
    CPPPrinterLogic page(prompter_);
    page.OnInitDialog();
    for (int id : {IDC_PRINTER_LIST, IDC_SET_DEFAULT, IDC_UPDATE_LIST})
        EXPECT_FALSE(page.IsEnabled(id)) << id;
    page.OnUseUserPrinter(true);
    EXPECT_TRUE(page.IsModified());
    for (int id : {IDC_PRINTER_LIST, IDC_SET_DEFAULT, IDC_UPDATE_LIST})
        EXPECT_TRUE(page.IsEnabled(id)) << id;

    std::string stored = "none";
    page.OnApply(); // no row selected: the flag only
    EXPECT_EQ(DEVICELISTLIB_GetIsUseUserDefinedPrinter(), 1);
    EXPECT_EQ(DEVICELISTLIB_GetUserDefinedPrinter(stored), 0);
    page.OnSelect(1);
    page.OnApply();
    EXPECT_EQ(DEVICELISTLIB_GetUserDefinedPrinter(stored), 1);
    EXPECT_EQ(stored, "Lab");
    EXPECT_FALSE(page.IsModified());

    page.OnUseUserPrinter(false);
    page.OnApply();
    EXPECT_EQ(DEVICELISTLIB_GetIsUseUserDefinedPrinter(), 0);
    EXPECT_FALSE(page.IsEnabled(IDC_PRINTER_LIST));
}

TEST_F(PrinterPage, ApplyWithTheDefaultPrinterInUseAndNoneChosenAsksAndStoresNothing)
{
    CEnvsetupLogic sheet(prompter_, [] { return std::string("Sans"); });
    sheet.m_Header.OnInitDialog();
    sheet.m_Printer.OnInitDialog();
    sheet.m_Header.m_strUserName = "Ann";
    sheet.m_Header.OnEditChanged();
    sheet.m_Printer.OnUseUserPrinter(true);
    for (int attempt = 0; attempt < 2; ++attempt) // Apply, then OK
        EXPECT_FALSE(sheet.Apply());
    ASSERT_EQ(prompter_.shown.size(), 2u);
    EXPECT_EQ(prompter_.shown[0], "Qelta Environment Setting|" + EnvString(IDS_CHOOSE_PRINTER));
    EXPECT_EQ(DEVICELISTLIB_GetIsUseUserDefinedPrinter(), 0);
    EXPECT_EQ(User().ReadString(kProductSubkey, "HeaderUserName", "unset"), "unset");
    EXPECT_TRUE(sheet.CanApply());

    sheet.m_Printer.OnSelect(1);
    EXPECT_TRUE(sheet.Apply());
    std::string stored;
    EXPECT_EQ(DEVICELISTLIB_GetUserDefinedPrinter(stored), 1);
    EXPECT_EQ(stored, "Lab");
    EXPECT_EQ(User().ReadString(kProductSubkey, "HeaderUserName", "unset"), "Ann");

    // A chosen printer is enough later on, and so is the check box cleared.
    CEnvsetupLogic again(prompter_, [] { return std::string("Sans"); });
    again.m_Printer.OnInitDialog();
    EXPECT_TRUE(again.Apply());
    again.m_Printer.OnUseUserPrinter(false);
    EXPECT_TRUE(again.Apply());
    EXPECT_EQ(prompter_.shown.size(), 2u);
}

TEST(PrinterPageList, NoListLeavesThePageEmptyAndSaysWhyUntilAnUpdateLists)
{
    // A fresh process, whose first listing fails: the count is negative, the page says the print
    // server cannot be reached; a failed Update List keeps saying so, one that lists ends it.
    EXPECT_EQ(qelta::test::runInChild([] {
        qelta::test::ScopedStateRoot root;
        const auto spooler = RecordingSpooler::install("Office");
        spooler->failAt(RecordingSpooler::Step::List, 1);
        spooler->failAt(RecordingSpooler::Step::List, 2);
        ScriptedPrompter prompter;
        CPPPrinterLogic page(prompter);
        int failures = 0;
        const auto check = [&failures](bool ok) { failures += ok ? 0 : 1; };
        page.OnInitDialog();
        check(page.RowCount() == 0);
        check(page.ListNote() == EnvString(IDS_NO_PRINT_SERVER));
        check(page.ListNote().find("print server cannot be reached") != std::string::npos);
        page.OnUpdateList();
        check(prompter.shown == std::vector<std::string>{"Qelta Environment Setting|FAILED"});
        check(page.RowCount() == 0 && page.ListNote() == EnvString(IDS_NO_PRINT_SERVER));
        page.OnUpdateList();
        check(page.RowCount() == 1 && page.Rows()[0].strName == "Office");
        check(page.ListNote().empty());
        return failures;
    }),
              0);
}

TEST(PrinterSort, TextsCompareAsNumbersOrCaseInsensitively)
{
    struct Row {
        const char* a;
        const char* b;
        int order;
    };
    const Row rows[] = {
        {"9", "10", -1},
        {"007", "7", 0},
        {"0", "000", 0},
        {"123456789012345678901234567890", "123456789012345678901234567891", -1},
        {"923456789012345678901234567890", "1000000000000000000000000000000", -1},
        {"Floor", "floor", 0},
        {"apple", "Banana", -1},
        {"10", "9a", -1}, // not both numbers: as text
        {"", "0", -1},
        {"Lab", "Lab 2", -1},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CompareColumnTexts(row.a, row.b), row.order) << row.a << " / " << row.b;
        EXPECT_EQ(CompareColumnTexts(row.b, row.a), -row.order) << row.b << " / " << row.a;
    }
}

TEST_F(PrinterPage, AColumnClickSortsReversedOnANewColumnAndTogglesOnTheSame)
{
    CPPPrinterLogic page(prompter_);
    page.OnInitDialog();
    page.OnSelect(0); // Office
    struct Click {
        int column;
        bool reverse;
        std::vector<std::string> names;
    };
    const Click clicks[] = {
        {2, true, {"Office", "Lab", "Store"}},  // a new column sorts reversed first; text after numbers
        {2, false, {"Store", "Lab", "Office"}}, // the same column again: "9" before "10"
        {0, true, {"Store", "Office", "Lab"}},
        {0, false, {"Lab", "Office", "Store"}},
    };
    for (const Click& click : clicks) {
        page.OnColumnClick(click.column);
        EXPECT_EQ(page.IsReverse(), click.reverse) << click.column;
        EXPECT_EQ(Names(page), click.names) << click.column;
        EXPECT_EQ(page.Rows()[static_cast<size_t>(page.SelectedRow())].strName, "Office");
    }
}

} // namespace
