#pragma once
// Helpers shared by the connection and the transaction components.

#include "IB_Intf.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace fibshared {
// Lists with reusable slots: a removed entry leaves null, which the next entry takes.
template <class T>
int takeSlot(QList<T*>& list, T* item)
{
    const qsizetype empty = list.indexOf(nullptr);
    if (empty >= 0) {
        list[empty] = item;
        return static_cast<int>(empty);
    }
    list.append(item);
    return static_cast<int>(list.size() - 1);
}

template <class T>
void freeSlot(QList<T*>& list, const T* item)
{
    const qsizetype index = list.indexOf(item);
    if (index >= 0)
        list[index] = nullptr;
}

// Idle timers exist only for a non-zero timeout: 0 removes the timer, another value creates it
// (stopped) or changes its interval. Returns the timer, or null.
inline QTimer* setIdleTimer(std::unique_ptr<QTimer>& timer, uint value, QObject* context, std::function<void()> tick)
{
    if (value == 0) {
        timer.reset();
        return nullptr;
    }
    if (!timer) {
        timer = std::make_unique<QTimer>();
        QObject::connect(timer.get(), &QTimer::timeout, context, std::move(tick));
    }
    timer->setInterval(static_cast<int>(value));
    return timer.get();
}

// The integer of an info answer's item: its 2-byte length at answer[1], the value after it.
// Values wider than 32 bits (attachment ids can be) are read as their low 32 bits; nullopt when
// the length is outside 1..8.
inline std::optional<int> infoItemInteger(IIBClientLibrary& lib, const char* answer)
{
    const short length = static_cast<short>(lib.isc_vax_integer(answer + 1, 2));
    if (length < 1 || length > 8)
        return std::nullopt;
    return static_cast<int>(lib.isc_portable_integer(reinterpret_cast<const ISC_UCHAR*>(answer + 3), length));
}

}  // namespace fibshared
