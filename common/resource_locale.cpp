#include "common/resource_locale.h"

#include "platform/files.h"
#include "platform/library.h"
#include "platform/registry.h"
#include "platform/state.h"
#include "platform/system_info.h"
#include "platform/text.h"

#include <QtGui/QGuiApplication>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

// The languages the suite knows: locale id, the three-letter abbreviation the suite names its
// modules by, and the POSIX locale name that selects it.
struct Language {
    uint16_t id;
    const char* abbreviation;
    const char* posix;
};

constexpr Language kLanguages[] = {
    {0x0401, "ARA", "ar_SA"}, {0x0801, "ARI", "ar_IQ"}, {0x0C01, "ARE", "ar_EG"}, {0x0402, "BGR", "bg_BG"},
    {0x0403, "CAT", "ca_ES"}, {0x0404, "CHT", "zh_TW"}, {0x0804, "CHS", "zh_CN"}, {0x0C04, "ZHH", "zh_HK"},
    {0x0405, "CSY", "cs_CZ"}, {0x0406, "DAN", "da_DK"}, {0x0407, "DEU", "de_DE"}, {0x0807, "DES", "de_CH"},
    {0x0C07, "DEA", "de_AT"}, {0x0408, "ELL", "el_GR"}, {0x0409, "ENU", "en_US"}, {0x0809, "ENG", "en_GB"},
    {0x0C09, "ENA", "en_AU"}, {0x1009, "ENC", "en_CA"}, {0x040A, "ESP", "es_ES"}, {0x080A, "ESM", "es_MX"},
    {0x0C0A, "ESN", ""},      {0x040B, "FIN", "fi_FI"}, {0x040C, "FRA", "fr_FR"}, {0x080C, "FRB", "fr_BE"},
    {0x0C0C, "FRC", "fr_CA"}, {0x100C, "FRS", "fr_CH"}, {0x040D, "HEB", "he_IL"}, {0x040E, "HUN", "hu_HU"},
    {0x040F, "ISL", "is_IS"}, {0x0410, "ITA", "it_IT"}, {0x0810, "ITS", "it_CH"}, {0x0411, "JPN", "ja_JP"},
    {0x0412, "KOR", "ko_KR"}, {0x0413, "NLD", "nl_NL"}, {0x0813, "NLB", "nl_BE"}, {0x0414, "NOR", "nb_NO"},
    {0x0814, "NON", "nn_NO"}, {0x0415, "PLK", "pl_PL"}, {0x0416, "PTB", "pt_BR"}, {0x0816, "PTG", "pt_PT"},
    {0x0418, "ROM", "ro_RO"}, {0x0419, "RUS", "ru_RU"}, {0x041A, "HRV", "hr_HR"}, {0x041B, "SKY", "sk_SK"},
    {0x041D, "SVE", "sv_SE"}, {0x041E, "THA", "th_TH"}, {0x041F, "TRK", "tr_TR"}, {0x0421, "IND", "id_ID"},
    {0x0422, "UKR", "uk_UA"}, {0x0424, "SLV", "sl_SI"}, {0x0425, "ETI", "et_EE"}, {0x0426, "LVI", "lv_LV"},
    {0x0427, "LTH", "lt_LT"}, {0x042A, "VIT", "vi_VN"},
};

constexpr uint16_t kEnglishUnitedStates = 0x0409;
constexpr uint16_t kArabic = 0x01, kHebrew = 0x0D;

const Language* languageOf(uint16_t id)
{
    for (const auto& language : kLanguages)
        if (language.id == id)
            return &language;
    return nullptr;
}

// "de_AT.UTF-8@euro" -> 0x0C07; a language alone ("de") or an unknown country gives the language's
// default sublanguage; a language the suite has no texts for gives English (United States), the
// program's own.
uint16_t localeOfPosixName(std::string_view name)
{
    name = name.substr(0, name.find_first_of(".@"));
    if (name.empty() || name == "C" || name == "POSIX")
        return kEnglishUnitedStates;
    for (const auto& language : kLanguages)
        if (name == language.posix)
            return language.id;
    const std::string prefix = std::string(name.substr(0, name.find('_'))) + "_";
    for (const auto& language : kLanguages)
        if ((language.id & 0xFC00) == 0x0400 && std::string_view(language.posix).starts_with(prefix))
            return language.id;
    return kEnglishUnitedStates;
}

// The modules' validity: a module of another layout or with tables that do not hold together is not used.
bool usable(const QeltaResourceModule* module)
{
    return module && module->version == QELTA_RESOURCE_VERSION && module->moduleCode && module->language
           && module->stringCount <= CSDLocale::kMaxStrings && module->blobCount <= CSDLocale::kMaxBlobs
           && (module->stringCount == 0 || module->strings) && (module->blobCount == 0 || module->blobs);
}

void indexStrings(const QeltaResourceModule& module, std::unordered_map<uint32_t, std::string_view>& index)
{
    for (uint32_t i = 0; i < module.stringCount; ++i)
        if (module.strings[i].text)
            index.emplace(module.strings[i].id, module.strings[i].text);
}

std::span<const unsigned char> findBlob(const QeltaResourceModule& module, uint32_t kind, uint32_t id)
{
    for (uint32_t i = 0; i < module.blobCount; ++i) {
        const QeltaResourceBlob& blob = module.blobs[i];
        if (blob.kind == kind && blob.id == id && blob.data)
            return {blob.data, blob.size};
    }
    return {};
}

// The process's resource source: the current loader and the program's own tables.
struct Resources {
    std::mutex mutex;
    const CSDLocale* current = nullptr;
    std::vector<const QeltaResourceModule*> own;
    std::unordered_map<uint32_t, std::string_view> ownStrings;
};

