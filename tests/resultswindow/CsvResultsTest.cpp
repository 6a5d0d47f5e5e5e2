// The plot of a long CSV's design in the results window: the choice of the
// error bars redrawing it and kept through a re-reading, its export through
// the file dialog, and the same figure as morvane plot draws.

#include <sys/wait.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "exchange/LongCsv.h"
#include "plot/DesignPlot.h"
#include "resultswindow/AnalysisExport.h"
#include "resultswindow/InteractionPlotView.h"
#include "resultswindow/ResultsWindow.h"
#include "support/Components.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"

using namespace morvane;

namespace {

const std::string kMixed = MORVANE_EXAMPLES "/mixed-design.csv";
const std::string kRoles = " --id subject --dv score --within time --between group ";

QByteArray FileBytesOf(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("unreadable");
}

bool Exists(const std::string& path) {
    return QFile::exists(QString::fromStdString(path));
}

}  // namespace

class CsvResultsTest : public QObject {
    Q_OBJECT

    testing::TempDir dir_;
    testing::FakeSeams seams_;
    std::unique_ptr<QWidget> owner_;
    ResultsWindow* window_ = nullptr;

    // The window of the CSV at `path`, as ＯＫ of the roles dialog opens it.
    void Open(const std::string& path) {
        owner_ = std::make_unique<QWidget>();
        window_ = new ResultsWindow(owner_.get(), seams_.Seams(), '.');
        CsvSource source{path, {"subject", "score", {"time"}, {"group"}}, {}};
        const QByteArray bytes = FileBytesOf(path);
        window_->ShowCsv(source, bytes.toStdString(), ReadLongCsv(bytes.toStdString(), source.roles));
    }
    const InteractionPlotView* View() const {
        return window_->findChild<InteractionPlotView*>(QStringLiteral("InteractionPlot"));
    }
    QComboBox* Choice() const { return window_->findChild<QComboBox*>(QStringLiteral("ErrorBarsChoice")); }
    QString Caption() const { return window_->findChild<QLabel*>(QStringLiteral("PlotCaption"))->text(); }

    // The plot's export to `name` in the test's folder, through the dialog.
    std::string ExportTo(const std::string& name) {
        seams_.dialogs.Choose(QString::fromStdString(dir_.File(name)));
        testing::Button(window_, "ExportPlotButton")->click();
        return dir_.File(name);
    }

private slots:
    void init() {
        seams_.dialogs = {};
        seams_.messages.Clear();
    }
    void cleanup() { owner_.reset(); }

    // The choice offers the three bars of the typed study's window; each
    // redraws the plot with its intervals and names them in the caption, and
    // it stays through 英語で出力 and 再読み込み.
    void TheChoiceRedrawsThePlotAndStays() {
        const std::string csv = dir_.File("mixed.csv");
        QVERIFY(QFile::copy(QString::fromStdString(kMixed), QString::fromStdString(csv)));
        Open(csv);
        QCOMPARE(Choice()->count(), 3);
        const plot::ErrorBars kinds[] = {plot::ErrorBars::WithinCi95, plot::ErrorBars::Ci95,
                                         plot::ErrorBars::Se};
        for (int i = 0; i < 3; ++i) QCOMPARE(Choice()->itemText(i), plot::ErrorBarsCaption(kinds[i]));
        QCOMPARE(View()->Data().barsShown, plot::ErrorBars::WithinCi95);

        // Each choice redraws (the bars' widths tell them apart); the figures
        // themselves are compared with the tool's below.
        std::vector<Extended> widths;  // of the first cell's bar, for each choice
        for (int i : {1, 2, 0}) {
            Choice()->setCurrentIndex(i);
            const plot::InteractionPlotData& data = View()->Data();
            QCOMPARE(data.barsShown, kinds[i]);
            QCOMPARE(window_->ErrorBarsShown(), kinds[i]);
            QVERIFY(data.barsWithinGroups && data.bars.front().has_value());
            widths.push_back(data.bars.front()->high - data.bars.front()->low);
            QCOMPARE(Caption(), plot::PlotCaption(data));
            QVERIFY(Caption().contains(plot::ErrorBarsCaption(kinds[i])));
        }
        QVERIFY(widths[0] != widths[1] && widths[1] != widths[2] && widths[0] != widths[2]);

        // The standard error chosen: kept when the language toggles and when
        // the file is read again (the page made anew, its plot of the new data).
        window_->SetErrorBars(plot::ErrorBars::Se);
        QCOMPARE(Choice()->currentIndex(), 2);
        window_->findChild<QCheckBox*>(QStringLiteral("EnglishCheck"))->setChecked(true);
        QCOMPARE(View()->Data().barsShown, plot::ErrorBars::Se);
        QByteArray changed = FileBytesOf(csv);
        changed.replace("c01,control,pre,10.6", "c01,control,pre,30.6");
        testing::WriteBytes(csv, changed.toStdString());
        testing::Button(window_, "RereadButton")->click();
        QVERIFY(seams_.messages.Shown().isEmpty());
        QCOMPARE(Choice()->currentIndex(), 2);
        QCOMPARE(View()->Data().barsShown, plot::ErrorBars::Se);
        QVERIFY(View()->Data().means ==
                plot::PlotDataOf(window_->Analysis(), '.', plot::ErrorBars::Se).means);
        QVERIFY(View()->Data().bars.front()->high - View()->Data().bars.front()->low != widths[1]);
        QVERIFY(Caption().contains(plot::ErrorBarsCaption(plot::ErrorBars::Se)));
    }

