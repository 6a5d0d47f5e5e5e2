// The interaction plot and the Q-Q plots of any design: their data and panels
// from the design's analysis, the plots of two within factors drawn as the
// typed study's plots, and morvane plot on a long CSV; the typed study's
// plots, their axis, pixels and files, and morvane plot on a data file.

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTest>
#include <QXmlStreamReader>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "anova/Analysis.h"
#include "design/StudyDesign.h"
#include "exchange/LongCsv.h"
#include "plot/DesignPlot.h"
#include "plot/PlotFiles.h"
#include "plot/QuantilePlot.h"
#include "store/DataFile.h"
#include "store/StudyStore.h"
#include "support/TempDir.h"

using namespace morvane;
using morvane::testing::ReadBytes;

namespace {

// One between factor (group) and two within factors (cue, then time): four
// subjects, two per group; subject k's score is its cell's base plus k.
std::string MixedCsv() {
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
    return csv.str();
}

// The mean of the rows of `image` that hold a pixel of `colour` from column
// x0 to x1; -1 without any.
double MeanRowOf(const QImage& image, QRgb colour, int x0, int x1) {
    double sum = 0;
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = x0; x < x1; ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == colour) sum += y, ++count;
    return count ? sum / count : -1;
}

int Run(const std::string& command) {
    return std::system(command.c_str());
}

QByteArray Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return QByteArray::fromStdString(std::string(std::istreambuf_iterator<char>(in), {}));
}

// The study of `n` subjects, levels a1.. and b1.., its scores from `score`.
void FillStudy(StudyStore& store, int n, int na, int nb,
               const std::function<std::string(int, int, int)>& score) {
    std::vector<std::string> a, b;
    for (int i = 1; i <= na; ++i) a.push_back("a" + std::to_string(i));
    for (int i = 1; i <= nb; ++i) b.push_back("b" + std::to_string(i));
    StartNewStudy(store, a, b, std::to_string(n));
    for (int s = 1; s <= n; ++s)
        for (int x = 1; x <= na; ++x)
            for (int y = 1; y <= nb; ++y) store.CellText(s, x, y) = score(s, x, y);
}

int PdfPages(const QByteArray& pdf) {
    return static_cast<int>(pdf.count(QByteArrayLiteral("/Type /Page\n")) +
                            pdf.count(QByteArrayLiteral("/Type /Page ")) +
                            pdf.count(QByteArrayLiteral("/Type /Page/")));
}

QByteArray FileBytes(const std::string& path) {
    return QByteArray::fromStdString(morvane::testing::ReadBytes(path));
}

const char* const kEightSubjects = MORVANE_EXAMPLES "/eight-subjects-2x3.dat";

// The one engine's analysis of a data file's study, as the results window and morvane plot form it.
anova::Analysis StudyAnalysis(const StudyStore& store, char decimalSeparator) {
    return anova::Analyse(DesignFromStudy(store, decimalSeparator));
}

}  // namespace

class DesignPlotTest : public QObject {
    Q_OBJECT

