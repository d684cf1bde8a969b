#include "platform/tests/support/cups_server.h"

#include "platform/files.h"
#include "platform/process.h"
#include "platform/spooler.h"

#include <cups/cups.h>

#include <arpa/inet.h>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qelta::test {

namespace {

constexpr const char* kCupsd = "/usr/sbin/cupsd";
constexpr const char* kLpadmin = "/usr/sbin/lpadmin";
constexpr const char* kCupsExec = "/usr/lib/cups/daemon/cups-exec";
constexpr const char* kCupsDeviced = "/usr/lib/cups/daemon/cups-deviced"; // package "cups"; optional
constexpr const char* kBackend = "qeltatest";
constexpr const char* kSystemBackends = "/usr/lib/cups/backend/";

// The backend: with no arguments (device discovery) it lists nothing; otherwise it copies the
// job (a file argument, or standard input) to the folder named by its device URI, under a
// temporary name first so that a file that appears is complete.
constexpr const char* kBackendScript = R"(#!/bin/sh
[ $# -eq 0 ] && exit 0
out="${DEVICE_URI#qeltatest:}"
if [ -n "$6" ]; then cat "$6" > "$out/.job-$1"; else cat > "$out/.job-$1"; fi || exit 1
mv "$out/.job-$1" "$out/job-$1"
)";

// The same backend under the scheme "qelta" that the fax printer's driver brings: it announces its
// scheme when asked for devices and writes every job into the server's job folder, whatever the URI.
constexpr const char* kQeltaBackendScript = R"(#!/bin/sh
[ $# -eq 0 ] && { echo 'direct qelta "Unknown" "Qelta fax"'; exit 0; }
out="@OUT@"
if [ -n "$6" ]; then cat "$6" > "$out/.job-$1"; else cat > "$out/.job-$1"; fi || exit 1
mv "$out/.job-$1" "$out/job-$1"
)";

// A loopback port nobody listens on at the moment.
int freePort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    int port = -1;
    if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0
        && ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &length) == 0)
        port = ntohs(addr.sin_port);
    ::close(s);
    return port;
}

bool accepts(int port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(s);
    return ok;
}

bool writeFile(const std::string& path, const std::string& content, mode_t mode)
{
    if (!platform::writeFileAtomic(path, content))
        return false;
    return ::chmod(path.c_str(), mode) == 0;
}

bool exited(int pid)
{
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG) == pid;
}

} // namespace

CPrivateCupsServer::~CPrivateCupsServer()
{
    Stop();
    if (!m_folder.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_folder, ec);
    }
}

