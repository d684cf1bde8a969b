#include "sendlog/log_store.h"

#include "common/data_folders.h"
#include "common/spool_time.h"
#include "common/xml_value.h"
#include "platform/files.h"
#include "platform/known_folders.h"
#include "platform/text.h"
#include "sendlog/event_list.h"
#include "xmldoc/dom.h"
#include "xmldoc/list_text.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <chrono>
#include <cstdio>
#include <charconv>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <mutex>
#include <span>
#include <thread>
#include <unordered_map>
#include <unistd.h>

using namespace mfpif_Halvet_R1;
using sendlog::PostLogEvent;
using sendlog::RegisterCallback;
using sendlog::UnregisterCallback;

namespace {

constexpr size_t kMaxLogFile = 64u << 20;
// How many taken identifiers a new entry passes over before the create fails.
constexpr int kMaxPassedOver = 1000;

// The templates the log files are made from, as the store carries them (CR LF line ends, tabs).
#define QV(name) "<" name "><data><value></value></data></" name ">"
const char* const kLogDataTemplate =
    "<system>\r\n\t<logdata>\r\n\t\t<info>\r\n"
    "\t\t\t" QV("status") "\r\n\t\t\t" QV("imagePath") "\r\n\t\t\t" QV("documentName") "\r\n\t\t\t" QV("sentDate")
    "\r\n\t\t\t" QV("finishedDate") "\r\n\t\t</info>\r\n\t\t<property>\r\n"
    "\t\t\t" QV("logImagePath") "\r\n\t\t\t" QV("pageNumber") "\r\n\t\t\t" QV("printerName") "\r\n\t\t\t" QV("userName")
    "\r\n\t\t\t" QV("passWord") "\r\n\t\t\t" QV("useAccountNumber") "\r\n\t\t\t" QV("accountNumber")
    "\r\n\t\t\t" QV("useDocumentFiling") "\r\n\t\t\t" QV("documentFilingFolderType") "\r\n\t\t\t"
    QV("documentFilingFolderName") "\r\n\t\t\t" QV("documentFilingFolderPassword") "\r\n\t\t\t"
    QV("documentFilingFilePassword") "\r\n\t\t</property>\r\n\t\t<destinations>\r\n"
    "\t\t\t<memoryBoxCount><data><value>0</value></data></memoryBoxCount>\r\n\t\t</destinations>\r\n"
    "\t</logdata>\r\n</system>\r\n";
const char* const kIndexTemplate = "<system>\r\n\t<logIndex>\r\n"
                                   "\t\t<newIndex><data><value>0</value></data></newIndex>\r\n"
                                   "\t\t<logCount><data><value>0</value></data></logCount>\r\n"
                                   "\t\t<indexs>\r\n\t\t</indexs>\r\n\t</logIndex>\r\n</system>\r\n";
const char* const kIndexEntryTemplate = "<index>" QV("cookie") QV("idString") "</index>";
const char* const kDestinationTemplate = "<destination>\r\n\t" QV("type") "\r\n\t" QV("name") "\r\n\t" QV("number")
                                         "\r\n\t" QV("isIFaxAddress") "\r\n\t" QV("useFcode") "\r\n\t" QV("subAddress")
                                         "\r\n\t" QV("passCode") "\r\n\t" QV("receptionConfirm") "\r\n</destination>\r\n";
#undef QV

// A failed step of an operation; caught at the operation's end. error: the errno of the system
// call that failed in the step, 0 when the step was no system call.
struct Failure {
    int error = 0;
};

void check(bool ok)
{
    if (!ok)
        throw Failure{};
}

// A step that is a system call, with the error it gave.
void checkCall(bool ok, const std::error_code& error)
{
    if (!ok)
        throw Failure{error.value()};
}

// Why this thread's last operation failed (see CQeltaLog::LastSystemError).
thread_local int t_lastSystemError = 0;

IDocumentPtr parse(const std::string& text)
{
    IDocumentPtr doc(createDocument());
    check(static_cast<bool>(doc));
    INodePtr root = doc->loadXML(DOMString(text.data(), text.size()), true);
    check(static_cast<bool>(root));
    doc->appendChild(root);
    return doc;
}

// Loads an XML file; Missing when there is no file, so a caller can make it from its template.
enum class Load { Ok, Missing };
Load load(const std::string& path, IDocumentPtr& doc)
{
    std::string text;
    std::error_code error;
    const auto status = platform::readFile(path, text, kMaxLogFile, &error);
    if (status == platform::ReadStatus::NotFound)
        return Load::Missing;
    checkCall(status == platform::ReadStatus::Ok, error);
    doc = parse(text); // a file that does not parse is never replaced: the operation fails
    return Load::Ok;
}

IDocumentPtr loadExisting(const std::string& path)
{
    IDocumentPtr doc;
    checkCall(load(path, doc) == Load::Ok, std::make_error_code(std::errc::no_such_file_or_directory));
    return doc;
}

void save(const IDocumentPtr& doc, const std::string& path)
{
    const DOMString text = doc->getXML();
    check(!text.empty());
    std::error_code error;
    checkCall(platform::writeFileAtomic(path, std::string_view(text.data(), text.size()), &error), error);
}

INodePtr node(const INodePtr& from, const std::string& path)
{
    INodePtr n = from->selectSingleNode(path.c_str());
    check(static_cast<bool>(n));
    return n;
}

std::string text(const INodePtr& n)
{
    const DOMString t = n->getText();
    return std::string(t.data(), t.size());
}

// The store's own files in an entry folder are never hidden: every name starting with '.' is a
// temporary file of a writer.
bool isTemporaryName(const std::string& name) { return !name.empty() && name.front() == '.'; }

// A file name that stays inside its folder and is not taken for a temporary file.
bool isPlainFileName(const std::string& name)
{
    return !name.empty() && !isTemporaryName(name) && name.find('/') == std::string::npos
        && name.find('\\') == std::string::npos && name.find('\0') == std::string::npos;
}

std::string hexId(int32_t id)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08x", static_cast<unsigned>(id));
    return buf;
}

