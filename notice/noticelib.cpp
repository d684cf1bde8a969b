#include "notice/noticelib.h"

#include "platform/com.h"
#include "platform/tcp_listener.h"

#include <cstdint>
#include <memory>
#include <string_view>

struct NoticeListener {
    NoticeCallback callback = nullptr;
    void* context = nullptr;
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

int start(NoticeListener& notices, const char* address, int* port)
{
    if (!port || *port < 0 || *port > 0xFFFF)
        return NOTICE_E_ARGUMENT;
    if (notices.listener || !notices.callback)
        return NOTICE_E_STATE;
    platform::TcpListenerLimits limits;
    limits.maxMessageBytes = NOTICE_RECORD_SIZE;
    limits.messageTimeoutMs = NOTICE_READ_TIMEOUT_MS;
    limits.maxConnections = NOTICE_MAX_CONNECTIONS;
    platform::ListenError why = platform::ListenError::None;
    auto listener = platform::TcpListener::start(
        address ? address : "", static_cast<uint16_t>(*port), limits,
        [callback = notices.callback, context = notices.context](std::string_view message, uint16_t portInUse) {
            if (message.size() == NOTICE_RECORD_SIZE)
                callback(0, portInUse, message.data(), context);
        },
        &why);
    if (!listener)
        return toNoticeError(why);
    *port = listener->port();
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
