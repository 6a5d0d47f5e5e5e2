// The interaction plot arranged at will: which factor goes on the axis, the
// lines and the panels, each subject's scores behind the means, the SVG they
// draw, and morvane plot's options that ask for them.

#include <sys/wait.h>

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTest>
#include <QXmlStreamReader>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "anova/Analysis.h"
#include "exchange/LongCsv.h"
#include "plot/DesignPlot.h"
#include "plot/PlotFiles.h"
#include "support/TempDir.h"

using namespace morvane;
using morvane::testing::ReadBytes;

namespace {

// One between factor (group) and two within factors (cue, then time): four
// subjects, two per group; subject k's score is its cell's base plus k % 2.
anova::Analysis Mixed() {
    std::ostringstream csv;
    csv << "id,group,cue,time,score\n";
    const char* const groups[] = {"control", "treated"};
    const char* const cues[] = {"left", "right"};
    const char* const times[] = {"t1", "t2", "t3"};
    for (int s = 0; s < 4; ++s)
        for (int c = 0; c < 2; ++c)
            for (int t = 0; t < 3; ++t)
                csv << "s" << s << ',' << groups[s / 2] << ',' << cues[c] << ',' << times[t] << ','
                    << (s / 2) * 20 + c * 5 + t * 2 + s % 2 << '\n';
    const LongCsvRoles roles{"id", "score", {"cue", "time"}, {"group"}};
    return anova::Analyse(ReadLongCsv(csv.str(), roles));
}

// The mean of group g, cue c, time t in Mixed(): its two subjects' base plus 0 and 1.
Extended MixedMean(int g, int c, int t) {
    return g * 20 + c * 5 + t * 2 + 0.5L;
}

plot::PlotArrangement Arranged(std::optional<std::string> axis, std::optional<std::string> lines,
                               std::vector<std::string> panels = {}) {
    return {std::move(axis), std::move(lines), std::move(panels)};
}

int Count(const QByteArray& bytes, const char* what) {
    return static_cast<int>(bytes.count(what));
}

// The `element`s of an SVG drawn see-through: in a group of a stroke or
// fill opacity below 1 (the subjects; the means and the axes are opaque).
int LightShapes(const QByteArray& svg, const QString& element) {
    QXmlStreamReader xml(svg);
    std::vector<bool> light{false};
    int count = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement() && xml.name() == QLatin1String("g")) light.pop_back();
        if (!xml.isStartElement()) continue;
        if (xml.name() == QLatin1String("g")) {
            const auto a = xml.attributes();
            const auto seeThrough = [&a](const char* name) {
                return a.hasAttribute(QLatin1String(name)) && a.value(QLatin1String(name)).toDouble() < 0.99;
            };
            light.push_back(light.back() || seeThrough("stroke-opacity") || seeThrough("fill-opacity"));
        }
        if (xml.name() == element && light.back()) ++count;
    }
    return count;
}

// The texts an SVG draws, run together (the painter splits the legend's
// lines into pieces), and its description.
std::pair<QString, QString> TextsOf(const QByteArray& svg) {
    QXmlStreamReader xml(svg);
    QString drawn, description;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        if (xml.name() == QLatin1String("text")) drawn += xml.readElementText(QXmlStreamReader::IncludeChildElements);
        if (xml.name() == QLatin1String("desc")) description = xml.readElementText();
    }
    return {drawn, description};
}

bool WellFormed(const QByteArray& svg) {
    QXmlStreamReader xml(svg);
    while (!xml.atEnd()) xml.readNext();
    return !xml.hasError() && QSvgRenderer(svg).isValid();
}

}  // namespace

class PlotArrangementTest : public QObject {
    Q_OBJECT

