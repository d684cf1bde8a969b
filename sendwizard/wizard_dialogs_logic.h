// The logic of the wizard's small dialogs: the printer-name entry and the About box's texts.
#pragma once

#include "common/prompter.h"
#include "sendwizard/sheet_logic.h"

#include <string>

/// Control and dialog ids.
enum : int {
    IDD_ABOUTBOX = 100,
    IDC_ABOUT_VERSION = 1002,
    IDC_ABOUT_NAME = 1003,
    IDC_ABOUT_SECOND = 1004,
    IDD_PRINTER_NAME = 142,
    IDC_PRINTER_NAME = 1113,
};

/// The text refusing an empty printer name.
inline constexpr uint32_t IDS_NO_PRINTER_NAME = 3003;

/// The printer-name entry: the text is used unchanged as a host name or address.
class CPrinterNameLogic {
public:
    explicit CPrinterNameLogic(IPrompter& prompter) : m_Prompter(prompter) {}
    void SetText(std::string strText) { m_strText = std::move(strText); }
    const std::string& Text() const { return m_strText; }
    /// OK: false (after STRING 3003) keeps the dialog open when the entry is empty.
    bool Accept();

private:
    IPrompter& m_Prompter;
    std::string m_strText;
};

/// The About box's lines: the program's name, the version and the second line.
struct AboutTexts {
    std::string strName, strVersion, strSecond;
};

/// What the About box shows for a sheet: the caption (STRING 128), DATA.TAG's version, or this
/// build's version ("Version %s", STRING 102) when the install gives none, and DATA.TAG's second line.
AboutTexts AboutTextsOf(const CPSMainuiLogic& sheet);
