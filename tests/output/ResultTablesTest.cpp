// The tables of a study's analysis as each reader gets them: the same cells
// under each one's columns, labels, rounding and undefined marks, and their
// notes.

#include <gtest/gtest.h>

#include <algorithm>

#include "output/AnalysisTables.h"
#include "runtime/NumberText.h"
#include "support/StudySkeleton.h"

namespace morvane {
namespace {

using testing::InStudyLayout;

// A made-up analysis of a study of 2 x 3 levels that reaches every kind of
// cell and note, with the precision check of its results file.
anova::Analysis Analysis() {
    anova::Analysis r = testing::StudySkeleton({"a1", "高い"}, {"b1", "b2", "b3"}, 5);
    anova::Effect &a = r.effects[0], &b = r.effects[1], &ab = r.effects[2];
    // Thirds show each reader's rounding; 1/1024 and 7/512 are p below and above .001.
    a.effect.ss = 1000.0L / 3, a.effect.df = 1, a.effect.ms = 1000.0L / 3;
    a.f = 1000.0L / 3, a.p = 1.0L / 1024, a.partialEtaSquared = 2.0L / 3;
    b.effect.ss = 30, b.effect.df = 2, b.effect.ms = 15;
    b.error.ss = 30, b.error.df = 12, b.error.ms = 2.5L;
    b.f = 2.5L, b.p = 7.0L / 512;
    a.partialEtaSquaredCI = LevelInterval{.level = 0.9L, .lower = 0.25L, .upper = 0.75L};
    a.error.ms = 10;  // the MSE is its error's mean square
    ab.p = 0;
    Sphericity s;
    s.mauchlyW = 0.25L, s.df = 2, s.p = 1;
    s.greenhouseGeisser = {.epsilon = 0.5L, .df1 = 1, .df2 = 7, .p = 1.0L / 1024};
    b.sphericity = s;
    ab.sphericityOmitted = true;
    r.strata[0].error.ss = 10, r.strata[0].error.df = 4;
    r.total.ss = 200, r.total.df = 29;
    anova::Mean cell;
    cell.at = {0, 0}, cell.n = 5, cell.mean = 1.5L, cell.sd = 0.5L, cell.se = 0.25L;
    cell.ci95 = Interval{.low = 1, .high = 2.5L};
    r.cellMeans = {cell};
    anova::Mean level;
    level.at = {1, anova::kOver}, level.n = 5, level.mean = 7;
    r.marginalMeans = {{level}, {}};
    anova::Comparison overB;
    overB.factor = 0, overB.at = {anova::kOver, anova::kOver}, overB.i = 0, overB.j = 1;
    overB.difference = -1.25L, overB.df = 4;
    overB.t = -6.33573933494379L, overB.p = 0.5L, overB.pHolm = 0.5L, overB.pBonferroni = 1;
    overB.d = -2.0L, overB.ci95 = Interval{.low = -2, .high = -0.5L};
    anova::Comparison atA2;
    atA2.factor = 1, atA2.at = {1, anova::kOver}, atA2.i = 0, atA2.j = 2, atA2.difference = 0.5L, atA2.df = 4;
    r.comparisons = {overB, atA2};
    anova::SimpleEffect simple;
    simple.factor = 1, simple.at = {1, anova::kOver}, simple.ss = 3, simple.errorSs = 4, simple.df1 = 2,
    simple.df2 = 8;
    simple.f = 1.5L, simple.p = 0.25L, simple.partialEtaSquared = 0.3L, simple.ggEpsilon = 0.75L,
    simple.ggP = 0.3L;
    r.simpleEffects = {simple};
    return r;
}

PrecisionCheck Precision() {
    PrecisionCheck p;
    p.sums[0] = {.name = "SSTotal", .resultsFile = std::nullopt, .exact = 1.0L / 3, .correctDigits = 0};
    p.sums[1] = {.name = "SSA", .resultsFile = 120.5L, .exact = 120.5L, .correctDigits = 19};
    p.summaryTableExact = false, p.summaryTableComplete = false;
    p.method = PartitionMethod::Centred;
    return p;
}

// The tables of `r` in the study's layout for `reader`, the window's in Japanese.
std::vector<TableText> StudyTables(const anova::Analysis& r, const PrecisionCheck& precision, TableReader reader,
                                   char decimalSeparator = '.', OutputOptions options = {}) {
    if (reader == TableReader::Window) options.language = OutputLanguage::Japanese;
    return TableTexts(r, reader, InStudyLayout(options), decimalSeparator, &precision);
}

const TableText& Named(const std::vector<TableText>& tables, const std::string& id) {
    const auto t = std::find_if(tables.begin(), tables.end(), [&](const TableText& x) { return x.id == id; });
    if (t == tables.end()) throw std::runtime_error("no table " + id);
    return *t;
}

// The cell of table `id` in row `row` and the column of `column`; "(none)" for a column the reader lacks.
std::string Cell(const std::vector<TableText>& tables, const std::string& id, std::size_t row,
                 const std::string& column) {
    const TableText& t = Named(tables, id);
    const auto c = std::find(t.columnIds.begin(), t.columnIds.end(), column);
    if (c == t.columnIds.end()) return "(none)";
    return t.rows.at(row).at(static_cast<std::size_t>(c - t.columnIds.begin()));
}

TEST(ResultTables, EachReaderHasTheSameTablesInItsOwnForm) {
    const anova::Analysis r = Analysis();
    const PrecisionCheck precision = Precision();
    const auto terminal = StudyTables(r, precision, TableReader::Terminal),
               program = StudyTables(r, precision, TableReader::Program),
               window = StudyTables(r, precision, TableReader::Window, ',');
    for (const auto* tables : {&terminal, &program, &window}) {
        std::vector<std::string> ids;
        for (const TableText& t : *tables) {
            ids.push_back(t.id);
            EXPECT_EQ(t.header.size(), t.columnIds.size()) << t.id;
            EXPECT_EQ(t.numeric.size(), t.columnIds.size()) << t.id;
            for (const auto& row : t.rows) EXPECT_EQ(row.size(), t.columnIds.size()) << t.id;
        }
        ASSERT_GE(ids.size(), 8u);
        EXPECT_EQ(std::vector<std::string>(ids.begin(), ids.begin() + 8),
                  (std::vector<std::string>{"Summary", "Sphericity", "CellMeans", "MeansA", "MeansB",
                                            "Comparisons", "SimpleEffects", "Precision"}));
    }
    // Labels: English for the tool, Japanese for the window; a pair in one column for the terminal only.
    EXPECT_EQ(Named(terminal, "Summary").header,
              (std::vector<std::string>{"Source", "SS", "df", "MS", "MSE", "F", "p", "df1 (GG)", "df2 (GG)",
                                        "p (GG)", "partial eta^2", "partial eta^2 CI",
                                        "partial eta^2 CI (GG)", "generalized eta^2"}));
    EXPECT_EQ(Named(window, "Summary").header.size(), 22u);
    // An effect size's interval: one column for the terminal, blank on an error term's row.
    EXPECT_EQ(Cell(terminal, "Summary", 1, "etaCiLow"), "[0.25, 0.75]");
    EXPECT_EQ(Cell(terminal, "Summary", 0, "etaCiLow"), "");
    EXPECT_EQ(Cell(terminal, "Summary", 3, "etaCiLow"), "—");
    EXPECT_EQ(Cell(program, "Summary", 1, "etaCiHigh"), "0.75");
    EXPECT_EQ(Named(window, "Summary").header[13], "df1 (下限)");
    EXPECT_EQ(Named(terminal, "Comparisons").header[2], "Levels");
    EXPECT_EQ(Named(terminal, "Comparisons").header[4], "95% CI");
    EXPECT_EQ(Named(program, "Comparisons").header.size(), 17u);
    EXPECT_EQ(Named(window, "Comparisons").header[4], "差 (i − j)");
    EXPECT_EQ(Named(window, "Comparisons").numeric,
              (std::vector<bool>{false, false, false, false, true, true, true, true, true, true, true, true,
                                 true, true, true, true, true}));
    EXPECT_EQ(Named(window, "MeansA").columnIds.front(), "a");
    EXPECT_EQ(Named(window, "MeansA").columnIds[1], "mean");  // no column of B
    EXPECT_EQ(Named(program, "MeansA").columnIds[1], "b");
    EXPECT_EQ(Cell(window, "Sphericity", 0, "ggP"), "(none)");  // the window's summary has it

    // The same figure, rounded for each reader; p for reading; undefined and blank cells.
    const struct {
        const char *table, *column;
        std::size_t row;
        const char *terminal, *program, *window;
    } cells[] = {
        {"Summary", "f", 1, "333.3333", "333.33333333333333", "333,3333333"},
        {"Summary", "ss", 1, "333.3333333", "333.33333333333333", "333,3333333"},
        {"Summary", "p", 1, "< .001", "0.0009765625", "0,0009765625"},
        {"Summary", "p", 3, ".014", "0.013671875", "0,013671875"},
        {"Summary", "partialEtaSquared", 1, "0.6667", "0.66666666666666667", "0,6666666667"},
        {"Summary", "generalizedEtaSquared", 1, "—", "", "—"},
        {"Summary", "ggDf1", 1, "—", "", "—"},  // A has no test of sphericity
        {"Summary", "ggDf2", 3, "7", "7", "7"},
        {"Summary", "ggP", 3, "< .001", "0.0009765625", "0,0009765625"},
        {"Summary", "hfP", 3, "(none)", "(none)", "—"},
        {"Summary", "mse", 1, "10", "10", "10"},
        {"Summary", "mse", 3, "2.5", "2.5", "2,5"},  // the error term's mean square
        {"Summary", "mse", 4, "", "", ""},
        {"Summary", "p", 5, "< .001", "< .001", "< ,001"},  // below the range of the number type
        {"Summary", "f", 0, "", "", ""},                    // S is not an effect
        {"Summary", "ms", 0, "—", "", "—"},
        {"Summary", "ms", 7, "", "", ""},
        {"Sphericity", "p", 0, "> .999", "1", "1"},  // p rounds to 1 only as a bound
        {"Sphericity", "ggP", 0, "< .001", "0.0009765625", "(none)"},
        {"Sphericity", "ggEpsilon", 0, "0.5", "0.5", "0,5"},
        {"CellMeans", "ciLow", 0, "[1, 2.5]", "1", "1"},
        {"CellMeans", "withinCiLow", 0, "—", "", "—"},
        {"CellMeans", "withinCiHigh", 0, "(none)", "", "—"},
        {"MeansA", "a", 0, "高い", "高い", "高い"},
        {"MeansA", "b", 0, "", "", "(none)"},
        {"Comparisons", "at", 0, "(all)", "", "全体"},
        {"Comparisons", "at", 1, "高い", "高い", "A = 高い"},
        {"Comparisons", "levelI", 0, "a1 - 高い", "a1", "a1"},
        {"Comparisons", "levelJ", 1, "(none)", "b3", "b3"},
        {"Comparisons", "ciLow", 0, "[-2, -0.5]", "-2", "-2"},
        {"Comparisons", "ciHigh", 1, "(none)", "", "—"},
        {"Comparisons", "df", 1, "4", "4", "4"},
        {"Comparisons", "cohenDz", 0, "-2", "-2", "-2"},
        {"SimpleEffects", "at", 0, "高い", "高い", "A = 高い"},
        {"SimpleEffects", "ggEpsilon", 0, "0.75", "0.75", "0,75"},
        {"Precision", "exact", 0, "0.3333333333333333333", "0.33333333333333333", "0,3333333333333333333"},
        {"Precision", "correctDigits", 0, "—", "", "—"},
        {"Precision", "correctDigits", 1, "19", "19", "19"},
    };
    for (const auto& c : cells) {
        SCOPED_TRACE(std::string(c.table) + " " + c.column + " " + std::to_string(c.row));
        EXPECT_EQ(Cell(terminal, c.table, c.row, c.column), c.terminal);
        EXPECT_EQ(Cell(program, c.table, c.row, c.column), c.program);
        EXPECT_EQ(Cell(window, c.table, c.row, c.column), c.window);
    }

    // Notes: each reader's, in its order.
    EXPECT_EQ(Named(terminal, "Sphericity").notes,
              (std::vector<std::string>{"A x B: too many contrasts to test sphericity.",
                                        "HF epsilon as computed; its p uses it capped at 1."}));
    EXPECT_EQ(Named(window, "Sphericity").notes.front(), "A x B: 対比が多すぎるため球面性の検定を省きました。");
    const auto& english = Named(terminal, "Precision").notes;
    ASSERT_EQ(english.size(), 3u);
    EXPECT_TRUE(english[0].starts_with("The results file cannot complete"));
    EXPECT_TRUE(english[1].starts_with("Some figures of the results file's summary table are not exact"));
    EXPECT_TRUE(english[2].starts_with("The scores span too many decimal places"));
    const auto& japanese = Named(window, "Precision").notes;
    ASSERT_EQ(japanese.size(), 3u);
    EXPECT_TRUE(japanese[0].starts_with("計算結果ファイルの値は桁落ちのため"));
    EXPECT_TRUE(japanese[1].starts_with("この研究では"));
    EXPECT_TRUE(japanese[2].starts_with("得点の小数の桁の幅"));
    const anova::Analysis empty = testing::StudySkeleton({}, {}, 0);
    EXPECT_EQ(Named(StudyTables(empty, {}, TableReader::Window), "Precision").notes, std::vector<std::string>{});
    EXPECT_EQ(
        Named(StudyTables(empty, {}, TableReader::Terminal), "Sphericity").notes,
        std::vector<std::string>{
            "Every effect has at most one degree of freedom, so sphericity holds trivially (epsilon = 1)."});

    // In Japanese for the tool, with the correction it applies.
    OutputOptions options;
    options.language = OutputLanguage::Japanese, options.correction = DfCorrection::HuynhFeldt;
    const auto inJapanese = StudyTables(r, precision, TableReader::Terminal, '.', options);
    EXPECT_EQ(
        Named(inJapanese, "Summary").header,
        (std::vector<std::string>{"変動因", "平方和", "自由度", "平均平方", "MSE", "F 値", "p 値", "df1 (HF)",
                                  "df2 (HF)", "p (HF)", "偏 η²", "偏 η² の信頼区間", "一般化 η²"}));
    EXPECT_EQ(Named(inJapanese, "CellMeans").header[5], "95% CI");
    EXPECT_EQ(Cell(inJapanese, "Comparisons", 0, "at"), "全体");
    EXPECT_TRUE(Named(inJapanese, "Precision").notes.at(1).starts_with("計算結果ファイルの要約表には"));
    options.correction = DfCorrection::None;
    for (const char* column : {"ggDf1", "ggP", "hfDf2", "lbP"})
        EXPECT_EQ(Cell(StudyTables(r, precision, TableReader::Program, '.', options), "Summary", 1, column),
                  "(none)")
            << column;

    EXPECT_EQ(GeneralText(1234567, 3, ','), "1,23e+06");
    EXPECT_EQ(FixedText(0.0136L, 3, ','), "0,014");
}

// Rounded as an APA table rounds: two decimals, p as ".014", no zero before
// the point of a figure that cannot exceed 1 (effect sizes, epsilons,
// Mauchly's W) but one before a d, whole degrees of freedom whole; the same
// rules as the APA table's own figures. The precision check keeps its digits,
// a program all of them.
TEST(ResultTables, TheApaRoundingOfEachKindOfFigure) {
    anova::Analysis r = Analysis();
    r.effects[1].sphericity->huynhFeldt = {.epsilon = 0.7L, .df1 = 1.4L, .df2 = 8.4L, .p = 0.0125L};
    r.total.ss = 12345.678L;
    r.comparisons[1].d = 0.5L;
    const PrecisionCheck precision = Precision();
    OutputOptions apa;
    apa.rounding = TableRounding::Apa;
    const auto window = StudyTables(r, precision, TableReader::Window, '.', apa),
               comma = StudyTables(r, precision, TableReader::Window, ',', apa),
               terminal = StudyTables(r, precision, TableReader::Terminal, '.', apa),
               program = StudyTables(r, precision, TableReader::Program, '.', apa);
    const struct {
        const char *table, *column;
        std::size_t row;
        const char *window, *comma;
    } cells[] = {
        {"Summary", "f", 1, "333.33", "333,33"},
        {"Summary", "ss", 1, "333.33", "333,33"},
        {"Summary", "ss", 7, "12,345.68", "12345,68"},  // no group commas beside a decimal comma
        {"Summary", "p", 1, "< .001", "< ,001"},
        {"Summary", "p", 3, ".014", ",014"},
        {"Summary", "p", 5, "< .001", "< ,001"},
        {"Summary", "partialEtaSquared", 1, ".67", ",67"},
        {"Summary", "etaCiLow", 1, ".25", ",25"},
        {"Summary", "mse", 1, "10.00", "10,00"},
        {"Summary", "ggDf1", 3, "1", "1"},
        {"Summary", "hfDf1", 3, "1.40", "1,40"},
        {"Summary", "hfP", 3, ".013", ",013"},
        {"Summary", "generalizedEtaSquared", 1, "—", "—"},
        {"Summary", "df", 1, "1", "1"},
        {"Sphericity", "mauchlyW", 0, ".25", ",25"},
        {"Sphericity", "p", 0, "> .999", "> ,999"},
        {"Sphericity", "ggEpsilon", 0, ".50", ",50"},
        {"CellMeans", "mean", 0, "1.50", "1,50"},
        {"CellMeans", "ciHigh", 0, "2.50", "2,50"},
        {"Comparisons", "t", 0, "-6.34", "-6,34"},
        {"Comparisons", "difference", 0, "-1.25", "-1,25"},
        {"Comparisons", "cohenDz", 0, "-2.00", "-2,00"},
        {"Comparisons", "cohenDz", 1, "0.50", "0,50"},  // a d may exceed 1: its zero stays
        {"Comparisons", "pBonferroni", 0, "> .999", "> ,999"},
        {"SimpleEffects", "ggEpsilon", 0, ".75", ",75"},
        {"SimpleEffects", "partialEtaSquared", 0, ".30", ",30"},
        {"Precision", "exact", 0, "0.3333333333333333333", "0,3333333333333333333"},
    };
    for (const auto& c : cells) {
        SCOPED_TRACE(std::string(c.table) + " " + c.column + " " + std::to_string(c.row));
        EXPECT_EQ(Cell(window, c.table, c.row, c.column), c.window);
        EXPECT_EQ(Cell(comma, c.table, c.row, c.column), c.comma);
    }
    // The terminal rounds so when asked; a program keeps every digit.
    EXPECT_EQ(Cell(terminal, "Summary", 1, "f"), "333.33");
    EXPECT_EQ(Cell(terminal, "Summary", 1, "etaCiLow"), "[.25, .75]");
    EXPECT_EQ(Cell(program, "Summary", 1, "f"), "333.33333333333333");
    EXPECT_EQ(Cell(program, "Summary", 1, "p"), "0.0009765625");
    // Everything but the figures is the window's own reading.
    const auto full = StudyTables(r, precision, TableReader::Window);
    ASSERT_EQ(window.size(), full.size());
    for (std::size_t t = 0; t < full.size(); ++t) {
        EXPECT_EQ(window[t].header, full[t].header);
        EXPECT_EQ(window[t].notes, full[t].notes);
        EXPECT_EQ(window[t].rows.size(), full[t].rows.size());
    }
    EXPECT_EQ(Cell(full, "Summary", 1, "f"), "333.3333333");
}

}  // namespace
}  // namespace morvane