void CPrivateCupsServer::Stop()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGTERM);
    for (int i = 0; i < 100 && !exited(m_pid); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (::kill(m_pid, 0) == 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    m_pid = -1;
}

std::string CPrivateCupsServer::qeltaBackend() const
{
    std::string script = kQeltaBackendScript;
    script.replace(script.find("@OUT@"), 5, m_outFolder);
    return script;
}

bool CPrivateCupsServer::Start(std::string& why)
{
    for (const char* program : {kCupsd, kLpadmin, kCupsExec})
        if (::access(program, X_OK) != 0) {
            why = std::string(program) + " is not installed";
            return false;
        }
    std::string base = (std::filesystem::temp_directory_path() / "qelta-cups-XXXXXX").string();
    if (!::mkdtemp(base.data())) {
        why = "no temporary folder";
        return false;
    }
    m_folder = base;
    m_outFolder = m_folder + "/out";
    const std::string bin = m_folder + "/bin";
    for (const char* sub : {"conf", "spool", "cache", "state", "tmp", "log", "out", "bin/backend", "bin/daemon"})
        if (!platform::createDirectories(m_folder + "/" + sub)) {
            why = "cannot make the server's folders";
            return false;
        }
    // The server runs child programs through its own helper; it checks that every program it runs
    // as root belongs to root and cannot be changed by others, and runs a backend open to nobody
    // else as root.
    std::string exec;
    if (platform::readFile(kCupsExec, exec, 1u << 24) != platform::ReadStatus::Ok
        || !writeFile(bin + "/daemon/cups-exec", exec, 0755) || !writeFile(bin + "/backend/" + kBackend, kBackendScript, 0700)
        || !writeFile(bin + "/backend/qelta", qeltaBackend(), 0700)) {
        why = "cannot install the backend";
        return false;
    }
    // Device discovery needs the server's device daemon, which not every installation has.
    std::string deviced;
    if (platform::readFile(kCupsDeviced, deviced, 1u << 24) == platform::ReadStatus::Ok)
        writeFile(bin + "/daemon/cups-deviced", deviced, 0755);
    for (const char* sub : {"bin", "bin/backend", "bin/daemon"})
        ::chmod((m_folder + "/" + sub).c_str(), 0755);

    const int port = freePort();
    if (port <= 0) {
        why = "no free loopback port";
        return false;
    }
    m_address = "127.0.0.1:" + std::to_string(port);
    const std::string conf = m_folder + "/conf";
    const std::string cupsdConf = "Listen " + m_address + R"(
LogLevel warn
Browsing No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order allow,deny
    Allow all
  </Limit>
</Policy>
)";
    std::string filesConf = "ServerRoot " + conf + "\nServerBin " + bin + "\nRequestRoot " + m_folder + "/spool\nCacheDir "
                            + m_folder + "/cache\nStateDir " + m_folder + "/state\nTempDir " + m_folder + "/tmp\nErrorLog "
                            + m_folder + "/log/error_log\nAccessLog " + m_folder + "/log/access_log\nPageLog " + m_folder
                            + "/log/page_log\n";
    // As root the server hands its files to an unprivileged account; otherwise it runs as us.
    if (::geteuid() == 0)
        filesConf += "User lp\nGroup lp\nSystemGroup root\n";
    if (!writeFile(conf + "/cupsd.conf", cupsdConf, 0644) || !writeFile(conf + "/cups-files.conf", filesConf, 0644)) {
        why = "cannot write the server's configuration";
        return false;
    }

    std::string error;
    auto started = platform::startProgram(kCupsd, {"-f", "-c", conf + "/cupsd.conf", "-s", conf + "/cups-files.conf"},
                                          &error);
    if (!started) {
        why = "cupsd does not start: " + error;
        return false;
    }
    m_pid = started->pid;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!accepts(port)) {
        if (exited(m_pid)) {
            m_pid = -1;
            why = "cupsd ended at once (see " + m_folder + "/log/error_log)";
            return false;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            why = "cupsd does not answer on " + m_address;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const int made = platform::runProgram(
        kLpadmin, {"-h", m_address, "-p", m_queue, "-E", "-v", std::string(kBackend) + ":" + m_outFolder});
    if (made != 0) {
        why = "lpadmin cannot make the queue (exit code " + std::to_string(made) + ")";
        return false;
    }
    return true;
}

bool CPrivateCupsServer::AddQueue(const std::string& name, const std::string& model, const std::string& location,
                                  std::string& why)
{
    // The server takes the queue's make and model from the PPD file's NickName.
    const std::string ppd = m_folder + "/tmp/" + name + ".ppd";
    const std::string text = platform::minimalPpd(model);
    if (!writeFile(ppd, text, 0644)) {
        why = "cannot write the PPD file";
        return false;
    }
    const int made = platform::runProgram(kLpadmin, {"-h", m_address, "-p", name, "-E", "-v",
                                                     std::string(kBackend) + ":" + m_outFolder, "-P", ppd, "-L", location});
    if (made != 0) {
        why = "lpadmin cannot make the queue " + name + " (exit code " + std::to_string(made) + ")";
        return false;
    }
    return true;
}

bool CPrivateCupsServer::RemoveQueue(const std::string& name)
{
    return platform::runProgram(kLpadmin, {"-h", m_address, "-x", name}) == 0;
}

std::vector<std::string> CPrivateCupsServer::WaitForJobs(size_t count, std::chrono::milliseconds timeout) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        std::map<int, std::string> jobs;
        for (const auto& name : platform::listFiles(m_outFolder, "job-*")) {
            std::string content;
            if (platform::readFile(m_outFolder + "/" + name, content, size_t{1} << 30) == platform::ReadStatus::Ok)
                jobs[std::atoi(name.c_str() + 4)] = std::move(content);
        }
        if (jobs.size() >= count || std::chrono::steady_clock::now() > deadline) {
            std::vector<std::string> out;
            for (auto& [id, content] : jobs)
                out.push_back(std::move(content));
            return out;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void CPrivateCupsServer::UseInThisProcess() const
{
    ::setenv("CUPS_SERVER", m_address.c_str(), 1);
    cupsSetServer(nullptr);
}

bool CPrivateCupsServer::CanListDevices() { return ::access(kCupsDeviced, X_OK) == 0; }

bool CPrivateCupsServer::AddSystemBackend(const std::string& scheme)
{
    // Closed to others like the server's own backends: its unprivileged account cannot reach the
    // server's private folder.
    std::string backend;
    return !m_folder.empty() && scheme.find('/') == std::string::npos
           && platform::readFile(std::string(kSystemBackends) + scheme, backend, 1u << 24) == platform::ReadStatus::Ok
           && writeFile(m_folder + "/bin/backend/" + scheme, backend, 0700);
}

} // namespace qelta::test