    testing::TempDir dir_;

private slots:
    // Each arrangement puts every cell's mean where its axis, line and panel
    // say; the factors not named fill the axis, then the lines, then join the
    // panels; names the design lacks, or named twice, are refused and drawn
    // as the default.
    void FactorsGoWhereTheArrangementPutsThem() {
        const anova::Analysis mixed = Mixed();
        const plot::InteractionPlotData usual = plot::PlotDataOf(mixed, '.');
        QCOMPARE(usual.axisTitle, QStringLiteral(u"要因 time"));
        QCOMPARE(usual.panelTitles, QStringList({"group = control", "group = treated"}));

        // The group along the axis, a line per time, a panel per cue.
        const plot::InteractionPlotData byGroup =
            plot::PlotDataOf(mixed, '.', plot::ErrorBars::Ci95, Arranged("group", "time"));
        QCOMPARE(byGroup.levelsB, QStringList({"control", "treated"}));
        QCOMPARE(byGroup.levelsA, QStringList({"t1", "t2", "t3"}));
        QCOMPARE(byGroup.legendTitle, QStringLiteral(u"要因 time"));
        QCOMPARE(byGroup.panelTitles, QStringList({"cue = left", "cue = right"}));
        QCOMPARE(byGroup.means.size(), std::size_t{12});
        for (int g = 0; g < 2; ++g)
            for (int c = 0; c < 2; ++c)
                for (int t = 0; t < 3; ++t)
                    QCOMPARE(byGroup.means[static_cast<std::size_t>((c * 3 + t) * 2 + g)],
                             MixedMean(g, c, t));

        // The cue alone named: time, the default axis, gives the lines.
        const plot::InteractionPlotData byCue =
            plot::PlotDataOf(mixed, '.', plot::ErrorBars::Se, Arranged("cue", {}));
        QCOMPARE(byCue.levelsB, QStringList({"left", "right"}));
        QCOMPARE(byCue.levelsA, QStringList({"t1", "t2", "t3"}));
        QCOMPARE(byCue.panelTitles.size(), 2);
        QCOMPARE(byCue.means[(1 * 3 + 2) * 2 + 0], MixedMean(1, 0, 2));

        // No lines and time in the panels first: the cue on the axis, one line,
        // a panel per time and group, time's levels changing slowest.
        const plot::InteractionPlotData oneLine =
            plot::PlotDataOf(mixed, '.', plot::ErrorBars::Se, Arranged({}, "none", {"time"}));
        QCOMPARE(oneLine.axisTitle, QStringLiteral(u"要因 cue"));
        QVERIFY(oneLine.legendTitle.isEmpty());
        QCOMPARE(oneLine.levelsA.size(), 1);
        QCOMPARE(oneLine.panelTitles.size(), 6);
        QCOMPARE(oneLine.panelTitles[1], QStringLiteral("time = t1, group = treated"));
        QCOMPARE(oneLine.panelFactors, QStringLiteral(u"要因 time × 要因 group"));
        QCOMPARE(oneLine.means[5 * 2 + 1], MixedMean(1, 1, 2));
        QVERIFY(plot::PlotCaption(oneLine).contains(QStringLiteral(u"要因 time × 要因 group")));

        // Refusals, each named, each drawn as the default arrangement.
        const std::pair<plot::PlotArrangement, std::string> refused[] = {
            {Arranged("dose", {}), "no factor named \"dose\""},
            {Arranged("cue", "cue"), "\"cue\" is placed twice"},
            {Arranged({}, {}, {"time", "time"}), "\"time\" is placed twice"},
            {Arranged({}, "group", {"cue", "time"}), "no factor is left for the horizontal axis"},
        };
        for (const auto& [arrangement, reason] : refused) {
            const std::string said = plot::ArrangementRefused(mixed, arrangement);
            QVERIFY2(said.find(reason) != std::string::npos, said.c_str());
            const plot::InteractionPlotData drawn =
                plot::PlotDataOf(mixed, '.', plot::ErrorBars::Se, arrangement);
            QCOMPARE(drawn.axisTitle, usual.axisTitle);
            QCOMPARE(drawn.panelTitles, usual.panelTitles);
        }
        QVERIFY(plot::ArrangementRefused(mixed, Arranged("group", "none", {"time", "cue"})).empty());
    }

