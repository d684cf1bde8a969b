// The Select Destination logic on a real book: what is listed, what may be chosen, sorting, OK.
#include "phonebook/dialogs/select_dest_logic.h"
#include "phonebook/dialogs/selection.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class RecordingNotifier : public IMessageNotifier {
public:
    void Notify(void*, int textId, const std::string& caption, unsigned icon) override
    {
        EXPECT_EQ(caption, "Select Destination");
        EXPECT_EQ(icon, kIconWarning);
        ids.push_back(textId);
    }
    std::vector<int> ids;
};

class SelectDest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(book.Initiate(CPickerPhoneBook::GetPhoneBookPath("Office"), 0), 1);
        fax = add(PB_RECORD_FAX, "Fax", {{"faxNumber", "0123"}});
        ifax = add(PB_RECORD_IFAX, "Mail", {{"mailAddress", "a@b.example"}});
        bad = add(PB_RECORD_FAX, "Bad", {{"faxNumber", "01R"}});
        withSub = add(PB_RECORD_FAX, "Sub", {{"faxNumber", "1"}, {"faxFCode", "true"}, {"faxSubAddress", "1-2"}});
        good = group("Good", {fax, ifax});
        badGroup = group("BadGroup", {fax, bad, withSub});
        empty = group("Empty", {});
    }

    int32_t add(int32_t type, const std::string& name, const std::vector<std::pair<std::string, std::string>>& values)
    {
        int32_t id = 0;
        EXPECT_EQ(book.CreateNewRecord(type, name, kRootFolderId, id, 0), 1);
        for (const auto& [key, value] : values)
            EXPECT_EQ(book.AddRecordValue(id, type, key, value), 1);
        EXPECT_EQ(book.FlushRecord(id, 0), 1);
        return id;
    }

    int32_t group(const std::string& name, const std::vector<int32_t>& members)
    {
        int32_t id = 0;
        EXPECT_EQ(book.CreateNewGroup(name, kRootFolderId, id, 0), 1);
        for (const int32_t m : members)
            EXPECT_EQ(book.AddRecord2Group(id, m), 1);
        EXPECT_EQ(book.FlushGroup(id, 0), 1);
        return id;
    }

    DestinationRow row(CSelectDestLogic& logic, int32_t id)
    {
        for (const DestinationRow& r : logic.ListFolder(kRootFolderId))
            if (r.id == id)
                return r;
        ADD_FAILURE() << "no row " << id;
        return {};
    }

    qelta::test::ScopedStateRoot root;
    CPickerPhoneBook book;
    RecordingNotifier notifier;
    int32_t fax = 0, ifax = 0, bad = 0, withSub = 0, good = 0, badGroup = 0, empty = 0;
};

std::vector<int32_t> idsOf(const std::vector<DestinationRow>& rows)
{
    std::vector<int32_t> out;
    for (const DestinationRow& r : rows)
        out.push_back(r.id);
    return out;
}

} // namespace

