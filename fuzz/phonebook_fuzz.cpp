// Phone book and record files from anywhere: the input is opened as a book and, when it loads,
// every folder, record and group is read; it is also committed as the record file of a new record
// into a sound book. Every input loads or fails cleanly, and nothing that fails changes a byte.
// A book that opens holds exactly the text the document writer makes of the whole file.
#include "common/data_folders.h"
#include "phonebook/store/book_text.h"
#include "phonebook/store/phone_book.h"
#include "platform/files.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// A private state root for the whole run, removed at exit.
struct Folder {
    std::string path;
    Folder()
    {
        const char* tmp = std::getenv("TMPDIR");
        path = std::string(tmp && *tmp ? tmp : "/tmp") + "/qelta-phonebook-fuzz-XXXXXX";
        if (!::mkdtemp(path.data()))
            std::abort();
        ::setenv("QELTA_ROOT", path.c_str(), 1);
    }
    ~Folder() { std::filesystem::remove_all(path); }
};

// The store's own view of the book it holds.
struct OpenBook : CPhoneBook {
    std::string text() const
    {
        std::string whole;
        m_pText->write(m_pRoot, [&whole](std::string_view piece) { whole += piece; });
        return whole;
    }
};

// The whole file as the document writer writes it.
std::string writtenWhole(const std::string& path)
{
    const mfpif_Halvet_R1::IDocumentPtr doc(createDocument());
    if (!CPhoneBook::LoadXMLFromFile(path, doc))
        std::abort(); // the store opened it
    const mfpif_Halvet_R1::DOMString text = doc->getXML();
    return std::string(text.data(), text.size());
}

void walk(CPhoneBook& book)
{
    const PhoneBookList folders = book.FindFolders();
    for (int32_t f = 0; f < book.GetFolderListCount(folders) && f < 64; ++f) {
        const int32_t folder = book.GetFolderID(folders, f);
        int32_t type = 0;
        std::string name;
        book.GetFolderInfo(folder, type, name);
        const PhoneBookList records = book.FindRecords(folder, 0xFF);
        for (int32_t r = 0; r < book.GetRecordListCount(records) && r < 256; ++r) {
            const int32_t id = book.GetRecordListID(records, r);
            int32_t parent = 0;
            book.GetRecordInfo(id, type, name, parent);
            book.GetRecordValue(id, "faxNumber", name);
            for (int32_t m = 0; m < book.GetRecordCount(id) && m < 64; ++m)
                book.GetRecordID(id, m);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Folder folder;
    static const std::string directory = GetPhoneBookDirectory();
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    // The input as a book.
    const std::string path = directory + "/input.xml";
    if (!platform::writeFileAtomic(path, bytes))
        std::abort();
    {
        OpenBook book;
        if (book.Initiate(path, 0)) {
            if (book.text() != writtenWhole(path))
                std::abort();
            walk(book);
        }
        std::string after;
        if (!book.IsInitiated() && (platform::readFile(path, after, size + 1) != platform::ReadStatus::Ok || after != bytes))
            std::abort(); // a book that did not open was changed
    }

    // The input as the record file of a record being made in a sound book.
    const std::string sound = directory + "/sound.xml";
    std::filesystem::remove(sound);
    CPhoneBook book;
    int32_t id = 0;
    if (!book.Initiate(sound, 0) || !book.CreateNewRecord(PB_RECORD_FAX, "x", kRootFolderId, id, 0))
        std::abort();
    std::string before;
    if (platform::readFile(sound, before, 1 << 20) != platform::ReadStatus::Ok
        || !platform::writeFileAtomic(CPhoneBook::GetRecordFilePath(id), bytes))
        std::abort();
    book.AddRecordValue(id, PB_RECORD_FAX, "faxNumber", "1");
    book.AddRecord2Group(id, id);
    if (book.FlushRecord(id, 0)) {
        walk(book);
    } else {
        std::string after;
        if (platform::readFile(sound, after, 1 << 20) != platform::ReadStatus::Ok || after != before)
            std::abort(); // a commit that failed changed the book
        std::filesystem::remove(CPhoneBook::GetRecordFilePath(id));
    }
    return 0;
}
