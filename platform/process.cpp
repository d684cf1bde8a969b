#include "platform/process.h"

#include <cerrno>
#include <cstring>
#include <future>
#include <system_error>
#include <csignal>
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

bool waitProgramEnded(const StartedProgram& started)
{
    if (started.pid <= 0)
        return false;
    siginfo_t info{};
    int r;
    do {
        r = ::waitid(P_PID, static_cast<id_t>(started.pid), &info, WEXITED | WNOWAIT);
    } while (r < 0 && errno == EINTR);
    return r == 0;
}

void endProgram(const StartedProgram& started, bool bForce)
{
    if (started.pid > 0)
        ::kill(started.pid, bForce ? SIGKILL : SIGTERM);
}

bool startDetached(const std::string& program, const std::vector<std::string>& args, std::string* error)
{
    // The waiter starts first: when no thread can be had, nothing is started that nobody would reap.
    std::promise<pid_t> started;
    try {
        std::thread([pid = started.get_future()]() mutable {
            try {
                if (const pid_t p = pid.get(); p > 0)
                    waitProgram(StartedProgram{p});
            } catch (...) { // the starter failed before it could tell: nothing to reap
            }
        }).detach();
    } catch (const std::system_error& e) {
        if (error)
            *error = program + ": no thread to wait for it (" + e.what() + ")";
        return false;
    }
    std::optional<StartedProgram> child;
    try {
        child = startProgram(program, args, error);
    } catch (...) {
        started.set_value(-1);
        throw;
    }
    started.set_value(child ? child->pid : -1);
    return child.has_value();
}

int runProgram(const std::string& program, const std::vector<std::string>& args, std::string* error)
{
    auto started = startProgram(program, args, error);
    return started ? waitProgram(*started) : -1;
}

} // namespace platform