    testing::TempDir dir_;

private slots:
    // The panels of a design of one group factor and two within factors: a
    // panel per group titled with its level, a line per cue, time along the
    // axis, every cell's mean in its place, and one scale for every panel.
    void PanelsOfAGroupFactorShareOneScale() {
        LongCsvRoles roles{"id", "score", {"cue", "time"}, {"group"}};
        const anova::Analysis analysis = anova::Analyse(ReadLongCsv(MixedCsv(), roles));
        const plot::InteractionPlotData d = plot::PlotDataOf(analysis, ',', plot::ErrorBars::Se);
        QCOMPARE(d.panelTitles, (QStringList{"group = control", "group = treated"}));
        QCOMPARE(d.levelsA, (QStringList{"left", "right"}));
        QCOMPARE(d.levelsB, (QStringList{"t1", "t2", "t3"}));
        QCOMPARE(d.legendTitle, QStringLiteral(u"要因 cue"));
        QCOMPARE(d.axisTitle, QStringLiteral(u"要因 time"));
        QCOMPARE(d.means.size(), std::size_t{12});
        // treated, right, t3: 20 + 5 + 4 + the mean of 0 and 1.
        QCOMPARE(d.means[(1 * 2 + 1) * 3 + 2], 29.5L);
        QCOMPARE(d.means[0], 0.5L);
        QVERIFY(d.bars[0].has_value());
        QCOMPARE(d.bars[0]->high - d.bars[0]->low, 1.0L);  // SE of 0 and 1 is 0.5
        QVERIFY(plot::PlotCaption(d).contains(QStringLiteral(u"パネルは 要因 group の水準ごと")));
        QVERIFY(plot::PlotCaption(d).contains(QStringLiteral(u"平均 ± 標準誤差")));
        const plot::InteractionPlotData within = plot::PlotDataOf(analysis, '.');
        QVERIFY(plot::PlotCaption(within).contains(QStringLiteral(u"群ごと")));

        // Two designs of the same factors, each of which names its panels in the SVG.
        const QString svg = QString::fromUtf8(plot::RenderPlotFile(d, plot::PlotFileType::Svg, {900, 600}));
        QVERIFY(svg.contains(QStringLiteral("group = control")) &&
                svg.contains(QStringLiteral("group = treated")));

        // A shared scale: the low group's line sits low in its panel, the
        // high group's high in its own; scaled apart they would sit alike.
        plot::InteractionPlotData two;
        two.levelsA = {"x"};
        two.levelsB = {"b1", "b2"};
        two.panelTitles = {"g = low", "g = high"};
        two.means = {10, 10, 20, 20};
        two.bars.assign(4, std::nullopt);
        const QImage image =
            QImage::fromData(plot::RenderPlotFile(two, plot::PlotFileType::Png, QSize(800, 600)), "PNG");
        QCOMPARE(image.size(), QSize(800, 600));
        // Side by side, the legend right of x = 620.
        const double low = MeanRowOf(image, 0x0072B2, 0, 300), high = MeanRowOf(image, 0x0072B2, 340, 600);
        QVERIFY2(low > 0 && high > 0, "each panel draws its line");
        QVERIFY2(low - high > 150, qPrintable(QStringLiteral("%1 %2").arg(low).arg(high)));

        // Whole numbers keep their digits on a coarse step.
        QCOMPARE(plot::TickText(10, 10, '.'), QStringLiteral("10"));
        QCOMPARE(plot::TickText(200, 100, '.'), QStringLiteral("200"));
        QCOMPARE(plot::TickText(2.5L, 0.5L, ','), QStringLiteral("2,5"));

        // A design of one factor: one line, no panels.
        LongCsvRoles one{"id", "score", {"time"}, {}};
        const plot::InteractionPlotData single =
            plot::PlotDataOf(anova::Analyse(ReadLongCsv(MixedCsv(), one)), '.');
        QVERIFY(single.panelTitles.isEmpty());
        QCOMPARE(single.levelsA.size(), 1);
        QCOMPARE(single.means.size(), std::size_t{3});
        QVERIFY(!QImage::fromData(plot::RenderPlotFile(single, plot::PlotFileType::Png, {400, 300}), "PNG")
                     .isNull());
    }