    // Each subject's scores, from the exact scores rounded once, follow the
    // arrangement: a trace per subject, panel and line, NaN at the levels of
    // the axis a between factor leaves it without; beyond the bound none are
    // kept and the plot says so.
    void SubjectsFollowTheArrangement() {
        const anova::Analysis mixed = Mixed();
        QCOMPARE(mixed.subjectScores.size(), std::size_t{24});
        QCOMPARE(mixed.subjectGroups, std::vector<std::int32_t>({0, 0, 1, 1}));
        const plot::InteractionPlotData lines =
            plot::PlotDataOf(mixed, '.', plot::ErrorBars::WithinCi95, {}, plot::SubjectsShown::Lines);
        QCOMPARE(lines.subjects.size(), std::size_t{8});  // 4 subjects x 2 cues
        // Subject s3 (treated, so panel 1), cue right: 20 + 5 + 2t + 1.
        const plot::SubjectTrace& last = lines.subjects.back();
        QCOMPARE(last.panel, std::size_t{1});
        QCOMPARE(last.line, 1);
        QVERIFY(last.values == std::vector<Extended>({26, 28, 30}));
        QVERIFY(plot::PlotCaption(lines).contains(QStringLiteral(u"細線は各被験者")));

        const plot::InteractionPlotData byGroup =
            plot::PlotDataOf(mixed, '.', plot::ErrorBars::Ci95, Arranged("group", "cue", {"time"}),
                             plot::SubjectsShown::Points);
        QCOMPARE(byGroup.subjects.size(), std::size_t{4 * 3 * 2});
        for (const plot::SubjectTrace& trace : byGroup.subjects)
            QCOMPARE(std::isnan(trace.values[0]) + std::isnan(trace.values[1]), 1);
        QCOMPARE(byGroup.subjects.front().values[0], Extended{0});  // s0, t1, left

        // Decimals of the example file, exact: 10.6 is the extended value nearest it.
        const std::string csv = ReadBytes(MORVANE_EXAMPLES "/mixed-design.csv");
        const anova::Analysis example =
            anova::Analyse(ReadLongCsv(csv, {"subject", "score", {"time"}, {"group"}}), {});
        QCOMPARE(example.subjectScores.front(), 10.6L);
        QCOMPARE(example.subjectScores[2], 11.2L);

        // Over the bound: the means alone, and a note.
        std::ostringstream many;
        many << "id,cond,score\n";
        for (std::size_t s = 0; s <= plot::kMostSubjectsDrawn; ++s)
            many << 'p' << s << ",a," << s % 7 << "\np" << s << ",b," << s % 5 << '\n';
        const plot::InteractionPlotData crowd =
            plot::PlotDataOf(anova::Analyse(ReadLongCsv(many.str(), {"id", "score", {"cond"}, {}})), '.',
                             plot::ErrorBars::Se, {}, plot::SubjectsShown::Lines);
        QVERIFY(crowd.subjectsOmitted && crowd.subjects.empty() && crowd.means.size() == 2);
    }

