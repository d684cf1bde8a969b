// A second program for the phone book lock tests:
//   hold CLASS TITLE OUTFILE   registers an endpoint, writes "ready" to OUTFILE and waits to be killed
//   race dialogs|editor N LOG  takes its side of the phone book lock N times, each time appending
//                              "+side" and "-side" lines to LOG while it holds it
// Exit code 0 on success.
#include "phonebook/dialogs/phone_book_lock.h"
#include "platform/files.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>

namespace {

bool appendLine(const std::string& path, const std::string& line)
{
    std::FILE* f = std::fopen(path.c_str(), "a");
    if (!f)
        return false;
    const bool ok = std::fputs((line + "\n").c_str(), f) >= 0 && std::fflush(f) == 0;
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "hold" && argc == 5) {
        auto endpoint = platform::Endpoint::create(argv[2], argv[3]);
        if (!endpoint || !platform::writeFileAtomic(argv[4], "ready"))
            return 1;
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(1));
    }
    if (command == "race" && argc == 5) {
        const std::string side = argv[2];
        const int rounds = std::atoi(argv[3]);
        std::mt19937 random(std::random_device{}());
        for (int done = 0, attempts = 0; done < rounds; ++attempts) {
            if (attempts > rounds * 10000)
                return 2;
            std::unique_ptr<platform::Endpoint> editor;
            std::unique_ptr<CPhoneBookLock> dialogs;
            bool inside = false;
            if (side == "editor") {
                editor = platform::Endpoint::createUnlessBusy(kPhoneBookEditorClass, "Phone book editor",
                                                              {kPhoneBookDialogsClass});
                inside = editor != nullptr;
            } else {
                dialogs = std::make_unique<CPhoneBookLock>(true);
                inside = dialogs->Held();
            }
            if (inside) {
                if (!appendLine(argv[4], "+" + side))
                    return 1;
                std::this_thread::sleep_for(std::chrono::microseconds(random() % 300));
                if (!appendLine(argv[4], "-" + side))
                    return 1;
                ++done;
            }
            editor.reset();
            dialogs.reset();
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 300));
        }
        return 0;
    }
    return 3;
}
