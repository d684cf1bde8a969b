#include "platform/tests/support/test_support.h"
#include "platform/tests/support/cups_server.h"

#include "platform/files.h"
#include "platform/library.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <openssl/evp.h>

namespace qelta::test {

ScopedStateRoot::ScopedStateRoot()
{
    std::string base = (std::filesystem::temp_directory_path() / "qelta-test-XXXXXX").string();
    if (!::mkdtemp(base.data()))
        ADD_FAILURE() << "cannot create a temporary state root";
    // Open as a user's ordinary folder is: what the suite makes in a folder of the user alone is private.
    ::chmod(base.c_str(), 0755);
    path_ = base;
    if (const char* v = std::getenv("QELTA_ROOT")) {
        hadPrevious_ = true;
        previous_ = v;
    }
    ::setenv("QELTA_ROOT", path_.c_str(), 1);
}

ScopedStateRoot::~ScopedStateRoot()
{
    if (hadPrevious_)
        ::setenv("QELTA_ROOT", previous_.c_str(), 1);
    else
        ::unsetenv("QELTA_ROOT");
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

ScopedProgramOnPath::ScopedProgramOnPath(const std::string& name, const std::string& script)
{
    std::string base = (std::filesystem::temp_directory_path() / "qelta-path-XXXXXX").string();
    if (!::mkdtemp(base.data()))
        ADD_FAILURE() << "cannot create a temporary folder for " << name;
    folder_ = base;
    const std::string program = folder_ + "/" + name;
    writeTextFile(program, "#!/bin/sh\n" + script);
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    const char* path = std::getenv("PATH");
    previous_ = path ? path : "";
    ::setenv("PATH", (folder_ + (previous_.empty() ? "" : ":" + previous_)).c_str(), 1);
}

ScopedProgramOnPath::~ScopedProgramOnPath()
{
    ::setenv("PATH", previous_.c_str(), 1);
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
}

void writeTextFile(const std::string& path, const std::string& content)
{
    ASSERT_TRUE(platform::createDirectories(platform::parentPath(path))) << path;
    ASSERT_TRUE(platform::writeFileAtomic(path, content)) << path;
}

std::string readTextFile(const std::string& path)
{
    std::string out;
    platform::readFile(path, out, 1u << 30);
    return out;
}

std::string missingHelpAnchor(const std::string& address)
{
    const size_t hash = address.rfind('#');
    if (hash == std::string::npos || hash + 1 == address.size())
        return "no anchor in the address \"" + address + "\"";
    const std::string file = address.substr(0, hash), anchor = address.substr(hash + 1);
    const std::string html = readTextFile(file);
    if (html.empty())
        return "the help file " + file + " is missing or empty";
    if (html.find(" id=\"" + anchor + "\"") == std::string::npos)
        return "the help file " + file + " has no anchor " + anchor;
    return {};
}

int runInChild(const std::function<int()>& body, int timeoutSeconds)
{
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        int result = 255;
        try {
            result = body();
        } catch (...) {
        }
        ::_exit(result);
    }
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool runningInCi()
{
    const char* ci = std::getenv("CI");
    return ci && *ci;
}

std::string helperProgram(const std::string& name)
{
    return platform::joinPath(platform::parentPath(platform::programPath()), name);
}

std::string md5Hex(const std::string& bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_md5(), nullptr);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned i = 0; i < size; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}

void SkipOrFailWithoutCups(const std::string& why)
{
    if (runningInCi()) {
        ADD_FAILURE() << "CI is set, but the private CUPS server could not start: " << why;
        return;
    }
    GTEST_SKIP() << "no private CUPS server on this machine: " << why;
}

} // namespace qelta::test
