// The destination checks: every refusal and its one message, in the order the checks run.
#include "phonebook/dialogs/address_validation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Message {
    void* owner;
    int id;
    std::string caption;
    unsigned icon;
};

class RecordingNotifier : public IMessageNotifier {
public:
    void Notify(void* owner, int textId, const std::string& caption, unsigned icon) override
    {
        messages.push_back({owner, textId, caption, icon});
    }
    std::vector<Message> messages;
};

std::string digits(size_t n) { return std::string(n, '1'); }

struct Case {
    const char* what;
    int deviceClass;
    std::string number;
    int ifax;
    int withSub;
    const char* sub;
    const char* pass;
    const char* name;
    int message; // 0: accepted
};

} // namespace

TEST(AddressValidation, RefusalsAndTheirOrder)
{
    const std::string s10 = digits(10), s20 = digits(20), s21 = digits(21);
    const Case cases[] = {
        {"R alone is a missing number", 99, "R", 0, 0, "", "", nullptr, IDS_NO_ADDRESS},
        {"r alone too", 99, "r", 0, 0, "", "", nullptr, IDS_NO_ADDRESS},
        {"empty number", 99, "", 0, 0, "", "", nullptr, IDS_NO_ADDRESS},
        {"R prefix", 99, "R123", 0, 0, "", "", nullptr, 0},
        {"r prefix with symbols", 99, "r-45#", 0, 0, "", "", nullptr, 0},
        {"R inside", 99, "12R3", 0, 0, "", "", nullptr, IDS_BAD_FAX_NUMBER},
        {"a blank in a number", 99, "12 3", 0, 0, "", "", nullptr, IDS_BAD_FAX_NUMBER},
        {"non-ASCII digit", 99, "12\xef\xbc\x93", 0, 0, "", "", nullptr, IDS_BAD_FAX_NUMBER},
        {"blank in a sub-address", 99, "123", 0, 1, "12 34", "", nullptr, 0},
        {"hyphen in a sub-address", 99, "123", 0, 1, "12-34", "", nullptr, IDS_BAD_SUBADDRESS},
        {"hyphen in a pass code", 99, "123", 0, 1, "12", "1-2", nullptr, IDS_BAD_PASSCODE},
        {"both empty with the flag", 99, "123", 0, 1, "", "", nullptr, 0},
        {"pass code without sub-address", 99, "123", 0, 1, "", "1", nullptr, IDS_PASSCODE_WITHOUT_SUBADDRESS},
        {"pass code without sub-address wins over bad pass code", 99, "123", 0, 1, "", "x", nullptr,
         IDS_PASSCODE_WITHOUT_SUBADDRESS},
        {"flag 0 ignores bad and long sub-address", 0, "123", 0, 0, "x-y-z-very-long-and-wrong-0123456789", "??", nullptr, 0},
        {"class 1: 40 + 20 + 20", 1, digits(40), 0, 1, s20.c_str(), s20.c_str(), nullptr, 0},
        {"class 1: 41", 1, digits(41), 0, 0, "", "", nullptr, IDS_TOO_LONG_CLASS_1},
        {"class 1: sub-address 21", 1, "1", 0, 1, s21.c_str(), "", nullptr, IDS_TOO_LONG_CLASS_1},
        {"class 2: 50", 2, digits(50), 0, 0, "", "", nullptr, 0},
        {"class 2: 51", 2, digits(51), 0, 0, "", "", nullptr, IDS_TOO_LONG_CLASS_2},
        {"class 0: 44 + 10 + 10", 0, digits(44), 0, 1, s10.c_str(), s10.c_str(), nullptr, 0},
        {"class 0: 45 + 10 + 10", 0, digits(45), 0, 1, s10.c_str(), s10.c_str(), nullptr, IDS_TOO_LONG_CLASS_0_3},
        {"class 3: 65", 3, digits(65), 0, 0, "", "", nullptr, IDS_TOO_LONG_CLASS_0_3},
        {"class 0: pass code 21", 0, "1", 0, 1, "1", s21.c_str(), nullptr, IDS_TOO_LONG_CLASS_0_3},
        {"class 99: 40 + 10 + 10", 99, digits(40), 0, 1, s10.c_str(), s10.c_str(), nullptr, 0},
        {"class 99: 41 + 10 + 10", 99, digits(41), 0, 1, s10.c_str(), s10.c_str(), nullptr, IDS_TOO_LONG_OTHER},
        {"class 7 is other", 7, digits(61), 0, 0, "", "", nullptr, IDS_TOO_LONG_OTHER},
        {"class 99 takes any I-FAX address", 99, std::string(500, 'a') + "@x", 1, 1, "bad", "bad", nullptr, 0},
        {"class 3: I-FAX 64", 3, std::string(62, 'a') + "@x", 1, 0, "", "", nullptr, 0},
        {"class 3: I-FAX 65", 3, std::string(63, 'a') + "@x", 1, 0, "", "", nullptr, IDS_IFAX_TOO_LONG},
        {"class 3: I-FAX length in bytes", 3, std::string(32, '\xc3') + std::string(32, '\xa9') + "@", 1, 0, "", "",
         nullptr, IDS_IFAX_TOO_LONG},
        {"class 2 has no I-FAX", 2, "a@b", 1, 0, "", "", nullptr, IDS_NO_IFAX},
        {"class 0 has no I-FAX", 0, "a@b", 1, 0, "", "", nullptr, IDS_NO_IFAX},
        {"empty name before the number", 99, "", 0, 0, "", "", "", IDS_NO_NAME},
        {"a name is looked at, then the number", 99, "12R", 0, 0, "", "", "Sales", IDS_BAD_FAX_NUMBER},
        {"I-FAX names get no character check", 3, "a@b", 1, 0, "", "", "\x01<&>", 0},
    };
    int owner = 0;
    for (const Case& c : cases) {
        RecordingNotifier notifier;
        CAddressValidation check(&owner, "Select Destination", c.deviceClass, notifier);
        const int result = check.ValidateAddress(c.number.c_str(), c.ifax, c.withSub, c.sub, c.pass, c.name);
        EXPECT_EQ(result, c.message == 0 ? 1 : 0) << c.what;
        if (c.message == 0) {
            EXPECT_TRUE(notifier.messages.empty()) << c.what;
            continue;
        }
        ASSERT_EQ(notifier.messages.size(), 1u) << c.what;
        const Message& m = notifier.messages[0];
        EXPECT_EQ(m.id, c.message) << c.what;
        EXPECT_EQ(m.owner, &owner) << c.what;
        EXPECT_EQ(m.caption, "Select Destination") << c.what;
        EXPECT_EQ(m.icon, kIconWarning) << c.what;
    }
}

TEST(AddressValidation, NullTexts)
{
    RecordingNotifier notifier;
    CAddressValidation check(nullptr, "", 99, notifier);
    EXPECT_EQ(check.ValidateAddress(nullptr, 0, 0, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(check.ValidateAddress("123", 0, 1, nullptr, "", nullptr), 0);
    EXPECT_EQ(check.ValidateAddress("123", 0, 0, nullptr, nullptr, nullptr), 1);
    ASSERT_EQ(notifier.messages.size(), 2u);
    EXPECT_EQ(notifier.messages[0].id, IDS_NO_ADDRESS);
    EXPECT_EQ(notifier.messages[1].id, IDS_BAD_SUBADDRESS);
    EXPECT_EQ(CAddressValidation::IsValidFaxNumber(nullptr), 0);
    EXPECT_EQ(CAddressValidation::IsValidSubAddress(nullptr), 0);
    EXPECT_EQ(CAddressValidation::IsValidFaxNumber(""), 1);
}