    // A long CSV's design of two within factors and no groups draws exactly as
    // the typed study of the same scores: same caption, same SVG, same pixels.
    void TwoWithinFactorsDrawAsTheTypedStudy() {
        StudyStore study;
        LoadStudyFile(study, MORVANE_EXAMPLES "/eight-subjects-2x3.dat");
        std::ostringstream csv;
        csv << "s,A,B,y\n";
        for (int s = 1; s <= study.SubjectCount; ++s)
            for (int a = 1; a <= study.LevelCountA; ++a)
                for (int b = 1; b <= study.LevelCountB; ++b)
                    csv << s << ',' << study.LevelNamesA[static_cast<std::size_t>(a)] << ','
                        << study.LevelNamesB[static_cast<std::size_t>(b)] << ','
                        << study.CellText(s, a, b).View() << '\n';
        const anova::Analysis design = anova::Analyse(ReadLongCsv(csv.str(), {"s", "y", {"A", "B"}, {}}));
        const anova::Analysis typed = StudyAnalysis(study, '.');
        for (const plot::ErrorBars bars : {plot::ErrorBars::WithinCi95, plot::ErrorBars::Ci95}) {
            const plot::InteractionPlotData today = plot::PlotDataOf(typed, '.', bars),
                                            general = plot::PlotDataOf(design, '.', bars);
            QCOMPARE(plot::PlotCaption(general), plot::PlotCaption(today));
            QCOMPARE(plot::RenderPlotFile(general, plot::PlotFileType::Svg, {800, 600}),
                     plot::RenderPlotFile(today, plot::PlotFileType::Svg, {800, 600}));
            const QImage a = QImage::fromData(
                             plot::RenderPlotFile(general, plot::PlotFileType::Png, {640, 480})),
                         b = QImage::fromData(
                             plot::RenderPlotFile(today, plot::PlotFileType::Png, {640, 480}));
            QVERIFY(!a.isNull());
            QVERIFY(a == b);
        }
    }

    // The Q-Q plots of a design of three within factors and a group factor:
    // a panel per stratum (S and the seven within effects' "EFFECT × S"),
    // each titled by it, in a grid of 3 x 3 whose last place stays empty.
    void QuantilePanelsOfEveryStratum() {
        std::ostringstream csv;
        csv << "id,g,A,B,C,y\n";
        for (int s = 0; s < 7; ++s)
            for (int c = 0; c < 12; ++c)
                csv << 's' << s << ',' << (s < 3 ? "x" : "z") << ',' << c / 6 << ',' << c / 2 % 3 << ','
                    << c % 2 << ',' << (s * 37 + c * c * 11 + (s * c) % 7 * 13) % 97 / 4.0 << '\n';
        const anova::Analysis analysis =
            anova::Analyse(ReadLongCsv(csv.str(), {"id", "y", {"A", "B", "C"}, {"g"}}));
        const plot::QuantilePlotData d = plot::QuantilePlotDataOf(analysis, ',', false);
        QStringList titles;
        for (const plot::QuantilePanel& panel : d.panels) {
            titles.append(panel.title);
            QVERIFY(!panel.points.empty());
            QVERIFY2(panel.detail.startsWith(
                         QStringLiteral(u"残差 %1 個 · Shapiro-Wilk W = ").arg(panel.residuals)) &&
                         panel.detail.contains(QStringLiteral("; p ")),
                     qPrintable(panel.detail));
        }
        QCOMPARE(titles, (QStringList{QStringLiteral("S"), QStringLiteral(u"A × S"), QStringLiteral(u"B × S"),
                                      QStringLiteral(u"C × S"), QStringLiteral(u"A × B × S"),
                                      QStringLiteral(u"A × C × S"), QStringLiteral(u"B × C × S"),
                                      QStringLiteral(u"A × B × C × S")}));
        QCOMPARE(d.panels[4].residuals, std::size_t{7 * 6});
        const QString svg = QString::fromUtf8(plot::RenderPlotFile(d, plot::PlotFileType::Svg, {900, 900}));
        QVERIFY(svg.contains(QStringLiteral(u"A × B × C × S")) && svg.contains(QStringLiteral(u"B × C × S")));
        // Ink in each row's third column but the last row's, which holds two panels.
        const QImage image =
            QImage::fromData(plot::RenderPlotFile(d, plot::PlotFileType::Png, {900, 900}), "PNG");
        const auto inked = [&](int x0, int y0, int x1, int y1) {
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x)
                    if ((image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) return true;
            return false;
        };
        QVERIFY(inked(650, 80, 880, 280) && inked(650, 360, 880, 560));
        QVERIFY(inked(380, 620, 600, 820) && !inked(680, 620, 880, 820));

        // A group of one subject: its residuals are left out, and the count says so.
        std::ostringstream lone;
        lone << "id,g,A,y\n";
        for (int s = 0; s < 5; ++s)
            for (int a = 0; a < 3; ++a)
                lone << 's' << s << ',' << (s == 0 ? "x" : "z") << ',' << a << ',' << (s * 7 + a * a * 3) % 11
                     << '\n';
        const plot::QuantilePlotData l =
            plot::QuantilePlotDataOf(anova::Analyse(ReadLongCsv(lone.str(), {"id", "y", {"A"}, {"g"}})), '.',
                                     false);
        QCOMPARE(l.panels.size(), std::size_t{2});
        QCOMPARE(l.panels[1].unplotted, std::size_t{3});
        QCOMPARE(l.panels[1].points.size(), std::size_t{12});
        QVERIFY2(l.panels[1].detail.startsWith(QStringLiteral(u"残差 12 個 (1 人の群の 3 個を除く) · ")),
                 qPrintable(l.panels[1].detail));
        QVERIFY(plot::QuantilePlotCaption(l).contains(QStringLiteral(u"1 人だけの群")));
        QVERIFY(!plot::QuantilePlotCaption(d).contains(QStringLiteral(u"1 人だけの群")));
    }

