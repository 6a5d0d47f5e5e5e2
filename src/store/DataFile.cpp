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

// Before the counts, for the Load command: a file that no reading of the
// counts would make a study of is named for what it is, from its first block
// alone, rather than read to its end for counts of 0.
void RefuseWhatIsNoDataFile(TextReader& file) {
    const std::string_view head = file.Ahead();
    const bool blanksOnly =
        std::all_of(head.begin(), head.end(), [](char c) { return static_cast<unsigned char>(c) <= 0x20; });
    if (blanksOnly && head.find('\0') != std::string_view::npos) throw StudyError(messages::NotADataFile());
    // The first line then runs past every CR: the counts of A and B would be read from the next LF on.
    const std::size_t cr = head.find('\r');
    if (head.find('\n') == std::string_view::npos && cr != std::string_view::npos && cr + 1 < head.size())
        throw StudyError(messages::LineEndsNotRecognised());
}

// The sizing of the counts read; a file that cannot hold the scores they ask
// for, one byte each at least, ends early: that, not the memory, is said.
void SizeForFile(StudyStore& store, TextReader& file, LevelCheck check) {
    try {
        SizeStudy(store, StudyArrays::Names | StudyArrays::Texts);
    } catch (const OutOfMemoryError&) {
        const std::int64_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
        const std::uint64_t left = file.RemainingHint();
        const bool cells = n > 0 && na > 0 && nb > 0;
        if (check == LevelCheck::AtLeastOne && cells && left > 0 &&
            static_cast<long double>(n) * na * nb > static_cast<long double>(left))
            throw StudyError(messages::FileEndsEarly());
        throw;
    }
}

// Returns how many score lines the file ended before.
std::int64_t ReadStudy(StudyStore& store, const std::string& path, LevelCheck check, ReadProgress* progress,
                       LoadNotes* notes) {
    TextReader file(path, progress);
    if (check == LevelCheck::AtLeastOne) RefuseWhatIsNoDataFile(file);
    store.SubjectCount = file.ReadCount();
    store.LevelCountA = file.ReadCount();
    store.LevelCountB = file.ReadCount();
    if (check == LevelCheck::AtLeastOne && (store.LevelCountA < 1 || store.LevelCountB < 1))
        throw StudyError(messages::TooFewLevels());

    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    SizeForFile(store, file, check);

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
    // Blank lines after the study are no content; anything else, or more than a block of them, is.
    if (notes != nullptr && missing == 0) {
        const std::string_view rest = file.Ahead();
        notes->trailingContent = rest.size() >= (std::size_t{1} << 16) ||
                                 std::any_of(rest.begin(), rest.end(),
                                             [](char c) { return static_cast<unsigned char>(c) > 0x20; });
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
    return WithOutOfMemoryError([&] { return ReadStudy(store, path, LevelCheck::None, nullptr, nullptr); });
}

std::int64_t LoadStudyFile(StudyStore& store, const std::string& path) {
    LoadNotes notes;
    return LoadStudyFile(store, path, notes);
}

std::int64_t LoadStudyFile(StudyStore& store, const std::string& path, LoadNotes& notes) {
    return WithOutOfMemoryError(
        [&] { return ReadStudy(store, path, LevelCheck::AtLeastOne, nullptr, &notes); });
}

std::int64_t LoadStudyFile(StudyStore& store, const std::string& path, ReadProgress& progress) {
    LoadNotes notes;
    return LoadStudyFile(store, path, progress, notes);
}

std::int64_t LoadStudyFile(StudyStore& store, const std::string& path, ReadProgress& progress,
                           LoadNotes& notes) {
    return WithOutOfMemoryError(
        [&] { return ReadStudy(store, path, LevelCheck::AtLeastOne, &progress, &notes); });
}

}  // namespace morvane
