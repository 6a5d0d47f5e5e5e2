// The interaction plot of any design: its data and panels from the design's
// analysis, the plot of two within factors drawn as the typed study's plot,
// and morvane plot on a long CSV.

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTest>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "analysis/FullAnalysis.h"
#include "design/DesignAnalysis.h"
#include "design/LongCsv.h"
#include "plot/DesignPlot.h"
#include "plot/PlotFiles.h"
#include "store/DataFile.h"
#include "store/StudyStore.h"
#include "support/TempDir.h"

using namespace morvane;

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

}  // namespace

class DesignPlotTest : public QObject {
    Q_OBJECT

private slots:
    // The panels of a design of one group factor and two within factors: a
    // panel per group titled with its level, a line per cue, time along the
    // axis, every cell's mean in its place, and one scale for every panel.
    void PanelsOfAGroupFactorShareOneScale() {
        LongCsvRoles roles{"id", "score", {"cue", "time"}, {"group"}};
        const DesignAnalysis analysis = AnalyseDesign(ReadLongCsv(MixedCsv(), roles));
        const plot::InteractionPlotData d = plot::DesignPlotDataOf(analysis, ',', plot::ErrorBars::Se);
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
        const plot::InteractionPlotData within = plot::DesignPlotDataOf(analysis, '.');
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
            plot::DesignPlotDataOf(AnalyseDesign(ReadLongCsv(MixedCsv(), one)), '.');
        QVERIFY(single.panelTitles.isEmpty());
        QCOMPARE(single.levelsA.size(), 1);
        QCOMPARE(single.means.size(), std::size_t{3});
        QVERIFY(!QImage::fromData(plot::RenderPlotFile(single, plot::PlotFileType::Png, {400, 300}), "PNG")
                     .isNull());
    }

    // A design of two within factors and no groups draws exactly as the typed
    // study of the same scores: same caption, same SVG, same pixels.
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
        const DesignAnalysis design = AnalyseDesign(ReadLongCsv(csv.str(), {"s", "y", {"A", "B"}, {}}));
        const FullAnalysis typed = AnalyseStudy(study, '.');
        for (const plot::ErrorBars bars : {plot::ErrorBars::WithinCi95, plot::ErrorBars::Ci95}) {
            const plot::InteractionPlotData today = plot::PlotDataOf(typed, '.', bars),
                                            general = plot::DesignPlotDataOf(design, '.', bars);
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

    // morvane plot on the bundled mixed design: a PNG and an SVG that name the
    // factors; a missing role and --qq refused with a message.
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
        QVERIFY(Run(tool + " plot " + csv + roles + "--qq " + dir.File("q.png") + err) != 0);
        QVERIFY(Slurp(dir.File("err")).contains("--qq"));
        QVERIFY(!QFile::exists(QString::fromStdString(dir.File("x.png"))));
        QVERIFY(!QFile::exists(QString::fromStdString(dir.File("q.png"))));
    }
};

QTEST_MAIN(DesignPlotTest)
#include "DesignPlotTest.moc"