    // The SVG stays well-formed and draws a polyline for each mean's line and,
    // asked, one more for each subject's trace, and a dot for each score.
    void TheSvgDrawsALineForEachTrace() {
        const anova::Analysis mixed = Mixed();
        const QSize size(640, 420);
        const QByteArray plain =
            plot::RenderPlotFile(plot::PlotDataOf(mixed, '.'), plot::PlotFileType::Svg, size);
        const QByteArray traced = plot::RenderPlotFile(
            plot::PlotDataOf(mixed, '.', plot::ErrorBars::WithinCi95, {}, plot::SubjectsShown::Lines),
            plot::PlotFileType::Svg, size);
        const QByteArray dotted = plot::RenderPlotFile(
            plot::PlotDataOf(mixed, '.', plot::ErrorBars::WithinCi95, {}, plot::SubjectsShown::Points),
            plot::PlotFileType::Svg, size);
        QVERIFY(WellFormed(plain) && WellFormed(traced) && WellFormed(dotted));
        QVERIFY(Count(plain, "<polyline") >= 4);  // 2 panels x 2 lines of means
        QCOMPARE(LightShapes(plain, "polyline") + LightShapes(plain, "circle"), 0);
        QCOMPARE(LightShapes(traced, "polyline"), 8);  // 4 subjects x 2 cues
        QCOMPARE(LightShapes(traced, "circle"), 0);
        QCOMPARE(LightShapes(dotted, "circle"), 24);  // and 3 times each
        QCOMPARE(LightShapes(dotted, "polyline"), 0);
        // No subjects asked: the plot is drawn as before, byte for byte.
        QCOMPARE(plot::RenderPlotFile(plot::PlotDataOf(mixed, '.', plot::ErrorBars::WithinCi95, {}),
                                      plot::PlotFileType::Png, size),
                 plot::RenderPlotFile(plot::PlotDataOf(mixed, '.'), plot::PlotFileType::Png, size));
    }

    // More levels along the axis than the plot has pixel columns: each line
    // drawn as its means' envelope and mean per column, no markers, bars or
    // subjects, so that the drawing stays as small as the plot.
    void LevelsBeyondThePixelsAreSummed() {
        plot::InteractionPlotData d;
        d.levelsA = QStringList{QStringLiteral("a1"), QStringLiteral("a2")};
        const int levels = 5000;
        for (int b = 0; b < levels; ++b) d.levelsB.append(QStringLiteral("t%1").arg(b));
        for (int k = 0; k < 2 * levels; ++k) {
            d.means.push_back(k % 2 == 0 ? 10 : 20);
            d.bars.push_back(Interval{9, 21});
        }
        d.subjectsShown = plot::SubjectsShown::Lines;
        for (int s = 0; s < 3; ++s) d.subjects.push_back({0, 0, std::vector<Extended>(levels, 15)});
        const QByteArray svg = plot::RenderPlotFile(d, plot::PlotFileType::Svg, QSize(400, 300));
        QVERIFY(WellFormed(svg));
        QCOMPARE(Count(svg, "<circle") + Count(svg, "<ellipse"), 0);  // no marker, not even the legend's
        QVERIFY2(svg.count('<') < 4 * 400, QByteArray::number(svg.count('<')));
        QVERIFY(LightShapes(svg, "polyline") > 100);  // the envelopes' bars
        // The legend and the description say what is drawn, and name no error bars.
        const auto [drawn, description] = TextsOf(svg);
        QVERIFY2(drawn.contains(QStringLiteral(u"画素の列ごと:縦棒: 平均の範囲線: それらの平均")), qPrintable(drawn));
        QVERIFY(!drawn.contains(QStringLiteral(u"誤差線")));
        QVERIFY(description.contains(QStringLiteral(u"水準が画素の列より多く")) &&
                description.endsWith(QStringLiteral(u"誤差線はありません。")));
        d.english = true;
        const auto [english, englishDescription] =
            TextsOf(plot::RenderPlotFile(d, plot::PlotFileType::Svg, QSize(400, 300)));
        QVERIFY2(english.contains(QStringLiteral("Per pixel column")), qPrintable(english));
        QVERIFY(!english.contains(QStringLiteral("Error bars")));
        QVERIFY(englishDescription.contains(QStringLiteral("More levels than pixel columns")) &&
                !englishDescription.contains(QStringLiteral("Error bars")));
        // Wide enough for every level: markers and error bars again, and named.
        QVERIFY(!plot::InteractionPlotSummed(d, QSizeF(8192, 600)));
        QVERIFY(plot::PlotCaption(d).contains("Error bars: within-subject"));
    }

