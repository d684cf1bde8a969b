// The resource locale loader: finds and loads a program's language module for a locale, and the
// process-wide lookup of texts, icons, bitmaps and sounds by id that programs and the drawing code
// use. English (United States) is each program's own: its tables are compiled in. Every other
// language comes from "resources/res<CODE><LNG>.so" beside the program (or beside the module given).
#pragma once

#include "common/resource_module.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

namespace platform {
class Library;
}

class CSDLocale {
public:
    /// Registry key (HKEY_LOCAL_MACHINE) whose default value, hexadecimal text, overrides the locale.
    static constexpr const char* kOverrideKey = "SOFTWARE\\Kovra\\TqlStl2\\ResourceLocale";
    /// Longest program code kept.
    static constexpr size_t kMaxProgramCode = 64;
    /// Most strings and binary resources a module may carry.
    static constexpr uint32_t kMaxStrings = 65536;
    static constexpr uint32_t kMaxBlobs = 4096;

    /// modulePath: the file beside which "resources" is sought; empty means the suite's data folder.
    /// programCode: the program's code ("SENDWIZARD2"), cut to 64 bytes.
    CSDLocale(std::string modulePath, std::string_view programCode);
    /// Frees the loaded module when this loader owns it.
    virtual ~CSDLocale();
    CSDLocale(const CSDLocale&) = delete;
    CSDLocale& operator=(const CSDLocale&) = delete;

    /// Loads the module of a locale (LANGID). 1 when a module was loaded; 0 for English (United
    /// States), an unknown locale, or a module that is missing, does not load or is not a resource
    /// module of this program. A success sets the code page and, for Arabic and Hebrew, switches
    /// the process to right-to-left layout.
    int LoadLocale(uint16_t wLangId);

    /// The start-up sequence: tries the locale, then its language's default sublanguage, then
    /// English (United States); when none loads, the program's own resources stay in force. Then
    /// makes this loader the process's resource source (it must outlive every lookup). False, with
    /// nothing changed, for a locale whose low 16 bits are 0.
    bool StartWithLocale(uint32_t dwLocale);

    /// The locale a program starts with: the override key's default value when the key opens,
    /// otherwise the user's language from LC_ALL, LC_MESSAGES or LANG ("de_AT.UTF-8"; "C", "POSIX",
    /// an unset language and one the suite has no texts for give 1033). 0 when the override cannot
    /// be read as a number.
    static uint32_t PickStartLocale();

    /// The three-letter abbreviation of a locale ("DEU" for 0x0407); empty for an unknown locale.
    static std::string LanguageAbbreviation(uint16_t wLangId);

    /// The folder searched: the module's folder followed by "resources" (the data folder's for none).
    std::string ResourceFolder() const;

    int GetCodePage() const { return m_nCodePage; }
    uint16_t GetLocaleId() const { return m_wLangId; }
    /// The loaded language module; null when the program's own resources are in force.
    const QeltaResourceModule* GetModule() const { return m_pModule; }
    bool OwnsLibrary() const { return m_bOwns != 0; }
    bool IsRightToLeft() const { return m_bRightToLeft != 0; }
    const std::string& GetProgramCode() const { return m_strProgramCode; }
    const std::string& GetAbbreviation() const { return m_strAbbreviation; }

    /// A string of the loaded module; null when it has none of that id.
    const std::string_view* FindString(uint32_t id) const;
    /// A binary resource of the loaded module; empty when it has none.
    std::span<const unsigned char> FindData(uint32_t kind, uint32_t id) const;

private:
    std::string m_strModulePath;
    int m_nCodePage = 0;
    uint16_t m_wLangId = 0;
    std::shared_ptr<platform::Library> m_hResource;
    const QeltaResourceModule* m_pModule = nullptr;
    int m_bOwns = 1;
    int m_bRightToLeft = 0;
    std::string m_strProgramCode;
    std::string m_strAbbreviation;
    std::unordered_map<uint32_t, std::string_view> m_strings;
};

/// Registers tables compiled into the program (its own English texts). Called by the code that
/// qelta_resource_module makes for LANG ENU; answers true so that it can initialise a static.
bool RegisterOwnResources(const QeltaResourceModule* module);

/// Makes loader the process's resource source (null: the program's own resources alone).
void SetCurrentResourceLocale(const CSDLocale* loader);

/// The string id of a control's text in a program's string table: dialog id x 10000 + control id
/// (control 0: the dialog's caption); a menu item's: menu id x 10000 + command id.
constexpr uint32_t ControlTextId(uint32_t nDialogId, uint32_t nControlId) { return nDialogId * 10000u + nControlId; }

/// A string by id: from the current language module, else from the program's own tables. False
/// when neither has it.
bool FindResourceString(uint32_t id, std::string& text);
/// The same, empty when there is none.
std::string LoadResourceString(uint32_t id);
/// An icon, bitmap or sound by id, as FindResourceString finds it; empty when there is none.
std::span<const unsigned char> LoadResourceData(uint32_t kind, uint32_t id);