// A whole number of the log's files in the given base; false for anything else or one out of range.
bool parseNumber(std::string_view t, int base, int32_t& value)
{
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t'))
        t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t'))
        t.remove_suffix(1);
    const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), value, base);
    return !t.empty() && error == std::errc() && end == t.data() + t.size();
}

int32_t decimal(const std::string& t)
{
    int32_t v = 0;
    check(parseNumber(t, 10, v));
    return v;
}

// The counter after n: a counter read from a file is checked before it is raised, so one at its
// limit (or below zero) fails the operation instead of wrapping.
int32_t nextCounter(int32_t n)
{
    check(n >= 0 && n < INT32_MAX);
    return n + 1;
}

// Copies a file (streamed) to target, replacing what is there in one step.
bool copyFile(const std::string& source, const std::string& target)
{
    return platform::copyFileAtomic(source, target);
}

// Removes an entry's folder with every file in it (links are removed, never followed). Only a
// folder that holds something else than files stays, and one that is a link or another user's.
void removeEntryFolder(const std::string& entry)
{
    if (!platform::isOwnFolder(entry))
        return;
    for (const auto& name : platform::listFiles(entry, "*"))
        ::unlink(platform::joinPath(entry, name).c_str());
    ::rmdir(entry.c_str());
}

// Removes, under the log's lock (when no writer is at work), the temporary files in an entry folder.
void sweepEntryTemporaries(const std::string& entry)
{
    if (!platform::isOwnFolder(entry))
        return;
    for (const auto& name : platform::listFiles(entry, ".*"))
        ::unlink(platform::joinPath(entry, name).c_str());
}

// A folder that a killed writer made for an identifier that never reached the index holds only
// what a create writes before the index names it; a folder with any other file is kept.
void sweepOrphanEntry(const std::string& entry)
{
    const auto names = platform::listFiles(entry, "*");
    for (const auto& name : names)
        if (!isTemporaryName(name) && name != "desktop.xml" && name != "job_image.tif")
            return;
    removeEntryFolder(entry);
}


// ---- the index file as text ----
//
// Every new or removed entry changes root.xml in two places: the counters and the list of index
// elements. Re-reading the whole index as a document for that makes each change cost as much as
// the log is long, so this process keeps the text it last wrote and, while the file is unchanged
// (same stamp; the file is kept open so its inode cannot be reused), edits that text directly.
// Any other file goes the document way, which also checks that it reads as an index.
struct WrittenIndex {
    std::mutex mutex;
    std::string path;
    platform::FileDescriptor file;
    platform::FileStamp stamp;
    std::string text;
    size_t entries = 0; ///< index elements in text
};

// Kept while the library is loaded; unloading it releases the text and the open file.
WrittenIndex& writtenIndex()
{
    static WrittenIndex cache;
    return cache;
}

// Takes the text of root.xml when this process wrote it last and nobody changed it since; until
// saveIndexText gives a text back, the file goes the document way. Call under the log's lock.
bool knownIndexText(const std::string& path, std::string& text, size_t& entries)
{
    WrittenIndex& w = writtenIndex();
    std::lock_guard lock(w.mutex);
    if (!w.file.valid() || w.path != path || platform::fileStamp(path) != w.stamp)
        return false;
    text = std::move(w.text);
    entries = w.entries;
    w.file.reset();
    w.path.clear();
    return true;
}

// Writes root.xml, which holds entries index elements, and remembers the text. The open files and
// folders in flushAlong reach the storage device before the new index takes root.xml's place: they
// are flushed together with it, once everything is written, so one journal commit takes them all
// (flushes started earlier would commit apart from the index's own, which then waits for them).
void saveIndexText(const std::string& path, std::string text, size_t entries, std::span<const int> flushAlong = {})
{
    check(!text.empty());
    std::error_code error;
    checkCall(platform::writeFileAtomic(path, text, &error, flushAlong), error);
    WrittenIndex& w = writtenIndex();
    std::lock_guard lock(w.mutex);
    w.file.reset(platform::openRegularFile(path, O_RDONLY));
    w.stamp = w.file.valid() ? platform::openFileStamp(w.file.get()) : platform::FileStamp{};
    w.path = path;
    w.text = std::move(text);
    w.entries = entries;
}

