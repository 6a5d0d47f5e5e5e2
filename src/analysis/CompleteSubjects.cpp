#include <string>
#include <vector>

#include "analysis/FullAnalysis.h"
#include "runtime/Errors.h"
#include "runtime/Messages.h"
#include "scores/ScoreSyntax.h"

// The analysis of a study with missing scores: the subjects with an empty
// score text are left out, as every analysis of repeated measures leaves them
// out, and the rest analysed as a study of their own.

namespace morvane {
namespace {

std::vector<bool> SubjectsMissingAScore(const StudyStore& store, char decimalSeparator);
void CopyCompleteSubjects(const StudyStore& store, const std::vector<bool>& missing, StudyStore& complete);

}  // namespace

bool IsEmptyScore(std::string_view text) {
    return text.find_first_not_of(' ') == std::string_view::npos;
}

FullAnalysis AnalyseCompleteSubjects(StudyStore& store, char decimalSeparator,
                                     const AnalysisOptions& options) {
    // A complete study costs nothing more than its analysis: the first text
    // that is not a score stops it, and only an empty one leads here.
    try {
        return AnalyseStudy(store, decimalSeparator, options);
    } catch (const ConvertError& error) {
        const std::optional<ScoreCell>& cell = error.cell();
        if (!cell || !IsEmptyScore(store.CellText.Text(cell->subject, cell->levelA, cell->levelB))) throw;
    }
    const std::vector<bool> missing = SubjectsMissingAScore(store, decimalSeparator);
    StudyStore complete;
    CopyCompleteSubjects(store, missing, complete);
    AnalysisOptions own = options;
    own.keepValues = KeepValues::No;  // the copy's values go with it
    FullAnalysis out = AnalyseStudy(complete, decimalSeparator, own);
    out.options = options;
    out.subjectsRead = store.SubjectCount;
    for (std::int32_t s = 1; s <= store.SubjectCount; ++s)
        if (missing[static_cast<std::size_t>(s)]) out.removed.push_back(std::to_string(s));
    return out;
}

namespace {

// AnalyseCompleteSubjects, first: the subjects (from 1) with an empty score
// text; the first text, in the order of the analysis' parse (subject, then A,
// then B), that is neither empty nor a score stops it as the parse would.
std::vector<bool> SubjectsMissingAScore(const StudyStore& store, char decimalSeparator) {
    std::vector<bool> missing(static_cast<std::size_t>(store.SubjectCount) + 1, false);
    for (std::int32_t s = 1; s <= store.SubjectCount; ++s)
        for (std::int32_t a = 1; a <= store.LevelCountA; ++a)
            for (std::int32_t b = 1; b <= store.LevelCountB; ++b) {
                const std::string_view text = store.CellText.Text(s, a, b);
                if (IsEmptyScore(text))
                    missing[static_cast<std::size_t>(s)] = true;
                else if (!IsScore(text, decimalSeparator))
                    throw ConvertError(messages::NotAFloat(text), ScoreCell{s, a, b});
            }
    return missing;
}

// AnalyseCompleteSubjects, second: a study of the same levels holding the
// texts of the subjects with every score, in their order.
void CopyCompleteSubjects(const StudyStore& store, const std::vector<bool>& missing, StudyStore& complete) {
    std::vector<std::string> namesA, namesB;
    for (std::int32_t a = 1; a <= store.LevelCountA; ++a)
        namesA.push_back(store.LevelNamesA[static_cast<std::size_t>(a)]);
    for (std::int32_t b = 1; b <= store.LevelCountB; ++b)
        namesB.push_back(store.LevelNamesB[static_cast<std::size_t>(b)]);
    std::int32_t kept = 0;
    for (std::int32_t s = 1; s <= store.SubjectCount; ++s)
        kept += missing[static_cast<std::size_t>(s)] ? 0 : 1;
    StartNewStudy(complete, namesA, namesB, std::to_string(kept));
    std::int32_t to = 0;
    for (std::int32_t s = 1; s <= store.SubjectCount; ++s) {
        if (missing[static_cast<std::size_t>(s)]) continue;
        ++to;
        for (std::int32_t a = 1; a <= store.LevelCountA; ++a)
            for (std::int32_t b = 1; b <= store.LevelCountB; ++b)
                complete.CellText.Set(to, a, b, store.CellText.Text(s, a, b));
    }
}

}  // namespace
}  // namespace morvane