TEST_F(SelectDest, WhatIsListedByDeviceClassAndMode)
{
    const struct {
        int32_t deviceClass;
        CSelectDestLogic::Mode mode;
        int mask;
    } cases[] = {
        {1, CSelectDestLogic::Destinations, PB_MASK_FAX | PB_MASK_GROUP},
        {0, CSelectDestLogic::Members, PB_MASK_FAX},
        {3, CSelectDestLogic::Destinations, PB_MASK_FAX | PB_MASK_IFAX | PB_MASK_GROUP},
        {99, CSelectDestLogic::Members, PB_MASK_FAX | PB_MASK_IFAX},
        {2, CSelectDestLogic::Destinations, PB_MASK_FAX | PB_MASK_GROUP},
    };
    for (const auto& c : cases) {
        CSelectDestLogic logic(book, notifier, "Select Destination", c.mode, c.deviceClass);
        EXPECT_EQ(logic.Mask(), c.mask) << c.deviceClass;
        for (const DestinationRow& r : logic.ListFolder(kRootFolderId)) {
            EXPECT_TRUE(c.mask & (r.type == PB_RECORD_FAX ? PB_MASK_FAX : r.type == PB_RECORD_IFAX ? PB_MASK_IFAX : PB_MASK_GROUP));
            EXPECT_EQ(r.Image(), r.type == PB_RECORD_GROUP ? 1 : 0);
        }
    }
    CSelectDestLogic logic(book, notifier, "Select Destination", CSelectDestLogic::Destinations);
    const std::vector<DestinationRow> rows = logic.ListFolder(kRootFolderId);
    EXPECT_EQ(idsOf(rows), (std::vector<int32_t>{fax, ifax, bad, withSub, good, badGroup, empty}));
    EXPECT_EQ(rows[0].second, "0123");
    EXPECT_EQ(rows[1].second, "a@b.example");
    EXPECT_EQ(rows[4].second, "");
    EXPECT_EQ(idsOf(logic.ListSearch(kRootFolderId, "Goo")), std::vector<int32_t>{good});
    EXPECT_EQ(idsOf(logic.ListSearch(77, "Goo")), std::vector<int32_t>{});
    const std::vector<FolderItem> folders = logic.Folders();
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[0].textId, IDS_ADDRESS_LISTS);
    EXPECT_EQ(folders[1].textId, IDS_FAVORITE);
    logic.SetCurrentFolder(folders[1].id);
    EXPECT_FALSE(logic.CanCreateNew());
    logic.SetCurrentFolder(folders[0].id);
    EXPECT_TRUE(logic.CanCreateNew());
    EXPECT_TRUE(notifier.ids.empty());
}

TEST_F(SelectDest, AddChecksEntriesAndGroupsMemberByMember)
{
    CSelectDestLogic logic(book, notifier, "Select Destination", CSelectDestLogic::Destinations, 99);
    const struct {
        int32_t id;
        bool added;
        std::vector<int> messages;
    } steps[] = {
        {bad, false, {IDS_BAD_FAX_NUMBER}},
        {withSub, false, {IDS_BAD_SUBADDRESS}},
        {badGroup, false, {IDS_BAD_FAX_NUMBER}}, // stops at its first bad member
        {empty, false, {}},
        {fax, true, {}},
        {fax, false, {IDS_ALREADY_CHOSEN}},
        {good, true, {}},
    };
    for (const auto& s : steps) {
        notifier.ids.clear();
        EXPECT_EQ(logic.Add(row(logic, s.id)), s.added) << s.id;
        EXPECT_EQ(notifier.ids, s.messages) << s.id;
    }
    // Class 2 refuses the Internet-fax member of the group.
    CSelectDestLogic class2(book, notifier, "Select Destination", CSelectDestLogic::Destinations, 2);
    notifier.ids.clear();
    EXPECT_FALSE(class2.Add(row(logic, good)));
    EXPECT_EQ(notifier.ids, std::vector<int>{IDS_NO_IFAX});

    // OK: the group gives its members; the fax chosen on its own and in the group comes once.
    EXPECT_EQ(idsOf(logic.Chosen()), (std::vector<int32_t>{fax, good}));
    EXPECT_EQ(logic.Accept(nullptr), (std::vector<int32_t>{fax, ifax}));
    logic.Remove(0);
    logic.Remove(5);
    EXPECT_EQ(logic.Accept(nullptr), (std::vector<int32_t>{fax, ifax}));
}