// Finds the digits of one counter ("<name><data><value>digits</value>") ahead of the list of index
// elements; false unless it occurs there once.
bool counterSpan(const std::string& text, const std::string& name, size_t& begin, size_t& end)
{
    const std::string open = "<" + name + "><data><value>";
    const std::string_view head = std::string_view(text).substr(0, text.find("<indexs>"));
    begin = head.find(open);
    if (begin == std::string::npos || head.find(open, begin + 1) != std::string::npos)
        return false;
    begin += open.size();
    end = begin;
    while (end < text.size() && end - begin < 10 && text[end] >= '0' && text[end] <= '9')
        ++end;
    return end > begin && text.compare(end, 8, "</value>") == 0;
}

// The text with both counters replaced; false when the text is not in the expected form.
bool withCounters(std::string& text, int32_t newIndex, int32_t logCount)
{
    size_t b1, e1, b2, e2;
    if (!counterSpan(text, "newIndex", b1, e1) || !counterSpan(text, "logCount", b2, e2))
        return false;
    // Replace the later one first, so the earlier one's offsets stay right.
    const std::string v1 = std::to_string(newIndex), v2 = std::to_string(logCount);
    if (b1 < b2) {
        text.replace(b2, e2 - b2, v2);
        text.replace(b1, e1 - b1, v1);
    } else {
        text.replace(b1, e1 - b1, v1);
        text.replace(b2, e2 - b2, v2);
    }
    return true;
}

bool readCounters(const std::string& text, int32_t& newIndex, int32_t& logCount)
{
    size_t b, e;
    if (!counterSpan(text, "newIndex", b, e) || !parseNumber(std::string_view(text).substr(b, e - b), 10, newIndex))
        return false;
    return counterSpan(text, "logCount", b, e) && parseNumber(std::string_view(text).substr(b, e - b), 10, logCount);
}

// Where needle first occurs in text, or npos. The index is long and made mostly of '<', where a
// plain search stops at every byte.
size_t findText(const std::string& text, const std::string& needle)
{
    const auto found =
        std::search(text.begin(), text.end(), std::boyer_moore_horspool_searcher(needle.begin(), needle.end()));
    return found == text.end() ? std::string::npos : static_cast<size_t>(found - text.begin());
}

// The index element text that names an entry (its end, which no cookie can hold).
std::string indexMarker(int32_t id)
{
    return "<idString><data><value>" + hexId(id) + "</value></data></idString></index>";
}

// The count an index with this many elements stores.
int32_t countOf(size_t entries)
{
    check(entries < static_cast<size_t>(INT32_MAX));
    return static_cast<int32_t>(entries);
}

} // namespace

CQeltaLog::CQeltaLog(uint32_t codePage) : m_nCodePage(codePage) {}

std::string CQeltaLog::LogDirectory() { return GetUserDataDirectory("LogDirectory", "/qelta/logs"); }

std::string CQeltaLog::EntryFolder(int32_t id) { return platform::joinPath(LogDirectory(), hexId(id)); }

std::string CQeltaLog::MakeCookie(const std::string& documentName, const platform::LocalTime& date)
{
    return documentName + "-" + FormatSpoolTimeText(date);
}

namespace {

// Sets key's value under parent (the "key/data/value" form), adding the element when it is not there.
void setValue(const INodePtr& parent, const std::string& key, const std::string& stored)
{
    if (INodePtr value = parent->selectSingleNode((key + "/data/value").c_str())) {
        value->setText(DOMString(stored.data(), stored.size()));
        return;
    }
    IDocumentPtr factory = parent->getOwnerDocument();
    INodePtr keyNode = factory->createElement(DOMString(key.data(), key.size()));
    INodePtr data = keyNode->appendChild(factory->createElement("data"));
    data->appendChild(factory->createElement("value"))->setText(DOMString(stored.data(), stored.size()));
    parent->appendChild(keyNode);
}

// What GetLogData2 reads of the entry in the folder entry; a step that fails throws.
int readLogData(const std::string& entry, uint32_t codePage, CLogData& out)
{
    IDocumentPtr data = loadExisting(platform::joinPath(entry, "desktop.xml"));
    auto value = [&](const char* p) { return DecodeXmlValue(text(node(data, p)), 1, codePage); };
    CLogData read;
    read.imagePath = value("/system/logdata/info/imagePath/data/value");
    read.documentName = value("/system/logdata/info/documentName/data/value");
    read.sentDate = value("/system/logdata/info/sentDate/data/value");
    read.status = decimal(value("/system/logdata/info/status/data/value"));
    read.logImagePath = value("/system/logdata/property/logImagePath/data/value");
    out = read;
    return 1;
}

// The text of an index with the given "newIndex" and every entry but the one at skip, in order,
// written as the document way writes it. One index element, made from its template, is filled and
// written for each entry, so the work and the memory follow the text alone. sizeHint: about how
// long the text will be (the index it is made from), so that it is not moved as it grows.
std::string indexTextOf(const std::string& newIndex, const std::vector<CLogID>& entries, uint32_t codePage,
                        size_t skip = std::string::npos, size_t sizeHint = 0)
{
    const size_t count = entries.size() - (skip < entries.size() ? 1 : 0);
    IDocumentPtr index = parse(kIndexTemplate);
    node(index, "/system/logIndex/newIndex/data/value")->setText(DOMString(newIndex.data(), newIndex.size()));
    node(index, "/system/logIndex/logCount/data/value")->setText(std::to_string(countOf(count)).c_str());
    const DOMString whole = index->getXML();
    std::string out(whole.data(), whole.size());
    const size_t end = out.rfind("</indexs>");
    check(end != std::string::npos);
    std::string tail = out.substr(end);
    out.resize(end);
    out.reserve(sizeHint);
    IDocumentPtr entryDoc = parse(kIndexEntryTemplate);
    const INodePtr element = entryDoc->getDocumentElement();
    const INodePtr cookie = node(element, "cookie/data/value"), idString = node(element, "idString/data/value");
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i == skip)
            continue;
        const std::string c = EncodeXmlValue(entries[i].m_strCookie, 1, codePage);
        const std::string h = EncodeXmlValue(hexId(entries[i].m_nID), 1, codePage);
        cookie->setText(DOMString(c.data(), c.size()));
        idString->setText(DOMString(h.data(), h.size()));
        const DOMString one = element->getXML();
        out.append(one.data(), one.size());
    }
    out += tail;
    return out;
}

