#include "devicelink/file_listing.h"

#include "devicelink/http_transport.h"
#include "devicelink/soap_session.h"
#include "platform/files.h"
#include "platform/system_info.h"
#include "platform/text.h"
#include "xmldoc/codepage.h"

#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

namespace mfplink {

using namespace mfpif_Halvet_R1;
using namespace CXMLDOCLIB_Ostrel;

namespace {

constexpr const char* kRequestTemplate =
    "<bm:list_files xmlns:bm='urn:schema-bmlinks-jp:service:bmlinks-1-2'><dir-name/>"
    "<file-attribute-names enc:arrayType='bm:attribute-name[3]'>"
    "<file-attribute-name>name</file-attribute-name><file-attribute-name>dir</file-attribute-name>"
    "<file-attribute-name>password</file-attribute-name></file-attribute-names></bm:list_files>";
constexpr const char* kServicePath = "/kovra-mfp-srv";
constexpr const char* kSoapAction = "SoapActionDummy";
constexpr size_t kNameBytes = sizeof(MFPIF_DFAPI_FileInfo::name);

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

void skipBlanks(std::string_view& text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
}

bool take(std::string_view& text, std::string_view literal)
{
    skipBlanks(text);
    if (!text.starts_with(literal))
        return false;
    text.remove_prefix(literal.size());
    return true;
}

// The first sibling from node on (node itself included) named exactly "file".
INodePtr fileFrom(INodePtr node)
{
    while (node && node->getNodeName() != "file")
        node = node->getNextSibling();
    return node;
}

DfapiListing* newListing(const INodePtr& root)
{
    auto* listing = new (std::nothrow) DfapiListing;
    if (!listing)
        return nullptr;
    listing->root = root;
    if (const INodePtr files = root->selectSingleNode("//files"))
        listing->cursor = fileFrom(files->getFirstChild());
    return listing;
}

// Rewrites a capture file when it is there already.
void capture(const std::string& moduleFolder, std::string_view name, const DOMString& text)
{
    const std::string path = FileInFolder(moduleFolder, name);
    if (!path.empty())
        platform::writeFileAtomic(path, std::string_view(text.data(), text.size()));
}

DfapiListing* listCannedAnswer(const std::string& path)
{
    std::string content;
    if (platform::readFile(path, content, CMSoapSLib_Ostrel_R1::kMaxAnswerBytes) != platform::ReadStatus::Ok)
        return nullptr;
    DOMString text;
    text.reserve(content.size());
    for (size_t i = 0; i < content.size(); ++i)
        if (!(content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n'))
            text.push_back(content[i]);
    const IDocumentPtr document = createEmptyDocument();
    const INodePtr root = document->loadXML(text, false);
    return root ? newListing(root) : nullptr;
}

// Unsigned decimal digits after leading blanks; false when there are none or they overflow.
bool readNumber(std::string_view text, uint32_t& value)
{
    skipBlanks(text);
    uint64_t n = 0;
    size_t digits = 0;
    for (; digits < text.size() && text[digits] >= '0' && text[digits] <= '9'; ++digits) {
        n = n * 10 + static_cast<uint64_t>(text[digits] - '0');
        if (n > std::numeric_limits<uint32_t>::max())
            return false;
    }
    if (digits == 0)
        return false;
    value = static_cast<uint32_t>(n);
    return true;
}

} // namespace

bool ParseTarget(std::string_view target, std::string& host, std::string& path)
{
    if (!take(target, "dfile") || !take(target, "://"))
        return false;
    const size_t slash = target.find('/');
    if (slash == std::string_view::npos)
        return false;
    host.clear();
    for (const char c : target.substr(0, slash))
        if (!isBlank(c))
            host.push_back(c);
    if (host.empty())
        return false;
    path = target.substr(slash + 1);
    return true;
}

int32_t CodeTypeOfCodePage(int codePage)
{
    switch (codePage) {
    case 932:
        return CT_SHIFT_JIS;
    case 936:
        return CT_GB2312;
    case 950:
        return CT_BIG5;
    case 1251:
        return CT_ISO_8859_5;
    case 1252:
        return CT_ISO_8859_1;
    case 28592:
        return CT_ISO_8859_2;
    case 28597:
        return CT_ISO_8859_7;
    case 28599:
        return CT_ISO_8859_9;
    case static_cast<int>(platform::kUtf8CodePage):
        return CT_UTF8;
    default:
        return CT_US_ASCII;
    }
}

std::string ConvertName(std::string_view utf8, int codePage)
{
    if (codePage == 0)
        return std::string(platform::utf8Prefix(utf8, kNameBytes - 1));
    if (codePage == -1)
        codePage = static_cast<int>(platform::processCodePage());
    if (utf8.empty() || utf8.size() > (std::numeric_limits<int32_t>::max() - 2) / 4)
        return {};
    // UTF-8 to UCS-2, then UCS-2 to the code page; 63 ('?') for what cannot be mapped.
    std::vector<char> units(utf8.size() * 4 + 2, '\0');
    if (ConvertCodePage(utf8.data(), static_cast<int32_t>(utf8.size()), CT_UTF8, units.data(),
                        static_cast<int32_t>(units.size()), CT_UCS2_LE, 63, 0)
        != 0)
        return {};
    size_t count = 0;
    while (count + 1 < units.size() && (units[count] != 0 || units[count + 1] != 0))
        count += 2;
    if (count == 0)
        return {};
    // The name's field keeps its last byte for the terminator; a longer name is cut after its
    // last whole character.
    char out[kNameBytes] = {};
    const int32_t rc = ConvertCodePage(units.data(), static_cast<int32_t>(count), CT_UCS2_LE, out,
                                       static_cast<int32_t>(kNameBytes - 1), CodeTypeOfCodePage(codePage), 63, 0);
    if (rc != 0 && rc != 1)
        return {};
    return std::string(out, ::strnlen(out, kNameBytes - 1));
}

std::string FileInFolder(const std::string& folder, std::string_view name)
{
    if (folder.empty())
        return {};
    for (const auto& found : platform::listFiles(folder, name))
        return platform::joinPath(folder, found);
    return {};
}

DfapiListing* ListFile(const char* target, int timeoutMs, const std::string& moduleFolder)
{
    try {
        if (const std::string canned = FileInFolder(moduleFolder, kCannedAnswerFile); !canned.empty())
            return listCannedAnswer(canned);

        std::string host, path;
        if (!target || !ParseTarget(target, host, path))
            return nullptr;
        const IDocumentPtr document = createEmptyDocument();
        const INodePtr recv = document->createElement("recv");
        const INodePtr request = document->loadXML(kRequestTemplate, false);
        if (!request)
            return nullptr;
        const INodePtr dirName = request->selectSingleNode("//dir-name");
        if (!dirName)
            return nullptr;
        dirName->setText(DOMString(path.data(), path.size()));
        const std::string url = "http://" + host + kServicePath;

        capture(moduleFolder, kRequestCaptureFile, request->getXML());
        if (CMSoapSLib_Ostrel_R1::SessionCall(url.c_str(), kSoapAction, request, recv, timeoutMs,
                                              CMSoapSLib_Ostrel_R1::kReceiveBlockBytes, true)
            < 0)
            return nullptr;
        capture(moduleFolder, kAnswerCaptureFile, recv->getXML());
        // A fault is the device's refusal, not an empty folder.
        if (const INodePtr answer = recv->getFirstChild(); answer && CMSoapSLib_Ostrel_R1::LocalNameOf(answer) == "Fault")
            return nullptr;
        return newListing(recv);
    } catch (...) {
        return nullptr;
    }
}

int NextFile(DfapiListing* listing, MFPIF_DFAPI_FileInfo* info, int codePage)
{
    if (!listing || !info || info->cbSize != static_cast<int32_t>(sizeof(MFPIF_DFAPI_FileInfo)) || !listing->cursor)
        return 0;
    std::memset(reinterpret_cast<char*>(info) + sizeof info->cbSize, 0, sizeof *info - sizeof info->cbSize);
    for (INodePtr child = listing->cursor->getFirstChild(); child; child = child->getNextSibling()) {
        const DOMString name = child->getNodeName();
        if (name == "name") {
            const DOMString text = child->getText();
            const std::string converted = ConvertName(std::string_view(text.data(), text.size()), codePage);
            std::memcpy(info->name, converted.data(), std::min(converted.size(), kNameBytes - 1));
        } else if (name == "dir") {
            info->dir = child->getText() == "true" ? 1 : 2;
        } else if (name == "password") {
            info->password = child->getText() == "true" ? 1 : 0;
        } else if (name == "size") {
            const DOMString text = child->getText();
            readNumber(std::string_view(text.data(), text.size()), info->size);
        }
    }
    listing->cursor = fileFrom(listing->cursor->getNextSibling());
    return 1;
}

} // namespace mfplink
