#include "platform/process.h"

#include <cerrno>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace platform {

std::optional<StartedProgram> startProgram(const std::string& program, const std::vector<std::string>& args,
                                           std::string* error)
{
    std::vector<char*> argv;
    argv.reserve(args.size() + 2);
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (rc != 0) {
        if (error)
            *error = program + ": " + std::strerror(rc);
        return std::nullopt;
    }
    return StartedProgram{pid};
}

int waitProgram(const StartedProgram& started)
{
    if (started.pid <= 0) // never started: waiting on it must not take some other child
        return -1;
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(started.pid, &status, 0);
    } while (r < 0 && errno == EINTR);
    if (r < 0)
        return -1;
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

bool startDetached(const std::string& program, const std::vector<std::string>& args, std::string* error)
{
    auto started = startProgram(program, args, error);
    if (!started)
        return false;
    std::thread([p = *started] { waitProgram(p); }).detach();
    return true;
}

int runProgram(const std::string& program, const std::vector<std::string>& args, std::string* error)
{
    auto started = startProgram(program, args, error);
    return started ? waitProgram(*started) : -1;
}

} // namespace platform