// The date of a log data file's "sentDate" ("%Y/%m/%d,%H:%M:%S"), with its day of the week; a
// date that does not read so is no date (all zero), which gives a cookie without a date part.
platform::LocalTime sentDateOf(const std::string& sent)
{
    platform::LocalTime t;
    char rest = 0;
    if (std::sscanf(sent.c_str(), "%d/%d/%d,%d:%d:%d%c", &t.year, &t.month, &t.day, &t.hour, &t.minute, &t.second,
                    &rest)
        != 6)
        return {};
    const std::chrono::year_month_day date{std::chrono::year(t.year), std::chrono::month(static_cast<unsigned>(t.month)),
                                           std::chrono::day(static_cast<unsigned>(t.day))};
    if (!date.ok())
        return {};
    t.dayOfWeek = static_cast<int>(std::chrono::weekday(std::chrono::sys_days(date)).c_encoding());
    return t;
}

// The index of a log whose root.xml is gone, made again from its entry folders: each folder named
// as an entry ("%08x", above 0) whose log data file reads gets its index element back, in the order
// of the identifiers (the order the entries were made), with the cookie its document name and date
// give. "newIndex" is the highest identifier of any entry folder, read or not, so that no
// identifier whose folder is there is given again.
std::string rebuiltIndexText(const std::string& dir, uint32_t codePage)
{
    std::vector<CLogID> entries;
    int32_t highest = 0;
    for (const std::string& name : platform::listFolders(dir, "????????")) {
        int32_t id = 0;
        if (!parseNumber(name, 16, id) || id <= 0 || name != hexId(id))
            continue;
        highest = std::max(highest, id);
        if (!platform::isOwnFolder(platform::joinPath(dir, name)))
            continue; // another user's folder is no entry of this log
        try {
            CLogData data;
            readLogData(platform::joinPath(dir, name), codePage, data);
            CLogID entry;
            entry.m_nID = id;
            entry.m_nCodePage = codePage;
            entry.m_strCookie = CQeltaLog::MakeCookie(data.documentName, sentDateOf(data.sentDate));
            entries.push_back(std::move(entry));
        } catch (...) {
            // A file that does not read as a log data file stays as it is, out of the index.
        }
    }
    std::sort(entries.begin(), entries.end(), [](const CLogID& a, const CLogID& b) { return a.m_nID < b.m_nID; });
    return indexTextOf(std::to_string(highest), entries, codePage);
}

// Runs one operation: a failed step anywhere in it (or an exception of the XML library) gives 0.
template <typename Operation>
int guarded(Operation operation)
{
    t_lastSystemError = 0;
    try {
        return operation();
    } catch (const Failure& failure) {
        t_lastSystemError = failure.error;
        return 0;
    } catch (const std::exception&) {
        return 0;
    }
}

// An operation that cannot start: its log folder is not known or its lock cannot be had; 0.
int notStarted(const platform::FileLock* lock = nullptr)
{
    t_lastSystemError = lock ? lock->error().value() : 0;
    return 0;
}
} // namespace

