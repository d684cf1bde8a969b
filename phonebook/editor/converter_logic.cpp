#include "phonebook/editor/converter_logic.h"

#include "common/prompter.h"
#include "common/registry_helper.h"
#include "common/resource_locale.h"
#include "common/xml_value.h"
#include "phonebook/editor/converter.h"
#include "phonebook/store/phone_book.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/system_info.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <thread>

using namespace mfpif_Halvet_R1;

namespace {

constexpr const char* kVersion = "/address_book_converter/version";
constexpr const char* kModuleName = "/address_book_converter/converter/module-name/value";
constexpr const char* kExtension = "/address_book_converter/converter/support-extension/extension";
constexpr const char* kDescription = "/address_book_converter/converter/support-extension/value";
constexpr const char* kDescriptionId = "/address_book_converter/converter/support-extension/id";
constexpr const char* kName = "/address_book_converter/converter/name/value";
constexpr const char* kNameId = "/address_book_converter/converter/name/id";
constexpr const char* kImportName =
    "/address_book_converter/converter/functions/function[@type='generic_import']/name";
constexpr const char* kExportName =
    "/address_book_converter/converter/functions/function[@type='generic_export']/name";

// A converter that cannot be used; caught by ReadConverterInfo.
struct Unusable {};

void Require(bool ok)
{
    if (!ok)
        throw Unusable{};
}

// A decoded text; one over the field size refuses the converter.
std::string Decoded(const INodePtr& node)
{
    const DOMString text = node->getText();
    std::string value = DecodeXmlValue(std::string(text.data(), text.size()), 1, platform::processCodePage());
    Require(value.size() <= kMaxConverterText);
    return value;
}

std::string ReadNode(const IDocumentPtr& doc, const char* path)
{
    const INodePtr node = doc->selectSingleNode(path);
    Require(static_cast<bool>(node));
    return Decoded(node);
}

IDocumentPtr LoadDocument(const std::string& strPath)
{
    IDocumentPtr doc(createDocument());
    Require(doc && CPhoneBook::LoadXMLFromFile(strPath, doc) == 1);
    return doc;
}

// A translation of the unit tid in language, or nothing.
void Translate(const IDocumentPtr& tmx, const std::string& strId, const std::string& strLanguage, std::string& text)
{
    // Ids and language codes are put into the path only when they cannot end its string.
    const auto plain = [](const std::string& s) { return s.find('"') == std::string::npos; };
    if (!plain(strId) || !plain(strLanguage))
        return;
    const IElementPtr root = tmx->getDocumentElement();
    if (!root)
        return;
    const INodePtr unit = root->selectSingleNode(("body/tu[@tid=\"" + strId + "\"]").c_str());
    if (!unit)
        return;
    const INodePtr seg = unit->selectSingleNode(("tuv[@lang=\"" + strLanguage + "\"]/seg").c_str());
    if (seg)
        text = Decoded(seg);
}

// A module name is a file name beside converter.xml, never a path.
bool IsPlainFileName(const std::string& name)
{
    return !name.empty() && name.find('/') == std::string::npos && name.find('\\') == std::string::npos
        && name.find("..") == std::string::npos;
}

bool LessByName(const ConverterInfo& a, const ConverterInfo& b)
{
    return std::lexicographical_compare(a.strDisplayName.begin(), a.strDisplayName.end(), b.strDisplayName.begin(),
                                        b.strDisplayName.end(), [](unsigned char x, unsigned char y) {
                                            return std::tolower(x) < std::tolower(y);
                                        });
}

} // namespace

std::string ConverterDirectory()
{
    return CRegistryHelper(HKEY_LOCAL_MACHINE, kProductKeyPrefix).ReadString(kProductSubkey, "ConverterDirectory", "");
}

std::string ConverterLanguage()
{
    return CRegistryHelper(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kovra\\").ReadString("TqlStl2\\ResourceLocale", "", "");
}

bool ReadConverterInfo(const std::string& strDirectory, ConverterInfo& info, ConverterKind kind,
                       const std::string& strLanguage)
{
    try {
        info = ConverterInfo{};
        Require(strDirectory.size() <= kMaxConverterText);
        info.strDirectory = strDirectory;
        const IDocumentPtr xml = LoadDocument(strDirectory + "converter.xml");
        Require(ReadNode(xml, kVersion) == "1.1");
        const std::string module = ReadNode(xml, kModuleName);
        Require(IsPlainFileName(module));
        info.strModulePath = strDirectory + module;
        Require(info.strModulePath.size() <= kMaxConverterText);
        info.strExtension = ReadNode(xml, kExtension);
        info.strDescription = ReadNode(xml, kDescription);
        const std::string descriptionId = ReadNode(xml, kDescriptionId);
        info.strDisplayName = ReadNode(xml, kName);
        const std::string nameId = ReadNode(xml, kNameId);
        const std::string importName = ReadNode(xml, kImportName);
        const std::string exportName = ReadNode(xml, kExportName);

        const IDocumentPtr tmx = LoadDocument(strDirectory + "converter.tmx");
        Translate(tmx, nameId, strLanguage, info.strDisplayName);
        Translate(tmx, descriptionId, strLanguage, info.strDescription);

        const std::string& function = kind == ConverterKind::Import ? importName : exportName;
        const auto module_ = platform::Library::loadPath(info.strModulePath);
        Require(module_ && module_->symbol(function.c_str()) != nullptr);
        (kind == ConverterKind::Import ? info.strImportFunction : info.strExportFunction) = function;
        return true;
    } catch (...) {
        return false;
    }
}

std::vector<ConverterInfo> ListConverters(const std::string& strDirectory, ConverterKind kind,
                                          const std::string& strLanguage)
{
    std::vector<ConverterInfo> converters;
    if (strDirectory.empty())
        return converters;
    std::error_code error;
    std::filesystem::directory_iterator entries(platform::nativePath(strDirectory), error);
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        if (!entries->is_directory(error))
            continue;
        ConverterInfo info;
        const std::string folder = platform::joinPath(strDirectory, entries->path().filename().string()) + "/";
        if (ReadConverterInfo(folder, info, kind, strLanguage))
            converters.push_back(std::move(info));
    }
    std::stable_sort(converters.begin(), converters.end(), LessByName);
    return converters;
}