Resources& resources()
{
    static Resources instance;
    return instance;
}

} // namespace

CSDLocale::CSDLocale(std::string modulePath, std::string_view programCode)
    : m_strModulePath(std::move(modulePath)),
      m_strProgramCode(programCode.substr(0, std::min(programCode.size(), kMaxProgramCode)))
{
}

CSDLocale::~CSDLocale()
{
    // The module goes with m_hResource; a loader that fell back to the program's own holds none.
    Resources& r = resources();
    const std::lock_guard lock(r.mutex);
    if (r.current == this)
        r.current = nullptr;
}

std::string CSDLocale::ResourceFolder() const
{
    if (m_strModulePath.empty())
        return platform::joinPath(platform::dataFolder(), "resources");
    const std::string& module = m_strModulePath;
    const size_t slash = module.find_last_of('/');
    std::string folder = slash == std::string::npos ? std::string() : module.substr(0, slash);
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder + "resources";
}

int CSDLocale::LoadLocale(uint16_t wLangId)
{
    m_wLangId = wLangId;
    const Language* language = languageOf(wLangId);
    m_strAbbreviation = language ? language->abbreviation : "";
    if (!language || m_strAbbreviation == "ENU")
        return 0;
    const std::string path = ResourceFolder() + "/res" + m_strProgramCode + m_strAbbreviation + ".so";
    auto library = platform::Library::loadPath(path);
    if (!library)
        return 0;
    const auto entry = library->function<QeltaResourceModuleDataFn>(QELTA_RESOURCE_ENTRY);
    const QeltaResourceModule* module = entry ? entry() : nullptr;
    if (!usable(module) || m_strProgramCode != module->moduleCode || m_strAbbreviation != module->language)
        return 0;
    std::unordered_map<uint32_t, std::string_view> strings;
    indexStrings(*module, strings);
    m_strings = std::move(strings);
    m_pModule = module;
    m_hResource = std::move(library);
    m_bOwns = 1;
    m_nCodePage = static_cast<int>(platform::processCodePage());
    const int primary = wLangId & 0x3FF;
    m_bRightToLeft = primary == kArabic || primary == kHebrew ? 1 : 0;
    if (m_bRightToLeft)
        QGuiApplication::setLayoutDirection(Qt::RightToLeft);
    return 1;
}

bool CSDLocale::StartWithLocale(uint32_t dwLocale)
{
    const auto id = static_cast<uint16_t>(dwLocale & 0xFFFF);
    if (id == 0)
        return false;
    if (!LoadLocale(id) && !LoadLocale(static_cast<uint16_t>((id & 0x3FF) | 0x400)) && !LoadLocale(kEnglishUnitedStates)) {
        m_bOwns = 0;
        m_hResource.reset();
        m_pModule = nullptr;
        m_strings.clear();
    }
    SetCurrentResourceLocale(this);
    return true;
}

uint32_t CSDLocale::PickStartLocale()
{
    platform::RegistryKey key;
    if (platform::RegistryKey::open(platform::Hive::LocalMachine, kOverrideKey, key) == platform::RegStatus::Ok) {
        platform::RegValue value;
        if (key.query("", value) != platform::RegStatus::Ok)
            return 0;
        const std::string text(platform::trimBlanks(value.text()));
        char* end = nullptr;
        const unsigned long locale = std::strtoul(text.c_str(), &end, 16);
        return text.empty() || *end != '\0' || locale > 0xFFFFFFFFul ? 0 : static_cast<uint32_t>(locale);
    }
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* value = std::getenv(name); value && *value)
            return localeOfPosixName(value);
    return kEnglishUnitedStates;
}

std::string CSDLocale::LanguageAbbreviation(uint16_t wLangId)
{
    const Language* language = languageOf(wLangId);
    return language ? language->abbreviation : "";
}

const std::string_view* CSDLocale::FindString(uint32_t id) const
{
    const auto found = m_strings.find(id);
    return found == m_strings.end() ? nullptr : &found->second;
}

std::span<const unsigned char> CSDLocale::FindData(uint32_t kind, uint32_t id) const
{
    return m_pModule ? findBlob(*m_pModule, kind, id) : std::span<const unsigned char>{};
}

bool RegisterOwnResources(const QeltaResourceModule* module)
{
    if (!usable(module))
        return false;
    Resources& r = resources();
    const std::lock_guard lock(r.mutex);
    r.own.push_back(module);
    indexStrings(*module, r.ownStrings);
    return true;
}

void SetCurrentResourceLocale(const CSDLocale* loader)
{
    Resources& r = resources();
    const std::lock_guard lock(r.mutex);
    r.current = loader;
}

bool FindResourceString(uint32_t id, std::string& text)
{
    Resources& r = resources();
    const std::lock_guard lock(r.mutex);
    if (r.current)
        if (const std::string_view* found = r.current->FindString(id)) {
            text = *found;
            return true;
        }
    const auto own = r.ownStrings.find(id);
    if (own == r.ownStrings.end())
        return false;
    text = own->second;
    return true;
}

std::string LoadResourceString(uint32_t id)
{
    std::string text;
    FindResourceString(id, text);
    return text;
}

std::span<const unsigned char> LoadResourceData(uint32_t kind, uint32_t id)
{
    Resources& r = resources();
    const std::lock_guard lock(r.mutex);
    if (r.current)
        if (const auto data = r.current->FindData(kind, id); !data.empty())
            return data;
    for (const QeltaResourceModule* module : r.own)
        if (const auto data = findBlob(*module, kind, id); !data.empty())
            return data;
    return {};
}
