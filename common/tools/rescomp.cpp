// qelta-rescomp: makes the C++ source of a resource module from a strings file and resource files.
//
//   qelta-rescomp OUTPUT.cpp MODULE_CODE LANGUAGE STRINGS_FILE [icon|bitmap|sound|cursor ID FILE]...
//
// The strings file holds one string a line: its decimal id, blanks, then the text, in UTF-8, where
// "\n" is a line feed, "\t" a tab, "\s" a space (for texts that begin with one) and "\\" a
// backslash; blank lines and lines starting with '#' are skipped. LANGUAGE "ENU" makes the
// program's own tables, registered when the program starts; any other language a module exporting
// QeltaResourceModuleData.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr size_t kMaxFileBytes = 16u << 20;

[[noreturn]] void fail(const std::string& why)
{
    std::cerr << "qelta-rescomp: " << why << '\n';
    std::exit(1);
}

bool readAll(const std::string& path, std::string& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    out = buffer.str();
    return out.size() <= kMaxFileBytes;
}

// A C++ string literal of bytes: printable ASCII as it is, everything else as three-digit octal.
std::string literal(const std::string& bytes)
{
    std::string out = "\"";
    char octal[8];
    for (const unsigned char c : bytes) {
        if (c == '"' || c == '\\' || c == '?') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7f) {
            out += static_cast<char>(c);
        } else {
            std::snprintf(octal, sizeof octal, "\\%03o", c);
            out += octal;
        }
    }
    return out + "\"";
}

std::string unescape(const std::string& text, const std::string& where)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            fail(where + ": backslash at the end of the line");
        switch (text[i]) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 's': out += ' '; break; // a space that the gap after the id would swallow
        case '\\': out += '\\'; break;
        default: fail(where + ": unknown escape \\" + std::string(1, text[i]));
        }
    }
    return out;
}

bool identifier(const std::string& s)
{
    if (s.empty() || s.size() > 64)
        return false;
    for (const char c : s)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
            return false;
    return true;
}

uint32_t idOf(const std::string& text, const std::string& where)
{
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
        fail(where + ": no resource id: " + text);
    const unsigned long long id = std::stoull(text);
    if (id > 0xFFFFFFFFull)
        fail(where + ": resource id too large: " + text);
    return static_cast<uint32_t>(id);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5 || (argc - 5) % 3 != 0)
        fail("usage: qelta-rescomp OUTPUT.cpp MODULE_CODE LANGUAGE STRINGS_FILE [icon|bitmap|sound|cursor ID FILE]...");
    const std::string output = argv[1], code = argv[2], language = argv[3], stringsPath = argv[4];
    if (!identifier(code) || !identifier(language) || language.size() != 3)
        fail("module code and three-letter language must be upper-case letters and digits");

    std::string content;
    if (!readAll(stringsPath, content))
        fail(stringsPath + ": cannot be read");
    std::ostringstream strings;
    std::set<uint32_t> ids;
    std::istringstream lines(content);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const std::string where = stringsPath + ":" + std::to_string(number);
        const size_t gap = line.find_first_of(" \t");
        const uint32_t id = idOf(line.substr(0, gap), where);
        if (!ids.insert(id).second)
            fail(where + ": id " + std::to_string(id) + " given twice");
        const size_t text = gap == std::string::npos ? line.size() : line.find_first_not_of(" \t", gap);
        strings << "    {" << id << "u, " << literal(unescape(text == std::string::npos ? "" : line.substr(text), where)) << "},\n";
    }

    std::ostringstream blobs, data;
    size_t blobCount = 0;
    for (int i = 5; i < argc; i += 3) {
        const std::string kind = argv[i];
        const char* kindName = kind == "icon" ? "QELTA_RESOURCE_ICON"
                               : kind == "bitmap" ? "QELTA_RESOURCE_BITMAP"
                               : kind == "sound"  ? "QELTA_RESOURCE_SOUND"
                               : kind == "cursor" ? "QELTA_RESOURCE_CURSOR"
                                                  : nullptr;
        if (!kindName)
            fail("unknown resource kind " + kind);
        const uint32_t id = idOf(argv[i + 1], kind);
        std::string bytes;
        if (!readAll(argv[i + 2], bytes) || bytes.empty())
            fail(std::string(argv[i + 2]) + ": cannot be read, is empty or is too large");
        data << "const unsigned char kData" << blobCount << "[] = {";
        for (size_t b = 0; b < bytes.size(); ++b)
            data << (b % 24 == 0 ? "\n    " : "") << static_cast<unsigned>(static_cast<unsigned char>(bytes[b])) << ",";
        data << "\n};\n";
        blobs << "    {" << kindName << ", " << id << "u, kData" << blobCount << ", sizeof kData" << blobCount << "},\n";
        ++blobCount;
    }

    std::ostringstream out;
    out << "// Made by qelta-rescomp from " << stringsPath << "; do not edit.\n"
        << "#include \"common/resource_module.h\"\n";
    if (language == "ENU")
        out << "#include \"common/resource_locale.h\"\n";
    out << "\nnamespace {\n\n" << data.str();
    if (!ids.empty())
        out << "const QeltaResourceString kStrings[] = {\n" << strings.str() << "};\n";
    if (blobCount)
        out << "const QeltaResourceBlob kBlobs[] = {\n" << blobs.str() << "};\n";
    out << "const QeltaResourceModule kModule = {QELTA_RESOURCE_VERSION, \"" << code << "\", \"" << language << "\", "
        << ids.size() << "u, " << (ids.empty() ? "nullptr" : "kStrings") << ", " << blobCount << "u, "
        << (blobCount ? "kBlobs" : "nullptr") << "};\n";
    if (language == "ENU")
        out << "[[maybe_unused]] const bool kRegistered = RegisterOwnResources(&kModule);\n\n} // namespace\n";
    else
        out << "\n} // namespace\n\nextern \"C\" __attribute__((visibility(\"default\"))) const QeltaResourceModule* "
               "QeltaResourceModuleData()\n{\n    return &kModule;\n}\n";

    // Written only when changed, so that an unchanged module does not rebuild.
    std::string before;
    if (readAll(output, before) && before == out.str())
        return 0;
    std::ofstream file(output, std::ios::binary | std::ios::trunc);
    file << out.str();
    if (!file.flush())
        fail(output + ": cannot be written");
    return 0;
}
