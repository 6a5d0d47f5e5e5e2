#include "listing/Listing.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <string_view>

#include "report/Padding.h"
#include "report/ScoreTableTexts.h"
#include "listing/PrinterTextDevice.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "runtime/Faces.h"
#include "runtime/TextWriter.h"

namespace morvane {
namespace {

// A released study has nothing to list.
void CheckExtents(const StudyStore& store) {
    if (!HasItsExtents(store, StudyArrays::Names | StudyArrays::Texts)) throw RangeError();
}

// Collects the lines in memory.
class LineRecorder : public TextDevice {
public:
    void Write(std::string_view text) override { current_.append(text); }
    void EndLine() override {
        lines_.push_back(std::move(current_));
        current_.clear();
    }
    std::vector<std::string> Lines() && { return std::move(lines_); }

private:
    std::vector<std::string> lines_;
    std::string current_;
};

class FileDevice : public TextDevice {
public:
    explicit FileDevice(TextWriter& file) : file_(file) {}
    void Write(std::string_view text) override { file_.Write(text); }
    void EndLine() override { file_.EndLine(); }

private:
    TextWriter& file_;
};

// The printer, asking its progress after each line end whether to go on; a
// stop unwinds out of the listing as Stopped.
struct Stopped {};
class Watched : public TextDevice {
public:
    Watched(PrinterTextDevice& device, PrintProgress& watcher, std::int64_t total)
        : printer_(device), progress_(watcher), total_(total) {}
    void Write(std::string_view text) override { printer_.Write(text); }
    void EndLine() override {
        printer_.EndLine();
        if (!progress_.Continue(++lines_, total_, printer_.Page())) throw Stopped{};
    }

private:
    PrinterTextDevice& printer_;
    PrintProgress& progress_;
    std::int64_t total_;
    std::int64_t lines_ = 0;
};

}  // namespace

const std::string& ListingFontName() {
    static const std::string name = Cp932FromUtf8(NamesOf(Face::Mincho).program);
    return name;
}

void WriteListing(const StudyStore& store, TextDevice& device) {
    CheckExtents(store);
    const std::int32_t n = store.SubjectCount, na = store.LevelCountA, nb = store.LevelCountB;
    device.EndLine();
    device.EndLine();
    device.Write(ScoreTablesTitle());
    device.EndLine();
    device.EndLine();
    for (std::int32_t a = 1; a <= na; ++a) {
        device.EndLine();
        device.Write(LevelHeading(store.LevelNamesA[static_cast<std::size_t>(a)]));
        device.EndLine();
        device.Write(PadLeft10(""));
        for (std::int32_t b = 1; b <= nb; ++b)
            device.Write(PadLeft10(store.LevelNamesB[static_cast<std::size_t>(b)]));
        device.EndLine();
        for (std::int32_t s = 1; s <= n; ++s) {
            device.Write(PadLeft10(std::to_string(s)));
            for (std::int32_t b = 1; b <= nb; ++b) device.Write(PadLeft10(store.CellText(s, a, b)));
            device.EndLine();
        }
    }
}

std::vector<std::string> ListingLines(const StudyStore& store) {
    LineRecorder recorder;
    WriteListing(store, recorder);
    return std::move(recorder).Lines();
}

void WriteListingFile(const StudyStore& store, const std::string& path) {
    WriteTextFile(path, [&](TextWriter& file) {
        FileDevice device(file);
        WriteListing(store, device);
    });
}

std::int64_t ListingLineCount(const StudyStore& store) {
    const std::int64_t na = std::max<std::int64_t>(store.LevelCountA, 0);
    return 4 + na * (3 + std::max<std::int64_t>(store.SubjectCount, 0));
}

void PrintListing(const StudyStore& store, PrinterTextDevice& printer) {
    NoPrintProgress unwatched;
    PrintListing(store, printer, unwatched);
}

bool PrintListing(const StudyStore& store, PrinterTextDevice& printer, PrintProgress& progress) {
    printer.Open();
    try {
        printer.SetFont(ListingFontName(), kListingFontPoints);
        Watched watched(printer, progress, ListingLineCount(store));
        WriteListing(store, watched);
        printer.Close();
        return true;
    } catch (const Stopped&) {
        printer.Abort();
        return false;
    } catch (...) {
        printer.Abort();
        throw;
    }
}

}  // namespace morvane
