// Named endpoints: what other programs find by class name and title and post messages to, in the
// way the suite's programs find and post to each other's windows.
//
// An endpoint's presence is exclusive (one live endpoint per class and title) and crash-safe: it
// is held by locks in the user's runtime folder, which die with their process. Each endpoint has a
// 32-bit handle, unique while it is registered, and a datagram socket that receives posts of a
// message number with two parameters. A program reads its posts by polling, or from its event
// loop through descriptor().
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

using EndpointHandle = uint32_t;

/// Longest text a post may carry.
inline constexpr size_t kMaxPostText = 4096;

/// One posted message.
struct PostedMessage {
    uint32_t message = 0;
    uint32_t wParam = 0;
    int32_t lParam = 0;
    std::string text; ///< the text the post carries, empty when none
};

/// The folder that holds the endpoints of this user (below QELTA_ROOT when it is set, else in
/// XDG_RUNTIME_DIR, else "/tmp/qelta-<uid>"). It is made with mode 0700; endpoints fail with a clear
/// error while it belongs to another user or others have access to it.
std::string endpointFolder();

/// A message number in 0xC000-0xFFFF for a name, the same in every process of the user and never the
/// same for two names (names match without regard to case); 0 when none can be given (an empty name,
/// one of over 255 bytes or with control bytes, a full or damaged table).
uint32_t registerMessage(std::string_view name);

class Endpoint {
public:
    /// Registers an endpoint; null (with a reason) when a live one of that class and title exists.
    static std::unique_ptr<Endpoint> create(std::string_view className, std::string_view title,
                                            std::string* error = nullptr);
    /// Registers an endpoint unless a live one of that class and title, or of any of the classes in
    /// busyClasses (whatever their titles), exists. The test and the registration are one step
    /// against every other caller of this function. Null when it is refused; *busy then says whether
    /// it was for a live endpoint (true) or for a failure (false, with a reason in *error).
    static std::unique_ptr<Endpoint> createUnlessBusy(std::string_view className, std::string_view title,
                                                      std::initializer_list<std::string_view> busyClasses,
                                                      bool* busy = nullptr, std::string* error = nullptr);
    ~Endpoint();
    Endpoint(const Endpoint&) = delete;
    Endpoint& operator=(const Endpoint&) = delete;

    EndpointHandle handle() const { return handle_; }
    /// The socket to watch for posts (readable when one is waiting).
    int descriptor() const { return socket_; }
    /// Takes the next post, waiting at most timeoutMs milliseconds (0: do not wait). False when none came.
    bool receive(PostedMessage& message, int timeoutMs = 0);

private:
    Endpoint() = default;
    EndpointHandle handle_ = 0;
    int socket_ = -1;
    int handleLock_ = -1;
    int nameLock_ = -1;
    std::string socketPath_, handleLockPath_, nameLockPath_;
};

/// The handle of the live endpoint of that class and title, or 0.
EndpointHandle findEndpoint(std::string_view className, std::string_view title);

/// The handle of a live endpoint of that class, whatever its title, or 0.
EndpointHandle findEndpointByClass(std::string_view className);

/// True while an endpoint with that handle is registered.
bool endpointExists(EndpointHandle handle);

/// Posts a message without waiting. False when no endpoint has that handle or it takes no more posts.
bool postMessage(EndpointHandle handle, uint32_t message, uint32_t wParam, int32_t lParam);
/// The same with a text of at most kMaxPostText bytes (false, nothing posted, for a longer one).
bool postMessage(EndpointHandle handle, uint32_t message, uint32_t wParam, int32_t lParam, std::string_view text);

/// Posts a message to every live endpoint of the user without waiting; the number it reached.
int broadcastMessage(uint32_t message, uint32_t wParam, int32_t lParam);

} // namespace platform
