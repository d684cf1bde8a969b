// Starting programs: always with an argument vector (never through a shell), always reaped.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

/// A started program.
struct StartedProgram {
    int pid = -1;
};

/// Starts program with args (args[0] is not the program: it is added). Returns nothing when it could not start.
std::optional<StartedProgram> startProgram(const std::string& program, const std::vector<std::string>& args,
                                           std::string* error = nullptr);

/// Waits for a started program and gives its exit code (128 + signal number when a signal ended it; -1 on error).
int waitProgram(const StartedProgram& started);

/// Waits until a started program has ended without reaping it: until waitProgram takes it, its
/// process id stays its own (endProgram never reaches another process). False on error.
bool waitProgramEnded(const StartedProgram& started);

/// Asks a started program that was not yet reaped to end (SIGTERM), or ends it outright (SIGKILL).
void endProgram(const StartedProgram& started, bool bForce = false);

/// Starts a program and forgets it: a background waiter reaps it when it ends.
bool startDetached(const std::string& program, const std::vector<std::string>& args, std::string* error = nullptr);

/// Starts a program and waits for it; gives its exit code or -1 when it could not start.
int runProgram(const std::string& program, const std::vector<std::string>& args, std::string* error = nullptr);

} // namespace platform
