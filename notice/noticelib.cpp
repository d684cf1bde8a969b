#include "notice/noticelib.h"

#include "platform/com.h"
#include "platform/files.h"
#include "platform/known_folders.h"
#include "platform/tcp_listener.h"

#include <charconv>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct NoticeListener {
    NoticeCallback callback = nullptr;
    void* context = nullptr;
    int addressBurst = NOTICE_ADDRESS_BURST;
    int addressIntervalMs = NOTICE_ADDRESS_INTERVAL_MS;
    std::unique_ptr<platform::TcpListener> listener;
};

namespace {

int toNoticeError(platform::ListenError error)
{
    switch (error) {
    case platform::ListenError::BadAddress:
    case platform::ListenError::AddressNotAvailable:
        return NOTICE_E_ADDRESS;
    case platform::ListenError::InUse:
        return NOTICE_E_PORT_IN_USE;
    default:
        return NOTICE_E_FAILED;
    }
}

// The file that keeps the port this user's listener last took when asked for any; empty when the
// user's state folder is not known.
std::string rememberedPortFile()
{
    const std::optional<std::string> folder = platform::knownFolder(platform::KnownFolder::LocalAppData);
    return folder ? platform::joinPath(platform::joinPath(*folder, "noticelib"), "port") : std::string();
}

// The port kept in that file, or 0.
uint16_t rememberedPort(const std::string& file)
{
    std::string text;
    if (file.empty() || platform::readFile(file, text, 16) != platform::ReadStatus::Ok)
        return 0;
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && value > 0 && value <= 0xFFFF ? static_cast<uint16_t>(value) : 0;
}

void rememberPort(const std::string& file, uint16_t port)
{
    if (file.empty() || rememberedPort(file) == port || !platform::createDirectories(platform::parentPath(file)))
        return;
    platform::writeFileAtomic(file, std::to_string(port) + "\n");
}

int start(NoticeListener& notices, const char* address, int* port)
{
    if (!port || *port < 0 || *port > 0xFFFF)
        return NOTICE_E_ARGUMENT;
    if (notices.listener || !notices.callback)
        return NOTICE_E_STATE;
    platform::TcpListenerLimits limits;
    limits.minMessageBytes = NOTICE_RECORD_SIZE;
    limits.maxMessageBytes = NOTICE_RECORD_SIZE;
    limits.messageTimeoutMs = NOTICE_READ_TIMEOUT_MS;
    limits.silentTimeoutMs = NOTICE_SILENT_TIMEOUT_MS;
    limits.maxConnections = NOTICE_MAX_CONNECTIONS;
    limits.maxConnectionsPerAddress = NOTICE_MAX_CONNECTIONS_PER_ADDRESS;
    limits.messagesPerAddress = notices.addressBurst;
    limits.messageIntervalPerAddressMs = notices.addressIntervalMs;
    limits.refuseOtherUsers = true; // another local user must not set this user's job results
    auto handler = [callback = notices.callback, context = notices.context](std::string_view message,
                                                                             uint16_t portInUse) {
        return callback(0, portInUse, message.data(), context) != 0;
    };
    const std::string_view bound = address ? address : "";
    platform::ListenError why = platform::ListenError::None;
    std::unique_ptr<platform::TcpListener> listener;
    // Any port: the one taken last time when it is free, so that senders told it still reach us.
    const std::string portFile = *port == 0 ? rememberedPortFile() : std::string();
    if (const uint16_t last = rememberedPort(portFile))
        listener = platform::TcpListener::start(bound, last, limits, handler, &why);
    if (!listener && why != platform::ListenError::BadAddress && why != platform::ListenError::AddressNotAvailable)
        listener = platform::TcpListener::start(bound, static_cast<uint16_t>(*port), limits, handler, &why);
    if (!listener)
        return toNoticeError(why);
    *port = listener->port();
    rememberPort(portFile, listener->port());
    notices.listener = std::move(listener);
    return NOTICE_OK;
}

// Stops listening and waits for the thread; refused on that thread itself.
int stop(NoticeListener& notices)
{
    if (notices.listener && !notices.listener->stop())
        return NOTICE_E_STATE;
    notices.listener.reset();
    return NOTICE_OK;
}

} // namespace

extern "C" {

int NoticeCreate(NoticeHandle* handle)
{
    if (!handle)
        return NOTICE_E_ARGUMENT;
    return guardedExport(NOTICE_E_FAILED, [&] {
        *handle = new NoticeListener;
        return NOTICE_OK;
    });
}

int NoticeSetCallback(NoticeHandle handle, NoticeCallback callback, void* context)
{
    if (!handle)
        return NOTICE_E_ARGUMENT;
    return guardedExport(NOTICE_E_FAILED, [&] {
        if (handle->listener)
            return NOTICE_E_STATE;
        handle->callback = callback;
        handle->context = context;
        return NOTICE_OK;
    });
}

int NoticeSetAddressLimit(NoticeHandle handle, int burst, int intervalMs)
{
    if (!handle || burst < 0 || intervalMs < 0)
        return NOTICE_E_ARGUMENT;
    handle->addressBurst = burst;
    handle->addressIntervalMs = intervalMs;
    return NOTICE_OK;
}

int NoticeStart(NoticeHandle handle, const char* address, int* port)
{
    if (!handle)
        return NOTICE_E_ARGUMENT;
    return guardedExport(NOTICE_E_FAILED, [&] { return start(*handle, address, port); });
}

int NoticeStop(NoticeHandle handle)
{
    if (!handle)
        return NOTICE_E_ARGUMENT;
    return guardedExport(NOTICE_E_FAILED, [&] { return stop(*handle); });
}

int NoticeDestroy(NoticeHandle handle)
{
    if (!handle)
        return NOTICE_E_ARGUMENT;
    return guardedExport(NOTICE_E_FAILED, [&] {
        const int stopped = stop(*handle);
        if (stopped == NOTICE_OK)
            delete handle;
        return stopped;
    });
}

} // extern "C"
