#include "store/CellTexts.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "runtime/Errors.h"
#include "runtime/MemoryBudget.h"

namespace morvane {
namespace {

// Changes are folded into the buffer once they are more than this many and
// more than half of the elements: rebuilding then costs about as much as the
// changes themselves took.
constexpr std::size_t kFewChanges = std::size_t{1} << 16;

}  // namespace

std::uint64_t ElementCount(std::int64_t n0, std::int64_t n1, std::int64_t n2) {
    std::uint64_t count = 0;
    if (__builtin_mul_overflow(static_cast<std::uint64_t>(n0), static_cast<std::uint64_t>(n1), &count) ||
        __builtin_mul_overflow(count, static_cast<std::uint64_t>(n2), &count))
        throw OutOfMemoryError();
    return count;
}

void CellTextArray::Resize(std::int64_t n0, std::int64_t n1, std::int64_t n2) {
    if (n0 < 0 || n1 < 0 || n2 < 0) throw RangeError();
    const std::uint64_t count = ElementCount(n0, n1, n2);
    Release();
    EnsureAffordable(count, kAllowance);
    // Below the budget the product of the inner extents fits too.
    const std::uint64_t cells = count == 0 ? 0
                                           : static_cast<std::uint64_t>(n0 - 1) *
                                                 static_cast<std::uint64_t>(n1 - 1) *
                                                 static_cast<std::uint64_t>(n2 - 1);
    try {
        offsets_.Assign(static_cast<std::size_t>(cells) + 1);
    } catch (const std::bad_alloc&) {
        Release();
        throw OutOfMemoryError();
    }
    n0_ = n0;
    n1_ = n1;
    n2_ = n2;
    cells_ = static_cast<std::size_t>(cells);
}

void CellTextArray::Release() {
    std::string().swap(bytes_);
    offsets_.Clear();
    std::vector<std::uint64_t>().swap(wide_);
    std::vector<std::uint32_t>().swap(editSlots_);
    std::vector<std::string>().swap(edits_);
    n0_ = n1_ = n2_ = 0;
    cells_ = 0;
}

void CellTextArray::ReplaceByte(char from, char to) {
    const auto low = [](char c) { return static_cast<unsigned char>(c) < 0x40; };
    if (!low(from) || !low(to)) throw RangeError();
    std::replace(bytes_.begin(), bytes_.end(), from, to);
    for (std::string& edit : edits_) std::replace(edit.begin(), edit.end(), from, to);
}

void CellTextArray::SetOffset(std::size_t k, std::uint64_t offset) {
    if (wide_.empty() && offset > kNarrowLimit) {
        try {
            wide_.assign(offsets_.begin(), offsets_.end());
        } catch (const std::bad_alloc&) {
            throw OutOfMemoryError();
        }
        offsets_.Clear();
    }
    if (wide_.empty())
        offsets_[k] = static_cast<std::uint32_t>(offset);
    else
        wide_[k] = offset;
}

void CellTextArray::Set(std::int32_t s, std::int32_t a, std::int32_t b, std::string_view text) {
    if (!Inside(s, a, b)) throw RangeError();
    if (Text(s, a, b) == text) return;  // the write-back of an unchanged grid costs no memory
    if (s < 1 || a < 1 || b < 1) throw RangeError();
    const std::size_t k = FileIndex(s, a, b);
    try {
        std::string copy(text);  // before anything moves: `text` may be one of ours
        if (editSlots_.empty()) editSlots_.assign(cells_, 0);
        if (const std::uint32_t slot = editSlots_[k]; slot != 0) {
            edits_[slot - 1] = std::move(copy);
            return;
        }
        if (edits_.size() >= kNarrowLimit) throw OutOfMemoryError();
        edits_.push_back(std::move(copy));
        editSlots_[k] = static_cast<std::uint32_t>(edits_.size());
    } catch (const std::bad_alloc&) {
        throw OutOfMemoryError();
    }
    if (edits_.size() > std::max(kFewChanges, cells_ / 2) || edits_.size() >= kNarrowLimit) Compact();
}

// Rebuilds the buffer with every change in place. Only a saving: when the
// memory for the new buffer is not there, the changes stay where they are.
void CellTextArray::Compact() noexcept {
    try {
        std::uint64_t total = bytes_.size();
        for (std::size_t k = 0; k < cells_; ++k)
            if (const std::uint32_t slot = editSlots_[k]; slot != 0)
                total = total + edits_[slot - 1].size() - (Offset(k + 1) - Offset(k));
        CellTextArray rebuilt;
        rebuilt.Resize(n0_, n1_, n2_);
        rebuilt.bytes_.reserve(static_cast<std::size_t>(total));
        {
            Filler filler(rebuilt);
            for (std::size_t k = 0; k < cells_; ++k) {
                filler.AppendText(Stored(k));
                filler.EndText();
            }
        }
        *this = std::move(rebuilt);
    } catch (const OutOfMemoryError&) {
    } catch (const std::bad_alloc&) {
    }
}

struct CellTextArray::Filler::PageMapping {
    std::thread thread;
};

CellTextArray::Filler::Filler(CellTextArray& cells) : cells_(cells) {
    std::vector<std::uint32_t>().swap(cells_.editSlots_);
    std::vector<std::string>().swap(cells_.edits_);
    std::vector<std::uint64_t>().swap(cells_.wide_);
    cells_.bytes_.clear();
    if (cells_.offsets_.size() != cells_.cells_ + 1) try {
            cells_.offsets_.Assign(cells_.cells_ + 1);
        } catch (const std::bad_alloc&) {
            throw OutOfMemoryError();
        }
    cells_.offsets_[0] = 0;
}

CellTextArray::Filler::~Filler() {
    StopMapping();
    // Bytes appended after the last end belong to the next element, as far as
    // they were read; beyond what 32-bit offsets reach they are dropped.
    if (cells_.wide_.empty() && cells_.bytes_.size() > kNarrowLimit)
        cells_.bytes_.resize(cells_.Offset(next_));
    const std::uint64_t end = cells_.bytes_.size();
    if (cells_.wide_.empty())
        std::fill(cells_.offsets_.begin() + static_cast<std::ptrdiff_t>(next_) + 1, cells_.offsets_.end(),
                  static_cast<std::uint32_t>(end));
    else
        std::fill(cells_.wide_.begin() + static_cast<std::ptrdiff_t>(next_) + 1, cells_.wide_.end(), end);
}

void CellTextArray::Filler::Reserve(std::size_t bytes) {
    StopMapping();
    try {
        // Room the budget does not allow would be mapped whole by the thread below.
        EnsureAffordable(bytes, 1);
        cells_.bytes_.reserve(bytes);
    } catch (const OutOfMemoryError&) {
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    if (!cells_.wide_.empty()) return;
    // The thread maps what neither moves nor goes before StopMapping: every
    // step that could move the bytes or let the offsets go waits for it first.
    void* const offsets = cells_.offsets_.data();
    const std::size_t offsetBytes = cells_.offsets_.size() * sizeof(std::uint32_t);
    void* const room = cells_.bytes_.data() + cells_.bytes_.size();
    const std::size_t roomBytes = cells_.bytes_.capacity() - cells_.bytes_.size();
    try {
        auto mapping = std::make_unique<PageMapping>();
        mapping->thread = std::thread([=] {
            MapPagesAhead(offsets, offsetBytes);
            MapPagesAhead(room, roomBytes);
        });
        mapping_ = std::move(mapping);
    } catch (const std::system_error&) {
    }
}

void CellTextArray::Filler::StopMapping() {
    if (mapping_ && mapping_->thread.joinable()) mapping_->thread.join();
    mapping_.reset();
}

void CellTextArray::Filler::MakeRoom(std::size_t more) {
    std::string& bytes = cells_.bytes_;
    if (more <= bytes.capacity() - bytes.size()) return;
    StopMapping();
    try {
        // Twice the room as a rule, or just what is needed when twice is more than the budget.
        std::size_t room = std::max(bytes.size() + more, 2 * bytes.capacity());
        try {
            EnsureAffordable(room, 1);
        } catch (const OutOfMemoryError&) {
            room = bytes.size() + more;
            EnsureAffordable(room, 1);
        }
        bytes.reserve(room);
    } catch (const std::bad_alloc&) {
        throw OutOfMemoryError();
    } catch (const std::length_error&) {
        throw OutOfMemoryError();
    }
}

void CellTextArray::Filler::AppendText(std::string_view part) {
    MakeRoom(part.size());
    cells_.bytes_.append(part);
}

void CellTextArray::Filler::SetOffset(std::uint64_t end) {
    // Leaving 32-bit offsets lets their array go.
    if (cells_.wide_.empty()) StopMapping();
    cells_.SetOffset(++next_, end);
}

void CellTextArray::Filler::AppendTexts(std::string_view texts, std::span<const std::uint32_t> lengths) {
    assert(lengths.size() <= cells_.cells_ - next_);
    MakeRoom(texts.size());
    std::uint64_t end = cells_.bytes_.size();
    cells_.bytes_.append(texts);
    for (const std::uint32_t length : lengths) {
        end += length;
        if (cells_.wide_.empty() && end <= kNarrowLimit)
            cells_.offsets_[++next_] = static_cast<std::uint32_t>(end);
        else
            SetOffset(end);
    }
    assert(end == cells_.bytes_.size());
}

CellTextArray::NarrowOffsets& CellTextArray::NarrowOffsets::operator=(const NarrowOffsets& other) {
    if (this == &other) return *this;
    NarrowOffsets copy;
    copy.Assign(other.size_);
    if (other.size_ != 0) std::memcpy(copy.data_, other.data_, other.size_ * sizeof(std::uint32_t));
    return *this = std::move(copy);
}

CellTextArray::NarrowOffsets& CellTextArray::NarrowOffsets::operator=(NarrowOffsets&& other) noexcept {
    if (this != &other) {
        Clear();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

void CellTextArray::NarrowOffsets::Assign(std::size_t count) {
    Clear();
    if (count == 0) return;
    void* const memory = std::calloc(count, sizeof(std::uint32_t));
    if (memory == nullptr) throw std::bad_alloc();
    data_ = static_cast<std::uint32_t*>(memory);
    size_ = count;
}

void CellTextArray::NarrowOffsets::Clear() {
    std::free(data_);
    data_ = nullptr;
    size_ = 0;
}

}  // namespace morvane