    // The same scores as a long CSV's design and as the typed study: the same
    // Q-Q plots, their points and (under the study's titles) their drawing.
    void TwoWithinQuantilePlotsAreTheTypedStudys() {
        StudyStore study;
        LoadStudyFile(study, MORVANE_EXAMPLES "/eight-subjects-2x3.dat");
        std::ostringstream csv;
        csv << "s,A,B,y\n";
        for (int s = 1; s <= study.SubjectCount; ++s)
            for (int a = 1; a <= study.LevelCountA; ++a)
                for (int b = 1; b <= study.LevelCountB; ++b)
                    csv << s << ',' << a << ',' << b << ',' << study.CellText(s, a, b).View() << '\n';
        const plot::QuantilePlotData typed = plot::QuantilePlotDataOf(StudyAnalysis(study, '.'), '.', true);
        plot::QuantilePlotData design = plot::QuantilePlotDataOf(
            anova::Analyse(ReadLongCsv(csv.str(), {"s", "y", {"A", "B"}, {}})), '.', false);
        QCOMPARE(design.panels.size(), std::size_t{4});
        QCOMPARE(design.panels[3].title, QStringLiteral(u"A × B × S"));
        for (std::size_t k = 0; k < 4; ++k) {
            QCOMPARE(design.panels[k].detail, typed.panels[k].detail);
            design.panels[k].title = typed.panels[k].title;
        }
        QCOMPARE(plot::QuantilePlotCaption(design), plot::QuantilePlotCaption(typed));
        QCOMPARE(plot::RenderPlotFile(design, plot::PlotFileType::Svg, {800, 600}),
                 plot::RenderPlotFile(typed, plot::PlotFileType::Svg, {800, 600}));
    }