    // More levels along the axis than the plot has pixel columns: the plot is
    // summed up per column and its caption says so, naming no error bars; a
    // plot wide enough for every level draws them and names them again.
    void TheCaptionFollowsTheSummedPlot() {
        std::string text = "subject,score,time,group\n";
        for (int s = 0; s < 4; ++s)
            for (int t = 0; t < 1500; ++t)
                text += "s" + std::to_string(s) + "," + std::to_string((s * 7 + t * 3) % 11) + ",t" +
                        std::to_string(t) + "," + (s < 2 ? "a" : "b") + "\n";
        const std::string csv = dir_.File("long.csv");
        testing::WriteBytes(csv, text);
        Open(csv);
        auto* view = window_->findChild<InteractionPlotView*>(QStringLiteral("InteractionPlot"));
        view->resize(600, 400);
        QVERIFY(view->Summed());
        QCOMPARE(Caption(), plot::PlotCaption(view->Data(), true));
        QVERIFY(!Caption().contains(plot::ErrorBarsCaption(view->Data().barsShown)));
        view->resize(4000, 400);
        QVERIFY(!view->Summed());
        QVERIFY(Caption().contains(plot::ErrorBarsCaption(view->Data().barsShown)));
    }

    // The arrangement's choices list the design's factors; each redraws the
    // plot, a factor taken by one leaves the others, and the choices stay
    // through 英語で出力 as the bars do.
    void TheArrangementChoicesRedrawThePlot() {
        Open(kMixed);
        const auto choice = [this](const char* name) {
            return window_->findChild<QComboBox*>(QLatin1String(name));
        };
        QComboBox* axis = choice("AxisChoice");
        QComboBox* lines = choice("LinesChoice");
        QComboBox* panels = choice("PanelsChoice");
        QComboBox* subjects = choice("SubjectsChoice");
        QVERIFY(axis && lines && panels && subjects);
        QCOMPARE(axis->count(), 3);   // 自動, group, time
        QCOMPARE(lines->count(), 4);  // 自動, なし, group, time
        QCOMPARE(View()->Data().axisTitle, QStringLiteral(u"要因 time"));

        axis->setCurrentIndex(axis->findData(QStringLiteral("group")));
        QCOMPARE(View()->Data().axisTitle, QStringLiteral(u"要因 group"));
        QCOMPARE(View()->Data().levelsA, QStringList({"pre", "post", "follow-up"}));
        // The group taken by the lines: the axis back to 自動, time along it.
        lines->setCurrentIndex(lines->findData(QStringLiteral("group")));
        QCOMPARE(axis->currentIndex(), 0);
        QCOMPARE(View()->Data().axisTitle, QStringLiteral(u"要因 time"));
        QCOMPARE(View()->Data().legendTitle, QStringLiteral(u"要因 group"));
        // Time in the panels: a panel per time, the group along the axis, lines 自動 again.
        panels->setCurrentIndex(panels->findData(QStringLiteral("time")));
        QCOMPARE(lines->currentIndex(), 0);
        QCOMPARE(View()->Data().panelTitles.size(), 3);
        QCOMPARE(View()->Data().axisTitle, QStringLiteral(u"要因 group"));
        QVERIFY(View()->Data().subjects.empty());

        subjects->setCurrentIndex(1);  // 線
        QCOMPARE(View()->Data().subjectsShown, plot::SubjectsShown::Lines);
        QCOMPARE(static_cast<std::int64_t>(View()->Data().subjects.size()), window_->Analysis().subjects * 3);
        QVERIFY(Caption().contains(QStringLiteral(u"各被験者")));
        const plot::InteractionPlotData before = View()->Data();
        window_->findChild<QCheckBox*>(QStringLiteral("EnglishCheck"))->setChecked(true);
        QCOMPARE(panels->currentData().toString(), QStringLiteral("time"));
        QCOMPARE(subjects->currentIndex(), 1);
        QCOMPARE(View()->Data().panelTitles, before.panelTitles);
        QCOMPARE(View()->Data().subjects.size(), before.subjects.size());
    }

