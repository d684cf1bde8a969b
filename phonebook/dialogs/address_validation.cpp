#include "phonebook/dialogs/address_validation.h"

#include "common/fax_number.h"

#include <cstring>

namespace {

// Byte limit of an Internet-fax address on class 3.
constexpr size_t kMaxIfaxAddress = 64;

size_t length(const char* text) { return text ? std::strlen(text) : 0; }

bool empty(const char* text) { return !text || !*text; }

// Every byte one of allowed; the allowed bytes are all printable ASCII, so a byte of a multibyte
// character never passes.
bool onlyBytesOf(const char* text, const char* allowed)
{
    for (const char* p = text; *p; ++p)
        if (!std::strchr(allowed, *p))
            return false;
    return true;
}

} // namespace

CAddressValidation::CAddressValidation(void* owner, std::string caption, int32_t deviceClass, IMessageNotifier& notifier,
                                       int noIfaxTextId)
    : m_pOwner(owner), m_strCaption(std::move(caption)), m_nDeviceClass(deviceClass), m_notifier(notifier),
      m_nNoIfaxTextId(noIfaxTextId)
{
}

int CAddressValidation::Refuse(int textId)
{
    m_notifier.Notify(m_pOwner, textId, m_strCaption, kIconWarning);
    return 0;
}

int CAddressValidation::IsValidFaxNumber(const char* text) { return text && IsFaxNumberText(text) ? 1 : 0; }

int CAddressValidation::IsValidSubAddress(const char* text) { return text && onlyBytesOf(text, "*# 0123456789") ? 1 : 0; }

int CAddressValidation::CheckNumberLengths(const char* number, int withSubAddress, const char* subAddress,
                                           const char* passCode) const
{
    const size_t n = length(number);
    const size_t s = withSubAddress == 1 ? length(subAddress) : 0;
    const size_t p = withSubAddress == 1 ? length(passCode) : 0;
    if (s > kMaxSubAddressLength || p > kMaxPassCodeLength)
        return 0;
    switch (m_nDeviceClass) {
    case 0:
    case 3:
        return n + s + p <= 64 ? 1 : 0;
    case 1:
        return n <= 40 ? 1 : 0;
    case 2:
        return n <= 50 ? 1 : 0;
    default:
        return n + s + p <= 60 ? 1 : 0;
    }
}

int CAddressValidation::CheckIfaxAddressLength(const char* address) const
{
    return m_nDeviceClass != 3 || length(address) <= kMaxIfaxAddress ? 1 : 0;
}

int CAddressValidation::ValidateAddress(const char* number, int isIfax, int withSubAddress, const char* subAddress,
                                        const char* passCode, const char* name)
{
    if (name && !*name)
        return Refuse(IDS_NO_NAME);
    if (empty(number) || (length(number) == 1 && (*number == 'R' || *number == 'r')))
        return Refuse(IDS_NO_ADDRESS);
    if (isIfax == 1) {
        if (m_nDeviceClass >= 0 && m_nDeviceClass <= 2)
            return Refuse(m_nNoIfaxTextId);
        if (!CheckIfaxAddressLength(number))
            return Refuse(IDS_IFAX_TOO_LONG);
        return 1;
    }
    if (!IsValidFaxNumber(number))
        return Refuse(IDS_BAD_FAX_NUMBER);
    if (withSubAddress == 1) {
        if (empty(subAddress) && !empty(passCode))
            return Refuse(IDS_PASSCODE_WITHOUT_SUBADDRESS);
        if (!IsValidSubAddress(subAddress))
            return Refuse(IDS_BAD_SUBADDRESS);
        if (!IsValidSubAddress(passCode))
            return Refuse(IDS_BAD_PASSCODE);
    }
    if (!CheckNumberLengths(number, withSubAddress, subAddress, passCode)) {
        switch (m_nDeviceClass) {
        case 0:
        case 3:
            return Refuse(IDS_TOO_LONG_CLASS_0_3);
        case 1:
            return Refuse(IDS_TOO_LONG_CLASS_1);
        case 2:
            return Refuse(IDS_TOO_LONG_CLASS_2);
        default:
            return Refuse(IDS_TOO_LONG_OTHER);
        }
    }
    return 1;
}
