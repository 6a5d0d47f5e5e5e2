#include "analysis/ParseScores.h"

#include <algorithm>
#include <cassert>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "analysis/ExactSums.h"
#include "analysis/ScoreSyntax.h"
#include "analysis/SumsOfSquares.h"
#include "runtime/Errors.h"

namespace morvane {
namespace {

// The texts of one cell lie together for consecutive subjects, and a subject's
// values lie together: a block of subjects at a time, cell by cell, reads both
// in long runs. A block holds at most 64 subjects, and about 64 Ki values
// unless one subject has more.
constexpr std::int32_t kBlockSubjects = 64;
constexpr std::int64_t kBlockValues = std::int64_t{1} << 16;

// From subject `first` on, in the order of the message: the first bad text for
// s, then a, then b, its values before it new and the rest as they were.
void ParseInOrder(StudyStore& store, char decimalSeparator, std::int32_t first) {
    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    const CellTextArray& texts = store.CellText;
    for (std::int32_t s = first; s <= n; ++s)
        for (std::int32_t a = 1; a <= na; ++a)
            for (std::int32_t b = 1; b <= nb; ++b)
                store.CellValue(s, a, b) = ScoreValue(texts(s, a, b), decimalSeparator);
}

// The quick readings of a study's texts, a block of subjects at a time, taken
// on a thread of their own one block ahead of their user. A block's readings
// lie as its values do, [t][a][b] from 0; `read` tells which texts had the
// common form.
class QuickReadingsAhead {
public:
    struct Block {
        std::vector<QuickScore> scores;
        std::vector<unsigned char> read;
    };

    QuickReadingsAhead(const StudyStore& store, char separator, std::int32_t subjects)
        : texts_(store.CellText),
          separator_(separator),
          n_(store.SubjectCount),
          na_(store.LevelCountA),
          nb_(store.LevelCountB),
          subjects_(subjects) {
        const std::size_t size = static_cast<std::size_t>(subjects) * static_cast<std::size_t>(na_) *
                                 static_cast<std::size_t>(nb_);
        for (Block& block : blocks_) {
            block.scores.resize(size);
            block.read.resize(size);
        }
        thread_ = std::thread([this] { Run(); });
    }
    ~QuickReadingsAhead() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    QuickReadingsAhead(const QuickReadingsAhead&) = delete;
    QuickReadingsAhead& operator=(const QuickReadingsAhead&) = delete;

    // The readings of block k (0, 1, 2, ... in turn), once they are all taken;
    // they stay until Done().
    const Block& Take(std::size_t k) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return ready_ > k / 2; });
        return blocks_[(k / 2) % 2];
    }
    void Done() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++used_;
        }
        changed_.notify_all();
    }

private:
    void Run() {
        const auto sna = static_cast<std::size_t>(na_), snb = static_cast<std::size_t>(nb_);
        std::size_t k = 0;
        for (std::int32_t first = 1 + subjects_; first <= n_; first += 2 * subjects_, ++k) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] { return stop_ || used_ + 2 > k; });
                if (stop_) return;
            }
            Block& block = blocks_[k % 2];  // k counts the odd blocks
            const std::int32_t last = std::min(n_, first + (subjects_ - 1));
            for (std::int32_t s = first; s <= last; ++s)
                for (std::int32_t a = 1; a <= na_; ++a)
                    for (std::int32_t b = 1; b <= nb_; ++b) {
                        const std::size_t i =
                            (static_cast<std::size_t>(s - first) * sna + static_cast<std::size_t>(a - 1)) *
                                snb +
                            static_cast<std::size_t>(b - 1);
                        block.read[i] = ReadQuickScore(texts_(s, a, b), separator_, block.scores[i]) ? 1 : 0;
                    }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                ready_ = k + 1;
            }
            changed_.notify_all();
        }
    }

    const CellTextArray& texts_;
    const char separator_;
    const std::int32_t n_, na_, nb_, subjects_;
    Block blocks_[2];
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t ready_ = 0;  // blocks taken
    std::size_t used_ = 0;   // blocks done with
    bool stop_ = false;
    std::thread thread_;
};

