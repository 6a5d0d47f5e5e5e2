#pragma once
// Private to the exchange room: the distinct keys of a column (subjects,
// levels) in the order of their first appearance, each found again by its
// index; every CSV reader keys its rows with it. Rows usually come in order,
// so the key found last and the one after it (the one that matched last time
// first) are compared first: a long CSV's levels cycle and its subjects run in
// blocks. Other keys are found in an open-addressed table of their hashes.
// A text key is first read as a number, its first eight bytes (all of a short
// one, as most ids and level names are): compared and hashed as that number,
// it needs no loop over its bytes.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "runtime/WideInteger.h"

namespace morvane::csv {

// The high and low halves of the 128-bit product, folded: every bit of both
// words reaches the result.
inline std::uint64_t FoldedProduct(std::uint64_t x, std::uint64_t y) {
    const UInt128 product = static_cast<UInt128>(x) * y;
    return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
}

inline constexpr std::uint64_t kHashFirst = 0xA0761D6478BD642Full, kHashSecond = 0xE7037ED1A0B428DBull;

// What a key index needs of its keys: a word and a small number each, equal
// for equal keys and, for most keys, telling them apart (`Whole`); the
// whole comparison; and a hash.
template <typename Key>
struct KeyTraits;

template <>
struct KeyTraits<std::string_view> {
    // The first eight bytes of a text (all of a shorter one, the rest zero) as
    // a little-endian number, read without touching a byte beyond the text.
    static std::uint64_t Word(std::string_view key) {
        const auto* p = reinterpret_cast<const unsigned char*>(key.data());
        const std::size_t n = key.size();
        if (n >= 8) {
            std::uint64_t w;
            std::memcpy(&w, p, 8);
            return w;
        }
        if (n >= 4) {
            // Two overlapping halves: the bytes they share are or-ed with themselves.
            std::uint32_t low, high;
            std::memcpy(&low, p, 4);
            std::memcpy(&high, p + n - 4, 4);
            return low | static_cast<std::uint64_t>(high) << (8 * (n - 4));
        }
        if (n == 0) return 0;
        return p[0] | static_cast<std::uint64_t>(p[n / 2]) << (8 * (n / 2)) |
               static_cast<std::uint64_t>(p[n - 1]) << (8 * (n - 1));
    }
    static std::uint32_t Small(std::string_view key) { return static_cast<std::uint32_t>(key.size()); }
    // A text of up to eight bytes is its word and its length.
    static bool Whole(std::string_view key) { return key.size() <= 8; }
    static bool Same(std::string_view x, std::string_view y) { return x == y; }

    // Beyond the word, a long text's bytes eight at a time, the last eight
    // overlapping the others.
    static std::uint64_t Hash(std::string_view key, std::uint64_t word) {
        std::uint64_t seed = kHashFirst ^ key.size();
        const std::size_t n = key.size();
        const auto at = [&](std::size_t i) {
            std::uint64_t w;
            std::memcpy(&w, key.data() + i, 8);
            return w;
        };
        if (n > 8) {
            for (std::size_t i = 8; i + 8 < n; i += 8) seed = FoldedProduct(at(i) ^ kHashSecond, seed);
            seed = FoldedProduct(at(n - 8) ^ kHashSecond, seed);
        }
        return FoldedProduct(word ^ kHashSecond, seed);
    }
};

template <>
struct KeyTraits<UInt128> {
    static std::uint64_t Word(UInt128 key) { return static_cast<std::uint64_t>(key); }
    static std::uint32_t Small(UInt128 key) { return static_cast<std::uint32_t>(key >> 64); }
    static bool Whole(UInt128 key) { return key >> 96 == 0; }
    static bool Same(UInt128 x, UInt128 y) { return x == y; }
    static std::uint64_t Hash(UInt128 key, std::uint64_t word) {
        return FoldedProduct(word ^ kHashFirst, static_cast<std::uint64_t>(key >> 64) ^ kHashSecond);
    }
};

// Whether two texts are the same key: short ones compared as two numbers.
inline bool SameKey(std::string_view x, std::string_view y) {
    using Traits = KeyTraits<std::string_view>;
    if (x.size() != y.size()) return false;
    return Traits::Whole(x) ? Traits::Word(x) == Traits::Word(y) : x == y;
}

template <typename Key>
class KeyIndex {
    using Traits = KeyTraits<Key>;

public:
    // The index (from 0) of `key`, or -1 when it has not appeared. While the
    // keys come in order, the last one found and the one after it are
    // compared first; once one is found in the table instead, the next is
    // looked up there at once, until the keys come in order again.
    [[gnu::always_inline]] std::int64_t Find(const Key& key) {
        if (inOrder_) {
            const std::size_t next = last_ + 1 < keys_.size() ? last_ + 1 : 0;
            const std::size_t first = stepped_ ? next : last_, second = stepped_ ? last_ : next;
            const std::uint64_t word = Traits::Word(key);
            if (SameAt(first, key, word)) return Found(first);
            if (SameAt(second, key, word)) return Found(second);
        }
        return FindInTable(key);
    }