TEST_F(SelectDest, AGroupWhoseMemberWasDeletedByAnEarlierProgramGivesTheRest)
{
    // Earlier programs deleted a record's profile and kept its memberships.
    const int32_t old = add(PB_RECORD_FAX, "Old", {{"faxNumber", "0999"}});
    const int32_t team = group("Team", {old, fax});
    const std::string path = book.GetBookPath();
    std::string text = qelta::test::readTextFile(path);
    const size_t start = text.find("<profile id='" + std::to_string(old) + "'>");
    ASSERT_NE(start, std::string::npos);
    text.erase(start, text.find("</profile>", start) + 10 - start);
    qelta::test::writeTextFile(path, text);
    ASSERT_EQ(book.Initiate(path, 1), 1);

    CSelectDestLogic logic(book, notifier, "Select Destination", CSelectDestLogic::Destinations, 99);
    EXPECT_TRUE(logic.Add(row(logic, team)));
    EXPECT_EQ(notifier.ids, std::vector<int>{});
    EXPECT_EQ(logic.Accept(nullptr), std::vector<int32_t>{fax});
}

TEST_F(SelectDest, OkWithNothingChosen)
{
    CSelectDestLogic logic(book, notifier, "Select Destination", CSelectDestLogic::Destinations);
    EXPECT_EQ(logic.Accept(nullptr), std::vector<int32_t>{});
    const DestinationRow selected = row(logic, ifax);
    EXPECT_EQ(logic.Accept(&selected), std::vector<int32_t>{ifax});
    CSelectDestLogic other(book, notifier, "Select Destination", CSelectDestLogic::Destinations);
    const DestinationRow invalid = row(other, bad);
    EXPECT_EQ(other.Accept(&invalid), std::vector<int32_t>{});
    EXPECT_EQ(notifier.ids, std::vector<int>{IDS_BAD_FAX_NUMBER});
}

TEST(SortRows, AsciiLettersFoldedOtherBytesUnsigned)
{
    auto rowsOf = [](std::vector<std::string> names) {
        std::vector<DestinationRow> rows;
        for (size_t i = 0; i < names.size(); ++i)
            rows.push_back({static_cast<int32_t>(i + 1), PB_RECORD_FAX, names[i], std::to_string(9 - i)});
        return rows;
    };
    auto namesOf = [](const std::vector<DestinationRow>& rows) {
        std::vector<std::string> out;
        for (const DestinationRow& r : rows)
            out.push_back(r.name);
        return out;
    };
    std::vector<DestinationRow> rows = rowsOf({"b", "\xc3\xa9", "A", "_", "a", "Z"});
    SortState state;
    state.Click(0); // the first click on Name sorts ascending
    EXPECT_EQ(state.descending, 0);
    SortRows(rows, state);
    // Keys "b", "\xc3\xa9", "a", "_", "a", "z": '_' (0x5f) before the folded letters, the lead byte
    // 0xc3 after them; equal keys keep their order.
    EXPECT_EQ(namesOf(rows), (std::vector<std::string>{"_", "A", "a", "b", "Z", "\xc3\xa9"}));
    state.Click(0);
    EXPECT_EQ(state.descending, 1);
    SortRows(rows, state);
    EXPECT_EQ(namesOf(rows), (std::vector<std::string>{"\xc3\xa9", "Z", "b", "A", "a", "_"}));
    state.Click(1); // the first click on another column sorts descending
    EXPECT_EQ(state.descending, 1);
    SortRows(rows, state);
    EXPECT_EQ(rows.front().second, "9");
}

TEST_F(SelectDest, SelectionsCarryTheIdsInOrder)
{
    for (const bool chooseGroup : {false, true}) {
        CSelectDestLogic logic(book, notifier, "Select Destination", CSelectDestLogic::Destinations);
        if (chooseGroup) {
            ASSERT_TRUE(logic.Add(row(logic, good)));
        }
        PB2APISelection* selection = NewSelection(logic.Accept(nullptr), chooseGroup);
        ASSERT_TRUE(selection);
        ASSERT_TRUE(selection->ids) << "an empty selection still has its array";
        EXPECT_EQ(selection->flag, chooseGroup ? 1 : 0);
        EXPECT_EQ(std::vector<int32_t>(selection->ids, selection->ids + selection->count),
                  chooseGroup ? (std::vector<int32_t>{fax, ifax}) : std::vector<int32_t>{});
        FreeSelection(selection);
    }
    FreeSelection(nullptr);
}
