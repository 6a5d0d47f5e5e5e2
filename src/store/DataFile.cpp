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
    SizeNames(store.LevelNamesA, std::int64_t{na} + 1);
    SizeNames(store.LevelNamesB, std::int64_t{nb} + 1);
    SizeCellText(store);

    for (std::int32_t a = 1; a <= na; ++a) file.ReadLine(store.LevelNamesA[static_cast<std::size_t>(a)]);
    for (std::int32_t b = 1; b <= nb; ++b) file.ReadLine(store.LevelNamesB[static_cast<std::size_t>(b)]);
    for (std::int32_t a = 1; a <= na; ++a)
        for (std::int32_t b = 1; b <= nb; ++b)
            for (std::int32_t s = 1; s <= n; ++s) file.ReadLine(store.CellText(s, a, b));
    file.Close();
}

void WriteStudy(const StudyStore& store, TextWriter& file, const std::function<void()>& afterCreate) {
    if (afterCreate) afterCreate();

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

void WriteDataFile(const StudyStore& store, const std::string& path,
                   const std::function<void()>& afterCreate) {
    WithOutOfMemoryError(
        [&] { WriteTextFile(path, [&](TextWriter& file) { WriteStudy(store, file, afterCreate); }); });
}

void ReadDataFile(StudyStore& store, const std::string& path) {
    WithOutOfMemoryError([&] { ReadStudy(store, path, LevelCheck::None); });
}

void LoadStudyFile(StudyStore& store, const std::string& path) {
    WithOutOfMemoryError([&] { ReadStudy(store, path, LevelCheck::AtLeastOne); });
}

}  // namespace morvane
