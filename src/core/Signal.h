#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace kv {

// A connection to a Signal: Disconnect() stops its calls. A Connection outlives its signal
// harmlessly; disconnecting then does nothing.
class Connection {
public:
    Connection() = default;
    void Disconnect() {
        if (auto state = state_.lock()) {
            disconnect_(state.get(), id_);
        }
        state_.reset();
    }
    bool Connected() const { return !state_.expired(); }

private:
    template <class... Args>
    friend class Signal;
    Connection(std::weak_ptr<void> state, uint64_t id, void (*disconnect)(void*, uint64_t))
        : state_(std::move(state)), id_(id), disconnect_(disconnect) {}

    std::weak_ptr<void> state_;
    uint64_t id_ = 0;
    void (*disconnect_)(void*, uint64_t) = nullptr;
};

// Disconnects on destruction: a listener holds these for the signals it connected to, so that
// nothing calls it once it is gone, whichever of the two goes first.
class ScopedConnection {
public:
    ScopedConnection() = default;
    ScopedConnection(Connection c) : c_(std::move(c)) {}  // NOLINT: implicit by design
    ScopedConnection(ScopedConnection&& other) noexcept : c_(std::exchange(other.c_, {})) {}
    ScopedConnection& operator=(ScopedConnection&& other) noexcept {
        if (this != &other) {
            c_.Disconnect();
            c_ = std::exchange(other.c_, {});
        }
        return *this;
    }
    ScopedConnection(const ScopedConnection&) = delete;
    ScopedConnection& operator=(const ScopedConnection&) = delete;
    ~ScopedConnection() { c_.Disconnect(); }

private:
    Connection c_;
};

// Any number of connections held together and dropped together.
class Connections {
public:
    Connections& operator+=(Connection c) {
        list_.emplace_back(std::move(c));
        return *this;
    }
    void Clear() { list_.clear(); }

private:
    std::vector<ScopedConnection> list_;
};

// A typed notification with any number of listeners, for objects that are not QObjects (the
// player and the devices). Listeners are called in the order they connected. A listener may
// connect or disconnect others, or itself, while it is called: one connected during a call is
// first called by the next emission, one disconnected is not called again. One thread only:
// the owner's.
template <class... Args>
class Signal {
public:
    using Slot = std::function<void(Args...)>;

    Signal() = default;
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;

    [[nodiscard("keep the connection, or it cannot be ended")]] Connection Connect(Slot slot) {
        auto entry = std::make_shared<Entry>(Entry{++state_->next, std::move(slot), true});
        state_->entries.push_back(entry);
        return Connection(std::weak_ptr<void>(state_), entry->id, &Signal::Remove);
    }

    void operator()(Args... args) const {
        if (state_->entries.empty()) {
            return;
        }
        const auto entries = state_->entries;  // listeners may change the list meanwhile
        for (const auto& entry : entries) {
            if (entry->connected) {
                entry->slot(args...);
            }
        }
    }

    bool Empty() const { return state_->entries.empty(); }

private:
    struct Entry {
        uint64_t id;
        Slot slot;
        bool connected;
    };
    struct State {
        uint64_t next = 0;
        std::vector<std::shared_ptr<Entry>> entries;
    };

    static void Remove(void* raw, uint64_t id) {
        auto* state = static_cast<State*>(raw);
        auto& entries = state->entries;
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            if ((*it)->id == id) {
                (*it)->connected = false;
                entries.erase(it);
                return;
            }
        }
    }

    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace kv