CDConverterLogic::CDConverterLogic(ConverterKind kind, std::string strBookPath,
                                   platform::com::Ptr<IBookmanagerTool> book, IPrompter& prompter,
                                   IProgressRunner& progress, IConversionGuard* guard)
    : m_Kind(kind), m_strBookPath(std::move(strBookPath)), m_pBook(std::move(book)), m_Prompter(prompter),
      m_Progress(progress), m_pGuard(guard)
{
}

std::string CDConverterLogic::ControlText(int nControl) const
{
    return LoadResourceString(ControlTextId(static_cast<uint32_t>(DialogId()), static_cast<uint32_t>(nControl)));
}

std::string CDConverterLogic::Caption() const { return ControlText(0); }

std::string CDConverterLogic::Text() const { return ControlText(IDC_CONVERTER_TEXT); }

std::string CDConverterLogic::ActionText() const { return ControlText(ActionId()); }

std::string CDConverterLogic::CloseText() const { return ControlText(IDC_CONVERTER_CLOSE); }

void CDConverterLogic::Init() { Init(ConverterDirectory(), ConverterLanguage()); }

void CDConverterLogic::Init(const std::string& strDirectory, const std::string& strLanguage)
{
    m_Converters = ListConverters(strDirectory, m_Kind, strLanguage);
    m_bSucceeded = false;
    m_bFailed = false;
}

void CDConverterLogic::Convert(int nIndex)
{
    if (nIndex < 0 || static_cast<size_t>(nIndex) >= m_Converters.size())
        return;
    const ConverterInfo info = m_Converters[static_cast<size_t>(nIndex)];
    const std::string pattern = "*." + info.strExtension;
    FileQuestion question;
    question.strFilter = info.strDescription + " (" + pattern + ")|" + pattern + "||";
    question.strDefaultExtension = info.strExtension;
    const bool bImport = m_Kind == ConverterKind::Import;
    question.bMustExist = bImport;
    question.bConfirmOverwrite = !bImport;
    const std::optional<std::string> chosen =
        bImport ? m_Prompter.GetOpenFileName(question) : m_Prompter.GetSaveFileName(question);
    if (!chosen)
        return;
    m_strChosenPath = *chosen;
    if (m_pGuard && !m_pGuard->BeforeRun())
        return;
    const std::string caption = LoadResourceString(bImport ? IDS_IMPORTING : IDS_EXPORTING);
    const int code = m_Progress.Run(caption, [&](IProgressSink& sink) {
        ConvertProc(info, sink);
        return 0;
    });
    const bool succeeded = m_pGuard ? m_pGuard->AfterRun(code == 0) : code == 0;
    if (!succeeded) {
        m_bFailed = true;
        m_Prompter.MessageBox(LoadResourceString(IDS_CONVERTING_ERROR), caption, MB_OK | MB_ICONEXCLAMATION);
    } else {
        m_bSucceeded = true;
    }
}

bool CDConverterLogic::ConvertProc(const ConverterInfo& info, IProgressSink& sink) const
{
    const bool bImport = m_Kind == ConverterKind::Import;
    const std::string& function = bImport ? info.strImportFunction : info.strExportFunction;
    bool ok = false;
    try {
        const auto module = platform::Library::loadPath(info.strModulePath);
        const auto call = module ? module->function<QeltaConverterFunction>(function.c_str()) : nullptr;
        if (call && m_pBook) {
            const std::string& source = bImport ? m_strChosenPath : m_strBookPath;
            const std::string& destination = bImport ? m_strBookPath : m_strChosenPath;
            ok = call(source.c_str(), destination.c_str(), m_pBook.get(), sink.DisplayHandle(),
                      info.strDirectory.c_str()) == 1;
        }
    } catch (...) {
        ok = false;
    }
    if (!ok) {
        sink.Fail(kWorkerFailure);
        return false;
    }
    sink.Progress(100);
    std::this_thread::sleep_for(m_Pause);
    return true;
}