    // morvane plot on the bundled mixed design: a PNG and an SVG that name the
    // factors; a missing role and --qq with bars refused with a message; --qq's
    // Q-Q plots of the strata.
    void MorvanePlotDrawsALongCsv() {
        testing::TempDir dir;
        const std::string tool = MORVANE_TOOL, csv = MORVANE_EXAMPLES "/mixed-design.csv";
        const std::string roles = " --id subject --dv score --within time --between group ";
        QCOMPARE(Run(tool + " plot " + csv + roles + dir.File("m.png") + " --width 640 --height 400"), 0);
        const QImage image = QImage::fromData(Slurp(dir.File("m.png")), "PNG");
        QCOMPARE(image.size(), QSize(640, 400));
        QCOMPARE(Run(tool + " plot " + csv + roles + dir.File("m.svg") + " --error-bars ci95"), 0);
        const QString svg = QString::fromUtf8(Slurp(dir.File("m.svg")));
        QVERIFY(svg.contains(QStringLiteral(u"要因 group")) && svg.contains(QStringLiteral("follow-up")));
        QVERIFY(svg.contains(QStringLiteral(u"95% 信頼区間")));

        const std::string err = " 2>" + dir.File("err");
        QVERIFY(Run(tool + " plot " + csv + " --id subject --within time " + dir.File("x.png") + err) != 0);
        QVERIFY(Slurp(dir.File("err")).contains("--id, --dv and --within"));
        QVERIFY(Run(tool + " plot " + csv + roles + "--qq --error-bars se " + dir.File("q.png") + err) != 0);
        QVERIFY(Slurp(dir.File("err")).contains("--qq"));
        QVERIFY(!QFile::exists(QString::fromStdString(dir.File("x.png"))));
        QVERIFY(!QFile::exists(QString::fromStdString(dir.File("q.png"))));

        // --qq draws the strata's Q-Q plots: a panel each, titled by its stratum.
        QCOMPARE(Run(tool + " plot " + csv + roles + "--qq " + dir.File("q.png") + " --width 700"), 0);
        QCOMPARE(QImage::fromData(Slurp(dir.File("q.png")), "PNG").size(), QSize(700, 600));
        QCOMPARE(Run(tool + " plot " + csv + roles + "--qq " + dir.File("q.svg")), 0);
        const QString qq = QString::fromUtf8(Slurp(dir.File("q.svg")));
        QVERIFY(qq.contains(QStringLiteral(u"正規 Q-Q プロット")) &&
                qq.contains(QStringLiteral(u"time × S")));
        QVERIFY(!qq.contains(QStringLiteral(u"要因 group")));
    }

    // Names of any bytes (NUL, ESC, DEL, C1 and other control characters,
    // XML's own characters) give an SVG that an XML parser reads
    // whole, with U+FFFD where a character was refused; Qt's notice of an
    // unset runtime folder stays off the standard error; an input that the
    // shell emptied (named as the output too) is said to be empty.
    void NamesOfAnyBytesGiveWellFormedSvg() {
        testing::TempDir dir;
        const std::string tool = MORVANE_TOOL;
        std::string csv = "id,cond,score\n";
        const std::string levels[] = {std::string("a\0b", 3), "c\x1b[31md", "e\x01\x7f<&\"'>", "f\xc2\x85g"};
        for (int s = 0; s < 3; ++s)
            for (int l = 0; l < 4; ++l)
                csv += "s" + std::to_string(s) + "," + levels[l] + "," + std::to_string(s * 3 + l * l) + "\n";
        testing::WriteBytes(dir.File("n.csv"), csv);
        const std::string roles = " --id id --dv score --within cond ";
        const std::string err = " 2>" + dir.File("err");
        QCOMPARE(Run("env -u XDG_RUNTIME_DIR " + tool + " plot " + dir.File("n.csv") + roles +
                     dir.File("n.svg") + err),
                 0);
        QCOMPARE(Slurp(dir.File("err")), QByteArray());
        const QByteArray svg = Slurp(dir.File("n.svg"));
        QXmlStreamReader xml(svg);
        QStringList texts;
        while (!xml.atEnd())
            // A name may be drawn in pieces (the replacement character in its own font).
            if (xml.readNext() == QXmlStreamReader::Characters && !xml.isWhitespace())
                texts << xml.text().toString();
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        const QString all = texts.join(QString());
        QVERIFY(all.contains(QStringLiteral(u"a\uFFFDb")) && all.contains(QStringLiteral(u"c\uFFFD[31md")));
        QVERIFY(all.contains(QStringLiteral(u"e\uFFFD\uFFFD<&\"'>")));
        QVERIFY(all.contains(QStringLiteral(u"f\uFFFDg")));  // U+0085, a C1 control
        QVERIFY(!svg.contains('\x1b') && !svg.contains('\x01') && !svg.contains("\xc2\x85"));

        // morvane plot y.csv y.png > y.csv: the shell emptied the input first.
        QCOMPARE(Run(tool + " plot " + dir.File("n.csv") + roles + dir.File("e.svg") + " >" +
                     dir.File("n.csv") + err),
                 1 << 8);  // std::system's status: exit status 1
        const QString said = QString::fromUtf8(Slurp(dir.File("err")));
        QVERIFY2(said.contains(QStringLiteral(u"は空です (0 バイト)")) &&
                     said.contains(QStringLiteral("is empty (0 bytes)")) &&
                     said.contains(QStringLiteral("(> ") + QString::fromStdString(dir.File("n.csv")) + ")"),
                 qPrintable(said));
        QVERIFY(!QFile::exists(QString::fromStdString(dir.File("e.svg"))));
    }

