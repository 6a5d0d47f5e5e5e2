#include "properties/DataFileProperties.h"

#include <functional>

#include "properties/BudgetScope.h"
#include "properties/MemoryFile.h"
#include "properties/Violation.h"
#include "runtime/Errors.h"
#include "store/DataFile.h"
#include "store/StudyStore.h"

namespace morvane::properties {
namespace {

// The outcome of a read; an input/output error other than 106 cannot come from
// a file that opened, so it breaks a property.
ReadOutcome OutcomeOf(const std::function<void()>& read) {
    try {
        read();
        return ReadOutcome::Read;
    } catch (const InOutError& error) {
        if (error.code() != 106)
            throw Violation("read failed with input/output error " + std::to_string(error.code()));
        return ReadOutcome::NotANumber;
    } catch (const RangeError&) {
        return ReadOutcome::RangeCheck;
    } catch (const OutOfMemoryError&) {
        return ReadOutcome::OutOfMemory;
    } catch (const StudyError&) {
        return ReadOutcome::TooFewLevels;
    }
}

void RequireOutcome(ReadOutcome got, ReadOutcome expected, const char* operation, std::string_view bytes) {
    if (got != expected)
        throw Violation(std::string(operation) + " gave '" + OutcomeName(got) + "', expected '" +
                        OutcomeName(expected) + "' for " + Quote(bytes));
}

// The outcome LoadStudyFile must give: fewer than one level of A or of B is
// refused once the three counts are read, before anything is sized; counts
// too large for memory that ask for more scores than the bytes left after
// them say that the file ends early (a StudyError too).
ReadOutcome LoadOutcome(const ModelStudy& model) {
    if (model.countsRead == 3 && (model.na < 1 || model.nb < 1)) return ReadOutcome::TooFewLevels;
    const long double cells = static_cast<long double>(model.n) * model.na * model.nb;
    if (model.outcome == ReadOutcome::OutOfMemory && model.n > 0 && model.left > 0 &&
        cells > static_cast<long double>(model.left))
        return ReadOutcome::TooFewLevels;
    return model.outcome;
}

MemoryFile& Original() {
    static MemoryFile file;
    return file;
}

MemoryFile& Rewritten() {
    static MemoryFile file;
    return file;
}

}  // namespace

void RequireStoreMatches(const StudyStore& store, const ModelStudy& model, SameText same) {
    const auto differ = [same](std::string_view text, std::string_view expected) {
        return same != nullptr ? !same(text, expected) : text != expected;
    };
    if (model.countsRead >= 1) Require(store.SubjectCount == model.n, "N differs");
    if (model.countsRead >= 2) Require(store.LevelCountA == model.na, "na differs");
    if (model.countsRead >= 3) Require(store.LevelCountB == model.nb, "nb differs");
    if (model.outcome != ReadOutcome::Read) return;

    Require(store.LevelNamesA.size() == static_cast<std::size_t>(std::int64_t{model.na} + 1),
            "size of LevelNamesA");
    Require(store.LevelNamesB.size() == static_cast<std::size_t>(std::int64_t{model.nb} + 1),
            "size of LevelNamesB");
    Require(store.CellText.Extent0() == std::int64_t{model.n} + 1 &&
                store.CellText.Extent1() == std::int64_t{model.na} + 1 &&
                store.CellText.Extent2() == std::int64_t{model.nb} + 1,
            "extents of CellText");
    for (std::int32_t a = 1; a <= model.na; ++a) {
        const std::string& name = store.LevelNamesA[static_cast<std::size_t>(a)];
        const std::string& expected = model.namesA[static_cast<std::size_t>(a - 1)];
        if (differ(name, expected))
            throw Violation("name of A" + std::to_string(a) + ": " + Quote(name) + ", expected " +
                            Quote(expected));
    }
    for (std::int32_t b = 1; b <= model.nb; ++b) {
        const std::string& name = store.LevelNamesB[static_cast<std::size_t>(b)];
        const std::string& expected = model.namesB[static_cast<std::size_t>(b - 1)];
        if (differ(name, expected))
            throw Violation("name of B" + std::to_string(b) + ": " + Quote(name) + ", expected " +
                            Quote(expected));
    }
    for (std::int32_t a = 1; a <= model.na; ++a)
        for (std::int32_t b = 1; b <= model.nb; ++b)
            for (std::int32_t s = 1; s <= model.n; ++s) {
                const std::string_view text = store.CellText(s, a, b);
                const std::string& expected = model.Score(s, a, b);
                if (differ(text, expected))
                    throw Violation("score [" + std::to_string(s) + "][" + std::to_string(a) + "][" +
                                    std::to_string(b) + "]: " + Quote(text) + ", expected " +
                                    Quote(expected));
            }
}

ReadOutcome CheckDataFileBytes(std::string_view bytes, std::uint64_t memoryBudget) {
    BudgetScope budget(memoryBudget);
    const ModelStudy model = ReadModel(bytes, memoryBudget);
    Original().Set(bytes);

    StudyStore store;
    ReadOutcome read = OutcomeOf([&] { ReadDataFile(store, Original().Path()); });
    // The model charges the budget for the arrays alone; the store also holds
    // every name and score text, so a file of more than half the budget (a
    // long name, a long field) may rightly not fit. Nothing more to compare.
    if (read == ReadOutcome::OutOfMemory && model.outcome == ReadOutcome::Read &&
        2 * bytes.size() > memoryBudget)
        return read;
    RequireOutcome(read, model.outcome, "ReadDataFile", bytes);
    RequireStoreMatches(store, model);

    StudyStore loaded;
    ReadOutcome load = OutcomeOf([&] { LoadStudyFile(loaded, Original().Path()); });
    const bool mayNotFit = load == ReadOutcome::OutOfMemory && 2 * bytes.size() > memoryBudget;
    if (!mayNotFit) RequireOutcome(load, LoadOutcome(model), "LoadStudyFile", bytes);
    if (load == ReadOutcome::Read) RequireStoreMatches(loaded, model);

    if (read != ReadOutcome::Read) return read;
    WriteDataFile(store, Rewritten().Path());
    const std::string written = Rewritten().Get();
    const std::string expected = WriteModel(model);
    if (written != expected)
        throw Violation("written back as " + Quote(written) + ", expected " + Quote(expected));

    StudyStore again;
    ReadOutcome reread = OutcomeOf([&] { ReadDataFile(again, Rewritten().Path()); });
    RequireOutcome(reread, ReadOutcome::Read, "ReadDataFile of the rewritten file", written);
    RequireStoreMatches(again, model);
    return read;
}

}  // namespace morvane::properties