int CQeltaLog::CreateLogData2(const std::string& imagePath, const std::string& documentName,
                              const platform::LocalTime& date, int32_t& newId)
{
    newId = 0;
    const std::string dir = LogDirectory();
    if (dir.empty())
        return notStarted();
    const platform::PrivateCheckScope checks(dir);
    const std::string rootPath = platform::joinPath(dir, "root.xml");
    platform::FileLock lock(rootPath);
    if (!lock.locked())
        return notStarted(&lock);
    std::string entry;
    return guarded([&] {
        // A new identifier: one above the last given, which the index keeps raised, so identifiers
        // of indexed entries are never reused. The count is the number of index elements.
        std::string known;
        size_t entries = 0;
        IDocumentPtr index;
        INodePtr newIndexNode, logCountNode;
        int32_t last = 0, stored = 0;
        bool rebuilt = false; // root.xml was gone: the index is made again from the entry folders
        const bool fromText = knownIndexText(rootPath, known, entries) && readCounters(known, last, stored)
            && known.rfind("</indexs>") != std::string::npos; // near the end
        if (!fromText) {
            if (load(rootPath, index) == Load::Missing) {
                index = parse(rebuiltIndexText(dir, m_nCodePage));
                rebuilt = true;
            }
            newIndexNode = node(index, "/system/logIndex/newIndex/data/value");
            logCountNode = node(index, "/system/logIndex/logCount/data/value");
            last = decimal(text(newIndexNode));
            decimal(text(logCountNode)); // must read as a number, though it is written anew
            entries = static_cast<size_t>(index->selectNodes("/system/logIndex/indexs/index")->getLength());
        }
        int32_t id = nextCounter(last);
        countOf(entries + 1);
        auto indexed = [&](int32_t which) {
            return fromText ? known.rfind(indexMarker(which)) != std::string::npos
                            : static_cast<bool>(index->selectSingleNode(
                                  ("/system/logIndex/indexs/index[idString/data/value='" + hexId(which) + "']").c_str()));
        };
        // The index with the raised identifier, and with the new entry's element when there is one.
        auto indexText = [&](const std::string& element) {
            const int32_t count = countOf(element.empty() ? entries : entries + 1);
            if (fromText) {
                check(withCounters(known, id, count));
                known.insert(known.rfind("</indexs>"), element);
                return std::move(known);
            }
            newIndexNode->setText(std::to_string(id).c_str());
            logCountNode->setText(std::to_string(count).c_str());
            if (!element.empty()) {
                IDocumentPtr entryDoc = parse(element);
                node(index, "/system/logIndex/indexs")->appendChild(entryDoc->getDocumentElement());
            }
            const DOMString written = index->getXML();
            return std::string(written.data(), written.size());
        };
        // What writers killed mid-write left: temporary files of the index and of the newest entry,
        // and a folder made for an identifier that never reached the index. Such a folder holds
        // only what a create writes before the index names it, and nobody was told its identifier,
        // so it goes and the identifier is given again; but where the index was made again, a
        // folder it could not take in is an entry whose file did not read, and stays. Looking for
        // the index's temporary files lists the whole log folder, so that is done when the index is
        // not the one this process wrote last: after another writer, and in every process that
        // starts writing.
        if (!fromText)
            platform::removeStaleTemporaries(rootPath);
        for (const int32_t near : {last, id}) {
            const std::string folder = platform::joinPath(dir, hexId(near));
            if (near > 0 && platform::isDirectory(folder)) {
                if (indexed(near))
                    sweepEntryTemporaries(folder);
                else if (!rebuilt)
                    sweepOrphanEntry(folder);
            }
        }
        // A name that is taken (a folder that is not the store's own, or an entry the index does not
        // list) is never taken over: its identifier is passed over for the next free one.
        entry = platform::joinPath(dir, hexId(id));
        std::error_code made;
        for (int passed = 0; !platform::createFolder(entry, &made); ++passed) {
            if (made != std::errc::file_exists || passed == kMaxPassedOver) {
                entry.clear();
                saveIndexText(rootPath, indexText(""), entries);
                checkCall(false, made);
            }
            id = nextCounter(id);
            entry = platform::joinPath(dir, hexId(id));
        }
        try {
            const std::string image = platform::joinPath(entry, "job_image.tif");
            copyFile(imagePath, image); // a failed copy is not an error
            IDocumentPtr data = parse(kLogDataTemplate);
            INodePtr info = node(data, "/system/logdata/info");
            char sent[64];
            std::snprintf(sent, sizeof sent, "%04d/%02d/%02d,%02d:%02d:%02d", date.year, date.month, date.day, date.hour,
                          date.minute, date.second);
            setValue(info, "imagePath", EncodeXmlValue(image, 1, m_nCodePage));
            setValue(info, "documentName", EncodeXmlValue(documentName, 1, m_nCodePage));
            setValue(info, "sentDate", EncodeXmlValue(sent, 1, m_nCodePage));
            setValue(info, "status", EncodeXmlValue("0", 1, m_nCodePage));
            // The entry's file goes straight into its new folder: nobody reads the folder before the
            // index names it, and one that a killed writer left is swept as an orphan (see above).
            // The file, its folder and the log folder (which holds the new folder's name) are
            // flushed together with the new index, and only then does the index take root.xml's place.
            const DOMString dataText = data->getXML();
            check(!dataText.empty());
            std::error_code error;
            const platform::FileDescriptor dataFile =
                platform::createFileForWriting(platform::joinPath(entry, "desktop.xml"), &error);
            checkCall(dataFile.valid(), error);
            if (!platform::writeAll(dataFile.get(), std::string_view(dataText.data(), dataText.size())))
                checkCall(false, std::error_code(errno, std::generic_category()));
            const platform::FileDescriptor entryFolder = platform::openFolder(entry, &error);
            checkCall(entryFolder.valid(), error);
            const platform::FileDescriptor logFolder = platform::openFolder(dir, &error);
            checkCall(logFolder.valid(), error);

            IDocumentPtr entryDoc = parse(kIndexEntryTemplate);
            INodePtr element = entryDoc->getDocumentElement();
            setValue(element, "cookie", EncodeXmlValue(MakeCookie(documentName, date), 1, m_nCodePage));
            setValue(element, "idString", EncodeXmlValue(hexId(id), 1, m_nCodePage));
            const DOMString elementText = element->getXML();
            // One write of the index makes the entry: before it the entry does not exist.
            const int flushAlong[] = {dataFile.get(), entryFolder.get(), logFolder.get()};
            saveIndexText(rootPath, indexText(std::string(elementText.data(), elementText.size())), entries + 1,
                          flushAlong);
        } catch (...) {
            removeEntryFolder(entry); // no folder without its index entry; the count never counted it
            throw;
        }
        newId = id;
        return 1;
    });
}

