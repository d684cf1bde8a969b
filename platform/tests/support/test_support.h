// Test helpers: every test runs against its own temporary state root.
#pragma once

#include "platform/tests/support/loopback.h"

#include <functional>
#include <string>

namespace qelta::test {

/// Creates a fresh temporary folder, points QELTA_ROOT at it for the object's lifetime and removes
/// the folder (and restores the variable) afterwards.
class ScopedStateRoot {
public:
    ScopedStateRoot();
    ~ScopedStateRoot();
    ScopedStateRoot(const ScopedStateRoot&) = delete;
    ScopedStateRoot& operator=(const ScopedStateRoot&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string previous_;
    bool hadPrevious_ = false;
};

/// Puts a shell script of the given name first on the search path (PATH) for the object's
/// lifetime, in its own temporary folder; the folder goes and PATH is restored afterwards.
class ScopedProgramOnPath {
public:
    ScopedProgramOnPath(const std::string& name, const std::string& script);
    ~ScopedProgramOnPath();
    ScopedProgramOnPath(const ScopedProgramOnPath&) = delete;
    ScopedProgramOnPath& operator=(const ScopedProgramOnPath&) = delete;

    const std::string& folder() const { return folder_; }

private:
    std::string folder_;
    std::string previous_;
};

/// Writes a file (creating its folder), failing the current test when it cannot.
void writeTextFile(const std::string& path, const std::string& content);

/// The whole content of a file ("" when it cannot be read).
std::string readTextFile(const std::string& path);

/// Runs body in a child process and gives its result (0..255), or -1 when it did not end within
/// timeoutSeconds (it is then killed) or ended by a signal: calls that might block for ever stay bounded.
int runInChild(const std::function<int()>& body, int timeoutSeconds = 20);

/// True when the environment variable CI is set: a test that cannot start the real component it
/// needs then fails instead of skipping.
bool runningInCi();

/// The help file an address names ("<file>#<anchor>") and whether that file has an element with
/// the anchor as its id: an empty text when it does, else what is wrong.
std::string missingHelpAnchor(const std::string& address);

/// MD5 of the bytes, as 32 lower-case hex digits.
std::string md5Hex(const std::string& bytes);

/// Path of a helper program built beside the test programs.
std::string helperProgram(const std::string& name);

} // namespace qelta::test