    // More lines than colours and markers tell apart: every line in one thin
    // style, no markers or bars, the legend cut with how many more; at the
    // bound itself the lines are still told apart.
    void ManyLinesShareOneStyle() {
        const auto lines = [](int count) {
            plot::InteractionPlotData d;
            d.legendTitle = QStringLiteral("item");
            for (int a = 0; a < count; ++a) d.levelsA.append(QStringLiteral("i%1").arg(a));
            d.levelsB = QStringList{QStringLiteral("b1"), QStringLiteral("b2"), QStringLiteral("b3")};
            for (int k = 0; k < 3 * count; ++k) {
                d.means.push_back(k % 7);
                d.bars.push_back(Interval{k % 7 - 1.0L, k % 7 + 1.0L});
            }
            return d;
        };
        const QByteArray told = plot::RenderPlotFile(lines(plot::kMostLinesTold), plot::PlotFileType::Svg,
                                                     QSize(800, 600));
        const QString toldTexts = TextsOf(told).first;
        QVERIFY(toldTexts.contains(QStringLiteral(u"誤差線")) && !toldTexts.contains(QStringLiteral(u"ほか")));
        QVERIFY(Count(told, "<circle") + Count(told, "<ellipse") >= 3);

        const int many = 10000;
        const plot::InteractionPlotData d = lines(many);
        const QByteArray svg = plot::RenderPlotFile(d, plot::PlotFileType::Svg, QSize(800, 600));
        QVERIFY(WellFormed(svg));
        QCOMPARE(Count(svg, "<circle") + Count(svg, "<ellipse"), 0);
        const auto [drawn, description] = TextsOf(svg);
        QVERIFY2(drawn.contains(QStringLiteral(u"同じ細線")) && !drawn.contains(QStringLiteral(u"誤差線:")),
                 qPrintable(drawn));
        QVERIFY(description.contains(QStringLiteral(u"同じ細線")) &&
                description.endsWith(QStringLiteral(u"誤差線はありません。")));
        // The names that fit, then how many more: every line counted once.
        int named = 0;
        while (named < many && drawn.contains(QStringLiteral("i%1i%2").arg(named).arg(named + 1))) ++named;
        ++named;  // the last name shown is followed by the count, not a name
        QVERIFY2(named >= 3 && named <= plot::kMostLinesTold, qPrintable(drawn));
        QVERIFY2(drawn.contains(QStringLiteral(u"i%1… ほか %2 水準").arg(named - 1).arg(many - named)),
                 qPrintable(drawn));
        // Every line is drawn: two segments each.
        QVERIFY(Count(svg, "<polyline") + Count(svg, "<path") + Count(svg, "<line") >= 2 * many);
    }

    // The plot's analysis leaves the model out and keeps every mean as the
    // full analysis forms it, to the bit; so does a one-factor design, whose
    // level means are its cells'.
    void ThePlotsAnalysisKeepsTheMeans() {
        const auto bounds = [](const std::optional<Interval>& i) {
            return i ? std::optional(std::pair(i->low, i->high)) : std::nullopt;
        };
        const auto same = [&](const std::vector<anova::Mean>& a, const std::vector<anova::Mean>& b) {
            if (a.size() != b.size()) return false;
            for (std::size_t i = 0; i < a.size(); ++i)
                if (a[i].at != b[i].at || a[i].n != b[i].n || a[i].mean != b[i].mean || a[i].sd != b[i].sd ||
                    a[i].se != b[i].se || bounds(a[i].ci95) != bounds(b[i].ci95) ||
                    bounds(a[i].withinCi95) != bounds(b[i].withinCi95))
                    return false;
            return true;
        };
        std::ostringstream csv;
        csv << "id,group,time,score\n";
        for (int s = 0; s < 5; ++s)
            for (int t = 0; t < 4; ++t) csv << 's' << s << ",g" << s % 2 << ",t" << t << ',' << (s * 7 + t * t) % 11 << '\n';
        for (const LongCsvRoles& roles : {LongCsvRoles{"id", "score", {"time"}, {}},
                                          LongCsvRoles{"id", "score", {"time"}, {"group"}}}) {
            const DesignData design = ReadLongCsv(csv.str(), roles);
            anova::Options plotting;
            plotting.meansOnly = plotting.modelLeftOut = true;
            const anova::Analysis full = anova::Analyse(design), plotted = anova::Analyse(design, plotting);
            QVERIFY(!full.effects.empty() && plotted.effects.empty());
            QVERIFY(same(full.cellMeans, plotted.cellMeans));
            QCOMPARE(full.marginalMeans.size(), plotted.marginalMeans.size());
            for (std::size_t f = 0; f < full.marginalMeans.size(); ++f)
                QVERIFY(same(full.marginalMeans[f], plotted.marginalMeans[f]));
            QVERIFY(full.marginalMeans.back()[2].withinCi95.has_value());
        }
    }

