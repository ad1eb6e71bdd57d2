#pragma once
// A process-wide table from a pointer (a window, typically) to a value, under a lock of its
// own. Meant to live for the whole process: create it with `new` and never destroy it, as
// the process may end while other threads still use it.
#include <map>
#include <vector>

#include "common/Lock.h"

namespace ornivel {

template <typename Value>
class PointerTable {
public:
    void set(const void* key, Value value) {
        LockGuard guard(lock_);
        entries_[key] = value;
    }
    void erase(const void* key) {
        LockGuard guard(lock_);
        entries_.erase(key);
    }
    // The value for `key`, or Value{} when there is none.
    Value find(const void* key) const {
        LockGuard guard(lock_);
        auto found = entries_.find(key);
        return found == entries_.end() ? Value{} : found->second;
    }
    // Like find, and forgets the entry.
    Value take(const void* key) {
        LockGuard guard(lock_);
        auto found = entries_.find(key);
        if (found == entries_.end()) return Value{};
        Value value = found->second;
        entries_.erase(found);
        return value;
    }
    std::vector<const void*> keys() const {
        LockGuard guard(lock_);
        std::vector<const void*> list;
        list.reserve(entries_.size());
        for (const auto& entry : entries_) list.push_back(entry.first);
        return list;
    }

private:
    mutable Lock lock_;
    std::map<const void*, Value> entries_;
};

} // namespace ornivel
