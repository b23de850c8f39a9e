#pragma once
// A list of callbacks with removal by the id Add returned. Calls run over a snapshot, so a
// callback may add or remove callbacks while the list is being called.

#include <functional>
#include <utility>
#include <vector>

template <class... Args>
class TCallbackList {
public:
    using Callback = std::function<void(Args...)>;

    int Add(Callback callback)
    {
        FEntries.push_back({++FLastId, std::move(callback)});
        return FLastId;
    }
    void Remove(int id)
    {
        std::erase_if(FEntries, [id](const Entry& e) { return e.id == id; });
    }
    bool IsEmpty() const { return FEntries.empty(); }
    void Clear() { FEntries.clear(); }

    // In registration order.
    void CallForward(Args... args) const
    {
        const auto snapshot = FEntries;
        for (const Entry& e : snapshot)
            e.callback(args...);
    }
    // In registration order, as long as goOn() holds before each call.
    template <class Predicate>
    void CallForwardWhile(Predicate goOn, Args... args) const
    {
        const auto snapshot = FEntries;
        for (const Entry& e : snapshot) {
            if (!goOn())
                return;
            e.callback(args...);
        }
    }
    // Last registered first.
    void CallBackward(Args... args) const
    {
        const auto snapshot = FEntries;
        for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it)
            it->callback(args...);
    }

private:
    struct Entry {
        int id;
        Callback callback;
    };
    std::vector<Entry> FEntries;
    int FLastId = 0;
};
