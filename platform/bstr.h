// BSTR: UTF-16 text with a 32-bit byte-length prefix in front of the first character, followed by
// a NUL. A null BSTR counts as the empty text. Whoever receives one frees it with freeString.
#pragma once

#include "platform/com.h"

#include <string>
#include <string_view>
#include <utility>

namespace platform::com {

/// A new BSTR holding text; null only when memory runs out.
BSTR allocString(std::u16string_view text);

/// A new BSTR of length characters, all NUL.
BSTR allocStringOfLength(uint32_t length);

/// Frees a BSTR (null is accepted).
void freeString(BSTR text);

/// Characters in a BSTR (0 for null).
uint32_t stringLength(BSTR text);

/// The BSTR's characters (empty for null).
std::u16string_view view(BSTR text);

/// A new BSTR from text in the process code page ('?' for what cannot be mapped).
BSTR bstrFromAnsi(std::string_view text);

/// A BSTR's text in the process code page ('?' for what cannot be mapped); null gives "".
std::string ansiFromBstr(BSTR text);

/// Owns one BSTR.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(std::string_view ansi) : p_(bstrFromAnsi(ansi)) {}
    ~Bstr() { freeString(p_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    Bstr& operator=(Bstr&& o) noexcept
    {
        std::swap(p_, o.p_);
        return *this;
    }

    /// Takes ownership of a BSTR handed out by someone else.
    static Bstr adopt(BSTR p)
    {
        Bstr b;
        b.p_ = p;
        return b;
    }
    BSTR get() const { return p_; }
    /// The slot for an out parameter; frees what was held.
    BSTR* out()
    {
        freeString(std::exchange(p_, nullptr));
        return &p_;
    }
    /// Gives up ownership.
    BSTR release() { return std::exchange(p_, nullptr); }
    std::string ansi() const { return ansiFromBstr(p_); }
    bool isNull() const { return p_ == nullptr; }

private:
    BSTR p_ = nullptr;
};

} // namespace platform::com
