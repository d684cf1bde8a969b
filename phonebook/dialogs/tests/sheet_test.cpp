// The address and group sheets' logic: enabling, Apply, and what storing writes into a real book.
#include "phonebook/dialogs/sheet_logic.h"
#include "phonebook/dialogs/picker_phone_book.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

class RecordingNotifier : public IMessageNotifier {
public:
    void Notify(void*, int textId, const std::string& caption, unsigned) override
    {
        ids.push_back(textId);
        captions.push_back(caption);
    }
    std::vector<int> ids;
    std::vector<std::string> captions;
};

class Sheets : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(book.Initiate(CPickerPhoneBook::GetPhoneBookPath("Office"), 0), 1); }

    std::map<std::string, std::string> stored(int32_t id, std::vector<std::string> keys)
    {
        std::map<std::string, std::string> out;
        for (const std::string& k : keys) {
            std::string v;
            book.GetRecordValue(id, k, v);
            out[k] = v;
        }
        return out;
    }

    qelta::test::ScopedStateRoot root;
    CPickerPhoneBook book;
    RecordingNotifier notifier;
};

} // namespace

TEST(AddressPage, EnableTable)
{
    RecordingNotifier notifier;
    const int controls[] = {IDC_FAX_NUMBER, IDC_USE_FCODE,  IDC_SUBADDRESS, IDC_SUBADDRESS_LABEL, IDC_PASSCODE,
                            IDC_IFAX_ADDRESS, IDC_RECEPTION_CONFIRM, IDC_KIND_FAX, IDC_KIND_IFAX, IDC_FAVORITE};
    const struct {
        int kind;
        bool fcode, readOnly;
        std::vector<bool> enabled; // in the order of controls
    } rows[] = {
        {PB_RECORD_FAX, false, false, {1, 1, 0, 0, 0, 0, 0, 1, 1, 1}},
        {PB_RECORD_FAX, true, false, {1, 1, 1, 1, 1, 0, 0, 1, 1, 1}},
        {PB_RECORD_IFAX, true, false, {0, 0, 0, 0, 0, 1, 1, 1, 1, 1}},
        {PB_RECORD_FAX, true, true, {1, 0, 1, 1, 1, 0, 0, 0, 0, 0}},
        {PB_RECORD_IFAX, false, true, {0, 0, 0, 0, 0, 1, 0, 0, 0, 0}},
    };
    for (const auto& r : rows) {
        CAddressPageLogic page(notifier, "Create a New Address", 99, r.readOnly);
        page.Values().kind = r.kind;
        page.Values().useFCode = r.fcode;
        for (size_t i = 0; i < std::size(controls); ++i)
            EXPECT_EQ(page.IsEnabled(controls[i]), r.enabled[i]) << "control " << controls[i] << " kind " << r.kind
                                                                 << " fcode " << r.fcode << " ro " << r.readOnly;
        for (const int edit : {IDC_ADDRESS_NAME, IDC_FAX_NUMBER, IDC_SUBADDRESS, IDC_PASSCODE, IDC_IFAX_ADDRESS, IDC_INITIAL})
            EXPECT_EQ(page.IsReadOnly(edit), r.readOnly);
    }
    EXPECT_TRUE(notifier.ids.empty());
}

TEST(AddressPage, AFailedApplyRestoresTheAcceptedValues)
{
    RecordingNotifier notifier;
    CAddressPageLogic page(notifier, "Create a New Address", 0, false);
    AddressValues& v = page.Values();
    v.name = "Sales";
    v.faxNumber = "0123";
    v.useFCode = true;
    v.subAddress = "12 34";
    page.MarkModified();
    ASSERT_TRUE(page.Apply());
    EXPECT_TRUE(page.Confirmed());
    EXPECT_TRUE(page.Changed());
    const AddressValues accepted = v;
    v.faxNumber = "12R3";
    v.initial = "s";
    v.favorite = true;
    EXPECT_FALSE(page.Apply());
    EXPECT_EQ(page.Values(), accepted);
    EXPECT_TRUE(page.Modified());
    // An Internet-fax address on a device without it is refused before any other check.
    v.kind = PB_RECORD_IFAX;
    v.name.clear();
    EXPECT_FALSE(page.Apply());
    EXPECT_EQ(notifier.ids, (std::vector<int>{IDS_BAD_FAX_NUMBER, IDS_ADDRESS_IFAX_UNSUPPORTED}));
    EXPECT_EQ(notifier.captions, (std::vector<std::string>{"Create a New Address", "Create a New Address"}));
    EXPECT_EQ(page.Values(), accepted);
}

