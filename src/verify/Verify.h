#pragma once
// The check of the installed program against published analyses: data sets
// shipped as long CSVs, each with the figures its source published or
// certified, analysed again and compared figure by figure.
//
// A set's folder holds `index` (the sets' names in the order they are run, one
// a line, # for a comment) and for each NAME the file NAME.expected: comment
// lines (#), then "key: value" lines (title, data: the CSV beside it, id, dv,
// within and between: the long CSV's columns, between and within as comma
// lists; citation; call: how the reference figures were made), then the
// header "figure,value,digits,citation" and a line per figure: its name
// (below), the published value as printed, the significant digits printed,
// and where it is printed.
//
// Figure names are STATISTIC(KEY). Of an effect (KEY its factors joined by
// ":", between first): SS, df, MS, errorSS, errorDF, errorMS, F, p, pes, ges,
// epsGG, pGG, epsHF, pHF, mauchlyW, mauchlyP. Of the one-way design of a set
// whose replicates were paired as subjects (KEY the treatment, the one within
// factor): betweenSS, withinSS, betweenDF, withinDF, betweenMS, withinMS,
// onewayF, R2, residualSD, the within-treatment figures pooling the subjects'
// stratum and the treatment's error. Such a set is read a second time as the
// one-way design of between subjects its source analysed (every row its own
// subject, the treatment a between factor) and its one-way figures compared
// again, in rows of their own. Friedman's test of a within factor (KEY its
// name): friedmanChi2, friedmanDF, friedmanP.

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "anova/Analysis.h"
#include "exchange/LongCsv.h"
#include "runtime/Extended.h"

namespace morvane::verify {

// A figure as its source printed it.
struct ExpectedFigure {
    std::string name;      // STATISTIC(KEY)
    std::string value;     // the printed text
    int digits = 0;        // significant digits printed
    std::string citation;  // where it is printed
};

// A set as its expected file describes it.
struct VerifySet {
    std::string name;  // the expected file's name without .expected
    std::string title, citation, call;
    std::string expectedPath, dataPath;  // the expected file, and the CSV beside it
    LongCsvRoles roles;
    std::vector<ExpectedFigure> figures;
};

// The sets of `folder` in its index's order; VerifyFormatError for a file
// that is not of the form above, InOutError for one that cannot be read.
std::vector<VerifySet> LoadSets(const std::string& folder);

class VerifyFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A published figure beside the one computed.
struct FigureCheck {
    ExpectedFigure expected;
    std::optional<Extended> computed;  // absent: the analysis has no such figure
    int agreeingDigits = 0;            // the leading significant digits the two share, rounded
    bool within = false;               // within half a unit of the last printed digit
    // How the set was read for it: empty for the set's own reading, else
    // "between subjects" (every row its own subject).
    std::string reading;
};

struct SetCheck {
    std::string name, title, citation, call, dataFile;
    std::string dataSha256, expectedSha256;  // of the files' bytes
    std::vector<FigureCheck> figures;
    bool AllWithin() const;
};

struct Verification {
    std::vector<SetCheck> sets;
    bool AllWithin() const;
    std::size_t Figures() const;
};

// The figure named `name` (STATISTIC(KEY)) of `analysis`; absent when the
// analysis has none of that name.
std::optional<Extended> PickFigure(const anova::Analysis& analysis, const std::string& name);

// `computed` against `published` printed with `digits` significant digits.
int AgreeingDigits(Extended published, Extended computed, int digits);
bool WithinPrinted(Extended published, Extended computed, int digits);

// The sets' folder: MORVANE_VERIFY_DATA when set (for tests of other sets),
// else the installed one beside the running program (share/pmorvane/verify
// from its bin), else the source tree's (a program run from a build tree).
std::string DataFolder();

// The reading of a set's one-way figures as a between design: its CSV with
// each record's `id` field replaced by the record's number, so that every row
// is a subject of its own (the header and the other fields as they were).
std::string EveryRowItsOwnSubject(std::string_view csv, const std::string& id);

// Reads, analyses and compares every set of `folder`.
Verification Verify(const std::string& folder);
// One set, read from its files.
SetCheck VerifyOne(const VerifySet& set);

// Who ran the check, for the reports.
struct BuildInfo {
    std::string version, compiler;
};
// This build's: the program's version and the compiler that built it.
BuildInfo ThisBuild();

// The table of every figure as text (LF line ends, UTF-8), and as a
// standalone HTML page with the build and each file's SHA-256.
std::string VerificationText(const Verification& verification, const BuildInfo& build);
std::string VerificationHtml(const Verification& verification, const BuildInfo& build);

}  // namespace morvane::verify
