#include "store/DataFile.h"

#include <algorithm>
#include <new>
#include <span>
#include <string_view>

#include "runtime/Errors.h"
#include "runtime/Messages.h"
#include "runtime/TextReader.h"
#include "runtime/TextWriter.h"

namespace morvane {
namespace {

enum class LevelCheck { None, AtLeastOne };

// Runs a file operation with every failed allocation (a line longer than the
// memory left, say) turned into the out-of-memory error, which the commands
// show, instead of a std::bad_alloc that would end the program.
template <typename Operation>
auto WithOutOfMemoryError(Operation&& operation) {
    try {
        return operation();
    } catch (const std::bad_alloc&) {
        throw OutOfMemoryError();
    }
}

// Returns how many score lines the file ended before.
std::int64_t ReadStudy(StudyStore& store, const std::string& path, LevelCheck check, ReadProgress* progress) {
    TextReader file(path, progress);
    store.SubjectCount = file.ReadCount();
    store.LevelCountA = file.ReadCount();
    store.LevelCountB = file.ReadCount();
    if (check == LevelCheck::AtLeastOne && (store.LevelCountA < 1 || store.LevelCountB < 1))
        throw StudyError(messages::TooFewLevels());

    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    SizeStudy(store, StudyArrays::Names | StudyArrays::Texts);

    for (std::int32_t a = 1; a <= na; ++a) file.ReadLine(store.LevelNamesA[static_cast<std::size_t>(a)]);
    for (std::int32_t b = 1; b <= nb; ++b) file.ReadLine(store.LevelNamesB[static_cast<std::size_t>(b)]);
    std::int64_t missing = 0;
    {
        // The score lines come in the order the texts are held in: A, B, subject.
        CellTextArray::Filler texts(store.CellText);
        const std::int64_t cells = n > 0 && na > 0 && nb > 0 ? std::int64_t{n} * na * nb : 0;
        // The texts take about the bytes left in the file, less their line ends.
        if (cells > 0) {
            const std::size_t left = file.RemainingHint();
            texts.Reserve(left - std::min(left, static_cast<std::size_t>(cells)));
        }
        missing = file.AppendLineRuns(
            cells,
            [&](std::string_view run, std::span<const std::uint32_t> lengths) {
                texts.AppendTexts(run, lengths);
            },
            [&](std::string_view part) { texts.AppendText(part); }, [&] { texts.EndText(); });
    }
    file.Close();
    return missing;
}

// A text with a CR or LF would not read back as it was written: an LF ends its
// line early and shifts every later item by one, and a lone CR is dropped.
bool HoldsLineEnd(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; });
}

// Refuses the study when any text that the file would hold has a line end, so
// that no file is written that reads back as another study.
void RefuseLineEnds(const StudyStore& store) {
    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    for (std::int32_t a = 1; a <= na; ++a)
        if (HoldsLineEnd(store.LevelNamesA[static_cast<std::size_t>(a)])) throw LineEndInTextError();
    for (std::int32_t b = 1; b <= nb; ++b)
        if (HoldsLineEnd(store.LevelNamesB[static_cast<std::size_t>(b)])) throw LineEndInTextError();
    // In the order of the file, so that a study with no cells costs nothing
    // whatever its other counts.
    for (std::int32_t a = 1; a <= na; ++a)
        for (std::int32_t b = 1; b <= nb; ++b)
            for (std::int32_t s = 1; s <= n; ++s)
                if (HoldsLineEnd(store.CellText(s, a, b))) throw LineEndInTextError();
}

// DataFileBytes: the lines as a file would end them.
struct LinesInMemory {
    std::string bytes;
    void WriteLine(std::string_view line) {
        bytes += line;
        bytes += "\r\n";
    }
};

// `study` is null when nothing is written back, so that a constant store is
// written without casting its constness away.
template <class Lines>
void WriteStudy(const StudyStore& store, StudyStore* study, Lines& file, const WriteBack& writeBack) {
    if (study != nullptr && writeBack) {
        writeBack(*study);
        // The write-back may have brought texts of its own; none is written unless all can be.
        RefuseLineEnds(store);
    }

    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    file.WriteLine(std::to_string(n));
    file.WriteLine(std::to_string(na));
    file.WriteLine(std::to_string(nb));
    for (std::int32_t a = 1; a <= na; ++a) file.WriteLine(store.LevelNamesA[static_cast<std::size_t>(a)]);
    for (std::int32_t b = 1; b <= nb; ++b) file.WriteLine(store.LevelNamesB[static_cast<std::size_t>(b)]);
    for (std::int32_t a = 1; a <= na; ++a)
        for (std::int32_t b = 1; b <= nb; ++b)
            for (std::int32_t s = 1; s <= n; ++s) file.WriteLine(store.CellText(s, a, b));
}

}  // namespace

// Refused before the file is opened, so that a refused study costs nothing; on
// a later error the unfinished file is removed and the old one stays, and a
// failure to write out what was written is the error reported, since it came
// first.
void WriteDataFile(StudyStore& store, const std::string& path, const WriteBack& writeBack) {
    WithOutOfMemoryError([&] {
        RefuseLineEnds(store);
        WriteTextFile(path, [&](TextWriter& file) { WriteStudy(store, &store, file, writeBack); });
    });
}

void WriteDataFile(const StudyStore& store, const std::string& path) {
    WithOutOfMemoryError([&] {
        RefuseLineEnds(store);
        WriteTextFile(path, [&](TextWriter& file) { WriteStudy(store, nullptr, file, {}); });
    });
}

std::string DataFileBytesOf(const StudyStore& store) {
    return WithOutOfMemoryError([&] {
        RefuseLineEnds(store);
        LinesInMemory lines;
        WriteStudy(store, nullptr, lines, {});
        return std::move(lines.bytes);
    });
}

std::int64_t ReadDataFile(StudyStore& store, const std::string& path) {
    return WithOutOfMemoryError([&] { return ReadStudy(store, path, LevelCheck::None, nullptr); });
}

std::int64_t LoadStudyFile(StudyStore& store, const std::string& path) {
    return WithOutOfMemoryError([&] { return ReadStudy(store, path, LevelCheck::AtLeastOne, nullptr); });
}

std::int64_t LoadStudyFile(StudyStore& store, const std::string& path, ReadProgress& progress) {
    return WithOutOfMemoryError([&] { return ReadStudy(store, path, LevelCheck::AtLeastOne, &progress); });
}

}  // namespace morvane