namespace {
// Sets a property of an entry; the caller holds the log's lock.
void setProperty(const std::string& entry, const std::string& name, const std::string& value, uint32_t codePage)
{
    const std::string path = platform::joinPath(entry, "desktop.xml");
    IDocumentPtr data = loadExisting(path);
    setValue(node(data, "/system/logdata/property"), name, EncodeXmlValue(value, 1, codePage));
    save(data, path);
}

// Runs a change of one entry's folder under the log's lock, once what killed writers left in the
// folder is swept; 0 when the lock cannot be had or a step fails.
template <typename Change>
int changeEntry(int32_t id, Change change)
{
    const std::string dir = CQeltaLog::LogDirectory();
    const platform::PrivateCheckScope checks(dir);
    platform::FileLock lock(platform::joinPath(dir, "root.xml"));
    if (!lock.locked())
        return notStarted(&lock);
    const std::string entry = platform::joinPath(dir, hexId(id));
    return guarded([&] {
        sweepEntryTemporaries(entry);
        change(entry);
        return 1;
    });
}
} // namespace

int CQeltaLog::AddLogProperty2(int32_t id, const std::string& name, const std::string& value)
{
    if (!IsStoredKeyName(name))
        return 0;
    return changeEntry(id, [&](const std::string& entry) { setProperty(entry, name, value, m_nCodePage); });
}

int CQeltaLog::AddLogPropertyWithData2(int32_t id, const std::string& name, const std::string& fileName,
                                       const std::string& sourcePath)
{
    // The entry's own log files are never replaced by property data.
    if (!IsStoredKeyName(name) || !isPlainFileName(fileName) || fileName == "desktop.xml" || fileName == "#desktop.xml")
        return 0;
    return changeEntry(id, [&](const std::string& entry) {
        check(platform::isDirectory(entry));
        const std::string copy = platform::joinPath(entry, fileName);
        copyFile(sourcePath, copy); // a failed copy is not an error
        setProperty(entry, name, copy, m_nCodePage);
    });
}

int CQeltaLog::AddLogDestination2(int32_t id, const std::string& field, const std::string& value)
{
    if (!IsStoredKeyName(field))
        return 0;
    return changeEntry(id, [&](const std::string& entry) {
        check(platform::isDirectory(entry));
        const std::string path = platform::joinPath(entry, "#desktop.xml");
        IDocumentPtr work;
        if (load(path, work) == Load::Missing)
            work = parse(kDestinationTemplate);
        setValue(node(work, "/destination"), field, EncodeXmlValue(value, 1, m_nCodePage));
        save(work, path);
    });
}

int CQeltaLog::FlushLogDestination2(int32_t id)
{
    return changeEntry(id, [&](const std::string& entry) {
        const std::string workPath = platform::joinPath(entry, "#desktop.xml");
        const std::string dataPath = platform::joinPath(entry, "desktop.xml");
        IDocumentPtr work = loadExisting(workPath);
        IDocumentPtr data = loadExisting(dataPath);
        INodePtr destinations = node(data, "/system/logdata/destinations");
        destinations->appendChild(work->getDocumentElement());
        INodePtr count = node(data, "/system/logdata/destinations/memoryBoxCount/data/value");
        const int32_t n = nextCounter(decimal(DecodeXmlValue(text(count), 1, m_nCodePage)));
        count->setText(EncodeXmlValue(std::to_string(n), 1, m_nCodePage).c_str());
        save(data, dataPath);
        ::unlink(workPath.c_str());
    });
}

int CQeltaLog::LastSystemError() { return t_lastSystemError; }

int CQeltaLog::FlushLogData2(int32_t id)
{
    PostLogEvent(LogDirectory(), 1, id);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    return 1;
}

int CQeltaLog::GetLogData2(int32_t id, CLogData& out)
{
    return guarded([&] { return readLogData(EntryFolder(id), m_nCodePage, out); });
}

int CQeltaLog::GetLogProperty2(int32_t id, const std::string& name, std::string& value)
{
    if (!IsStoredKeyName(name))
        return 0;
    return guarded([&] {
        const std::string path = platform::joinPath(EntryFolder(id), "desktop.xml");
        IDocumentPtr data = loadExisting(path);
        INodePtr property = node(data, "/system/logdata/property");
        value = DecodeXmlValue(text(node(property, name + "/data/value")), 1, m_nCodePage);
        return 1;
    });
}

int CQeltaLog::GetDestination2(int32_t id, int32_t index, const std::string& field, std::string& value)
{
    if (!IsStoredKeyName(field))
        return 0;
    return guarded([&] {
        const std::string path = platform::joinPath(EntryFolder(id), "desktop.xml");
        IDocumentPtr data = loadExisting(path);
        INodeListPtr list = node(data, "/system/logdata/destinations")->selectNodes("destination");
        check(index >= 0 && index < list->getLength());
        value = DecodeXmlValue(text(node(list->item(index), field + "/data/value")), 1, m_nCodePage);
        return 1;
    });
}