    void ThePlotsAxisAndPixels() {
        // Offset data keep their digits on the axis: distinct texts, each its tick.
        Extended step = 0;
        const std::vector<Extended> ticks = plot::AxisTicks(1e12L + 0.05L, 1e12L + 0.95L, 6, step);
        QVERIFY(ticks.size() >= 4 && ticks.size() <= 10);
        QCOMPARE(step, 0.2L);
        QStringList texts;
        for (Extended t : ticks) texts.append(plot::TickText(t, step, ','));
        QCOMPARE(texts.front(), QStringLiteral("1000000000000,2"));
        QCOMPARE(texts.removeDuplicates(), 0);
        QCOMPARE(plot::TickText(0, 0.5L, '.'), QStringLiteral("0"));
        QCOMPARE(plot::TickText(-2.5L, 0.5L, '.'), QStringLiteral("-2.5"));

        StudyStore study;
        LoadStudyFile(study, kEightSubjects);
        const plot::InteractionPlotData data = plot::PlotDataOf(StudyAnalysis(study, '.'), '.');
        QCOMPARE(data.levelsB, (QStringList{"b1", "b2", "b3"}));
        QCOMPARE(data.means[5], 23.0L);  // a2 b3
        QVERIFY(data.bars[5].has_value());
        // One line colour per level of A, at any size.
        for (const QSize size : {QSize(960, 720), QSize(60, 40), QSize(3000, 1200)}) {
            const QImage image =
                QImage::fromData(plot::RenderPlotFile(data, plot::PlotFileType::Png, size), "PNG");
            QCOMPARE(image.size(), size);
            if (size.width() < 100) continue;
            bool blue = false, orange = false;
            for (int y = 0; y < image.height(); y += 2)
                for (int x = 0; x < image.width(); ++x) {
                    const QRgb p = image.pixel(x, y) & 0xFFFFFF;
                    blue = blue || p == 0x0072B2;
                    orange = orange || p == 0xD55E00;
                }
            QVERIFY(blue && orange);
        }
    }

