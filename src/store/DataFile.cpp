#include "store/DataFile.h"

#include <new>

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
void WithOutOfMemoryError(Operation&& operation) {
    try {
        operation();
    } catch (const std::bad_alloc&) {
        throw OutOfMemoryError();
    }
}

void ReadStudy(StudyStore& store, const std::string& path, LevelCheck check) {
    TextReader file(path);
    store.SubjectCount = file.ReadCount();
    store.LevelCountA = file.ReadCount();
    store.LevelCountB = file.ReadCount();
    if (check == LevelCheck::AtLeastOne && (store.LevelCountA < 1 || store.LevelCountB < 1))
        throw StudyError(messages::TooFewLevels());

    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    SizeStudy(store, StudyArrays::Names | StudyArrays::Texts);

    for (std::int32_t a = 1; a <= na; ++a) file.ReadLine(store.LevelNamesA[static_cast<std::size_t>(a)]);
    for (std::int32_t b = 1; b <= nb; ++b) file.ReadLine(store.LevelNamesB[static_cast<std::size_t>(b)]);
    {
        // The score lines come in the order the texts are held in: A, B, subject.
        CellTextArray::Filler texts(store.CellText);
        const std::int64_t cells = n > 0 && na > 0 && nb > 0 ? std::int64_t{n} * na * nb : 0;
        for (std::int64_t k = 0; k < cells; ++k) {
            file.AppendLine(texts.Bytes());
            texts.EndText();
        }
    }
    file.Close();
}

// `study` is null when nothing is written back, so that a constant store is
// written without casting its constness away.
void WriteStudy(const StudyStore& store, StudyStore* study, const std::string& path,
                const WriteBack& writeBack) {
    TextWriter file(path);
    if (study != nullptr && writeBack) writeBack(*study);

    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    file.WriteLine(std::to_string(n));
    file.WriteLine(std::to_string(na));
    file.WriteLine(std::to_string(nb));
    for (std::int32_t a = 1; a <= na; ++a) file.WriteLine(store.LevelNamesA[static_cast<std::size_t>(a)]);
    for (std::int32_t b = 1; b <= nb; ++b) file.WriteLine(store.LevelNamesB[static_cast<std::size_t>(b)]);
    for (std::int32_t a = 1; a <= na; ++a)
        for (std::int32_t b = 1; b <= nb; ++b)
            for (std::int32_t s = 1; s <= n; ++s) file.WriteLine(store.CellText(s, a, b));
    file.Close();
}

}  // namespace

void WriteDataFile(StudyStore& store, const std::string& path, const WriteBack& writeBack) {
    WithOutOfMemoryError([&] { WriteStudy(store, &store, path, writeBack); });
}

void WriteDataFile(const StudyStore& store, const std::string& path) {
    WithOutOfMemoryError([&] { WriteStudy(store, nullptr, path, {}); });
}

void ReadDataFile(StudyStore& store, const std::string& path) {
    WithOutOfMemoryError([&] { ReadStudy(store, path, LevelCheck::None); });
}

void LoadStudyFile(StudyStore& store, const std::string& path) {
    WithOutOfMemoryError([&] { ReadStudy(store, path, LevelCheck::AtLeastOne); });
}

}  // namespace morvane