int CQeltaLog::ChangeLogStatus2(int32_t id, int32_t status)
{
    const bool changed = changeEntry(id, [&](const std::string& entry) {
        const std::string path = platform::joinPath(entry, "desktop.xml");
        IDocumentPtr data = loadExisting(path);
        node(data, "/system/logdata/info/status/data/value")
            ->setText(EncodeXmlValue(std::to_string(status), 1, m_nCodePage).c_str());
        save(data, path);
    });
    if (!changed)
        return 0;
    PostLogEvent(LogDirectory(), 4, id);
    return 1;
}

namespace {

// The index as last parsed in this process. The parsed file is kept open, so its inode cannot be
// reused: a path whose stamp still matches holds exactly the file parsed (the store never changes
// root.xml in place; it renames a new file over it).
struct ParsedIndex {
    std::mutex mutex;
    std::string path;
    uint32_t codePage = 0;
    platform::FileDescriptor file;
    platform::FileStamp stamp;
    std::vector<CLogID> entries;
    /// Each cookie in UTF-8 with ASCII letters folded, to the newest entry that has it; made when
    /// first asked for, as only a search needs it (empty while the entries are not).
    std::unordered_map<std::string, int32_t> newestByCookie;
    /// The text of "newIndex" (empty when the index has none; only a change needs it).
    std::string newIndex;
    size_t fileBytes = 0; ///< the size of the file read
};

ParsedIndex& parsedIndex()
{
    static ParsedIndex cache;
    return cache;
}

} // namespace

namespace {

using CXMLDOCLIB_Ostrel::isElementNamed;

// Reads the index elements of root.xml ("/system/logIndex/indexs/index") as the parse hands them
// over, one at a time, so that the index never stands as a tree: what is kept of an entry is its
// cookie and identifier alone.
class IndexReader final : public CXMLDOCLIB_Ostrel::IListTextSink {
public:
    explicit IndexReader(uint32_t codePage) : codePage_(codePage) {}

    bool isList(const INodePtr& element, int32_t&) override
    {
        if (!isElementNamed(element, "indexs"))
            return false;
        const INodePtr logIndex = element->getParentNode();
        const INodePtr system = logIndex ? logIndex->getParentNode() : nullptr;
        const INodePtr top = system ? system->getParentNode() : nullptr;
        return isElementNamed(logIndex, "logIndex") && isElementNamed(system, "system") && top
            && top->getNodeType() == DOCUMENT_NODE;
    }

    void child(const INodePtr&, std::string_view, size_t, const INodePtr& element) override
    {
        if (!ok || !isElementNamed(element, "index"))
            return; // other elements of the list are no entries
        const INodePtr cookie = firstAlong(element, kCookiePath);
        const INodePtr idString = firstAlong(element, kIdPath);
        CLogID id;
        if (!cookie || !idString
            || !parseNumber(DecodeXmlValue(text(idString), 1, codePage_), 16, id.m_nID) || id.m_nID <= 0) {
            ok = false; // not an index: the operation that reads it fails
            return;
        }
        id.m_strCookie = DecodeXmlValue(text(cookie), 1, codePage_);
        id.m_nCodePage = codePage_;
        entries.push_back(std::move(id));
    }

    void tail(const INodePtr&, std::string_view) override {}

    bool ok = true;
    std::vector<CLogID> entries;

private:
    static constexpr const char* kCookiePath[] = {"cookie", "data", "value"};
    static constexpr const char* kIdPath[] = {"idString", "data", "value"};

    // The first element in document order at the end of the path of child names below from, as
    // the path read as a location path finds it; null when there is none.
    static INodePtr firstAlong(const INodePtr& from, std::span<const char* const> path)
    {
        if (path.empty())
            return from;
        for (INodePtr c = from->getFirstChild(); c; c = c->getNextSibling())
            if (isElementNamed(c, path.front()))
                if (INodePtr found = firstAlong(c, path.subspan(1)))
                    return found;
        return nullptr;
    }

