#pragma once
// Private to the exchange room: the distinct keys of a column in the order of
// their first appearance, each found again by its index. Rows usually come in
// order, so the key found last and the one after it (the one that matched
// last time first) are tried before the hash table: a long CSV's levels cycle
// and its subjects run in blocks.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace morvane::csv {

// Keys compared in place: short texts byte by byte rather than in a call.
template <typename Key>
bool SameKey(const Key& x, const Key& y) {
    return x == y;
}

template <>
inline bool SameKey(const std::string_view& x, const std::string_view& y) {
    if (x.size() != y.size()) return false;
    if (x.size() > 16) return x == y;
    for (std::size_t i = 0; i < x.size(); ++i)
        if (x[i] != y[i]) return false;
    return true;
}

template <typename Key>
struct SameKeys {
    bool operator()(const Key& x, const Key& y) const { return SameKey(x, y); }
};

template <typename Key, typename Hash = std::hash<Key>>
class KeyIndex {
public:
    // The index (from 0) of `key`, or -1 when it has not appeared.
    std::int64_t Find(const Key& key) {
        if (keys_.empty()) return -1;
        const std::size_t next = last_ + 1 < keys_.size() ? last_ + 1 : 0;
        const std::size_t first = stepped_ ? next : last_, second = stepped_ ? last_ : next;
        if (SameKey(keys_[first], key)) return Found(first);
        if (SameKey(keys_[second], key)) return Found(second);
        const auto found = index_.find(key);
        if (found == index_.end()) return -1;
        return Found(found->second);
    }

    // Adds a key that Find did not find; its index.
    std::int64_t Add(const Key& key) {
        stepped_ = true;
        last_ = keys_.size();
        index_.emplace(key, last_);
        keys_.push_back(key);
        return static_cast<std::int64_t>(last_);
    }

    // Makes `key`, which Find did not find, another spelling of the key at `index`.
    void Alias(const Key& key, std::size_t index) { index_.emplace(key, index); }

    std::size_t Size() const { return keys_.size(); }
    const Key& operator[](std::size_t i) const { return keys_[i]; }

private:
    std::int64_t Found(std::size_t i) {
        stepped_ = i != last_;
        last_ = i;
        return static_cast<std::int64_t>(i);
    }

    std::vector<Key> keys_;
    std::unordered_map<Key, std::size_t, Hash, SameKeys<Key>> index_;
    std::size_t last_ = 0;
    bool stepped_ = false;  // whether the last key found came after the one before
};

}  // namespace morvane::csv