    void TheQuantilePlotsShowEachStratumAndItsOutliers() {
        // Twelve subjects of scattered scores, the fifth far off in one cell.
        const auto score = [](int s, int a, int b) {
            const int noise = (s * 37 + a * 11 + b * 7 + s * a * b * 5) % 13;
            return std::to_string(s == 5 && a == 2 && b == 3 ? 90 : 20 + noise + 3 * b);
        };
        StudyStore study;
        FillStudy(study, 12, 2, 3, score);
        const plot::QuantilePlotData data = plot::QuantilePlotDataOf(StudyAnalysis(study, ','), ',', true);
        QCOMPARE(data.panels.size(), std::size_t{4});
        QCOMPARE(data.panels[0].title, QStringLiteral(u"被験者 (S)"));
        QCOMPARE(data.panels[3].title, QStringLiteral("A x B x S"));
        QCOMPARE(data.panels[3].points.size(), std::size_t{72});
        QVERIFY2(QRegularExpression(
                     QStringLiteral(u"^残差 72 個 · Shapiro-Wilk W = ,\\d{4}; p (= ,\\d{3}|< ,001)$"))
                     .match(data.panels[3].detail)
                     .hasMatch(),
                 qPrintable(data.panels[3].detail));
        const QString caption = plot::QuantilePlotCaption(data);
        QVERIFY(caption.contains(QStringLiteral("y = x")) && caption.contains(QStringLiteral("(i − 3/8)")));
        QVERIFY(!caption.contains(QStringLiteral(u"1000 個を超える")));

        // Counts of the points' blue and the outliers' vermilion in each quarter of the image.
        struct Inks {
            int blue[4] = {}, vermilion[4] = {};
        };
        const auto inks = [](const plot::QuantilePlotData& d, QSize size) {
            QImage image(size, QImage::Format_RGB32);
            {
                QPainter painter(&image);
                plot::PaintQuantilePlot(painter, QRectF(QPointF(0, 0), QSizeF(size)), d);
            }
            Inks found;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    const int quarter = (y * 2 / image.height()) * 2 + x * 2 / image.width();
                    found.blue[quarter] += c.blue() > c.red() + 80;
                    found.vermilion[quarter] += c.red() > c.blue() + 80 && c.red() > 150;
                }
            return found;
        };
        const Inks drawn = inks(data, QSize(800, 600));
        for (int k = 0; k < 4; ++k) QVERIFY2(drawn.blue[k] > 40, qPrintable(QString::number(k)));
        QVERIFY(drawn.vermilion[3] > 10);  // the fifth subject's residual in A x B x S
        inks(data, QSize(60, 40));         // too small for its text, and drawn all the same

        // A study of one score throughout has no residuals: four panels that say so.
        StudyStore constant;
        FillStudy(constant, 4, 2, 2, [](int, int, int) { return std::string("7"); });
        const plot::QuantilePlotData none = plot::QuantilePlotDataOf(StudyAnalysis(constant, '.'), '.', true);
        QCOMPARE(none.panels.size(), std::size_t{4});
        for (const plot::QuantilePanel& panel : none.panels) {
            QVERIFY(panel.points.empty());
            QCOMPARE(panel.detail, QStringLiteral(u"残差はすべて 0"));
        }
        const Inks blank = inks(none, QSize(800, 600));
        for (int k = 0; k < 4; ++k) QVERIFY(blank.blue[k] == 0 && blank.vermilion[k] == 0);
        // Its words, out of the runs of text the drawing breaks them into.
        const QString words =
            QString::fromUtf8(plot::RenderPlotFile(none, plot::PlotFileType::Svg, {800, 600}))
                .remove(QRegularExpression(QStringLiteral("<[^>]*>|\\s")));
        QCOMPARE(words.count(QStringLiteral(u"残差なし")), 4);
        QVERIFY(plot::QuantilePlotDataOf(anova::Analysis{}, '.', true).Empty());

        // The files: a PNG of the size, an SVG of the title and caption, one PDF page.
        const QImage png =
            QImage::fromData(plot::RenderPlotFile(data, plot::PlotFileType::Png, QSize(640, 480)), "PNG");
        QCOMPARE(png.size(), QSize(640, 480));
        const QByteArray svg = plot::RenderPlotFile(data, plot::PlotFileType::Svg, QSize(640, 480));
        QVERIFY(QSvgRenderer(svg).isValid());
        QVERIFY(QString::fromUtf8(svg).contains(QStringLiteral(u"<title>正規 Q-Q プロット</title>")));
        QVERIFY(QString::fromUtf8(svg).contains(caption.toHtmlEscaped()));
        QCOMPARE(PdfPages(plot::RenderPlotFile(data, plot::PlotFileType::Pdf, QSize(640, 480))), 1);