    // The index of `key` without the memory of the last one found, or -1.
    std::int64_t Look(const Key& key) const {
        if (slots_.empty()) return -1;
        const std::uint64_t word = Traits::Word(key);
        const std::uint32_t small = Traits::Small(key);
        const bool whole = Traits::Whole(key);
        for (std::size_t at = Traits::Hash(key, word) & mask_;; at = (at + 1) & mask_) {
            const Slot& slot = slots_[at];
            if (slot.index == 0) return -1;
            if (slot.word == word && slot.small == small && (whole || Traits::Same(slotKeys_[at], key)))
                return slot.index - 1;
        }
    }

    // Fetches the part of the table where `key` would be, ahead of its Find.
    void Prefetch(const Key& key) const {
        if (!slots_.empty()) __builtin_prefetch(&slots_[Traits::Hash(key, Traits::Word(key)) & mask_]);
    }

    // Adds a key that Find did not find; its index.
    std::int64_t Add(const Key& key) {
        stepped_ = true;
        inOrder_ = true;
        last_ = keys_.size();
        keys_.push_back(key);
        words_.push_back(Traits::Word(key));
        Enter(key, last_);
        return static_cast<std::int64_t>(last_);
    }

    // Makes `key`, which Find did not find, another spelling of the key at `index`.
    void Alias(const Key& key, std::size_t index) { Enter(key, index); }

    std::size_t Size() const { return keys_.size(); }
    const Key& operator[](std::size_t i) const { return keys_[i]; }

private:
    // A key's spelling in the table: what tells it apart, and its index + 1 (0: empty).
    struct Slot {
        std::uint64_t word;
        std::uint32_t small;
        std::uint32_t index;
    };

    // Find in the table, where the keys did not come in order; whether they
    // come in order again.
    [[gnu::noinline]] std::int64_t FindInTable(const Key& key) {
        const std::int64_t found = Look(key);
        if (found < 0) return found;
        const std::size_t next = last_ + 1 < keys_.size() ? last_ + 1 : 0;
        inOrder_ = static_cast<std::size_t>(found) == last_ || static_cast<std::size_t>(found) == next;
        return Found(static_cast<std::size_t>(found));
    }

    // Whether the key at `i` is `key`, whose word is given: compared without
    // reading the text of a short one.
    bool SameAt(std::size_t i, const Key& key, std::uint64_t word) const {
        return words_[i] == word && Traits::Small(keys_[i]) == Traits::Small(key) &&
               (Traits::Whole(key) || Traits::Same(keys_[i], key));
    }

    std::int64_t Found(std::size_t i) {
        stepped_ = i != last_;
        last_ = i;
        return static_cast<std::int64_t>(i);
    }

    // The key's spelling into the table, which stays at most half full.
    void Enter(const Key& key, std::size_t index) {
        if (2 * (++spellings_) > slots_.size()) Grow();
        Place(key, static_cast<std::uint32_t>(index + 1));
    }

    void Grow() {
        std::vector<Slot> slots(slots_.empty() ? 16 : 2 * slots_.size(), Slot{0, 0, 0});
        std::vector<Key> keys(slots.size());
        slots.swap(slots_);
        keys.swap(slotKeys_);
        mask_ = slots_.size() - 1;
        for (std::size_t at = 0; at < slots.size(); ++at)
            if (slots[at].index != 0) Place(keys[at], slots[at].index);
    }

    void Place(const Key& key, std::uint32_t index) {
        const std::uint64_t word = Traits::Word(key);
        std::size_t at = Traits::Hash(key, word) & mask_;
        while (slots_[at].index != 0) at = (at + 1) & mask_;
        slots_[at] = {word, Traits::Small(key), index};
        slotKeys_[at] = key;
    }

    std::vector<Key> keys_;             // the first spelling of each, in the order they appeared
    std::vector<std::uint64_t> words_;  // and its word
    std::vector<Slot> slots_;           // open-addressed by hash
    std::vector<Key> slotKeys_;  // the key of each slot, compared where its word and length are not all of it
    std::size_t spellings_ = 0;
    std::size_t mask_ = 0;
    std::size_t last_ = 0;
    bool stepped_ = false;  // whether the last key found came after the one before
    bool inOrder_ = false;  // whether the last key found was the last or the next before it
};

}  // namespace morvane::csv