    // A PNG beyond kPlotQuickPngPixels comes from the quick writer: read
    // back, every pixel is the painted one, at 96 pixels per inch.
    void LargePngHoldsThePaintedPixels() {
        const plot::InteractionPlotData d = plot::PlotDataOf(Mixed(), '.');
        const QSize size(2100, 2000);
        QVERIFY(static_cast<long long>(size.width()) * size.height() > plot::kPlotQuickPngPixels);
        const QImage read = QImage::fromData(plot::RenderPlotFile(d, plot::PlotFileType::Png, size), "PNG");
        QCOMPARE(read.size(), size);
        QCOMPARE(read.dotsPerMeterX(), 3780);
        QImage painted(size, QImage::Format_RGB32);
        {
            QPainter painter(&painted);
            plot::PaintInteractionPlot(painter, QRectF(QPointF(0, 0), QSizeF(size)), d);
        }
        QVERIFY(read.convertToFormat(QImage::Format_RGB32) == painted);
    }

    // morvane plot's options: an arrangement drawn, and each mistake refused
    // with status 2 and a message naming it, nothing written.
    void TheToolArrangesAndRefuses() {
        const std::string tool = MORVANE_TOOL, csv = MORVANE_EXAMPLES "/mixed-design.csv";
        const std::string roles = " --id subject --dv score --within time --between group ";
        const auto run = [&](const std::string& args) {
            const int raw =
                std::system((tool + " plot " + csv + roles + args + " 2>" + dir_.File("err")).c_str());
            return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        };
        QCOMPARE(run(dir_.File("g.svg") + " --x group --lines time --subjects lines"), 0);
        const QByteArray svg = QByteArray::fromStdString(ReadBytes(dir_.File("g.svg")));
        QVERIFY(WellFormed(svg) && svg.contains("細線は各被験者"));
        QCOMPARE(run(dir_.File("p.png") + " --panels time --lines none --subjects points"), 0);

        const std::pair<std::string, std::string> refusals[] = {
            {" --x dose", "no factor named \"dose\""},
            {" --x time --lines time", "\"time\" is placed twice"},
            {" --panels group,group", "\"group\" is placed twice"},
            {" --subjects all", "--subjects is lines, points or none"},
            {" --panels time,", "empty name"},
            {" --x time --x group", "--x"},
            {" --qq --lines none", "--lines is for the interaction plot"},
        };
        for (const auto& [args, said] : refusals) {
            QCOMPARE(run(dir_.File("bad.png") + args), 2);
            const std::string err = ReadBytes(dir_.File("err"));
            QVERIFY2(err.find(said) != std::string::npos, (args + ": " + err).c_str());
            QVERIFY(!QFile::exists(QString::fromStdString(dir_.File("bad.png"))));
        }
    }
};

QTEST_MAIN(PlotArrangementTest)
#include "PlotArrangementTest.moc"
