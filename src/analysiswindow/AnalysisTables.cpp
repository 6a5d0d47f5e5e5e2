#include "analysiswindow/AnalysisTables.h"

#include <locale.h>

#include <cstdio>

#include "runtime/CLocale.h"
#include "runtime/Cp932.h"

namespace morvane {
namespace {

constexpr int kDigits = 10;

class Cells {
public:
    explicit Cells(char separator) : separator_(separator) {}
    std::string Number(const std::optional<Extended>& v, int digits = kDigits) const {
        return v ? NumberText(*v, digits, separator_) : kUndefinedText;
    }
    std::string Low(const std::optional<Interval>& i) const { return i ? Number(i->low) : kUndefinedText; }
    std::string High(const std::optional<Interval>& i) const { return i ? Number(i->high) : kUndefinedText; }

private:
    char separator_;
};

std::string Integer(std::int64_t v) {
    return std::to_string(v);
}

std::string NameOf(const FullAnalysis& r, Factor f, std::int32_t level) {
    const auto& names = f == Factor::A ? r.namesA : r.namesB;
    if (level < 1 || static_cast<std::size_t>(level) > names.size()) return "";
    return Utf8FromCp932(names[static_cast<std::size_t>(level - 1)]);
}

std::vector<bool> NumericFrom(std::size_t columns, std::size_t firstNumeric) {
    std::vector<bool> numeric(columns, false);
    for (std::size_t i = firstNumeric; i < columns; ++i) numeric[i] = true;
    return numeric;
}

void Summary(const FullAnalysis& r, const Cells& c, WindowTable& t) {
    t.title = "分散分析表";
    t.header = {"要因",       "SS",         "df",       "MS",       "F",        "p",
                "df1 (GG)",   "df2 (GG)",   "p (GG)",   "df1 (HF)", "df2 (HF)", "p (HF)",
                "df1 (下限)", "df2 (下限)", "p (下限)", "偏 η²",    "一般化 η²"};
    t.numeric = NumericFrom(t.header.size(), 1);
    const auto source = [&](const char* name, const PartitionSource& s, bool withMs) {
        std::vector<std::string> row(t.header.size());
        row[0] = name;
        row[1] = c.Number(s.ss);
        row[2] = Integer(s.df);
        if (withMs) row[3] = c.Number(s.ms);
        t.rows.push_back(row);
    };
    const auto effect = [&](const char* name, const EffectResult& e) {
        std::vector<std::string> row{
            name,          c.Number(e.effect.ss), Integer(e.effect.df), c.Number(e.effect.ms),
            c.Number(e.f), c.Number(e.p)};
        const auto correction = [&](const Correction Sphericity::*which) {
            if (!e.sphericity) {
                for (int i = 0; i < 3; ++i) row.push_back(kUndefinedText);
                return;
            }
            const Correction& k = (*e.sphericity).*which;
            row.push_back(c.Number(k.df1));
            row.push_back(c.Number(k.df2));
            row.push_back(c.Number(k.p));
        };
        correction(&Sphericity::greenhouseGeisser);
        correction(&Sphericity::huynhFeldt);
        correction(&Sphericity::lowerBound);
        row.push_back(c.Number(e.partialEtaSquared));
        row.push_back(c.Number(e.generalizedEtaSquared));
        t.rows.push_back(row);
    };
    source("S", r.S, true);
    effect("A", r.A);
    source("AS", r.AS, true);
    effect("B", r.B);
    source("BS", r.BS, true);
    effect("AB", r.AB);
    source("ABS", r.ABS, true);
    source("Total", r.Total, false);
}

void SphericityTable(const FullAnalysis& r, const Cells& c, WindowTable& t) {
    t.title = "球面性の検定 (Mauchly) と自由度の修正";
    t.header = {"効果", "Mauchly の W", "χ²", "df", "p", "ε (GG)", "ε (HF)", "ε (下限)"};
    t.numeric = NumericFrom(t.header.size(), 1);
    const std::pair<const char*, const EffectResult*> effects[] = {{"A", &r.A}, {"B", &r.B}, {"AB", &r.AB}};
    for (const auto& [name, e] : effects) {
        if (!e->sphericity) continue;
        const Sphericity& s = *e->sphericity;
        t.rows.push_back({name, c.Number(s.mauchlyW), c.Number(s.chiSquare), Integer(s.df), c.Number(s.p),
                          c.Number(s.greenhouseGeisser.epsilon), c.Number(s.huynhFeldt.epsilon),
                          c.Number(s.lowerBound.epsilon)});
    }
}

void Means(const FullAnalysis& r, const Cells& c, const std::vector<MeanResult>& list, bool withA, bool withB,
           WindowTable& t) {
    if (withA) t.header.push_back("A");
    if (withB) t.header.push_back("B");
    const std::size_t names = t.header.size();
    for (const char* h :
         {"平均", "SD", "SE", "95% CI 下限", "95% CI 上限", "被験者内 95% CI 下限", "被験者内 95% CI 上限"})
        t.header.push_back(h);
    t.numeric = NumericFrom(t.header.size(), names);
    for (const MeanResult& m : list) {
        std::vector<std::string> row;
        if (withA) row.push_back(NameOf(r, Factor::A, m.a));
        if (withB) row.push_back(NameOf(r, Factor::B, m.b));
        for (const std::string& cell : {c.Number(m.mean), c.Number(m.sd), c.Number(m.se), c.Low(m.ci95),
                                        c.High(m.ci95), c.Low(m.withinCi95), c.High(m.withinCi95)})
            row.push_back(cell);
        t.rows.push_back(row);
    }
}

void Comparisons(const FullAnalysis& r, const Cells& c, WindowTable& t) {
    t.title = "対ごとの比較 (対応のある t 検定; Holm と Bonferroni の調整は族ごと)";
    t.header = {"要因", "条件", "水準 i", "水準 j",   "差 (i − j)",     "95% CI 下限", "95% CI 上限",
                "t",    "df",   "p",      "p (Holm)", "p (Bonferroni)", "d_z"};
    t.numeric = NumericFrom(t.header.size(), 4);
    for (const ComparisonResult& k : r.comparisons) {
        const Factor other = k.factor == Factor::A ? Factor::B : Factor::A;
        const std::string at =
            k.at == 0 ? "全体" : (other == Factor::A ? "A = " : "B = ") + NameOf(r, other, k.at);
        t.rows.push_back({k.factor == Factor::A ? "A" : "B", at, NameOf(r, k.factor, k.i),
                          NameOf(r, k.factor, k.j), c.Number(k.difference), c.Low(k.ci95), c.High(k.ci95),
                          c.Number(k.t), Integer(k.df), c.Number(k.p), c.Number(k.pHolm),
                          c.Number(k.pBonferroni), c.Number(k.cohenDz)});
    }
}

void SimpleEffects(const FullAnalysis& r, const Cells& c, WindowTable& t) {
    t.title = "単純主効果 (各水準での 1 要因の分析)";
    t.header = {"効果", "条件", "SS", "誤差 SS", "F", "df1", "df2", "p", "偏 η²", "ε (GG)", "p (GG)"};
    t.numeric = NumericFrom(t.header.size(), 2);
    for (const SimpleEffectResult& s : r.simpleEffects) {
        const Factor other = s.effect == Factor::A ? Factor::B : Factor::A;
        t.rows.push_back({s.effect == Factor::A ? "A" : "B",
                          (other == Factor::A ? "A = " : "B = ") + NameOf(r, other, s.at), c.Number(s.ss),
                          c.Number(s.errorSs), c.Number(s.f), Integer(s.df1), Integer(s.df2), c.Number(s.p),
                          c.Number(s.partialEtaSquared), c.Number(s.ggEpsilon), c.Number(s.ggP)});
    }
}

void Precision(const FullAnalysis& r, const Cells& c, WindowTable& t, std::string& notice) {
    const PrecisionCheck& pc = r.precision;
    t.title = "計算結果ファイルの精度";
    t.header = {"平方和", "計算結果ファイル", "正確な値", "正しい有効桁数"};
    t.numeric = NumericFrom(t.header.size(), 1);
    for (const PrecisionFigure& f : pc.sums)
        t.rows.push_back({f.name, c.Number(f.resultsFile, 19), c.Number(f.exact, 19),
                          f.resultsFile ? Integer(f.correctDigits) : kUndefinedText});
    if (!pc.summaryTableExact)
        notice +=
            "計算結果ファイルの値は桁落ちのため正確ではありません: 得点の上の桁がそろっていると、"
            "計算結果ファイルの計算方法では平方和の桁が失われ、要約表に正確な値と違う数字が出ます。"
            "この窓の値は正確です。平方和ごとに正しい桁数を「精度」の表に示します。";
    if (!pc.summaryTableComplete)
        notice += std::string(notice.empty() ? "" : "\n") +
                  "この研究では、計算結果ファイルは要約表を最後まで書けません (定義されない平均平方か F "
                  "で止まります)。";
    if (pc.method == PartitionMethod::Centred)
        notice += std::string(notice.empty() ? "" : "\n") +
                  "得点の小数の桁の幅が大きすぎるため、平方和は正確な整数計算ではなく、総平均からの偏差に"
                  "より拡張精度で求めました。";
}

}  // namespace

std::string NumberText(Extended value, int digits, char decimalSeparator) {
    const locale_t previous = uselocale(CLocale());
    char text[80];
    const int length = std::snprintf(text, sizeof text, "%.*Lg", digits, value);
    uselocale(previous);
    std::string out(text, length > 0 ? static_cast<std::size_t>(length) : 0);
    for (char& ch : out)
        if (ch == '.') ch = decimalSeparator;
    return out;
}

WindowTables MakeWindowTables(const FullAnalysis& r, char decimalSeparator) {
    const Cells c(decimalSeparator);
    WindowTables w;
    Summary(r, c, w.summary);
    SphericityTable(r, c, w.sphericity);
    w.cellMeans.title = "セルの平均";
    Means(r, c, r.cells, true, true, w.cellMeans);
    w.meansA.title = "要因 A の水準の平均";
    Means(r, c, r.marginalA, true, false, w.meansA);
    w.meansB.title = "要因 B の水準の平均";
    Means(r, c, r.marginalB, false, true, w.meansB);
    Comparisons(r, c, w.comparisons);
    SimpleEffects(r, c, w.simpleEffects);
    Precision(r, c, w.precision, w.precisionNotice);
    return w;
}

}  // namespace morvane
