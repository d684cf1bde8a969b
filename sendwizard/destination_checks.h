// The checks a destination passes before it enters the wizard's list: the phone book dialogs' own
// per-destination check with the wizard's texts, and the count of destinations a device takes.
#pragma once

#include "common/prompter.h"
#include "phonebook/dialogs/address_validation.h"

#include <string>

/// The wizard's text refusing an Internet-fax address (its 3003 is another text).
inline constexpr int IDS_WIZARD_NO_IFAX = 3117;

/// The text refusing more destinations than a model type takes (DestinationLimitFor): 3110 to 3113
/// for types 0 to 3, 3114 otherwise.
int DestinationLimitTextFor(int nModelType);

/// Shows the validator's messages as the wizard's message boxes (its texts, MB_ICONWARNING).
class CPrompterNotifier : public IMessageNotifier {
public:
    explicit CPrompterNotifier(IPrompter& prompter) : m_Prompter(prompter) {}
    void Notify(void* owner, int textId, const std::string& caption, unsigned icon) override;
    bool AskYesNo(void* owner, int textId, const std::string& caption) override;
    /// The text id of the last message shown; 0 before any.
    int LastTextId() const { return m_nLastTextId; }

private:
    IPrompter& m_Prompter;
    int m_nLastTextId = 0;
};

/// The count check; built on the stack for one check.
class CDestinationLimit {
public:
    CDestinationLimit(void* owner, std::string caption, int nModelType, IMessageNotifier& notifier)
        : m_pOwner(owner), m_strCaption(std::move(caption)), m_nModelType(nModelType), m_Notifier(notifier)
    {
    }
    virtual ~CDestinationLimit() = default;
    /// 1 when count fits the model type's limit; else 0 after one warning naming the limit.
    int CheckDestinationCount(long long count);

private:
    void* m_pOwner;
    std::string m_strCaption;
    int m_nModelType;
    IMessageNotifier& m_Notifier;
};

/// The wizard's per-destination check: the shared validator with the wizard's I-FAX text.
inline CAddressValidation MakeWizardValidation(void* owner, std::string caption, int nModelType,
                                               IMessageNotifier& notifier)
{
    return CAddressValidation(owner, std::move(caption), nModelType, notifier, IDS_WIZARD_NO_IFAX);
}