    // Each of the three types written as chosen; the dialog starts beside the
    // CSV with a name of its own; a file of someone else's kept when the
    // replace question is answered いいえ; the CSV itself, an unknown type and
    // an unwritable folder refused with a message and nothing written.
    void TheExportWritesEachTypeAndRefusesWhatItMayNot() {
        const std::string csv = dir_.File("trial.csv");
        QVERIFY(QFile::copy(QString::fromStdString(kMixed), QString::fromStdString(csv)));
        Open(csv);
        const std::string png = ExportTo("plot.png");
        QCOMPARE(seams_.dialogs.Calls().back().fileName, QString::fromStdString(dir_.File("trial-plot.png")));
        QCOMPARE(seams_.dialogs.lastFilters, PlotNameFilters());
        QVERIFY(FileBytesOf(png).startsWith("\x89PNG"));
        QVERIFY(FileBytesOf(ExportTo("plot.svg")).contains("<svg"));
        QVERIFY(FileBytesOf(ExportTo("plot.pdf")).startsWith("%PDF"));
        QVERIFY(seams_.messages.Shown().isEmpty());
        // The next dialog starts with the name chosen last; its own file replaced without a question.
        ExportTo("plot.pdf");
        QCOMPARE(seams_.dialogs.Calls().back().fileName, QString::fromStdString(dir_.File("plot.pdf")));
        QVERIFY(seams_.messages.AskedReplace().isEmpty());

        testing::WriteBytes(dir_.File("other.svg"), "keep");
        seams_.messages.AnswerReplace(false);
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("other.svg")));
        seams_.dialogs.Cancel();  // the dialog shown again after いいえ
        window_->ExportPlot();
        QCOMPARE(seams_.messages.AskedReplace().size(), 1);
        QCOMPARE(seams_.dialogs.Calls().back().fileName, QString::fromStdString(dir_.File("other.svg")));
        QCOMPARE(FileBytesOf(dir_.File("other.svg")), QByteArray("keep"));
        QVERIFY(seams_.messages.Shown().isEmpty());

        const QByteArray before = FileBytesOf(csv);
        ExportTo("trial.csv");  // refused before any question of replacing it
        QCOMPARE(seams_.messages.Shown().size(), 1);
        QCOMPARE(seams_.messages.AskedReplace().size(), 1);
        QCOMPARE(FileBytesOf(csv), before);
        ExportTo("plot.txt");
        QCOMPARE(seams_.messages.Shown().size(), 2);
        QVERIFY(seams_.messages.Shown().back().contains(QStringLiteral(".png")));
        QVERIFY(!Exists(dir_.File("plot.txt")));
        ExportTo("missing/plot.png");
        QCOMPARE(seams_.messages.Shown().size(), 3);
        QVERIFY(!Exists(dir_.File("missing/plot.png")));
        QCOMPARE(seams_.dialogs.Pending(), std::size_t{0});
    }

    // For each choice of bars, the SVG the window writes is the one morvane
    // plot writes of the same CSV at the same size.
    void TheWindowAndTheToolDrawTheSameFigure() {
        Open(kMixed);
        for (int i = 0; i < Choice()->count(); ++i) {
            Choice()->setCurrentIndex(i);
            const auto bars = static_cast<plot::ErrorBars>(Choice()->itemData(i).toInt());
            const std::string name = plot::ErrorBarsName(bars);
            const std::string shown = ExportTo(name + "-window.svg"), tool = dir_.File(name + "-tool.svg");
            const std::string command = "LC_ALL=C " + std::string(MORVANE_TOOL) + " plot " + kMixed + kRoles +
                                        tool + " --width " + std::to_string(kExportPlotSize.width()) +
                                        " --height " + std::to_string(kExportPlotSize.height()) +
                                        " --error-bars " + name;
            const int raw = std::system(command.c_str());
            QVERIFY(WIFEXITED(raw) && WEXITSTATUS(raw) == 0);
            QVERIFY(FileBytesOf(shown).contains("<svg"));
            QCOMPARE(FileBytesOf(shown), FileBytesOf(tool));
        }
        QVERIFY(FileBytesOf(dir_.File("within-window.svg")) != FileBytesOf(dir_.File("se-window.svg")));
        QVERIFY(seams_.messages.Shown().isEmpty());
    }
};

int RunCsvResultsTest(int argc, char** argv) {
    CsvResultsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "CsvResultsTest.moc"
