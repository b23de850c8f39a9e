#pragma once
// What a call raises, for tests that check a failure and its message.

#include <QString>

#include <optional>
#include <utility>

namespace testsupport {

// The exception of class E (or derived) the call raises; nothing when it raises none.
template <class E, class F>
std::optional<E> raised(F&& call)
{
    try {
        std::forward<F>(call)();
    } catch (const E& e) {
        return e;
    }
    return std::nullopt;
}

// The message of the E the call raises; empty when it raises none.
template <class E, class F>
QString messageOf(F&& call)
{
    const std::optional<E> e = raised<E>(std::forward<F>(call));
    return e ? e->Message() : QString();
}

}  // namespace testsupport