    uint32_t codePage_;
};

// Brings the cache up to date with root.xml; call with its mutex held. False when root.xml cannot
// be read as an index.
bool refreshIndex(ParsedIndex& cache, const std::string& path, uint32_t codePage)
{
    if (cache.file.valid() && cache.path == path && cache.codePage == codePage && platform::fileStamp(path) == cache.stamp)
        return true;
    // What was read of another file is of no use any more: it goes before the new file is read, so
    // that the two are never held at once.
    cache.file.reset();
    cache.entries = {};
    cache.newestByCookie = {};
    platform::FileDescriptor file(platform::openRegularFile(path, O_RDONLY));
    if (!file.valid())
        return false;
    try {
        std::string textOfFile;
        platform::FileStamp stamp;
        check(platform::readOpenFile(file.get(), textOfFile, kMaxLogFile, nullptr, &stamp) == platform::ReadStatus::Ok);
        IndexReader reader(codePage);
        const INodePtr root = CXMLDOCLIB_Ostrel::loadWithListText(textOfFile, reader);
        const size_t fileBytes = textOfFile.size();
        std::string().swap(textOfFile); // what is needed of it has been taken
        check(reader.ok && static_cast<bool>(root));
        IDocumentPtr index(createDocument());
        check(static_cast<bool>(index));
        index->appendChild(root);
        decimal(text(node(index, "/system/logIndex/logCount/data/value"))); // counted from the elements
        const INodePtr newIndex = index->selectSingleNode("/system/logIndex/newIndex/data/value");
        reader.entries.shrink_to_fit();
        cache.file = std::move(file);
        cache.path = path;
        cache.codePage = codePage;
        cache.stamp = stamp;
        cache.fileBytes = fileBytes;
        cache.entries = std::move(reader.entries);
        cache.newIndex = newIndex ? text(newIndex) : std::string();
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace

int32_t CQeltaLog::GetLogCount2()
{
    ParsedIndex& cache = parsedIndex();
    std::lock_guard lock(cache.mutex);
    // The entries listed are the count, so a count can never name a position that has no entry.
    if (!refreshIndex(cache, platform::joinPath(LogDirectory(), "root.xml"), m_nCodePage))
        return -1;
    return static_cast<int32_t>(std::min<size_t>(cache.entries.size(), INT32_MAX));
}

int32_t CQeltaLog::GetLogIdAt(int32_t index)
{
    // Positions follow the index as it is now: read again whenever root.xml changed.
    ParsedIndex& cache = parsedIndex();
    std::lock_guard lock(cache.mutex);
    if (!refreshIndex(cache, platform::joinPath(LogDirectory(), "root.xml"), m_nCodePage) || index < 0
        || static_cast<size_t>(index) >= cache.entries.size())
        return 0;
    return cache.entries[static_cast<size_t>(index)].m_nID;
}

int CQeltaLog::FindLogId2(const std::string& cookie, int32_t& id)
{
    ParsedIndex& cache = parsedIndex();
    std::lock_guard lock(cache.mutex);
    if (!refreshIndex(cache, platform::joinPath(LogDirectory(), "root.xml"), m_nCodePage))
        return 0;
    // The newest entry wins: a job sent again is logged again under the same cookie. Case is folded
    // on the UTF-8 form, where no byte of a double-byte character can pass for an ASCII letter.
    if (cache.newestByCookie.empty())
        for (const CLogID& e : cache.entries)
            cache.newestByCookie[platform::asciiLower(EncodeXmlValue(e.m_strCookie, 0, m_nCodePage))] = e.m_nID;
    const auto found = cache.newestByCookie.find(platform::asciiLower(EncodeXmlValue(cookie, 0, m_nCodePage)));
    if (found == cache.newestByCookie.end())
        return 0;
    id = found->second;
    return 1;
}

int CQeltaLog::RemoveLogData2(int32_t id)
{
    const std::string dir = LogDirectory();
    const platform::PrivateCheckScope checks(dir);
    const std::string rootPath = platform::joinPath(dir, "root.xml");
    const std::string entry = platform::joinPath(dir, hexId(id));
    {
        platform::FileLock lock(rootPath);
        if (!lock.locked())
            return 0;
        CLogData data;
        if (!guarded([&] { return readLogData(entry, m_nCodePage, data); }))
            return 0;
        if (!RemoveFromKnownIndex(rootPath, id) && !RemoveFromIndexDocument(dir, id))
            return 0;
        // The entry's folder goes whole; files outside it stay, whatever paths the entry names.
        removeEntryFolder(entry);
    }
    PostLogEvent(dir, 2, id);
    return 1;
}

bool CQeltaLog::RemoveFromKnownIndex(const std::string& rootPath, int32_t id)
{
    std::string known;
    size_t entries = 0;
    int32_t newIndex = 0, count = 0;
    if (!knownIndexText(rootPath, known, entries) || entries == 0 || !readCounters(known, newIndex, count))
        return false;
    const std::string marker = indexMarker(id);
    // The first element that names the entry goes, as on the document way.
    const size_t at = findText(known, marker);
    if (at == std::string::npos)
        return false;
    const size_t start = known.rfind("<index>", at);
    if (start == std::string::npos)
        return false;
    known.erase(start, at + marker.size() - start);
    if (!withCounters(known, newIndex, static_cast<int32_t>(entries - 1)))
        return false;
    try {
        saveIndexText(rootPath, std::move(known), entries - 1);
    } catch (...) {
        return false;
    }
    m_index.m_entries.clear();
    m_index.m_bLoaded = 0; // read again when next asked
    return true;
}

bool CQeltaLog::RemoveFromIndexDocument(const std::string& dir, int32_t id)
{
    const std::string rootPath = platform::joinPath(dir, "root.xml");
    m_index.m_entries.clear();
    m_index.m_bLoaded = 0; // read again when next asked
    ParsedIndex& cache = parsedIndex();
    std::lock_guard lock(cache.mutex);
    if (!refreshIndex(cache, rootPath, m_nCodePage))
        return false;
    const auto found = std::find_if(cache.entries.begin(), cache.entries.end(),
                                    [&](const CLogID& e) { return e.m_nID == id; });
    if (found == cache.entries.end())
        return false;
    try {
        decimal(cache.newIndex);
        const size_t at = static_cast<size_t>(found - cache.entries.begin());
        std::string written = indexTextOf(cache.newIndex, cache.entries, m_nCodePage, at, cache.fileBytes);
        saveIndexText(rootPath, std::move(written), cache.entries.size() - 1);
    } catch (...) {
        return false;
    }
    return true;
}

int CQeltaLog::RegisterCallback2(uint32_t window, uint32_t message, uint32_t mask)
{
    return RegisterCallback(LogDirectory(), window, message, mask) ? 1 : 0;
}

int CQeltaLog::UnregisterCallback2(uint32_t window) { return UnregisterCallback(LogDirectory(), window) ? 1 : 0; }