        // More than a thousand residuals: the tails and evenly spaced ranks, said in the caption.
        StudyStore large;
        FillStudy(large, 60, 4, 5, score);
        const plot::QuantilePlotData thinned = plot::QuantilePlotDataOf(StudyAnalysis(large, '.'), '.', true);
        QCOMPARE(thinned.panels[3].residuals, std::size_t{1200});
        QCOMPARE(thinned.panels[3].points.size(), std::size_t{1000});
        QVERIFY(plot::QuantilePlotCaption(thinned).contains(QStringLiteral(u"1000 個を超える層")));
    }

    void MorvanePlotWritesFilesThatOpen() {
        const auto run = [&](const std::string& args) {
            const std::string command =
                std::string(MORVANE_TOOL) + " plot " + args + " 2>" + dir_.File("err");
            const int raw = std::system(command.c_str());
            return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        };
        const std::string study = std::string(kEightSubjects);
        QCOMPARE(run(study + " " + dir_.File("p.png") + " --width 640 --height 480"), 0);
        QCOMPARE(QImage::fromData(FileBytes(dir_.File("p.png")), "PNG").size(), QSize(640, 480));
        QCOMPARE(run(study + " " + dir_.File("p.svg")), 0);
        QSvgRenderer svg(FileBytes(dir_.File("p.svg")));
        QVERIFY(svg.isValid());
        QCOMPARE(svg.viewBoxF(), QRectF(0, 0, 800, 600));
        QVERIFY(QString::fromUtf8(FileBytes(dir_.File("p.svg")))
                    .contains(QStringLiteral(u"誤差線は被験者内 95% 信頼区間")));
        // The error bars it is told, named in the drawing's description.
        QCOMPARE(run(study + " " + dir_.File("se.svg") + " --error-bars se"), 0);
        QVERIFY(QString::fromUtf8(FileBytes(dir_.File("se.svg")))
                    .contains(QStringLiteral(u"誤差線は平均 ± 標準誤差")));
        QCOMPARE(run("--error-bars ci95 " + study + " " + dir_.File("ci.png") + " --width 640 --height 480"),
                 0);
        QVERIFY(FileBytes(dir_.File("ci.png")) != FileBytes(dir_.File("p.png")));
        QCOMPARE(run("--height 300 " + study + " " + dir_.File("p.PDF")), 0);
        const QByteArray pdf = FileBytes(dir_.File("p.PDF"));
        QCOMPARE(PdfPages(pdf), 1);
        QVERIFY(pdf.contains("/MediaBox [0 0 600.000000 225.000000]"));
        // The Q-Q plots in place of the interaction plot; without error bars.
        QCOMPARE(run(study + " " + dir_.File("qq.svg") + " --qq"), 0);
        QVERIFY(FileBytes(dir_.File("qq.svg")) != FileBytes(dir_.File("p.svg")));
        QVERIFY(
            QString::fromUtf8(FileBytes(dir_.File("qq.svg"))).contains(QStringLiteral(u"正規 Q-Q プロット")));
        QCOMPARE(run(study + " " + dir_.File("qq.png") + " --qq --error-bars se"), 2);
        QVERIFY(ReadBytes(dir_.File("err")).find("--error-bars is for the interaction plot") !=
                std::string::npos);
        QVERIFY(!QFile::exists(QString::fromStdString(dir_.File("qq.png"))));
        // Usage errors, and a study whose score is not a number.
        for (const std::string& bad :
             {study + " p.txt", study + " p.png --width 0", study + " p.png --height", study,
              study + " p.png extra", study + " p.png --error-bars sd", study + " p.png --error-bars"})
            QCOMPARE(run(bad), 2);
        testing::WriteBytes(dir_.File("bad.dat"), "1\r\n1\r\n1\r\na\r\nb\r\nx1\r\n");
        QCOMPARE(run(dir_.File("bad.dat") + " " + dir_.File("bad.png")), 1);
        QVERIFY(ReadBytes(dir_.File("err")).find("morvane: 'x1'") != std::string::npos);
        QVERIFY(!QFile::exists(QString::fromStdString(dir_.File("bad.png"))));
    }
};

QTEST_MAIN(DesignPlotTest)
#include "DesignPlotTest.moc"
