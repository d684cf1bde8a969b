// A private CUPS server for integration tests: its own cupsd on 127.0.0.1, its own folders, and
// one raw queue whose backend writes every job it receives to a file; further queues with a model
// and a location can be made and removed. The backend is installed also under the scheme "qelta"
// (the fax printer's), where it announces itself to device discovery and writes its jobs to the
// same folder.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace qelta::test {

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

    /// Points this process's CUPS clients at the server: CUPS_SERVER, and the calling thread's
    /// libcups forgets a server it took before (it reads the variable once per thread).
    void UseInThisProcess() const;
    /// "127.0.0.1:port": where clients reach the server (the value for CUPS_SERVER).
    const std::string& Address() const { return m_address; }
    /// The raw queue.
    const std::string& Queue() const { return m_queue; }
    /// The server's process id (a test may stop and continue it).
    int Pid() const { return m_pid; }

    /// True when the server can list devices (its device daemon is installed).
    static bool CanListDevices();
    /// Gives the server one of the system's own backends ("socket": package cups); false when the
    /// system has none of that name.
    bool AddSystemBackend(const std::string& scheme);

    /// Makes a queue on the same backend whose printer-make-and-model is model (through a small PPD
    /// file) and whose printer-location is location. False, with the reason in why, when lpadmin fails.
    bool AddQueue(const std::string& name, const std::string& model, const std::string& location, std::string& why);
    /// Removes a queue; false when lpadmin fails.
    bool RemoveQueue(const std::string& name);

    /// The bytes of the jobs the backend has written so far, in job order, once there are at least
    /// count of them or the time is up.
    std::vector<std::string> WaitForJobs(size_t count, std::chrono::milliseconds timeout) const;

private:
    void Stop();
    std::string qeltaBackend() const;

    std::string m_folder, m_outFolder, m_address, m_queue = "qelta_raw";
    int m_pid = -1;
};

/// In a test whose private server did not start: fails it when CI is set (see runningInCi), else
/// marks it skipped. The test returns right after: `if (!ready) return SkipOrFailWithoutCups(why);`.
void SkipOrFailWithoutCups(const std::string& why);

} // namespace qelta::test
