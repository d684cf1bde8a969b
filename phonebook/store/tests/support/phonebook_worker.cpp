// A helper program for the phone book tests that need several real processes. Commands:
//   create BOOK TAG COUNT     make COUNT fax records named "TAG-i" in the root folder of BOOK
//   read-until BOOK STOPFILE  open BOOK again and again until STOPFILE exists; every open must
//                             succeed and show a whole book: the root list never shrinks and
//                             every record it lists reads back
//   hold BOOK READYFILE       start a fax record in BOOK, write its id to READYFILE and wait
//                             (up to a minute) with the record in the making, to be killed
// The phone book directory comes from QELTA_ROOT, as in the test that started it. Exit code 0 on
// success; the reader prints how many times it opened the book.
#include "phonebook/store/phone_book.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

namespace {

int create(const std::string& book, const std::string& tag, int count)
{
    CPhoneBook store;
    if (!store.Initiate(book, 0))
        return 2;
    for (int i = 0; i < count; ++i) {
        int32_t id = 0;
        const std::string name = tag + "-" + std::to_string(i);
        if (!store.CreateNewRecord(PB_RECORD_FAX, name, kRootFolderId, id, 0)
            || !store.AddRecordValue(id, PB_RECORD_FAX, "faxNumber", "0" + std::to_string(i))
            || !store.FlushRecord(id, 0)) {
            std::fprintf(stderr, "%s failed\n", name.c_str());
            return 1;
        }
    }
    return 0;
}

int readUntil(const std::string& book, const std::string& stopFile)
{
    CPhoneBook store;
    int32_t seen = -1;
    long opens = 0;
    for (bool last = false; !last;) {
        last = platform::pathExists(stopFile); // one more round after the writer is done
        if (!store.Initiate(book, 1)) {
            std::fprintf(stderr, "open %ld failed\n", opens);
            return 1;
        }
        ++opens;
        const PhoneBookList list = store.FindRecords(kRootFolderId, PB_MASK_FAX | PB_MASK_IFAX | PB_MASK_GROUP);
        const int32_t count = store.GetRecordListCount(list);
        if (count < seen) {
            std::fprintf(stderr, "root list shrank from %d to %d\n", seen, count);
            return 1;
        }
        seen = count;
        for (int32_t i = 0; i < count; ++i) {
            int32_t type = 0, parent = 0;
            std::string name;
            if (!store.GetRecordInfo(store.GetRecordListID(list, i), type, name, parent) || name.empty()) {
                std::fprintf(stderr, "entry %d does not read\n", i);
                return 1;
            }
        }
    }
    std::printf("%ld\n", opens);
    return 0;
}

int hold(const std::string& book, const std::string& readyFile)
{
    CPhoneBook store;
    int32_t id = 0;
    if (!store.Initiate(book, 0) || !store.CreateNewRecord(PB_RECORD_FAX, "held", kRootFolderId, id, 0))
        return 1;
    std::ofstream(readyFile + ".part") << id;
    std::rename((readyFile + ".part").c_str(), readyFile.c_str());
    std::this_thread::sleep_for(std::chrono::minutes(1));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "create" && argc == 5)
        return create(argv[2], argv[3], std::atoi(argv[4]));
    if (command == "read-until" && argc == 4)
        return readUntil(argv[2], argv[3]);
    if (command == "hold" && argc == 4)
        return hold(argv[2], argv[3]);
    std::fprintf(stderr, "usage: phonebook_worker create BOOK TAG COUNT | read-until BOOK STOPFILE\n");
    return 2;
}
