// The APA outputs of a made-up analysis: the numbers as APA writes them, the
// ready sentences under each correction, and the structure of the HTML, RTF and
// tab-separated tables a word processor pastes.

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "anova/Analysis.h"
#include "design/StudyDesign.h"
#include "exchange/LongCsv.h"
#include "output/AnovaFormats.h"
#include "output/ApaOutput.h"
#include "output/Conventions.h"
#include "runtime/NumberText.h"
#include "support/StudySkeleton.h"

namespace morvane {
namespace {

using testing::InStudyLayout;

// A study with the figures of the effect B of the eight-subject example (2 x
// 3), made-up intervals where the analysis has not computed them, and names
// that HTML must escape (a NUL byte read from code page 932 is U+FFFD).
anova::Analysis Analysis() {
    anova::Analysis r = testing::StudySkeleton({"a<1>", "高い"}, {"b&1", "b\xEF\xBF\xBD" "2", "b3"}, 8);
    anova::Effect &a = r.effects[0], &b = r.effects[1], &ab = r.effects[2];
    a.effect.ss = 432, a.effect.df = 1, a.effect.ms = 432;
    a.error.ss = 75.3333333333L, a.error.df = 7, a.error.ms = 10.7619047619L;
    a.f = 40.141592920354L, a.p = 0.000390526338119925L;
    a.partialEtaSquared = 0.851511169513798L, a.generalizedEtaSquared = 0.532019704433497L;
    a.partialEtaSquaredCI = LevelInterval{.level = 0.9L, .lower = 0.5L, .upper = 0.9L};
    b.effect.ss = 672, b.effect.df = 2, b.effect.ms = 336;
    b.error.ss = 161, b.error.df = 14, b.error.ms = 11.5L;
    b.f = 29.2173913043478L, b.p = 1.00754887486423e-05L;
    b.partialEtaSquared = 0.80672268907563L, b.generalizedEtaSquared = 0.638783269961977L;
    b.partialEtaSquaredCI = LevelInterval{.level = 0.9L, .lower = 0.6034L, .upper = 0.8861L};
    b.partialEtaSquaredCIGG = LevelInterval{.level = 0.9L, .lower = 0.4912L, .upper = 0.8987L};
    Sphericity s;
    s.contrasts = 2, s.df = 2;
    s.greenhouseGeisser = {.epsilon = 0.567783059163691L,
                           .df1 = 2 * 0.567783059163691L,
                           .df2 = 14 * 0.567783059163691L,
                           .p = 0.000533260776130144L};
    // Above 1 as computed, applied capped.
    s.huynhFeldt = {.epsilon = 1.25L, .df1 = 2, .df2 = 14, .p = 0.0123L};
    b.sphericity = s;
    ab.effect.ss = 2.5L, ab.effect.df = 2, ab.effect.ms = 1.25L;
    ab.error.ss = 17283.9492L, ab.error.df = 14, ab.error.ms = 1234.5678L;
    ab.f = 1234.5678L, ab.p = 0;  // below the range of the number type
    ab.sphericityOmitted = true;
    return r;
}

// The study's layout with `correction` in `language`, and a provenance.
ApaOptions With(DfCorrection correction, OutputLanguage language = OutputLanguage::English) {
    ApaOptions o = InStudyLayout();
    o.correction = correction, o.language = language;
    o.provenance = {"9.8", std::string(64, 'c'), std::nullopt};
    return o;
}

// The same in a design's layout.
ApaOptions InDesign(DfCorrection correction, OutputLanguage language = OutputLanguage::English) {
    ApaOptions o = With(correction, language);
    o.layout = OutputLayout::Design;
    return o;
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

TEST(ApaOutput, NumbersAsApaWritesThem) {
    const struct {
        Extended value;
        int decimals;
        bool leadingZero;
        const char* text;
    } numbers[] = {
        {29.2173913L, 2, true, "29.22"},   {0.80672L, 2, false, ".81"},
        {0.004L, 2, false, ".00"},         {1, 2, false, "1.00"},
        {1234.5678L, 2, true, "1,234.57"}, {1234567.891L, 2, true, "1,234,567.89"},
        {999.999L, 2, true, "1,000.00"},   {-0.001L, 2, true, "0.00"},
        {-12.5L, 1, true, "-12.5"},        {0.5L, 2, true, "0.50"},
        {-0.25L, 2, false, "-.25"},        {7, 0, true, "7"},
    };
    for (const auto& n : numbers) EXPECT_EQ(ApaNumber(n.value, n.decimals, n.leadingZero), n.text) << n.text;
    // p: a bound below .001 and above .999, never a rounded ".999" or "1.000"
    // for a p beyond .999; the terminal's p is the same text with its separator.
    const std::pair<Extended, const char*> ps[] = {
        {0, "< .001"},       {0.00099L, "< .001"}, {0.001L, ".001"}, {0.0136L, ".014"},
        {0.05L, ".050"},     {0.9985L, ".999"},    {0.999L, ".999"}, {0.99901L, "> .999"},
        {0.9994L, "> .999"}, {0.9996L, "> .999"},  {1, "> .999"},
    };
    for (const auto& [p, text] : ps) EXPECT_EQ(ApaP(p), text) << text;
    EXPECT_EQ(PValueText(0.0136L, ','), ",014");
    EXPECT_EQ(PValueText(0.9999L, ','), "> ,999");
    EXPECT_FALSE(PValueIsBound(0.5L));
    EXPECT_TRUE(PValueIsBound(0) && PValueIsBound(1));
    // Corrected df: whole where epsilon leaves them whole, also an extended hair off.
    const std::pair<Extended, const char*> dfs[] = {
        {1, "1"},
        {7, "7"},
        {2 * 0.49999999999999999997L, "1"},
        {14 * 0.5000000000000000001L, "7"},
        {1.135566L, "1.14"},
        {7.004L, "7.00"},
        {6.999L, "7.00"},
        {1234567, "1234567"},
    };
    for (const auto& [df, text] : dfs) EXPECT_EQ(ApaDf(df), text) << text;
    // No more digits than an extended value holds: 19 significant, then zeros.
    EXPECT_EQ(ApaNumber(6.2e25L, 2), "62,000,000,000,000,000,000,000,000");
    EXPECT_EQ(ApaNumber(-1234567890123456789.0L, 2), "-1,234,567,890,123,456,789");
    EXPECT_EQ(ApaNumber(12345678901234567.25L, 2), "12,345,678,901,234,567.25");
    EXPECT_EQ(ApaNumber(123456789012345678.375L, 2), "123,456,789,012,345,678.4");
    EXPECT_EQ(LevelPercent(0.9L), "90");
    EXPECT_EQ(LevelPercent(0.995L), "99.5");
    // A value far beyond any buffer of figures: 10^600 has 601 digits, 19 of them significant.
    const std::string huge = ApaNumber(1e600L, 2, true);
    EXPECT_EQ(huge.size(), 601u + 200u);
    EXPECT_TRUE(huge.starts_with("1,000,000,")) << huge.substr(0, 20);
    EXPECT_EQ(huge.find_first_not_of("1,0"), std::string::npos);
}

TEST(ApaOutput, SentencesApplyTheCorrectionAsked) {
    const anova::Analysis r = Analysis();
    const auto gg = ReadySentences(r, With(DfCorrection::GreenhouseGeisser));
    ASSERT_EQ(gg.size(), 3u);
    EXPECT_EQ(gg[0], "F(1, 7) = 40.14, p < .001, ηp² = .85, 90% CI [.50, .90]");
    EXPECT_EQ(gg[1], "F(1.14, 7.95) = 29.22, p < .001, ηp² = .81, 90% CI [.49, .90]");
    // Too many contrasts for the test: uncorrected, and without an interval.
    EXPECT_EQ(gg[2], "F(2, 14) = 1,234.57, p < .001, ηp² = —");
    EXPECT_EQ(ReadySentences(r, With(DfCorrection::None))[1],
              "F(2, 14) = 29.22, p < .001, ηp² = .81, 90% CI [.60, .89]");
    // Huynh-Feldt: capped at 1, so the whole df; the interval on the uncorrected df.
    EXPECT_EQ(ReadySentences(r, With(DfCorrection::HuynhFeldt))[1],
              "F(2, 14) = 29.22, p = .012, ηp² = .81, 90% CI [.60, .89]");

    // The text: the table with its rules and note, then a sentence an effect.
    const std::string text = ApaText(r, With(DfCorrection::HuynhFeldt));
    EXPECT_TRUE(text.starts_with("Table 1\nTwo-Way Within-Subjects Analysis of Variance\n---")) << text;
    EXPECT_NE(text.find("\nEffect  df  Error df         F       MSE       p     ε    ηp² [90% CI]  ηG²\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\nB        2        14     29.22     11.50    .012  1.25  .81 [.60, .89]  .64\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Note. N = 8. Levels of A: a<1>, 高い; of B: b&1, b\xEF\xBF\xBD"
                        "2, b3."),
              std::string::npos);
    EXPECT_NE(text.find("Huynh–Feldt corrected"), std::string::npos);
    EXPECT_NE(text.find("A × B: too many contrasts"), std::string::npos);
    EXPECT_NE(text.find("Program: morvane 9.8. Data file SHA-256: " + std::string(64, 'c')),
              std::string::npos);
    EXPECT_TRUE(text.ends_with("\nA × B: F(2, 14) = 1,234.57, p < .001, ηp² = —\n"));

    // Without a correction there is no epsilon column; in Japanese the analysis' own headings.
    const std::string none = ApaSummaryTabs(r, With(DfCorrection::None, OutputLanguage::Japanese));
    EXPECT_NE(
        none.find("表 1\n2 要因被験者内分散分析\n変動因\t自由度\t誤差の自由度\tF 値\tMSE\tp 値\t偏 η² [90% "
                  "CI]\t一般化 η²\n"),
        std::string::npos)
        << none;
    EXPECT_NE(none.find("\nA × B\t2\t14\t1,234.57\t1,234.57\t< .001\t—\t—\n"), std::string::npos) << none;
    EXPECT_NE(none.find("注. N = 8。"), std::string::npos);
    EXPECT_NE(none.find("自由度と p は修正していません。"), std::string::npos);
}

TEST(ApaOutput, HtmlAndRtfAreRealTables) {
    const anova::Analysis r = Analysis();
    const std::string html = ApaHtmlDocument(r, With(DfCorrection::GreenhouseGeisser));
    EXPECT_TRUE(html.starts_with("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">"));
    EXPECT_TRUE(html.ends_with("</body>\n</html>\n"));
    for (const char* once :
         {"<table", "</table>", "<thead>", "</thead>", "<tbody>", "</tbody>", "<b>Table 1</b>",
          "<i>Two-Way Within-Subjects Analysis of Variance</i>", "<i>Note.</i>"})
        EXPECT_EQ(Count(html, once), 1u) << once;
    EXPECT_LT(html.find("</table>"), html.find("<i>Note.</i>"));
    EXPECT_EQ(Count(html, "<tr>"), 4u);
    EXPECT_EQ(Count(html, "<th "), 9u);
    EXPECT_EQ(Count(html, "<td "), 27u);
    // Horizontal rules only: above and below the header, below the last row.
    EXPECT_EQ(Count(html, "border-top:"), 9u);
    EXPECT_EQ(Count(html, "border-bottom:"), 18u);
    EXPECT_EQ(Count(html, "border-left") + Count(html, "border-right") + Count(html, "border=\""), 0u);
    EXPECT_NE(html.find("<i>η</i><sub>p</sub><sup>2</sup> [90% CI]</th>"), std::string::npos);
    EXPECT_TRUE(std::regex_search(html, std::regex(R"(<td style="[^"]*text-align:center">1\.14</td>)")));
    EXPECT_NE(html.find("a&lt;1&gt;, 高い; of B: b&amp;1, b\xEF\xBF\xBD"
                        "2"),
              std::string::npos);
    EXPECT_EQ(html.find("a<1>"), std::string::npos);
    EXPECT_NE(html.find(">B: F(1.14, 7.95) = 29.22, p &lt; .001, ηp² = .81, 90% CI [.49, .90]</p>"),
              std::string::npos);
    // JSON has the underflowed p as 0 and says so; the other formats as APA writes it.
    const PrecisionCheck precision;
    const std::string json = FormatAnalysis(r, AnovaFormat::Json, InStudyLayout(), &precision);
    EXPECT_NE(json.find(R"("F":1234.5678,"p":0,"pUnderflow":true,)"), std::string::npos) << json;
    EXPECT_EQ(Count(json, "Underflow"), 1u);
    EXPECT_NE(json.find(R"("provenance":{"program":"morvane","version":null,"dataSha256":null})"),
              std::string::npos);
    const std::string csv = FormatAnalysis(r, AnovaFormat::Csv, InStudyLayout(), &precision);
    EXPECT_NE(csv.find("\nA x B,2.5,2,1.25,1234.5678,1234.5678,< .001,"), std::string::npos) << csv;
    // The clipboard's fragment is the document's table.
    EXPECT_NE(html.find(ApaSummaryHtml(r, With(DfCorrection::GreenhouseGeisser))), std::string::npos);

    const std::string rtf = ApaSummaryRtf(r, With(DfCorrection::GreenhouseGeisser, OutputLanguage::Japanese));
    EXPECT_TRUE(rtf.starts_with("{\\rtf1\\ansi"));
    EXPECT_TRUE(rtf.ends_with("}"));
    // Balanced braces, the document's group closed only by the last one.
    int depth = 0;
    for (std::size_t i = 0; i < rtf.size(); ++i) {
        const auto c = static_cast<unsigned char>(rtf[i]);
        ASSERT_LT(c, 0x80) << "at " << i;
        if (c == '\\') {
            ++i;  // an escaped brace or backslash, or a control word's first letter
        } else if (c == '{') {
            ++depth;
        } else if (c == '}') {
            ASSERT_TRUE(--depth > 0 || i + 1 == rtf.size()) << "at " << i;
        }
    }
    EXPECT_EQ(depth, 0);
    EXPECT_EQ(Count(rtf, "\\trowd"), 4u);
    EXPECT_EQ(Count(rtf, "\\row\n"), 4u);
    EXPECT_EQ(Count(rtf, "\\cell\n"), 36u);
    EXPECT_EQ(Count(rtf, "\\cellx"), 36u);
    EXPECT_EQ(Count(rtf, "\\clbrdrt"), 9u);
    EXPECT_EQ(Count(rtf, "\\clbrdrb"), 18u);
    EXPECT_EQ(Count(rtf, "\\clbrdrl") + Count(rtf, "\\clbrdrr"), 0u);
    EXPECT_NE(rtf.find("{\\b \\u-30616? 1}"), std::string::npos);           // 表 1
    EXPECT_NE(rtf.find("{\\i \\u27880?.}"), std::string::npos);             // 注.
    EXPECT_NE(rtf.find("a<1>, \\u-25896?\\u12356?; "), std::string::npos);  // 高い
    EXPECT_TRUE(std::regex_search(rtf, std::regex(R"(\\intbl\\qc 1\.14\\cell)")));
}

// Two between factors (g, h; groups of 3, 4, 3 and 5) and two within (A, B):
// each subject's g and h, then its scores at a1 b1..b3, a2 b1..b3.
anova::Analysis TwoByTwoMixed() {
    const char* const subjects[] = {
        "11 3 6 4 2 8 6",  "11 6 3 8 3 4 6",   "11 6 4 6 3 9 10",   "12 4 1 3 5 3 9",   "12 7 5 7 5 11 10",
        "12 5 4 8 3 9 9",  "12 5 5 10 9 8 11", "21 6 3 8 2 8 7",    "21 9 9 9 8 11 12", "21 6 6 7 5 6 12",
        "22 8 8 8 8 9 13", "22 2 7 7 4 7 8",   "22 8 6 7 10 12 12", "22 6 9 9 9 10 9",  "22 8 11 13 9 11 15"};
    std::string csv = "s,g,h,A,B,y\n";
    int id = 0;
    for (const char* line : subjects) {
        std::istringstream in(line);
        std::string gh;
        in >> gh;
        ++id;
        for (const char* a : {"a1", "a2"})
            for (const char* b : {"b1", "b2", "b3"}) {
                int y = 0;
                in >> y;
                csv += "s" + std::to_string(id) + ",g" + gh.substr(0, 1) + ",h" + gh.substr(1, 1) + "," + a +
                       "," + b + "," + std::to_string(y) + "\n";
            }
    }
    return anova::Analyse(ReadLongCsv(csv, {"s", "y", {"A", "B"}, {"g", "h"}}));
}

// The rows of a tab-separated table, the header first.
std::vector<std::string> TabRows(const std::string& tabs) {
    std::vector<std::string> lines;
    std::istringstream in(tabs);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return {lines.begin() + 2, lines.end() - 1};  // without number, title and note
}

TEST(ApaOutput, TheTableOfAMixedDesignHasEveryEffectInTheDesignsOrder) {
    const anova::Analysis r = TwoByTwoMixed();
    // F, df, p and generalized eta squared of afex (partial eta squared from its F):
    //   a <- aov_ez("s", "y", d, between = c("g", "h"), within = c("A", "B"), type = 3)
    //   a$anova_table; summary(a)$pval.adjustments
    // MSE is the error's mean square on the uncorrected df: afex's MSE times
    // den Df / 22 (B: 3.414160117 * 20.25713755 / 22 = 3.14). Partial eta
    // squared's interval of an effect of more than one df is on the df
    // Greenhouse and Geisser's epsilon corrects, as the sentences give it.
    const std::vector<std::string> gg{
        "Effect\tdf\tError df\tF\tMSE\tp\tε\tηp² [90% CI]\tηG²",
        "g\t1\t11\t5.58\t17.98\t.038\t—\t.34 [.01, .61]\t.22",
        "h\t1\t11\t1.77\t17.98\t.210\t—\t.14 [.00, .45]\t.08",
        "g × h\t1\t11\t0.01\t17.98\t.910\t—\t.00 [.00, .10]\t.00",
        "A\t1\t11\t19.52\t2.24\t.001\t—\t.64 [.29, .80]\t.11",
        "g × A\t1\t11\t0.00\t2.24\t.960\t—\t.00 [.00, .00]\t.00",
        "h × A\t1\t11\t4.77\t2.24\t.052\t—\t.30 [.00, .59]\t.03",
        "g × h × A\t1\t11\t0.32\t2.24\t.582\t—\t.03 [.00, .30]\t.00",
        "B\t1.84\t20.26\t20.28\t3.14\t< .001\t.92\t.65 [.40, .77]\t.27",
        "g × B\t1.84\t20.26\t0.09\t3.14\t.905\t.92\t.01 [.00, .06]\t.00",
        "h × B\t1.84\t20.26\t0.12\t3.14\t.876\t.92\t.01 [.00, .09]\t.00",
        "g × h × B\t1.84\t20.26\t1.04\t3.14\t.366\t.92\t.09 [.00, .28]\t.02",
        "A × B\t1.97\t21.63\t8.30\t2.75\t.002\t.98\t.43 [.14, .61]\t.11",
        "g × A × B\t1.97\t21.63\t0.90\t2.75\t.421\t.98\t.08 [.00, .26]\t.01",
        "h × A × B\t1.97\t21.63\t1.43\t2.75\t.262\t.98\t.11 [.00, .31]\t.02",
        "g × h × A × B\t1.97\t21.63\t0.41\t2.75\t.667\t.98\t.04 [.00, .18]\t.01"};
    EXPECT_EQ(TabRows(ApaSummaryTabs(r, InDesign(DfCorrection::GreenhouseGeisser))), gg);

    // Huynh-Feldt as computed (B 1.097277, A x B 1.195394), applied capped: the uncorrected df;
    // afex's HF p of B 1.015778e-05, of g x h x A x B .6699082.
    const std::vector<std::string> hf = TabRows(ApaSummaryTabs(r, InDesign(DfCorrection::HuynhFeldt)));
    ASSERT_EQ(hf.size(), gg.size());
    EXPECT_EQ(hf[8], "B\t2\t22\t20.28\t3.14\t< .001\t1.10\t.65 [.41, .77]\t.27");
    EXPECT_EQ(hf[15], "g × h × A × B\t2\t22\t0.41\t2.75\t.670\t1.20\t.04 [.00, .17]\t.01");
    const std::vector<std::string> sentences = NamedSentences(r, InDesign(DfCorrection::HuynhFeldt));
    ASSERT_EQ(sentences.size(), 15u);
    EXPECT_EQ(sentences[5], "h × A: F(1, 11) = 4.77, p = .052, ηp² = .30, 90% CI [.00, .59]");
    EXPECT_EQ(sentences[14], "g × h × A × B: F(2, 22) = 0.41, p = .670, ηp² = .04, 90% CI [.00, .17]");

    // The note: the groups, every factor's levels, the interval on the uncorrected df, the
    // sums of squares; in Japanese under the analysis' own headings, without an epsilon.
    const std::string text = ApaText(r, InDesign(DfCorrection::GreenhouseGeisser));
    EXPECT_NE(
        text.find("Note. N = 15 (group sizes: 3, 4, 3, 5). Levels of g: g1, g2; of h: h1, h2; of A: a1, "
                  "a2; of B: b1, b2, b3. "),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("(noncentral F on the corrected df)"), std::string::npos);
    EXPECT_NE(text.find("types II and III differ for this design"), std::string::npos);
    EXPECT_NE(text.find("Mixed-Design Analysis of Variance\n"), std::string::npos);
    const std::string ja = ApaSummaryTabs(r, InDesign(DfCorrection::None, OutputLanguage::Japanese));
    EXPECT_NE(ja.find("変動因\t自由度\t誤差の自由度\tF 値\tMSE\tp 値\t偏 η² [90% CI]\t一般化 η²\n"),
              std::string::npos)
        << ja;
    EXPECT_NE(ja.find("\ng × h × A × B\t2\t22\t0.41\t2.75\t.670\t.04 [.00, .17]\t.01\n"), std::string::npos);
    EXPECT_NE(ja.find("表 1\n混合計画の分散分析\n"), std::string::npos);

    // The RTF and HTML of the clipboard: a row an effect under the header.
    const std::string rtf = ApaSummaryRtf(r, InDesign(DfCorrection::GreenhouseGeisser));
    EXPECT_EQ(Count(rtf, "\\row\n"), 16u);
    EXPECT_EQ(Count(ApaSummaryHtml(r, InDesign(DfCorrection::None)), "<tr>"), 16u);
}

TEST(ApaOutput, TheNoteSaysWhichRowsTheCorrectionLeavesUncorrected) {
    // Two subjects: Huynh and Feldt's epsilon is 0 / 0, Greenhouse and Geisser's defined.
    StudyStore store;
    StartNewStudy(store, {"a1", "a2", "a3"}, {"b1", "b2"}, "2");
    const char* scores[] = {"3", "5", "4", "8", "6", "9", "2", "7", "5", "6", "8", "4"};
    for (int i = 0; i < 12; ++i) store.CellText.Set(i / 6 + 1, i / 2 % 3 + 1, i % 2 + 1, scores[i]);
    const anova::Analysis two = anova::Analyse(DesignFromStudy(store, '.'));
    ApaOptions study = With(DfCorrection::HuynhFeldt);
    const std::string hf = ApaText(two, study);
    EXPECT_NE(hf.find("are Huynh–Feldt corrected (ε: its epsilon). A: its epsilon is undefined; uncorrected. "
                      "A × B: its epsilon is undefined; uncorrected. ηp²"),
              std::string::npos)
        << hf;
    study.correction = DfCorrection::GreenhouseGeisser;
    EXPECT_EQ(ApaText(two, study).find("undefined; uncorrected"), std::string::npos);
    // A between effect of three levels is no within effect: the note says which are corrected.
    DesignData mixed;
    mixed.between = {{"g", {"x", "y", "z"}}};
    mixed.within = {{"t", {"1", "2", "3"}}};
    for (int s = 0; s < 9; ++s) {
        mixed.subjects.push_back("s" + std::to_string(s));
        mixed.group.push_back(s % 3);
        for (int t = 0; t < 3; ++t) mixed.values.push_back(static_cast<Extended>((s * 7 + t * 3) % 11));
    }
    const std::string text = ApaText(anova::Analyse(mixed), InDesign(DfCorrection::GreenhouseGeisser));
    EXPECT_NE(text.find("Degrees of freedom and p of within effects with more than one degree of freedom are "
                        "Greenhouse–Geisser corrected"),
              std::string::npos)
        << text;
}

}  // namespace
}  // namespace morvane