TEST_F(Sheets, StoringAnAddressWritesFCodeValuesOnlyWithFCode)
{
    const std::vector<std::string> keys = {"initial", "frequentlyUsed", "faxNumber", "faxFCode", "faxPassCode",
                                           "faxSubAddress"};
    AddressValues v;
    v.name = "Off";
    v.faxNumber = "0123";
    v.passCode = "9";
    v.subAddress = "8";
    v.initial = "o";
    int32_t off = 0;
    ASSERT_EQ(StoreAddressRecord(book, v, kRootFolderId, off, 0), 1);
    EXPECT_EQ(stored(off, keys), (std::map<std::string, std::string>{{"initial", "o"}, {"frequentlyUsed", "false"},
                                                                      {"faxNumber", "0123"}, {"faxFCode", "false"},
                                                                      {"faxPassCode", ""}, {"faxSubAddress", ""}}));
    v.name = "On";
    v.useFCode = true;
    v.favorite = true;
    int32_t on = 0;
    ASSERT_EQ(StoreAddressRecord(book, v, kRootFolderId, on, 0), 1);
    EXPECT_EQ(stored(on, keys), (std::map<std::string, std::string>{{"initial", "o"}, {"frequentlyUsed", "true"},
                                                                     {"faxNumber", "0123"}, {"faxFCode", "true"},
                                                                     {"faxPassCode", "9"}, {"faxSubAddress", "8"}}));
    // Loaded back as a page shows it.
    CAddressPageLogic page(notifier, "", 99, false);
    ASSERT_TRUE(page.Load(book, on));
    EXPECT_EQ(page.Values(), v);
    // Stored again with the same id: an Internet-fax address now.
    v.kind = PB_RECORD_IFAX;
    v.mailAddress = "a@b.example";
    v.receptionConfirm = true;
    ASSERT_EQ(StoreAddressRecord(book, v, kRootFolderId, on, 1), 1);
    EXPECT_EQ(stored(on, {"mailAddress", "receptionConfirm"}),
              (std::map<std::string, std::string>{{"mailAddress", "a@b.example"}, {"receptionConfirm", "true"}}));
    // A folder that does not exist stores nothing and keeps the id.
    int32_t lost = 5;
    EXPECT_EQ(StoreAddressRecord(book, v, 77, lost, 0), 0);
    EXPECT_EQ(lost, 5);
}

TEST_F(Sheets, GroupsNeedANameAndMembersAndStoreThemInOrder)
{
    AddressValues v;
    v.name = "A";
    v.faxNumber = "1";
    int32_t a = 0, b = 0, inner = 0;
    ASSERT_EQ(StoreAddressRecord(book, v, kRootFolderId, a, 0), 1);
    v.name = "B";
    v.kind = PB_RECORD_IFAX;
    v.mailAddress = "b@x";
    ASSERT_EQ(StoreAddressRecord(book, v, kRootFolderId, b, 0), 1);
    ASSERT_EQ(StoreGroupRecord(book, "Inner", false, {a}, kRootFolderId, inner, 0), 1);

    CGroupPageLogic page(notifier, "Create a New Group", false);
    EXPECT_FALSE(page.Apply());
    EXPECT_EQ(page.AddMembers(book, {b, inner, a, b, 999}), 2u) << "no groups, no repeats, nothing unreadable";
    EXPECT_FALSE(page.Apply()) << "no name";
    page.Name() = "Team";
    page.Favorite() = true;
    page.MarkModified();
    ASSERT_TRUE(page.Apply());
    EXPECT_EQ(page.MemberIds(), (std::vector<int32_t>{b, a}));
    EXPECT_TRUE(page.Changed());
    EXPECT_EQ(notifier.ids, (std::vector<int>{IDS_GROUP_INCOMPLETE, IDS_GROUP_INCOMPLETE}));

    int32_t group = 0;
    ASSERT_EQ(StoreGroupRecord(book, page.Name(), page.Favorite(), page.MemberIds(), kRootFolderId, group, 0), 1);
    EXPECT_EQ(book.GetRecordCount(group), 2);
    EXPECT_EQ(book.GetRecordID(group, 0), b);
    EXPECT_EQ(book.GetRecordID(group, 1), a);
    const PhoneBookList favorites = book.FindRecords(kFavoriteFolderId, PB_MASK_GROUP);
    ASSERT_EQ(book.GetRecordListCount(favorites), 1);
    EXPECT_EQ(book.GetRecordID(favorites, 0), group);

    CGroupPageLogic shown(notifier, "", true);
    ASSERT_TRUE(shown.Load(book, group));
    EXPECT_EQ(shown.Name(), "Team");
    EXPECT_TRUE(shown.Favorite());
    ASSERT_EQ(shown.Members().size(), 2u);
    EXPECT_EQ(shown.Members()[0].second, "b@x");
    EXPECT_FALSE(shown.IsEnabled(IDC_GROUP_SELECT));
    shown.Sort(0);
    EXPECT_EQ(shown.Members()[0].name, "A");
    EXPECT_FALSE(shown.Load(book, a)) << "no group";
}
