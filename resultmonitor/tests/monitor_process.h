// The result monitor as a process of its own, for the tests: started in the current state root with
// its address pinned to 127.0.0.1, and the values it publishes read back.
#pragma once

#include "common/registry_helper.h"
#include "platform/process.h"
#include "platform/tests/support/test_support.h"
#include "resultmonitor/monitor_settings.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <thread>

namespace monitor_test {

/// The published values: port text, address, running flag.
struct Published {
    std::string port, address;
    uint32_t running = 0;
    bool operator==(const Published&) const = default;
};

inline Published ReadPublished()
{
    const CRegistryHelper rtn(HKEY_CURRENT_USER, kProductKeyPrefix);
    return {rtn.ReadString(kRtnSubkey, kRtnServerPort, "<missing>"), rtn.ReadString(kRtnSubkey, kRtnAddress, "<missing>"),
            rtn.ReadDword(kRtnSubkey, kRtnRunning, 99)};
}

inline const Published kCleared{"", "", 0};

/// Polls done() every 20 ms for at most ms milliseconds.
template <typename Done>
bool WaitFor(Done done, int ms = 10000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

/// A monitor process (offscreen, address 127.0.0.1); killed if the test leaves it running.
class MonitorProcess {
public:
    MonitorProcess()
    {
        ::setenv("QELTA_HOST_ADDRESS", "127.0.0.1", 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        m_started = platform::startProgram(qelta::test::helperProgram("resultmonitor"), {});
    }
    ~MonitorProcess()
    {
        if (m_started && !m_bEnded) {
            ::kill(m_started->pid, SIGKILL);
            platform::waitProgram(*m_started);
        }
    }
    bool Started() const { return m_started.has_value(); }
    int Pid() const { return m_started ? m_started->pid : -1; }
    /// Waits until the values show this monitor listening; the port in use, 0 when it did not.
    /// stalePort: a port a killed monitor left published, which is not taken for this one's.
    int WaitUntilListening(int stalePort = 0)
    {
        int port = 0;
        WaitFor([&] {
            const Published p = ReadPublished();
            port = p.running == 1 && p.address == "127.0.0.1" ? std::atoi(p.port.c_str()) : 0;
            return port != 0 && port != stalePort;
        });
        return port;
    }
    /// Waits for the end (at most ms milliseconds); its exit code, or nothing while it still runs.
    std::optional<int> WaitForEnd(int ms = 10000)
    {
        int code = -1;
        const bool ended = WaitFor([&] {
            int status = 0;
            const pid_t r = ::waitpid(m_started->pid, &status, WNOHANG);
            if (r == m_started->pid)
                code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return r == m_started->pid || r < 0;
        }, ms);
        if (!ended)
            return std::nullopt;
        m_bEnded = true;
        return code;
    }

private:
    std::optional<platform::StartedProgram> m_started;
    bool m_bEnded = false;
};

} // namespace monitor_test
