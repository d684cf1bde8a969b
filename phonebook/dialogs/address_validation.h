// The checks one destination passes before it is stored in a phone book or added to a list of
// destinations: a fax number with its sub-address and pass code, or an Internet-fax address,
// against the limits of the device that will send it. Every refusal is told through the notifier
// as one warning; lengths count bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

/// Device classes: 0 to 3 are fax machine families (3 alone sends Internet fax), 99 is none in particular.
inline constexpr int32_t kDeviceClassUnspecified = 99;

/// Byte limits of a fax sub-address and pass code, on every device class.
inline constexpr size_t kMaxSubAddressLength = 20;
inline constexpr size_t kMaxPassCodeLength = 20;

/// The warning icon of a message.
inline constexpr unsigned kIconWarning = 0x30; // MB_ICONWARNING

/// Text ids of the refusals.
enum : int {
    IDS_NO_ADDRESS = 3100,
    IDS_BAD_FAX_NUMBER = 3101,
    IDS_BAD_SUBADDRESS = 3102,
    IDS_BAD_PASSCODE = 3103,
    IDS_PASSCODE_WITHOUT_SUBADDRESS = 3104,
    IDS_TOO_LONG_CLASS_0_3 = 3105,
    IDS_TOO_LONG_CLASS_1 = 3106,
    IDS_TOO_LONG_CLASS_2 = 3107,
    IDS_TOO_LONG_OTHER = 3108,
    IDS_NO_NAME = 3109,
    IDS_IFAX_TOO_LONG = 3116,
    IDS_NO_IFAX = 3003,
};

/// Where the dialogs' warnings go: production shows a message box with the text of id, tests record the call.
class IMessageNotifier {
public:
    virtual ~IMessageNotifier() = default;
    /// One message: the text id, the caption, the icon (kIconWarning).
    virtual void Notify(void* owner, int textId, const std::string& caption, unsigned icon) = 0;
    /// A question with Yes and No (MB_ICONQUESTION); true for Yes. Answers No unless overridden.
    virtual bool AskYesNo(void* /*owner*/, int /*textId*/, const std::string& /*caption*/) { return false; }
};

class CAddressValidation {
public:
    /// owner: the window messages belong to (null for none); deviceClass: see kDeviceClassUnspecified;
    /// noIfaxTextId: the text refusing an Internet-fax address on a device without it (each program's
    /// string table has its own id for it).
    CAddressValidation(void* owner, std::string caption, int32_t deviceClass, IMessageNotifier& notifier,
                       int noIfaxTextId = IDS_NO_IFAX);
    virtual ~CAddressValidation() = default;

    /// 1 when the destination may be used; else 0 after one warning. isIfax 1: number is an
    /// Internet-fax address; withSubAddress 1: the sub-address and pass code are in use; name null:
    /// the name is not looked at. A null number is missing; with withSubAddress 1 a null sub-address
    /// or pass code fails its character test.
    int ValidateAddress(const char* number, int isIfax, int withSubAddress, const char* subAddress,
                        const char* passCode, const char* name);
    /// 1 when every byte is one of "*#-0123456789" (the first may also be 'R' or 'r'); 0 for null.
    static int IsValidFaxNumber(const char* text);
    /// 1 when every byte is one of "*# 0123456789"; 0 for null. Serves the sub-address and the pass code.
    static int IsValidSubAddress(const char* text);
    /// 1 when the lengths fit the device class (sub-address and pass code count only with withSubAddress 1).
    int CheckNumberLengths(const char* number, int withSubAddress, const char* subAddress, const char* passCode) const;
    /// 1 when the Internet-fax address fits the device class (at most 64 bytes for class 3).
    int CheckIfaxAddressLength(const char* address) const;

private:
    int Refuse(int textId);

    void* m_pOwner;
    std::string m_strCaption;
    int32_t m_nDeviceClass;
    IMessageNotifier& m_notifier;
    int m_nNoIfaxTextId;
};