// A second thread pays only for a study of some size, on a machine with a second core.
constexpr std::int64_t kValuesForAhead = std::int64_t{1} << 18;

std::unique_ptr<QuickReadingsAhead> StartReadingsAhead(const StudyStore& store, char separator,
                                                       std::int32_t subjects) {
    const std::int64_t values = std::int64_t{store.SubjectCount} * store.LevelCountA * store.LevelCountB;
    if (values < kValuesForAhead || std::thread::hardware_concurrency() < 2) return nullptr;
    try {
        return std::make_unique<QuickReadingsAhead>(store, separator, subjects);
    } catch (const std::exception&) {  // no memory or no thread for it: the readings are taken here
        return nullptr;
    }
}

void ParseInBlocks(StudyStore& store, char separator, ExactTotalsBuilder* exact, SumsOfSquaresSweep* sweep) {
    assert(HasItsExtents(store, StudyArrays::Texts | StudyArrays::Values));
    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    if (n < 1 || na < 1 || nb < 1) return;
    const CellTextArray& texts = store.CellText;
    const auto sna = static_cast<std::size_t>(na), snb = static_cast<std::size_t>(nb);
    const auto subjects = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(kBlockValues / (std::int64_t{na} * nb), 1, kBlockSubjects));
    // A block's values, [t][a][b] from 0, stored only once the whole block parsed.
    std::vector<Extended> block(static_cast<std::size_t>(subjects) * sna * snb);
    std::unique_ptr<QuickReadingsAhead> ahead = StartReadingsAhead(store, separator, subjects);
    QuickScore q;
    std::size_t k = 0;
    for (std::int32_t first = 1; first <= n; first += subjects, ++k) {
        const std::int32_t last = std::min(n, first + (subjects - 1));
        if (exact) exact->BeginBlock(first - 1, last - first + 1);
        const QuickReadingsAhead::Block* readings = ahead && k % 2 == 1 ? &ahead->Take(k) : nullptr;
        try {
            for (std::int32_t a = 1; a <= na; ++a)
                for (std::int32_t b = 1; b <= nb; ++b) {
                    const std::size_t at =
                        static_cast<std::size_t>(a - 1) * snb + static_cast<std::size_t>(b - 1);
                    Extended* value = &block[at];
                    for (std::int32_t s = first; s <= last; ++s, value += sna * snb) {
                        const std::size_t i = at + static_cast<std::size_t>(s - first) * sna * snb;
                        const bool quick =
                            readings ? readings->read[i] != 0 : ReadQuickScore(texts(s, a, b), separator, q);
                        const QuickScore& score = readings ? readings->scores[i] : q;
                        if (quick) {
                            *value = score.value;
                            if (exact) exact->Add(s - first, a - 1, b - 1, score);
                        } else {
                            const std::string_view text = texts(s, a, b);
                            *value = ScoreValue(text, separator);
                            if (exact) exact->AddText(s - first, a - 1, b - 1, text, separator);
                        }
                    }
                }
        } catch (const ConvertError&) {
            ahead.reset();
            ParseInOrder(store, separator, first);  // throws the error of the first bad text
            throw;
        }
        if (readings) ahead->Done();
        const Extended* from = block.data();
        for (std::int32_t s = first; s <= last; ++s)
            for (std::int32_t a = 1; a <= na; ++a, from += snb)
                std::copy(from, from + snb, &store.CellValue(s, a, 1));
        if (exact) exact->EndBlock();
        if (sweep) sweep->AddSubjects(store, first, last);
    }
}

}  // namespace

void ParseAllScores(StudyStore& store, char decimalSeparator) {
    ParseInBlocks(store, decimalSeparator, nullptr, nullptr);
}

void ParseAllScores(StudyStore& store, char decimalSeparator, ExactTotalsBuilder& exact) {
    ParseInBlocks(store, decimalSeparator, &exact, nullptr);
}

void ParseAllScores(StudyStore& store, char decimalSeparator, ExactTotalsBuilder& exact,
                    SumsOfSquaresSweep& sweep) {
    ParseInBlocks(store, decimalSeparator, &exact, &sweep);
}

}  // namespace morvane
