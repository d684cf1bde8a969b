// A private CUPS server for integration tests: its own cupsd on 127.0.0.1, its own folders, and
// one raw queue whose backend writes every job it receives to a file.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace jobtest {

class CPrivateCupsServer {
public:
    CPrivateCupsServer() = default;
    /// Stops the server (by its process id) and removes its folders.
    ~CPrivateCupsServer();
    CPrivateCupsServer(const CPrivateCupsServer&) = delete;
    CPrivateCupsServer& operator=(const CPrivateCupsServer&) = delete;

    /// Starts cupsd and makes the queue. False, with the reason in why, when that cannot be done
    /// on this machine (no cupsd, no lpadmin, the server does not come up).
    bool Start(std::string& why);

    /// "127.0.0.1:port": where clients reach the server (the value for CUPS_SERVER).
    const std::string& Address() const { return m_address; }
    /// The raw queue.
    const std::string& Queue() const { return m_queue; }

    /// The bytes of the jobs the backend has written so far, in job order, once there are at least
    /// count of them or the time is up.
    std::vector<std::string> WaitForJobs(size_t count, std::chrono::milliseconds timeout) const;

private:
    void Stop();

    std::string m_folder, m_outFolder, m_address, m_queue = "qelta_raw";
    int m_pid = -1;
};

} // namespace jobtest
