#pragma once
// What every text of the analysis is asked beyond the figures: the correction
// of the degrees of freedom it applies, its language, and where the figures
// come from (the program and the data file), which its notes name.

#include <optional>
#include <string>
#include <string_view>

namespace morvane {

// The correction of the degrees of freedom that the tables and sentences apply.
enum class DfCorrection { None, GreenhouseGeisser, HuynhFeldt };

enum class OutputLanguage { English, Japanese };

// The program that computed the figures and the data file they are of.
struct Provenance {
    std::string version;                    // the program's; empty: not told
    std::optional<std::string> dataSha256;  // of the data file's bytes, 64 hex digits
    // The morvane call that gives these figures from that file (a POSIX shell's
    // words, UTF-8), where they were not the tool's own: a window's analysis.
    std::optional<std::string> command;
};

// How the outputs lay out an analysis: a long CSV's design in the general
// layout, the data file's A x B x S study in the one its outputs have always
// had (its tables' order and names, "A x B" for "A × B", the precision check
// after the simple effects, its JSON keys: anova/AnalysisFields.h's Keying::Study).
enum class OutputLayout { Design, Study };

// How the tables round their figures for a person: with each reader's own
// digits (the window's 10 significant), or as an APA table (F and t to two
// decimals, p as ".014" or "< .001", effect sizes as ".81"). A program's
// tables (CSV) always have all their digits, and the precision check its 19.
enum class TableRounding { Reader, Apa };

struct OutputOptions {
    DfCorrection correction = DfCorrection::GreenhouseGeisser;
    OutputLanguage language = OutputLanguage::English;
    Provenance provenance = {};
    OutputLayout layout = OutputLayout::Design;
    TableRounding rounding = TableRounding::Reader;
};

// The program's version and the SHA-256 of the file at `path` (none for the
// empty path, standard input, or a file that cannot be read again).
Provenance ProvenanceOfFile(const std::string& path);

// The program's version and the SHA-256 of `bytes`, the data file as analysed.
Provenance ProvenanceOfBytes(std::string_view bytes);

// The SHA-256 of `bytes` as 64 lowercase hex digits.
std::string Sha256Hex(std::string_view bytes);

}  // namespace morvane
