// XPath selection checked against libxml2: every path runs through our library and through
// libxml2's XPath over the same document, from the same context node, and both must select the
// same nodes. Nodes are matched by their position in the tree, so the two trees never meet.
#include "xmldoc/dom.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <compare>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

namespace {

using namespace mfpif_Halvet_R1;

// ---- the documents: the shapes the stores and dialogs keep, without blanks between tags ----

std::string wrapped(const std::string& tag, const std::string& value)
{
    return "<" + tag + "><data><value>" + value + "</value></data></" + tag + ">";
}

std::string phoneBook()
{
    std::string x = "<system><version>3</version><newid><data>57</data></newid><folders>";
    struct Folder { const char* tag; int id; const char* name; int records; int firstId; int step; };
    const Folder folders[] = {{"root", 1, "Phone book", 8, 20, 1},  {"favorite", 2, "Favorites", 6, 21, 2},
                              {"folder", 13, "Customers", 9, 30, 1}, {"folder", 14, "Suppliers", 7, 39, 1},
                              {"folder", 15, "Empty", 0, 0, 0}};
    const char* types[] = {"fax", "ifax", "group"};
    int n = 0;
    for (const Folder& f : folders) {
        const std::string id = std::to_string(f.id);
        x += std::string("<") + f.tag + " id='" + id + "'>" + wrapped("name", f.name) + wrapped("id", id) + "<records>";
        for (int r = 0; r < f.records; ++r, ++n) {
            const std::string rid = std::to_string(f.firstId + r * f.step);
            x += std::string("<record><id type='") + types[n % 3] + "'>" + rid + "</id><name>Contact " + rid + "</name></record>";
        }
        x += std::string("</records></") + f.tag + ">";
    }
    x += "</folders><profiles>";
    const char* kinds[] = {"fax", "ifax", "group"};
    const char* parents[] = {"1", "13", "2", "1", "14", "13"};
    for (int p = 0; p < 6; ++p) {
        const std::string id = std::to_string(21 + p), kind = kinds[p % 3];
        x += "<profile id='" + id + "' kind='" + kind + "' changed='" + std::to_string(p % 2) + "'><id>" + id + "</id><" + kind + ">";
        x += wrapped("parentID", parents[p]) + wrapped("id", id) + wrapped("fullName", "Contact " + id);
        x += kind == "ifax" ? wrapped("email", "c" + id + "@example.org") : wrapped("faxNumber", "+49 30 55" + id);
        x += "</" + kind + "></profile>";
    }
    return x + "</profiles></system>";
}

std::string sendingLog()
{
    const char* states[] = {"sent", "failed", "sent", "queued"};
    std::string x = "<root>";
    for (int i = 1; i <= 20; ++i) {
        const std::string id = std::to_string(i);
        x += "<log id='" + id + "' cookie='c" + std::to_string(1000 + i) + "' status='" + states[i % 4] + "'><number>+49 30 5550"
             + id + "</number><pages>" + std::to_string(i % 5 + 1) + "</pages><tries>" + std::to_string(i % 3) + "</tries></log>";
    }
    return x + "</root>";
}

std::string converters()
{
    return "<converters>"
           "<converter id='tiff'><name>TIFF image</name><module>conv_tiff</module><import>1</import><export>1</export></converter>"
           "<converter id='pdf'><name>PDF document</name><module>conv_pdf</module><import>0</import><export>1</export></converter>"
           "<converter id='txt'><name>Plain text</name><module>conv_txt</module><import>1</import><export>0</export></converter>"
           "<converter id='doc'><name>Word document</name><module>conv_doc</module><import>1</import><export>0</export></converter>"
           "</converters>";
}

std::string translations()
{
    const char* words[][3] = {{"Send", "Senden", "Envoyer"}, {"Cancel", "Abbrechen", "Annuler"}, {"Fax", "Fax", "Fax"},
                              {"Pages", "Seiten", "Pages"},  {"Send", "Senden", "Envoyer"}};
    std::string x = "<tmx version='1.4'><header srclang='en' datatype='plaintext' adminlang='en'/><body>";
    for (int t = 0; t < 5; ++t) {
        x += "<tu tid='IDS_" + std::to_string(t + 1) + "'>";
        const char* langs[] = {"en", "de", "fr"};
        for (int l = 0; l < 3; ++l)
            x += std::string("<tuv lang='") + langs[l] + "'><seg>" + words[t][l] + "</seg></tuv>";
        x += "</tu>";
    }
    return x + "</body></tmx>";
}

// Prefixed names with no declaration: both sides keep "env:Body" as the whole name.
std::string soapAnswer()
{
    std::string x = "<env:Envelope><env:Body><list_filesResponse>";
    const char* names[] = {"a.tif", "b.tif", "cover.pdf", "c.tif", "notes.txt"};
    const int sizes[] = {1200, 800, 5400, 1200, 300};
    for (int f = 0; f < 5; ++f)
        x += std::string("<file name='") + names[f] + "' size='" + std::to_string(sizes[f]) + "' type='" + (f % 2 ? "fax" : "doc")
             + "'><path>/spool/" + names[f] + "</path><pages>" + std::to_string(f + 1) + "</pages></file>";
    return x + "</list_filesResponse></env:Body></env:Envelope>";
}

enum Doc { PhoneBook, SendingLog, Converters, Translations, Soap, DocCount };
const char* const kDocNames[] = {"phonebook", "sendinglog", "converters", "translations", "soap"};

// ---- node positions ----

// Where a node sits: the child indexes from the document node (text children counted), and for an
// attribute its name after the owner's indexes. Keys sort in document order, with an element's
// attributes by name after the element and before its children: the order of our selections.
struct Key {
    std::vector<int> path;
    std::string attr;
    auto operator<=>(const Key&) const = default;
};

std::string show(const std::vector<Key>& keys)
{
    std::string out = "[";
    for (const Key& k : keys) {
        out += out.size() > 1 ? " " : "";
        out += k.path.empty() && k.attr.empty() ? "/" : "";
        for (int i : k.path)
            out += "/" + std::to_string(i);
        out += k.attr.empty() ? "" : "@" + k.attr;
    }
    return out + "]";
}

Key keyOf(INode* node)
{
    Key k;
    INodePtr n(node);
    if (n->getNodeType() == ATTRIBUTE_NODE) {
        const DOMString name = n->getNodeName();
        k.attr.assign(name.data(), name.size());
        auto* attr = dynamic_cast<IAttr*>(node);
        n = attr ? attr->getOwnerElement() : INodePtr();
    }
    for (; n && n->getParentNode(); n = n->getParentNode()) {
        int index = 0;
        for (INodePtr s = n->getPreviousSibling(); s; s = s->getPreviousSibling())
            ++index;
        k.path.insert(k.path.begin(), index);
    }
    if (!n || n->getNodeType() != DOCUMENT_NODE)
        k.path.insert(k.path.begin(), -1); // not in the document: matches nothing of libxml2's
    return k;
}

Key keyOf(xmlNodePtr n)
{
    Key k;
    if (n->type == XML_ATTRIBUTE_NODE) {
        k.attr = reinterpret_cast<const char*>(n->name);
        n = n->parent;
    }
    for (; n && n->type != XML_DOCUMENT_NODE; n = n->parent) {
        int index = 0;
        for (xmlNodePtr s = n->prev; s; s = s->prev)
            ++index;
        k.path.insert(k.path.begin(), index);
    }
    if (!n)
        k.path.insert(k.path.begin(), -1);
    return k;
}

// ---- the two libraries over one document ----

struct Loaded {
    IDocumentPtr ours;
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> theirs{nullptr, &xmlFreeDoc};
};

Loaded& loaded(Doc d)
{
    static std::array<std::unique_ptr<Loaded>, DocCount> docs;
    if (!docs[d]) {
        const std::string text = d == PhoneBook    ? phoneBook()
                                 : d == SendingLog ? sendingLog()
                                 : d == Converters ? converters()
                                 : d == Translations ? translations()
                                                     : soapAnswer();
        auto l = std::make_unique<Loaded>();
        l->ours = IDocumentPtr(createDocument());
        l->ours->appendChild(l->ours->loadXML(text.c_str(), true));
        xmlInitParser();
        // Blanks are kept as libxml2 does by default; only its messages about the undeclared prefixes are quiet.
        l->theirs.reset(xmlReadMemory(text.data(), static_cast<int>(text.size()), "doc.xml", nullptr,
                                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
        docs[d] = std::move(l);
    }
    return *docs[d];
}

// libxml2 refuses undeclared prefixes in paths: "env:Body" becomes a test of the whole name.
std::string forLibxml2(const std::string& path)
{
    std::string out;
    for (size_t i = 0; i < path.size();) {
        if (path.compare(i, 4, "env:") != 0) {
            out += path[i++];
            continue;
        }
        size_t end = i + 4;
        while (end < path.size() && (std::isalnum(static_cast<unsigned char>(path[end])) || path[end] == '_'))
            ++end;
        out += "*[name()='" + path.substr(i, end - i) + "']";
        i = end;
    }
    return out;
}

std::vector<Key> selectOurs(INode* context, const std::string& path, std::vector<INodePtr>* nodes = nullptr)
{
    std::vector<Key> keys;
    try {
        INodeListPtr list = context->selectNodes(path.c_str());
        for (int32_t i = 0; i < list->getLength(); ++i) {
            keys.push_back(keyOf(list->item(i).get()));
            if (nodes)
                nodes->push_back(list->item(i));
        }
    } catch (const IDOMException& e) {
        ADD_FAILURE() << "ours refused " << path << " with code " << std::hex << e.getCode();
    } catch (const std::exception& e) {
        ADD_FAILURE() << "ours threw " << typeid(e).name() << " on " << path;
    }
    return keys;
}

std::vector<Key> selectTheirs(xmlDocPtr doc, xmlNodePtr context, const std::string& path, std::vector<xmlNodePtr>* nodes = nullptr)
{
    std::vector<Key> keys;
    std::unique_ptr<xmlXPathContext, decltype(&xmlXPathFreeContext)> ctx(xmlXPathNewContext(doc), &xmlXPathFreeContext);
    ctx->node = context;
    std::unique_ptr<xmlXPathObject, decltype(&xmlXPathFreeObject)> result(
        xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(path.c_str()), ctx.get()), &xmlXPathFreeObject);
    if (!result || result->type != XPATH_NODESET) {
        ADD_FAILURE() << "libxml2 gives no node set for " << path;
        return keys;
    }
    for (int i = 0; result->nodesetval && i < result->nodesetval->nodeNr; ++i) {
        keys.push_back(keyOf(result->nodesetval->nodeTab[i]));
        if (nodes)
            nodes->push_back(result->nodesetval->nodeTab[i]);
    }
    std::sort(keys.begin(), keys.end()); // libxml2 keeps attributes in source order, ours by name
    return keys;
}

// ---- the paths ----

struct Case {
    Doc doc;
    const char* context; ///< a path to one node from the document, or null for the document itself
    const char* path;
};

constexpr const char* kFolder13 = "/system/folders/folder[@id='13']";
constexpr const char* kProfile21 = "/system/profiles/profile[@id='21']";
constexpr const char* kAttr = "/system/profiles/profile[@id='22']/@kind";
constexpr const char* kRecord = "/system/folders/folder[@id='13']/records/record[4]";

const Case kCases[] = {
    {PhoneBook, nullptr, "/system/folders/root"},
    {PhoneBook, nullptr, "/system/folders/folder[@id='13']"},
    {PhoneBook, nullptr, "/system/folders/*[@id='2']/records/record"},
    {PhoneBook, kFolder13, "records/record"},
    {PhoneBook, nullptr, "/system/profiles/profile[@id='21']"},
    {PhoneBook, nullptr, "/system/profiles/profile[id/text()='21']"},
    {PhoneBook, nullptr, "/system/profiles/profile/*[parentID/data/value/text()='1']"},
    {PhoneBook, nullptr, "//profile[fax]"},
    {PhoneBook, nullptr, "//record[id/@type='fax']"},
    {PhoneBook, nullptr, "//record/id[text()='21']"},
    {PhoneBook, nullptr, "*"},
    {PhoneBook, nullptr, "/"},
    {PhoneBook, nullptr, "."},
    {PhoneBook, nullptr, "/system/newid/data"},
    {PhoneBook, nullptr, "//value[text()='13']"},
    {PhoneBook, nullptr, "//*[@id]"},
    {PhoneBook, nullptr, "//@id"},
    {PhoneBook, kProfile21, "@*"},
    {PhoneBook, kProfile21, "@kind | id | @changed"},
    {PhoneBook, kProfile21, "*/*/data/value"},
    {PhoneBook, kFolder13, ".."},
    {PhoneBook, kFolder13, "."},
    {PhoneBook, kFolder13, "ancestor::*"},
    {PhoneBook, kFolder13, "following-sibling::*[1]"},
    {PhoneBook, kFolder13, "preceding-sibling::*[1]"},
    {PhoneBook, kFolder13, "preceding-sibling::*"},
    {PhoneBook, kFolder13, "descendant::value"},
    {PhoneBook, kFolder13, "records/record[position() mod 2 = 0]/name"},
    {PhoneBook, kFolder13, "records/record[last()]"},
    {PhoneBook, kRecord, "following::id[1]"},
    {PhoneBook, kRecord, "preceding::name[1]"},
    {PhoneBook, kRecord, "ancestor-or-self::*"},
    {PhoneBook, kRecord, "self::record | child::* | descendant-or-self::id"},
    {PhoneBook, kRecord, "../record[id/@type='group']/id"},
    {PhoneBook, kRecord, "id/text() | name/text()"},
    {PhoneBook, nullptr, "/system/newid | /system/version"},
    {PhoneBook, nullptr, "//favorite | //root"},
    {PhoneBook, nullptr, "//record[1]"},
    {PhoneBook, nullptr, "(//record)[1]"},
    {PhoneBook, nullptr, "(//record)[last()]"},
    {PhoneBook, nullptr, "//records/record[last()]/id"},
    {PhoneBook, nullptr, "//folder[count(records/record) = 9]"},
    {PhoneBook, nullptr, "//*[records and count(records/*) < 7]"},
    {PhoneBook, nullptr, "//record[not(id/@type='fax')]/name"},
    {PhoneBook, nullptr, "//record[id/@type != 'fax'][name]"},
    {PhoneBook, nullptr, "//record[id = //profile/@id]"},
    {PhoneBook, nullptr, "//record[id > 40]"},
    {PhoneBook, nullptr, "//record/id/@type/.."},
    {PhoneBook, nullptr, "//name/text()"},
    {PhoneBook, nullptr, "/system/folders/*[position() > 2]/name/data/value"},
    {PhoneBook, nullptr, "//data[value='Customers']/../.."},
    {PhoneBook, nullptr, "//profile/*/id/data/value | //folders/*/id/data/value"},
    {PhoneBook, nullptr, "/system/profiles/profile[@kind='group' or @changed=1]/*/parentID"},
    {PhoneBook, nullptr, "//records[not(record)]/.."},
    {PhoneBook, nullptr, "//node()[@id='13']"},
    {PhoneBook, nullptr, "/descendant::record[3]"},
    {PhoneBook, nullptr, "//*[@id = '2']//id[1]"},
    {PhoneBook, nullptr, "//record[id = 21]"},
    {PhoneBook, nullptr, "//record[id='25']/preceding::*[2]"},
    {PhoneBook, nullptr, "/child::system/child::folders/child::*[attribute::id='14']"},
    {PhoneBook, nullptr, "//profile/*[self::fax or self::group]"},
    {PhoneBook, nullptr, "//profile/@*[. = 'fax']/.."},
    {PhoneBook, nullptr, "//@type[. = 'group']/ancestor::folder"},
    {PhoneBook, kAttr, ".."},
    {PhoneBook, kAttr, "ancestor-or-self::node()"},
    {SendingLog, nullptr, "//log[@cookie='c1007']"},
    {SendingLog, nullptr, "/root/log[last()]"},
    {SendingLog, nullptr, "/root/log[position() < 3]"},
    {SendingLog, nullptr, "/root/log[position() = last() - 1]"},
    {SendingLog, nullptr, "/root/log[@status='failed']/@id"},
    {SendingLog, nullptr, "/root/log[@status='sent' and pages > 3]"},
    {SendingLog, nullptr, "/root/log[@status='queued' or @id = 1]/number"},
    {SendingLog, nullptr, "/root/log[3]/following-sibling::log[2]"},
    {SendingLog, nullptr, "/root/log[@id >= 15]/tries"},
    {SendingLog, nullptr, "//log[string(@status)='sent'][pages=2]"},
    {SendingLog, nullptr, "/root/log[tries = 0 and not(@status='sent')]"},
    {SendingLog, nullptr, "/root/log[position() = 2 or position() = 5]"},
    {SendingLog, nullptr, "/root/log[pages != tries + 1]"},
    {SendingLog, nullptr, "/root/log/pages[. > 4]/.."},
    {SendingLog, nullptr, "(//log[@status='failed'])[2]"},
    {SendingLog, nullptr, "//log[@id='3'] | //log[@id='1'] | //log[@id='2']/@status"},
    {SendingLog, nullptr, "//log/@*[. = 'c1005']"},
    {SendingLog, nullptr, "/root/log[number(@id) = pages * 4]"},
    {SendingLog, "/root/log[5]", "@*"},
    {SendingLog, "/root/log[5]", "*"},
    {SendingLog, "/root/log[5]", "preceding-sibling::log[3]"},
    {SendingLog, "/root/log[5]", "../log[@status = 'failed']"},
    {Converters, nullptr, "/converters/converter[@id='pdf']/module"},
    {Converters, nullptr, "//converter[import='1']/name"},
    {Converters, nullptr, "//converter[export=0]"},
    {Converters, nullptr, "/converters/converter[name='TIFF image' or module='conv_txt']/@id"},
    {Converters, "/converters/converter[2]", "following-sibling::*[1]/@id"},
    {Converters, "/converters/converter[2]", "name | module"},
    {Translations, nullptr, "//tu[@tid='IDS_1']/tuv[@lang='en']/seg"},
    {Translations, "/tmx", "body/tu[@tid=\"IDS_3\"]"},
    {Translations, "/tmx", "header/@*"},
    {Translations, "/tmx", "body/tu/tuv[@lang='de'][seg='Senden']"},
    {Translations, nullptr, "//seg[text()='Envoyer']/../.."},
    {Translations, nullptr, "//tuv[@lang='fr']/seg/text()"},
    {Translations, nullptr, "//tu[tuv/seg='Fax']/@tid | //tu[last()]"},
    {Soap, nullptr, "/env:Envelope/env:Body/list_filesResponse/file"},
    {Soap, nullptr, "//file[@name='a.tif']"},
    {Soap, nullptr, "//file[@size > 1000]/path"},
    {Soap, nullptr, "//file[@size = 1200][pages > 1]/@name"},
    {Soap, nullptr, "//env:Body/*"},
    {Soap, "/env:Envelope/env:Body", "list_filesResponse/file[last()]/@*"},
    {Soap, "/env:Envelope/env:Body", ".."},
    {Soap, "/env:Envelope/env:Body", "descendant::pages[text()='3']/ancestor-or-self::*"},
};

class XPathDifferential : public ::testing::TestWithParam<Case> {};

TEST_P(XPathDifferential, SelectsWhatLibxml2Selects)
{
    const Case& c = GetParam();
    Loaded& l = loaded(c.doc);
    ASSERT_TRUE(l.ours->getDocumentElement());
    ASSERT_TRUE(l.theirs);
    const bool rename = c.doc == Soap;

    INodePtr ourContext = l.ours;
    xmlNodePtr theirContext = reinterpret_cast<xmlNodePtr>(l.theirs.get());
    if (c.context) {
        std::vector<INodePtr> ours;
        std::vector<xmlNodePtr> theirs;
        const std::vector<Key> a = selectOurs(l.ours.get(), c.context, &ours);
        const std::vector<Key> b = selectTheirs(l.theirs.get(), theirContext, rename ? forLibxml2(c.context) : c.context, &theirs);
        ASSERT_EQ(show(a), show(b)) << "context " << c.context;
        ASSERT_EQ(ours.size(), 1u) << "context " << c.context;
        ourContext = ours.front();
        theirContext = theirs.front();
    }

    const std::vector<Key> ours = selectOurs(ourContext.get(), c.path);
    const std::vector<Key> theirs = selectTheirs(l.theirs.get(), theirContext, rename ? forLibxml2(c.path) : c.path);
    EXPECT_FALSE(theirs.empty()) << "the path selects nothing: " << c.path;
    EXPECT_EQ(show(ours), show(theirs)) << kDocNames[c.doc] << (c.context ? std::string(" from ") + c.context : "")
                                        << ": " << c.path;
}

INSTANTIATE_TEST_SUITE_P(Paths, XPathDifferential, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return std::string(kDocNames[info.param.doc]) + "_" + std::to_string(info.index);
                         });

} // namespace
