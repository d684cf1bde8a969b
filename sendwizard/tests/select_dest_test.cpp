// The destination checks and the Select Destination page's logic: the count limits, the wizard's
// I-FAX text, Add, Delete, the phone book import, sorting and Next with its skip path.
#include "sendwizard/select_dest_logic.h"
#include "sendwizard/wizard_strings.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// Records every message box's text and answers in turn (IDYES when no answer is left).
class RecordingPrompter : public IPrompter {
public:
    int MessageBox(const std::string& strText, const std::string& strCaption, unsigned nFlags) override
    {
        EXPECT_EQ(strCaption, "Qelta Driver");
        shown.push_back(strText);
        flags.push_back(nFlags);
        if (answers.empty())
            return IDYES;
        const int answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
    std::vector<std::string> shown;
    std::vector<unsigned> flags;
    std::vector<int> answers;
};

// The phone book exports as a script: the ids chosen, and a count of frees.
class FakeExports : public IPhoneBookExports {
public:
    int SelectPhoneBook(void*, std::string& strPath, std::string& strBookName) override
    {
        strPath = "/books/Sales.xml";
        strBookName = "Sales";
        return bookResult;
    }
    int SelectDestinations(void*, const std::string& strBookName, PB2APISelection** selection, int nModelType) override
    {
        EXPECT_EQ(strBookName, "Sales");
        modelType = nModelType;
        if (destinationResult == 1)
            *selection = NewSelection(ids, false);
        return destinationResult;
    }
    void Free(PB2APISelection* selection) override
    {
        ++frees;
        FreeSelection(selection);
    }
    int bookResult = 1, destinationResult = 1, frees = 0, modelType = -1;
    std::vector<int32_t> ids;
};

// The texts of ids, as the prompter records them.
std::vector<std::string> Texts(std::initializer_list<uint32_t> ids)
{
    std::vector<std::string> texts;
    for (uint32_t id : ids)
        texts.push_back(WizardString(id));
    return texts;
}

struct Page {
    explicit Page(int nModelType, PhoneBookReader reader = {})
    {
        sheet.m_nModelType = nModelType;
        if (!reader)
            reader = [](const std::string&, int32_t id, CPhoneBookRecord& record) {
                record.nKind = id >= 100 ? 2 : id % 2; // 100 and above are groups; odd ids I-FAX
                record.strNumber = (record.nKind == 1 ? "a" : "") + std::to_string(id) + (record.nKind == 1 ? "@b" : "");
                record.strName = "N" + std::to_string(id);
                return 1;
            };
        logic = std::make_unique<CPPSelectDestLogic>(sheet, prompter, exports, reader);
    }
    void Fill(int n)
    {
        for (int i = 0; i < n; ++i)
            sheet.AddDestination(CJobDestination(std::to_string(i), "", 0, 0, "", "", 0));
        logic = std::make_unique<CPPSelectDestLogic>(sheet, prompter, exports, PhoneBookReader{});
    }
    CPSMainuiLogic sheet;
    RecordingPrompter prompter;
    FakeExports exports;
    std::unique_ptr<CPPSelectDestLogic> logic;
};

TEST(DestinationChecks, AddStopsAtEachModelTypesLimit)
{
    // Start-up turns an unknown model into 0, so such a device takes 300; other types keep their own.
    const struct {
        int model, limit, text;
    } cases[] = {{0, 300, 3110}, {1, 200, 3111}, {2, 200, 3112}, {3, 500, 3113}, {7, 200, 3114}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        Page page(c.model);
        page.Fill(c.limit - 1);
        page.logic->m_strNumber = "9123"; // not among the listed numbers
        EXPECT_TRUE(page.logic->Add());
        EXPECT_TRUE(page.prompter.shown.empty());
        page.logic->m_strNumber = "9456";
        EXPECT_FALSE(page.logic->Add());
        EXPECT_EQ(page.prompter.shown, Texts({static_cast<uint32_t>(c.text)}));
        EXPECT_NE(page.prompter.shown[0].find(std::to_string(c.limit)), std::string::npos);
        EXPECT_EQ(page.prompter.flags, std::vector<unsigned>{MB_ICONWARNING});
        EXPECT_EQ(page.logic->RowCount(), c.limit);
        EXPECT_EQ(page.logic->m_strNumber, "9456"); // the typed entry stays
    }
}

TEST(DestinationChecks, IfaxOnADeviceWithoutItIsRefusedWithTheWizardsText)
{
    RecordingPrompter prompter;
    CPrompterNotifier notifier(prompter);
    for (int model : {0, 1, 2}) {
        CAddressValidation check = MakeWizardValidation(nullptr, "Qelta Driver", model, notifier);
        EXPECT_EQ(check.ValidateAddress("a@b", 1, 0, "", "", nullptr), 0);
    }
    CAddressValidation ifax = MakeWizardValidation(nullptr, "Qelta Driver", 3, notifier);
    EXPECT_EQ(ifax.ValidateAddress("a@b", 1, 0, "", "", nullptr), 1);
    EXPECT_EQ(prompter.shown, Texts({3117, 3117, 3117}));
    EXPECT_NE(WizardString(3117), WizardString(3003));
}

TEST(SelectDestination, AddTakesTheEntryAndReceptionConfirmByMode)
{
    Page page(3);
    page.logic->m_bFCode = 1;
    page.logic->m_strNumber = "0123";
    page.logic->m_strSubAddress = "12";
    page.logic->m_strPassCode = "34";
    ASSERT_TRUE(page.logic->Add());
    page.logic->m_nMode = 1;
    page.logic->m_strIfaxAddress = "x@y";
    page.logic->m_bReceptionConfirm = 0;
    ASSERT_TRUE(page.logic->Add());
    ASSERT_EQ(page.sheet.m_Destinations.size(), 2u);
    EXPECT_EQ(page.sheet.m_Destinations[0].m_bReceptionConfirm, 1); // a FAX number added by Add
    EXPECT_EQ(page.sheet.m_Destinations[1].m_bReceptionConfirm, 0);
    const DestinationRowView fax = page.logic->Row(0), ifax = page.logic->Row(1);
    EXPECT_EQ(fax.strColumns[2], "12");
    EXPECT_EQ(fax.strColumns[3], "34");
    EXPECT_EQ(fax.nConfirmImage, kImageConfirmOff);
    EXPECT_EQ(ifax.nImage, kImageIfax);
    EXPECT_TRUE(page.logic->m_strNumber.empty() && page.logic->m_strSubAddress.empty() && !page.logic->m_bFCode);

    // Next with an empty list adds the entry with reception confirm 0.
    Page next(0);
    next.logic->m_strNumber = "555";
    next.logic->m_bSkip = 0;
    EXPECT_EQ(next.logic->OnWizardNext(), IDD_SELECT_COVER);
    ASSERT_EQ(next.sheet.m_Destinations.size(), 1u);
    EXPECT_EQ(next.sheet.m_Destinations[0].m_bReceptionConfirm, 0);
    EXPECT_EQ(next.sheet.m_bChanged, 1);
}

TEST(SelectDestination, NextAddsATypedEntryThroughAddsChecks)
{
    // A number typed but not added is never left out of the job: Next adds it as Add would, and a
    // refusal keeps the page with its fields and names the field to mend. Only empty fields are
    // passed over.
    const struct {
        const char* name;
        int listed;
        int fcode;
        std::string number, sub, pass;
        int result;
        std::vector<uint32_t> texts;
        size_t destinations;
        int focus;
    } cases[] = {
        {"empty list, empty fields", 0, 0, "", "", "", -1, {3100}, 0, IDC_FAX_NUMBER},
        {"listed, empty fields", 2, 0, "", "", "", IDD_SELECT_COVER, {}, 2, IDC_FAX_NUMBER},
        {"listed, F-code on but nothing typed", 2, 1, "", "", "", IDD_SELECT_COVER, {}, 2, IDC_FAX_NUMBER},
        {"listed, a valid number typed", 2, 0, "555", "", "", IDD_SELECT_COVER, {}, 3, IDC_FAX_NUMBER},
        {"listed, a bad number typed", 2, 0, "5x5", "", "", -1, {3101}, 2, IDC_FAX_NUMBER},
        {"listed, only a sub-address typed", 2, 1, "", "12", "", -1, {3100}, 2, IDC_FAX_NUMBER},
        {"listed, a bad sub-address", 2, 1, "555", "1a", "", -1, {3102}, 2, IDC_SUBADDRESS},
        {"listed, a pass code alone", 2, 1, "555", "", "34", -1, {3104}, 2, IDC_SUBADDRESS},
        {"listed, a bad pass code", 2, 1, "555", "12", "3b", -1, {3103}, 2, IDC_PASSCODE},
        {"listed, a pass code too long", 2, 1, "555", "12", std::string(21, '3'), -1, {3105}, 2, IDC_PASSCODE},
        {"listed to the limit", 300, 0, "555", "", "", -1, {3110}, 300, IDC_FAX_NUMBER},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Page page(0);
        page.Fill(c.listed);
        page.logic->m_bSkip = 0;
        page.logic->m_bFCode = c.fcode;
        page.logic->m_strNumber = c.number;
        page.logic->m_strSubAddress = c.sub;
        page.logic->m_strPassCode = c.pass;
        EXPECT_EQ(page.logic->OnWizardNext(), c.result);
        std::vector<std::string> texts;
        for (uint32_t id : c.texts)
            texts.push_back(WizardString(id));
        EXPECT_EQ(page.prompter.shown, texts);
        EXPECT_EQ(page.sheet.m_Destinations.size(), c.destinations);
        EXPECT_EQ(page.logic->FocusField(), c.focus);
        if (c.result < 0) {
            EXPECT_EQ(page.logic->m_strNumber, c.number) << "a refused entry stays typed";
        } else if (c.destinations > static_cast<size_t>(c.listed)) {
            EXPECT_EQ(page.sheet.m_Destinations.back().m_strNumber, c.number);
        }
    }
}

TEST(SelectDestination, TheSkipPathSetsBroadcastAndNotification)
{
    const CJobDestination plain("1", "", 0, 0, "", "", 0), fcode("2", "", 0, 1, "9", "", 0);
    const struct {
        const char* name;
        int model;
        std::vector<CJobDestination> destinations;
        bool cover;
        int broadcast, notification;
    } cases[] = {
        {"one destination", 0, {plain}, false, 0, 1},
        {"two destinations", 0, {plain, plain}, false, 1, 1},
        {"F-code on type 0 counts not", 0, {plain, fcode}, false, 1, 1},
        {"F-code on type 1", 1, {plain, fcode}, false, 0, 0},
        {"F-code on type 2", 2, {fcode, plain}, false, 0, 0},
        {"type 2 without F-code", 2, {plain, plain}, false, 1, 0},
        {"type 3", 3, {plain, plain}, false, 1, 1},
        {"a cover attached", 0, {plain, plain}, true, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Page page(c.model);
        for (const auto& d : c.destinations)
            page.sheet.AddDestination(d);
        page.logic = std::make_unique<CPPSelectDestLogic>(page.sheet, page.prompter, page.exports, PhoneBookReader{});
        page.sheet.m_bAttachCover = c.cover ? 1 : 0;
        page.sheet.m_strCoverPath = c.cover ? "/covers/Sales.TQC" : "";
        EXPECT_EQ(page.logic->OnWizardNext(), IDD_PREVIEW);
        EXPECT_EQ(page.sheet.m_bSkip, 1);
        EXPECT_EQ(page.sheet.m_JobParameters.m_bBroadcast, c.broadcast);
        EXPECT_EQ(page.sheet.m_JobParameters.m_bNotification, c.notification);
    }
}

TEST(SelectDestination, SortTogglesAndDeleteWalksFromTheLastRowUp)
{
    Page page(0);
    for (const char* name : {"b", "C", "a"})
        page.sheet.AddDestination(CJobDestination("1", name, 0, 0, "", "", 0));
    page.logic = std::make_unique<CPPSelectDestLogic>(page.sheet, page.prompter, page.exports, PhoneBookReader{});
    auto names = [&] {
        std::string out;
        for (int r = 0; r < page.logic->RowCount(); ++r)
            out += page.logic->Row(r).strColumns[1];
        return out;
    };
    page.logic->SortByColumn(1); // a new column sorts descending
    EXPECT_EQ(names(), "Cba");
    page.logic->SortByColumn(1);
    EXPECT_EQ(names(), "abC");
    page.logic->SortByColumn(0); // back on column 0: descending again

    page.logic->SortByColumn(1);
    page.logic->SortByColumn(1); // "abC"
    page.prompter.answers = {IDNO};
    EXPECT_FALSE(page.logic->Delete({0, 2}));
    EXPECT_TRUE(page.logic->Delete({2, 0})); // rows a and C; the sheet's list loses the same records
    EXPECT_EQ(names(), "b");
    ASSERT_EQ(page.sheet.m_Destinations.size(), 1u);
    EXPECT_EQ(page.sheet.m_Destinations[0].m_strName, "b");
    EXPECT_EQ(page.prompter.shown, Texts({320, 320}));
    EXPECT_EQ(page.prompter.flags[0], unsigned{MB_YESNO | MB_ICONEXCLAMATION});
    EXPECT_TRUE(page.logic->DeleteAll());
    EXPECT_TRUE(page.sheet.m_Destinations.empty());
    EXPECT_FALSE(page.logic->DeleteAll()); // nothing left: no question
    EXPECT_EQ(page.prompter.shown.back(), WizardString(321));
}

TEST(SelectDestination, PhoneBookImport)
{
    // Fax and I-FAX records come in order; groups are skipped; the selection is freed.
    Page page(3);
    page.exports.ids = {1, 2, 100, 4};
    EXPECT_EQ(page.logic->ImportFromPhoneBook(), 3);
    EXPECT_EQ(page.exports.modelType, 3);
    EXPECT_EQ(page.exports.frees, 1);
    ASSERT_EQ(page.sheet.m_Destinations.size(), 3u);
    EXPECT_EQ(page.sheet.m_Destinations[0].m_strNumber, "a1@b");
    EXPECT_EQ(page.sheet.m_Destinations[0].m_nKind, kDestinationIFax);
    EXPECT_EQ(page.sheet.m_Destinations[2].m_strName, "N4");

    // Above the limit: nothing is added, one warning, the selection is still freed.
    Page full(1);
    full.Fill(199);
    full.exports.ids = {2, 4};
    EXPECT_EQ(full.logic->ImportFromPhoneBook(), 0);
    EXPECT_EQ(full.prompter.shown, Texts({3111}));
    EXPECT_EQ(full.exports.frees, 1);
    EXPECT_EQ(full.sheet.m_Destinations.size(), 199u);

    // A reader that throws ends the import at that record, silently; a failed read is skipped.
    Page failing(0, [](const std::string& path, int32_t id, CPhoneBookRecord& record) {
        EXPECT_EQ(path, "/books/Sales.xml");
        if (id == 6)
            throw std::runtime_error("book gone");
        record.strNumber = std::to_string(id);
        return id == 4 ? 0 : 1;
    });
    failing.exports.ids = {2, 4, 8, 6, 10};
    EXPECT_EQ(failing.logic->ImportFromPhoneBook(), 2);
    EXPECT_TRUE(failing.prompter.shown.empty());
    EXPECT_EQ(failing.exports.frees, 1);

    // A cancelled dialog adds nothing.
    Page cancelled(0);
    cancelled.exports.destinationResult = 2;
    EXPECT_EQ(cancelled.logic->ImportFromPhoneBook(), 0);
    cancelled.exports.bookResult = 0;
    EXPECT_EQ(cancelled.logic->ImportFromPhoneBook(), 0);
    EXPECT_EQ(cancelled.exports.frees, 0);
}

TEST(SelectDestination, ADestinationAlreadyListedIsMergedWhicheverWayItComes)
{
    // A number typed and added, then a group holding a member with that number: one row, which
    // takes the member's name (a typed row has none), while a named row keeps its own against a
    // later entry of another name; the same number with another F-code mailbox, or as another
    // kind, is another place.
    Page page(3, [](const std::string&, int32_t id, CPhoneBookRecord& record) {
        record.nKind = id == 5 ? kDestinationIFax : kDestinationFax;
        record.strNumber = id == 5 ? "0301234567" : id == 4 ? "0309999" : "0301234567";
        record.bFCode = id == 3 ? 1 : 0;
        record.strSubAddress = id == 3 ? "12" : "";
        record.strName = "Member " + std::to_string(id);
        return 1;
    });
    page.logic->m_strNumber = "0301234567";
    ASSERT_TRUE(page.logic->Add());
    page.exports.ids = {2, 3, 4, 5, 4, 6};
    EXPECT_EQ(page.logic->ImportFromPhoneBook(), 3);
    page.logic->m_strNumber = "0309999";
    EXPECT_TRUE(page.logic->Add()) << "a typed number already listed is taken";
    EXPECT_TRUE(page.logic->m_strNumber.empty());
    page.logic->m_bFCode = 1;
    page.logic->m_strNumber = "0301234567";
    page.logic->m_strSubAddress = "12";
    EXPECT_TRUE(page.logic->Add());

    const struct {
        std::string number, name;
        int kind, fcode;
    } expected[] = {
        {"0301234567", "Member 2", kDestinationFax, 0},
        {"0301234567", "Member 3", kDestinationFax, 1},
        {"0309999", "Member 4", kDestinationFax, 0},
        {"0301234567", "Member 5", kDestinationIFax, 0},
    };
    ASSERT_EQ(page.logic->RowCount(), 4);
    ASSERT_EQ(page.sheet.m_Destinations.size(), 4u);
    for (int r = 0; r < 4; ++r) {
        SCOPED_TRACE(r);
        const CJobDestination& d = page.logic->RowDestination(r);
        EXPECT_EQ(d.m_strNumber, expected[r].number);
        EXPECT_EQ(d.m_strName, expected[r].name);
        EXPECT_EQ(d.m_nKind, expected[r].kind);
        EXPECT_EQ(d.m_bFCode, expected[r].fcode);
    }
    EXPECT_TRUE(page.prompter.shown.empty());
}

} // namespace
