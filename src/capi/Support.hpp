#pragma once

// What the C interface's sources share: turning enumerations, texts and handles into their C
// forms.

#include <pelto/pelto.h>

#include <pelto/types/Enumerations.hpp>

#include "capi/Handles.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>

namespace pelto::capi {

template <Enumeration E> bool isValid(std::int64_t raw) noexcept {
    return fromRawValue<E>(raw).has_value();
}

template <DescribedEnumeration E> const char* descriptionOf(std::int64_t raw) noexcept {
    const std::string_view text = description(static_cast<E>(raw));
    return text.empty() ? "" : text.data();
}

// Writes `text` into the caller's buffer snprintf-style and returns its full length.
inline std::size_t copyText(std::string_view text, char* buffer, std::size_t capacity) noexcept {
    if (buffer != nullptr && capacity > 0) {
        const std::size_t written = std::min(text.size(), capacity - 1);
        std::copy_n(text.data(), written, buffer);
        buffer[written] = '\0';
    }
    return text.size();
}

// Returns the handle's single reference to the caller, or NULL when memory runs out.
template <class Handle, class... Args> Handle* makeHandle(Args&&... args) noexcept {
    try {
        return std::make_unique<Handle>(std::forward<Args>(args)...).release();
    } catch (...) {
        return nullptr;
    }
}

inline std::shared_ptr<pelto_delegate> sharedOf(pelto_delegate* delegate) noexcept {
    return delegate != nullptr ? delegate->weak_from_this().lock() : nullptr;
}

// A new host reference to the C delegate in a slot, if the slot holds one.
template <class Interface>
pelto_delegate* handleOf(const std::shared_ptr<Interface>& delegate) noexcept {
    auto* adapter = dynamic_cast<pelto_delegate*>(delegate.get());
    if (adapter != nullptr) {
        adapter->retainForHost();
    }
    return adapter;
}

inline bool fits(const pelto_delegate* delegate,
                 bool (pelto_delegate::*implements)() const) noexcept {
    return delegate == nullptr || (delegate->*implements)();
}

} // namespace pelto::capi
