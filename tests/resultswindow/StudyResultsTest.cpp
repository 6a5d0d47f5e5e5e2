// The results window of a data file's study as the user meets it: 分  析 in the
// data window, the published figures of the bundled study to ten significant
// digits, undefined statistics, Ctrl+C, the copies of the summary table and the
// sentences, every export type, the information after Calculate, the window's
// place on the screen, the plot's error bars, and the pages of the model
// checks with the Q-Q plots of the residuals.

#include <sys/wait.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QImage>
#include <QMimeData>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QSvgRenderer>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTime>
#include <algorithm>
#include <cstdlib>
#include <memory>

#include "anova/Analysis.h"
#include "anova/StudyPrecision.h"
#include "datawindow/DataWindow.h"
#include "design/StudyDesign.h"
#include "output/AnalysisTables.h"
#include "output/AnovaFormats.h"
#include "output/ResultTables.h"
#include "plot/InteractionPlot.h"
#include "plot/QuantilePlot.h"
#include "report/CalculateCommand.h"
#include "resultswindow/AnalysisExport.h"
#include "resultswindow/AnalysisTableModel.h"
#include "resultswindow/InteractionPlotView.h"
#include "resultswindow/QuantilePlotView.h"
#include "resultswindow/ResultsWindow.h"
#include "runtime/NumberText.h"
#include "store/DataFile.h"
#include "support/Components.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"
#include "support/WindowDriving.h"

using namespace morvane;
using morvane::testing::ReadBytes;

namespace {

const char* const kEightSubjects = MORVANE_EXAMPLES "/eight-subjects-2x3.dat";

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

QTableView* Table(QWidget* window, const char* name) {
    return testing::Find<QTableView>(window, name);
}

int Column(QTableView* view, const QString& heading) {
    for (int c = 0; c < view->model()->columnCount(); ++c)
        if (view->model()->headerData(c, Qt::Horizontal).toString() == heading) return c;
    return -1;
}

int Row(QTableView* view, const QString& first, int from = 0) {
    for (int r = from; r < view->model()->rowCount(); ++r)
        if (view->model()->index(r, 0).data().toString() == first) return r;
    return -1;
}

QString Cell(QTableView* view, const QString& row, const QString& column) {
    return view->model()->index(Row(view, row), Column(view, column)).data().toString();
}

QString Digits10(long double value) {
    return QString::fromStdString(GeneralText(value, 10));
}

// Every cell of every table of the window.
QStringList AllCells(QWidget* window) {
    QStringList cells;
    for (QTableView* view : window->findChildren<AnalysisTableView*>())
        for (int r = 0; r < view->model()->rowCount(); ++r)
            for (int c = 0; c < view->model()->columnCount(); ++c)
                cells.append(view->model()->index(r, c).data().toString());
    return cells;
}

int PdfPages(const QByteArray& pdf) {
    return static_cast<int>(pdf.count(QByteArrayLiteral("/Type /Page\n")) +
                            pdf.count(QByteArrayLiteral("/Type /Page ")) +
                            pdf.count(QByteArrayLiteral("/Type /Page/")));
}

QByteArray FileBytes(const std::string& path) {
    return QByteArray::fromStdString(ReadBytes(path));
}

// The analysis 分析 forms of the study `store`.
anova::Analysis StudyAnalysis(const StudyStore& store) {
    return anova::Analyse(DesignFromStudy(store, '.'));
}

// What the window's copies and exports are written with, in `language`.
OutputOptions StudyOptions(OutputLanguage language, Provenance provenance) {
    OutputOptions options;
    options.language = language;
    options.layout = OutputLayout::Study;
    options.provenance = std::move(provenance);
    return options;
}

// The study of the data file `study` in `format` and `language`, as the
// window's 書き出し writes it: with the precision check of its results file,
// naming the bytes of `analysed`.
std::string StudyFormat(const std::string& study, AnovaFormat format, OutputLanguage language,
                        const std::string& analysed) {
    StudyStore store;
    LoadStudyFile(store, study);
    const anova::Analysis analysis = StudyAnalysis(store);
    const PrecisionCheck precision = anova::CheckStudyResultsFile(store, '.', analysis);
    return FormatAnalysis(analysis, format, StudyOptions(language, ProvenanceOfFile(analysed)), &precision);
}

}  // namespace

class StudyResultsTest : public QObject {
    Q_OBJECT

    testing::TempDir dir_;
    testing::FakeSeams seams_;
    StudyStore store_;
    QWidget owner_;
    std::unique_ptr<DataWindow> form_;

    DataWindow* OpenShown() {
        form_ = std::make_unique<DataWindow>(&owner_, store_, seams_.Seams(), '.');
        return testing::ShowActive(form_.get()) ? form_.get() : nullptr;
    }
    ResultsWindow* Window() { return form_->Results(); }
    ResultsWindow* PressAnalysis() {
        testing::Button(form_, "AnalysisButton")->click();
        return Window();
    }

private slots:
    void init() {
        seams_.dialogs = {};
        seams_.messages.Clear();
        store_ = {};
    }
    void cleanup() { form_.reset(); }

    void TheButtonShowsThePublishedFiguresToTenDigits() {
        LoadStudyFile(store_, kEightSubjects);
        QVERIFY(OpenShown() != nullptr);
        QPushButton* button = testing::Button(form_, "AnalysisButton");
        QCOMPARE(button->text(), QStringLiteral(u"分  析"));
        QCOMPARE(button->geometry(), QRect(400, 248, 75, 25));
        // The tab order: the tabs and the grid, then the buttons as they stand
        // from top to bottom (walked from 終了, with the grid's editor, which is
        // the grid's own part, closed).
        QStringList order;
        QWidget* w = testing::Button(form_, "ExitButton");
        w->setFocus();
        const QWidget* grid = testing::Grid(form_, "StringGrid1");
        const QWidget* tabs = testing::Tabs(form_, "TabControl1");
        for (int i = 0; i < 200 && order.size() < 7; ++i, w = w->nextInFocusChain())
            if (!w->objectName().isEmpty() && w->objectName() != QStringLiteral("qt_scrollarea_viewport") &&
                !order.contains(w->objectName()) && (w->focusPolicy() & Qt::TabFocus) &&
                (w == grid || !grid->isAncestorOf(w)) && (w == grid || w == tabs || !tabs->isAncestorOf(w)))
                order.append(w->objectName());
        QCOMPARE(order, (QStringList{"ExitButton", "TabControl1", "StringGrid1", "SaveButton", "CalcButton",
                                     "PButton", "AnalysisButton"}));
        QVERIFY(Window() == nullptr);

        QWidget* window = PressAnalysis();
        QVERIFY(window != nullptr);
        QVERIFY(seams_.messages.Shown().isEmpty());
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->windowTitle(), QStringLiteral(u"分析結果"));
        QVERIFY(window->isWindow() && !window->isModal());
        QVERIFY(form_->isVisible() && form_->isEnabled());

        QTableView* summary = Table(window, "SummaryTable");
        QTableView* sphericity = Table(window, "SphericityTable");
        const struct {
            const char *effect, *column;
            long double value;
        } figures[] = {
            {"A", "F 値", 40.141592920354L},
            {"A", "p 値", 0.000390526338119925L},
            {"B", "F 値", 29.2173913043478L},
            {"B", "p 値", 1.00754887486423e-05L},
            {"B", "p (GG)", 0.000533260776130144L},
            {"B", "p (HF)", 0.000380944153179853L},
            {"A x B", "F 値", 17.1054545454546L},
            {"A x B", "p 値", 0.00017413216664976L},
            {"A x B", "p (GG)", 0.00204614204429811L},
            {"A x B", "p (HF)", 0.00134114071845174L},
            {"A", "一般化 η²", 0.532019704433497L},
            {"B", "一般化 η²", 0.638783269961977L},
            {"A x B", "一般化 η²", 0.370860927152318L},
            {"A", "偏 η²", 0.851511169513798L},
            {"B", "偏 η²", 0.80672268907563L},
            {"A x B", "偏 η²", 0.70960929250264L},
        };
        for (const auto& f : figures)
            QCOMPARE(Cell(summary, QString::fromUtf8(f.effect), QString::fromUtf8(f.column)),
                     Digits10(f.value));
        const struct {
            const char *effect, *column;
            long double value;
        } tests[] = {
            {"B", "Mauchly の W", 0.23876393657652L},      {"B", "p 値", 0.0136115064059063L},
            {"B", "ε (GG)", 0.567783059163691L},           {"B", "ε (HF)", 0.604024965543516L},
            {"A x B", "Mauchly の W", 0.377295867768595L}, {"A x B", "p 値", 0.0537088862013275L},
            {"A x B", "ε (GG)", 0.616255286553615L},       {"A x B", "ε (HF)", 0.681413003395175L},
        };
        for (const auto& f : tests)
            QCOMPARE(Cell(sphericity, QString::fromUtf8(f.effect), QString::fromUtf8(f.column)),
                     Digits10(f.value));
        QCOMPARE(sphericity->model()->rowCount(), 2);  // A has one degree of freedom
        QTableView* comparisons = Table(window, "ComparisonsTable");
        const int marginalA = Row(comparisons, QStringLiteral("A"));
        QCOMPARE(comparisons->model()->index(marginalA, 1).data().toString(), QStringLiteral(u"全体"));
        QCOMPARE(comparisons->model()->index(marginalA, Column(comparisons, "t")).data().toString(),
                 Digits10(-6.33573933494379L));
        // The corrected df of B: epsilon times (2, 14).
        QCOMPARE(Cell(summary, "B", "df1 (GG)"), Digits10(2 * 0.567783059163691L));
        QCOMPARE(Cell(summary, "B", "df2 (GG)"), Digits10(14 * 0.567783059163691L));
        // The results file is exact for this study: no notice.
        QVERIFY(!testing::Find<QLabel>(window, "PrecisionNotice")->isVisible());
        QCOMPARE(Table(window, "CellMeansTable")->model()->rowCount(), 6);
        QCOMPARE(Cell(Table(window, "CellMeansTable"), "a2", u8"平均"), QStringLiteral("10"));

        // 分析 again brings the same window up to date with the study as it then is,
        // the shown level written back first.
        QAbstractItemModelTester tester(Table(window, "CellMeansTable")->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(testing::ShowActive(form_.get()));
        testing::TypeInCell(testing::Grid(form_, "StringGrid1"), 1, 1, QStringLiteral(" 17 "));
        QCOMPARE(PressAnalysis(), window);
        QCOMPARE(store_.CellText(1, 1, 1), std::string("17"));
        QCOMPARE(Cell(Table(window, "CellMeansTable"), "a1", u8"平均"), QStringLiteral("7.25"));
        QCOMPARE(window->findChildren<AnalysisTableView*>().size(), 17);

        // A bad score: its message, and nothing else happens.
        QVERIFY(testing::ShowActive(form_.get()));
        testing::TypeInCell(testing::Grid(form_, "StringGrid1"), 2, 1, QStringLiteral("1,5x"));
        PressAnalysis();
        QCOMPARE(seams_.messages.Shown(),
                 QStringList{QStringLiteral(u"'1,5x' は浮動小数点数ではありません.\n場所: タブ 'a1'、被験者 1、水準 'b2'")});
        QCOMPARE(Cell(Table(window, "CellMeansTable"), "a1", u8"平均"), QStringLiteral("7.25"));

        // Closing it leaves the data window as it was; Close closes it too.
        window->close();
        QVERIFY(!window->isVisible());
        QVERIFY(form_->isVisible());
        QCOMPARE(testing::Grid(form_, "StringGrid1")->Cells().Cell(2, 1), std::string("1,5x"));
        QVERIFY(testing::ShowActive(form_.get()));
        testing::TypeInCell(testing::Grid(form_, "StringGrid1"), 2, 1, QStringLiteral("7"));
        seams_.messages.Clear();
        QCOMPARE(PressAnalysis(), window);
        QVERIFY(window->isVisible());
        seams_.messages.Answer(widgets::SaveAnswer::Discard);  // the typed scores were never saved
        testing::Button(form_, "ExitButton")->click();
        QVERIFY(!window->isVisible());
    }

    void UndefinedStatisticsShowAsDashes() {
        // One subject: no error terms, no intervals; no subjects at all: no means.
        for (int n : {1, 0}) {
            FillStudy(store_, n, 2, 3, [](int s, int a, int b) { return std::to_string(s + a * b); });
            QVERIFY(OpenShown() != nullptr);
            QWidget* window = PressAnalysis();
            QVERIFY(window != nullptr);
            QVERIFY(seams_.messages.Shown().isEmpty());
            QTableView* summary = Table(window, "SummaryTable");
            QCOMPARE(Cell(summary, "A", "F 値"), QString::fromUtf8(kUndefinedText));
            QCOMPARE(Cell(summary, "A x B", "p 値"), QString::fromUtf8(kUndefinedText));
            QCOMPARE(Cell(summary, "B", "p (GG)"), QString::fromUtf8(kUndefinedText));
            QCOMPARE(Cell(summary, "S", "F 値"), QString());  // not an effect: empty, not undefined
            for (const QString& cell : AllCells(window))
                QVERIFY2(!cell.contains(QStringLiteral("nan"), Qt::CaseInsensitive) &&
                             !cell.contains(QStringLiteral("inf"), Qt::CaseInsensitive),
                         qPrintable(cell));
            if (n == 1)
                QCOMPARE(Cell(Table(window, "CellMeansTable"), "a1", u8"95% CI 下限"),
                         QString::fromUtf8(kUndefinedText));
            QVERIFY(!window->grab().isNull());  // the plot paints without intervals or means
            form_.reset();
        }
    }

    void CtrlCCopiesTheSelectionAsTabSeparatedText() {
        LoadStudyFile(store_, kEightSubjects);
        QVERIFY(OpenShown() != nullptr);
        QWidget* window = PressAnalysis();
        QTableView* summary = Table(window, "SummaryTable");
        summary->setFocus();
        const QAbstractItemModel* m = summary->model();
        const int f = Column(summary, "F 値");
        summary->selectionModel()->select(QItemSelection(m->index(1, f), m->index(3, f + 1)),
                                          QItemSelectionModel::ClearAndSelect);
        QApplication::clipboard()->clear();
        QTest::keyClick(summary, Qt::Key_C, Qt::ControlModifier);
        // Rows A, AS, B; AS has no F or p.
        QCOMPARE(QApplication::clipboard()->text(),
                 QStringLiteral("40.14159292\t0.0003905263381\n\t\n29.2173913\t1.007548875e-05"));
        // Two cells apart: the rectangle between them, the others empty.
        summary->selectionModel()->select(m->index(0, 0), QItemSelectionModel::ClearAndSelect);
        summary->selectionModel()->select(m->index(1, 2), QItemSelectionModel::Select);
        QTest::keyClick(summary, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("S\t\t\n\t\t1"));
        // Every row: the headings lead.
        QTableView* precision = Table(window, "PrecisionTable");
        precision->setFocus();
        precision->selectAll();
        QTest::keyClick(precision, Qt::Key_C, Qt::ControlModifier);
        const QStringList lines = QApplication::clipboard()->text().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 9);
        QCOMPARE(lines[0], QStringLiteral(u"平方和\t計算結果ファイル\t正確な値\t正しい有効桁数"));
        QVERIFY(lines[1].startsWith(QStringLiteral("SSTotal\t1708\t1708\t")));
    }

    void CopiesOfTheTableAndTheSentencesForAWordProcessor() {
        LoadStudyFile(store_, kEightSubjects);
        QVERIFY(OpenShown() != nullptr);
        auto* window = PressAnalysis();
        QVERIFY(testing::ShowActive(window));
        StudyStore fresh;
        LoadStudyFile(fresh, kEightSubjects);
        const anova::Analysis analysis = StudyAnalysis(fresh);
        const auto copied = [] { return QApplication::clipboard()->mimeData(); };
        for (const OutputLanguage language : {OutputLanguage::Japanese, OutputLanguage::English}) {
            const ApaOptions options = StudyOptions(language, ProvenanceOfFile(kEightSubjects));
            QCOMPARE(window->CopyOptions().language, language);
            // The shortcut from wherever the focus is in the window.
            QApplication::clipboard()->clear();
            Table(window, "MeansATable")->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
            QVERIFY(copied()->hasHtml());
            QCOMPARE(copied()->html().toStdString(), ApaSummaryHtml(analysis, options));
            QCOMPARE(copied()->data("text/rtf").toStdString(), ApaSummaryRtf(analysis, options));
            QCOMPARE(copied()->data("application/rtf").toStdString(), ApaSummaryRtf(analysis, options));
            QCOMPARE(copied()->text().toStdString(), ApaSummaryTabs(analysis, options));
            // Its note is for a paper's reader: no names that only programs read.
            QVERIFY(!copied()->text().contains(QStringLiteral("JSON")) &&
                    !copied()->text().contains(QStringLiteral("pAsR")));
            // The sentences by their button, then the table by the summary table's menu.
            QApplication::clipboard()->setText(QStringLiteral("before"));
            testing::Button(window, "CopySentencesButton")->click();
            QCOMPARE(QApplication::clipboard()->text(), SentencesText(analysis, options));
            QVERIFY(
                QApplication::clipboard()->text().startsWith(QStringLiteral("A: F(1, 7) = 40.14, p < .001")));
            QVERIFY(QApplication::clipboard()->text().contains(QStringLiteral("\nB: F(1.14, 7.95) = 29.22")));
            QAction* fromMenu = nullptr;
            for (QAction* action : Table(window, "SummaryTable")->actions())
                if (action->text() == QStringLiteral(u"表をコピー")) fromMenu = action;
            QVERIFY(fromMenu != nullptr);
            fromMenu->trigger();
            QCOMPARE(copied()->data("text/rtf").toStdString(), ApaSummaryRtf(analysis, options));
            testing::Find<QCheckBox>(window, "EnglishCheck")->click();
        }
        QCOMPARE(window->CopyOptions().language, OutputLanguage::Japanese);  // unchecked again
        QVERIFY(seams_.messages.Shown().isEmpty());
    }

    void TheWindowOpensBesideTheDataWindowOnTheScreen() {
        // The window itself, on the test's screen: wholly on its free area.
        LoadStudyFile(store_, kEightSubjects);
        QVERIFY(OpenShown() != nullptr);
        QWidget* window = PressAnalysis();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(form_->screen()->availableGeometry().contains(window->frameGeometry()));
        // Moved by the user, it stays where it was put when 分析 is pressed again.
        window->move(window->pos() + QPoint(-5, -3));
        // Where the move put it, once its events are through (分析 lets them through).
        QCoreApplication::processEvents();
        const QPoint moved = window->pos();
        QCOMPARE(PressAnalysis(), window);
        QCOMPARE(window->pos(), moved);
    }

    void TheErrorBarsAreTheMeansTablesFigures() {
        LoadStudyFile(store_, kEightSubjects);
        QVERIFY(OpenShown() != nullptr);
        ResultsWindow* window = PressAnalysis();
        const anova::Analysis& analysis = window->Analysis();
        auto* choice = testing::Find<QComboBox>(window, "ErrorBarsChoice");
        auto* plot = window->findChild<QWidget*>(QStringLiteral("InteractionPlot"));
        QCOMPARE(choice->count(), 3);
        QCOMPARE(choice->currentText(), QStringLiteral(u"被験者内 95% 信頼区間"));
        QStringList captions;
        QList<QImage> pictures;
        for (int index = 0; index < choice->count(); ++index) {
            choice->setCurrentIndex(index);
            const auto& data = static_cast<InteractionPlotView*>(plot)->Data();
            QCOMPARE(static_cast<int>(data.barsShown), choice->itemData(index).toInt());
            QCOMPARE(data.bars.size(), analysis.cellMeans.size());
            for (const anova::Mean& m : analysis.cellMeans) {
                const auto& bar = data.bars[static_cast<std::size_t>(m.at[0] * 3 + m.at[1])];
                const std::optional<Interval> want =
                    data.barsShown == plot::ErrorBars::WithinCi95 ? m.withinCi95
                    : data.barsShown == plot::ErrorBars::Ci95
                        ? m.ci95
                        : std::optional<Interval>(Interval{m.mean - *m.se, m.mean + *m.se});
                QVERIFY(bar && want);
                QCOMPARE(bar->low, want->low);
                QCOMPARE(bar->high, want->high);
            }
            const QString caption = testing::Find<QLabel>(window, "PlotCaption")->text();
            QVERIFY2(caption.contains(choice->currentText()), qPrintable(caption));
            captions.append(caption);
            pictures.append(plot->grab().toImage());
        }
        QCOMPARE(captions.removeDuplicates(), 0);
        QVERIFY(pictures[0] != pictures[1] && pictures[1] != pictures[2]);
        // The choice outlives a new analysis.
        QCOMPARE(PressAnalysis(), window);
        QCOMPARE(static_cast<InteractionPlotView*>(plot)->Data().barsShown, plot::ErrorBars::Se);
    }

    void ExportWritesEachType() {
        LoadStudyFile(store_, kEightSubjects);
        QVERIFY(OpenShown() != nullptr);
        QWidget* window = PressAnalysis();
        const auto exportTo = [&](const std::string& name) {
            seams_.dialogs.Choose(QString::fromStdString(dir_.File(name)));
            testing::Button(window, "ExportButton")->click();
            return FileBytes(dir_.File(name));
        };
        // In the window's language, Japanese, until English is asked for; the
        // study as analysed is the bundled file's bytes.
        const auto expected = [](AnovaFormat format, OutputLanguage language) {
            return StudyFormat(kEightSubjects, format, language, kEightSubjects);
        };
        QCOMPARE(exportTo("tables.md").toStdString(),
                 expected(AnovaFormat::Markdown, OutputLanguage::Japanese));
        QCOMPARE(exportTo("tables.CSV").toStdString(), expected(AnovaFormat::Csv, OutputLanguage::Japanese));
        QCOMPARE(exportTo("tables.json").toStdString(),
                 expected(AnovaFormat::Json, OutputLanguage::Japanese));
        QVERIFY(FileBytes(dir_.File("tables.CSV")).contains("SSTotal"));  // the precision check's
        testing::Find<QCheckBox>(window, "EnglishCheck")->click();
        QCOMPARE(exportTo("tables.md").toStdString(),
                 expected(AnovaFormat::Markdown, OutputLanguage::English));
        QCOMPARE(seams_.dialogs.Calls().back().title, QStringLiteral(u"書き出し"));
        QCOMPARE(seams_.dialogs.Calls().back().fileName, QString::fromStdString(dir_.File("tables.json")));
        QCOMPARE(seams_.dialogs.lastFilters.size(), 6);

        const QImage png = QImage::fromData(exportTo("plot.png"), "PNG");
        QCOMPARE(png.size(), QSize(960, 720));
        QSvgRenderer svg(exportTo("plot.svg"));
        QVERIFY(svg.isValid());
        QCOMPARE(svg.viewBoxF(), QRectF(0, 0, 960, 720));
        const QByteArray pdf = exportTo("plot.pdf");
        QVERIFY(pdf.startsWith("%PDF-"));
        QCOMPARE(PdfPages(pdf), 1);
        QVERIFY(seams_.messages.Shown().isEmpty());

        // A type it does not know, and a cancel: nothing written.
        exportTo("tables.txt");
        QCOMPARE(seams_.messages.Shown().size(), 1);
        QVERIFY(seams_.messages.Shown()[0].contains(QStringLiteral(".json")));
        QVERIFY(!QFile::exists(QString::fromStdString(dir_.File("tables.txt"))));
        seams_.dialogs.Cancel();
        testing::Button(window, "ExportButton")->click();
        QCOMPARE(seams_.messages.Shown().size(), 1);
        // A folder that is not there: the file error.
        exportTo("none/plot.png");
        QCOMPARE(seams_.messages.Shown().last(), QStringLiteral(u"不正なファイル名です."));
    }

    // 書き出し writes the outputs of the study's analysis, as `morvane anova`
    // writes them, with the program's version and the SHA-256 of the bytes
    // analysed: the file it was loaded from while unchanged, else the study as
    // 保存 writes it. A file that exists and that it did not write is asked
    // about first.
    void ExportsNameTheBytesAnalysedAndAskBeforeReplacing() {
        const auto tool = [&](const std::string& study, AnovaFormat format, OutputLanguage language) {
            return QByteArray::fromStdString(StudyFormat(study, format, language, study));
        };
        const auto morvaneAnova = [&](const std::string& study, const std::string& args) {
            const std::string out = dir_.File("tool.out");
            const std::string command = std::string(MORVANE_TOOL) + " anova " + args + " " + study + " " + out;
            const int raw = std::system(command.c_str());
            return WIFEXITED(raw) && WEXITSTATUS(raw) == 0 ? FileBytes(out) : QByteArray("tool failed");
        };
        // The bundled study with LF line ends, which 保存 would not write.
        std::string lf = ReadBytes(kEightSubjects);
        lf.erase(std::remove(lf.begin(), lf.end(), '\r'), lf.end());
        testing::WriteBytes(dir_.File("lf.dat"), lf);
        LoadStudyFile(store_, dir_.File("lf.dat"));
        QVERIFY(OpenShown() != nullptr);
        form_->SetStudyFile(QString::fromStdString(dir_.File("lf.dat")));
        auto* window = PressAnalysis();
        const auto exportTo = [&](const std::string& name) {
            seams_.dialogs.Choose(QString::fromStdString(dir_.File(name)));
            window->Export();
            return FileBytes(dir_.File(name));
        };
        const QByteArray json = exportTo("loaded.json");
        QCOMPARE(json, tool(dir_.File("lf.dat"), AnovaFormat::Json, OutputLanguage::English));
        QCOMPARE(json, morvaneAnova(dir_.File("lf.dat"), "--format json"));
        QVERIFY(json.contains("\"version\":\"") && !json.contains("\"dataSha256\":null"));
        QCOMPARE(exportTo("loaded.md"),
                 tool(dir_.File("lf.dat"), AnovaFormat::Markdown, OutputLanguage::Japanese));
        QVERIFY(FileBytes(dir_.File("loaded.md")).contains("SHA-256"));

        // Changed and analysed again: the study as saved then.
        testing::TypeInCell(testing::Grid(form_, "StringGrid1"), 2, 3, QStringLiteral("9.25"));
        PressAnalysis();
        const QByteArray changed = exportTo("changed.json");
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("saved.dat")));
        QVERIFY(form_->Save());
        QCOMPARE(changed, tool(dir_.File("saved.dat"), AnovaFormat::Json, OutputLanguage::English));
        QVERIFY(changed != json);
        QVERIFY(seams_.messages.AskedReplace().isEmpty());

        // Over a file it did not write: いいえ goes back to the dialog, はい replaces.
        testing::WriteBytes(dir_.File("other.csv"), "kept");
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("other.csv")));
        seams_.dialogs.Cancel();
        seams_.messages.AnswerReplace(false);
        window->Export();
        QCOMPARE(seams_.messages.AskedReplace(),
                 QStringList{QStringLiteral(u"other.csv は既に存在します。置き換えますか?")});
        QCOMPARE(FileBytes(dir_.File("other.csv")), QByteArray("kept"));
        QCOMPARE(seams_.dialogs.Calls().back().fileName, QString::fromStdString(dir_.File("other.csv")));
        exportTo("other.csv");
        QVERIFY(FileBytes(dir_.File("other.csv")) != QByteArray("kept"));
        exportTo("changed.json");  // its own file: no question
        testing::WriteBytes(dir_.File("other-qq.png"), "kept");
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("other-qq.png")));
        seams_.messages.AnswerReplace(false);
        window->ExportQuantilePlot();
        QCOMPARE(seams_.messages.AskedReplace().size(), 3);
        QCOMPARE(FileBytes(dir_.File("other-qq.png")), QByteArray("kept"));
        QVERIFY(seams_.messages.Shown().isEmpty());
    }

    // Once the study changes after 分析, or 分析 stops on a bad score, the
    // window says that its figures are of an earlier state, and copying or
    // exporting them asks first, until 分析 brings them up to date.
    void OutOfDateFiguresSaySoUntilTheNextAnalysis() {
        LoadStudyFile(store_, kEightSubjects);
        QVERIFY(OpenShown() != nullptr);
        auto* window = PressAnalysis();
        QVERIFY(testing::ShowActive(window));
        QLabel* notice = testing::Find<QLabel>(window, "OutOfDateNotice");
        QVERIFY(notice->isHidden() && !window->OutOfDate());
        const QString time = QTime::currentTime().toString(QStringLiteral("HH:mm"));

        // The first keystroke in a cell, before the editor leaves it.
        widgets::StringGrid* grid = testing::Grid(form_, "StringGrid1");
        QVERIFY(testing::ShowActive(form_.get()));
        grid->setFocus();
        grid->SelectCell(1, 2);
        QTest::keyClicks(testing::CellEditor(grid), "4");
        QVERIFY(window->OutOfDate() && !notice->isHidden());
        QVERIFY2(notice->text().contains(QStringLiteral(u"最後の変更の前")), qPrintable(notice->text()));
        QVERIFY2(notice->text().contains(time), qPrintable(notice->text()));
        QApplication::clipboard()->setText(QStringLiteral("before"));
        window->CopySentences();  // いいえ: nothing copied
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
        seams_.messages.AnswerYes(true);
        window->CopyTable();
        QVERIFY(QApplication::clipboard()->mimeData()->hasHtml());
        QTableView* summary = Table(window, "SummaryTable");
        summary->selectAll();
        QApplication::clipboard()->setText(QStringLiteral("before"));
        static_cast<AnalysisTableView*>(summary)->CopySelection();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
        window->Export();  // いいえ: no dialog
        QCOMPARE(seams_.messages.Asked().size(), 4);
        QVERIFY(seams_.messages.Asked().first().contains(QStringLiteral(u"コピー")));
        QVERIFY(seams_.messages.Asked().last().contains(QStringLiteral(u"書き出し")));
        QVERIFY(seams_.dialogs.Calls().empty());

        // Brought up to date: nothing said, nothing asked.
        PressAnalysis();
        QVERIFY(notice->isHidden() && !window->OutOfDate());
        window->CopySentences();
        QCOMPARE(seams_.messages.Asked().size(), 4);
        // An undo is a change too.
        form_->Undo();
        QVERIFY(window->OutOfDate());
        PressAnalysis();
        QVERIFY(!window->OutOfDate());

        // A bad score: its message, and the old figures marked as old. 分析
        // brought the results window to the front: the user goes back first.
        QVERIFY(testing::ShowActive(form_.get()));
        testing::TypeInCell(grid, 2, 2, QStringLiteral("x"));
        PressAnalysis();
        QVERIFY(notice->isHidden() == false);
        QCOMPARE(seams_.messages.Shown().size(), 1);
        QVERIFY2(notice->text().contains(QStringLiteral(u"止まりました")), qPrintable(notice->text()));
    }

    // The tables keep their row labels in view and their headings whole; the
    // plot goes below them in a narrow window. Blank level names show as their
    // numbers.
    void TheWindowsRoomAndItsLabels() {
        FillStudy(store_, 6, 3, 12, [](int s, int a, int b) { return std::to_string(s * 7 % 5 + a * b); });
        store_.LevelNamesA[2] = "";
        store_.LevelNamesB[3] = " \x81\x40\t";  // a space, a full-width space, a tab
        QVERIFY(OpenShown() != nullptr);
        QCOMPARE(testing::Tabs(form_, "TabControl1")->tabText(1), QStringLiteral("a2"));
        auto* window = PressAnalysis();
        QVERIFY(testing::ShowActive(window));
        QCOMPARE(window->Analysis().within.at(0).levels.at(1), std::string("a2"));
        QCOMPARE(window->Analysis().within.at(1).levels.at(2), std::string("b3"));
        QCOMPARE(window->Analysis().within.at(1).levels.at(3), std::string("b4"));
        QVERIFY(Row(Table(window, "MeansATable"), QStringLiteral("a2")) >= 0);
        QVERIFY(
            static_cast<InteractionPlotView*>(window->findChild<QWidget*>(QStringLiteral("InteractionPlot")))
                ->Data()
                .levelsA.contains(QStringLiteral("a2")));
        // The data file keeps the names as they are.
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("blank.dat")));
        QVERIFY(form_->Save());
        QVERIFY(ReadBytes(dir_.File("blank.dat")).find("\r\n\r\n") != std::string::npos);
        QVERIFY(ReadBytes(dir_.File("blank.dat")).find(" \x81\x40\t\r\n") != std::string::npos);

        auto* splitter = window->findChild<QSplitter*>();
        window->resize(900, 700);
        QCOMPARE(splitter->orientation(), Qt::Vertical);
        window->resize(1400, 800);
        QCOMPARE(splitter->orientation(), Qt::Horizontal);
        window->resize(900, 700);
        for (QTableView* view : window->findChildren<QTableView*>()) {
            if (view->objectName() == QStringLiteral("FrozenColumn") || view->model()->columnCount() == 0)
                continue;
            const QFontMetrics metrics(view->horizontalHeader()->font());
            for (int c = 0; c < view->model()->columnCount(); ++c) {
                const QString heading = view->model()->headerData(c, Qt::Horizontal).toString();
                QVERIFY2(view->columnWidth(c) >= metrics.horizontalAdvance(heading) +
                                                     2 * view->style()->pixelMetric(QStyle::PM_HeaderMargin),
                         qPrintable(view->objectName() + QLatin1Char(' ') + heading));
            }
        }
        // Scrolled to its right end, the summary table still shows its rows' labels.
        window->resize(window->minimumSizeHint().width(), 700);
        auto* pages = testing::Find<QTabWidget>(window, "Pages");
        pages->setCurrentIndex(0);
        QTableView* summary = Table(window, "SummaryTable");
        QTest::qWait(0);
        QVERIFY(summary->horizontalScrollBar()->maximum() > 0);
        summary->horizontalScrollBar()->setValue(summary->horizontalScrollBar()->maximum());
        auto* frozen = summary->findChild<QTableView*>(QStringLiteral("FrozenColumn"));
        QVERIFY(frozen != nullptr && frozen->isVisible());
        QCOMPARE(frozen->columnWidth(0), summary->columnWidth(0));
        QVERIFY(frozen->visualRect(frozen->model()->index(0, 0)).isValid());
        QCOMPARE(frozen->model()->index(0, 0).data(), summary->model()->index(0, 0).data());
        QCOMPARE(frozen->horizontalHeader()->height(), summary->horizontalHeader()->height());
        QCOMPARE(frozen->geometry().topLeft(), QPoint(summary->frameWidth(), summary->frameWidth()));
    }

    // The pages in their order, the checks' figures, the Q-Q plots of the
    // four strata and their export.
    void ModelCheckPagesAndTheQuantilePlots() {
        LoadStudyFile(store_, kEightSubjects);
        QVERIFY(OpenShown() != nullptr);
        ResultsWindow* window = PressAnalysis();
        StudyStore fresh;
        LoadStudyFile(fresh, kEightSubjects);
        const anova::Analysis r = StudyAnalysis(fresh);
        auto* pages = testing::Find<QTabWidget>(window, "Pages");
        QStringList captions;
        for (int i = 0; i < pages->count(); ++i) captions.append(pages->tabText(i));
        QCOMPARE(captions.join('|'),
                 QStringLiteral(u"分散分析|平均|対ごとの比較|単純主効果|多変量検定|前提の確認|"
                                u"Q-Q プロット|順位検定|判定の頑健性|計画|精度"));
        // Every test of every effect significant: the robustness page's rows all agree.
        QTableView* robust = Table(window, "RobustnessTable");
        QCOMPARE(robust->model()->rowCount(), 3);
        for (int row = 0; row < 3; ++row)
            QCOMPARE(robust->model()->index(row, 7).data().toString(), QStringLiteral(u"一致"));
        // B and A x B tested, four statistics each.
        QTableView* multivariate = Table(window, "MultivariateTable");
        QCOMPARE(Row(multivariate, "B") + 4, Row(multivariate, "A x B"));
        // Subject 3 stands out; every cell has its shape; the aligned ranks of A, B and A x B.
        QCOMPARE(Row(Table(window, "OutlyingTable"), "3"), 0);
        QCOMPARE(Table(window, "CellShapeTable")->model()->rowCount(), 6);
        QCOMPARE(Table(window, "AlignedRanksTable")->model()->rowCount(), 3);
        QCOMPARE(multivariate->model()->index(Row(multivariate, "B") + 3, 1).data().toString(),
                 QStringLiteral(u"Roy の最大根"));

        // The plots of the four strata, exported as images only.
        const plot::QuantilePlotData& plots = testing::Find<QuantilePlotView>(window, "QuantilePlot")->Data();
        const plot::QuantilePlotData want = plot::QuantilePlotDataOf(r, '.', true);
        QCOMPARE(plots.panels.size(), std::size_t{4});
        QCOMPARE(plots.panels[0].title, QStringLiteral(u"被験者 (S)"));
        QCOMPARE(plots.panels[3].points.size(), std::size_t{48});
        for (std::size_t k = 0; k < 4; ++k) {
            QCOMPARE(plots.panels[k].title, want.panels[k].title);
            QCOMPARE(plots.panels[k].detail, want.panels[k].detail);
            QCOMPARE(plots.panels[k].points.size(), want.panels[k].points.size());
        }
        QCOMPARE(testing::Find<QLabel>(window, "QuantilePlotCaption")->text(),
                 plot::QuantilePlotCaption(want));
        const auto exportTo = [&](const std::string& name) {
            seams_.dialogs.Choose(QString::fromStdString(dir_.File(name)));
            testing::Button(window, "ExportQuantilePlotButton")->click();
            return FileBytes(dir_.File(name));
        };
        QCOMPARE(QImage::fromData(exportTo("page-qq.png"), "PNG").size(), QSize(960, 720));
        QVERIFY(exportTo("page-qq.svg") != FileBytes(dir_.File("page-qq.png")));
        QVERIFY(seams_.messages.Shown().isEmpty());
        exportTo("page-qq.json");
        QCOMPARE(seams_.messages.Shown().size(), 1);
        QVERIFY(seams_.messages.Shown()[0].contains(QStringLiteral(".png")));
        QVERIFY(!seams_.messages.Shown()[0].contains(QStringLiteral(".json")));
        QVERIFY(!QFile::exists(QString::fromStdString(dir_.File("page-qq.json"))));

        // A study of one subject: the pages empty or noted, the plots with no points.
        form_.reset();
        store_ = {};
        FillStudy(store_, 1, 3, 3, [](int, int a, int b) { return std::to_string(a * b); });
        QVERIFY(OpenShown() != nullptr);
        window = PressAnalysis();
        for (const plot::QuantilePanel& panel :
             testing::Find<QuantilePlotView>(window, "QuantilePlot")->Data().panels)
            QVERIFY(panel.points.empty());
        QCOMPARE(Cell(Table(window, "ResidualsTable"), "S", "Shapiro-Wilk W"), QStringLiteral("—"));
        QVERIFY(testing::Find<QLabel>(window, "MultivariateTableNotes")
                    ->text()
                    .contains(QStringLiteral(u"定義されません")));
    }

    void CalculateTellsWhenTheResultsFileIsNotExact() {
        // Scores near 10^6 with one decimal: the correction terms lose digits.
        const auto offset = [](int s, int a, int b) {
            return "1000" + std::to_string(100 + (s * s * 7 + a * b * 5 + s * b * 3) % 11 + a * 3 + b) + "." +
                   std::to_string((s * s + 3 * a * b + s * b) % 10);
        };
        FillStudy(store_, 6, 2, 3, offset);
        QVERIFY(OpenShown() != nullptr);
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("offset.txt")));
        testing::Button(form_, "CalcButton")->click();
        QVERIFY2(seams_.messages.Shown().isEmpty(), qPrintable(seams_.messages.Shown().join('|')));
        QCOMPARE(seams_.messages.Informed().size(), 1);
        QVERIFY(seams_.messages.Informed()[0].contains(QStringLiteral(u"桁落ち")));
        QVERIFY(seams_.messages.Informed()[0].contains(QStringLiteral(u"「分  析」")));
        // The file is the one the calculate command writes without any window.
        StudyStore same;
        FillStudy(same, 6, 2, 3, offset);
        RunCalculation(same, '.', [&] { return std::optional<std::string>(dir_.File("alone.txt")); });
        QCOMPARE(ReadBytes(dir_.File("offset.txt")), ReadBytes(dir_.File("alone.txt")));
        // The window says it in plain words.
        QWidget* window = PressAnalysis();
        QVERIFY(testing::Find<QLabel>(window, "PrecisionNotice")->isVisible());
        QVERIFY(testing::Find<QLabel>(window, "PrecisionNotice")
                    ->text()
                    .startsWith(QStringLiteral(u"計算結果ファイルの値は桁落ちのため")));
        form_.reset();

        // The bundled study: exact, nothing to tell.
        seams_.messages.Clear();
        store_ = {};
        LoadStudyFile(store_, kEightSubjects);
        QVERIFY(OpenShown() != nullptr);
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("exact.txt")));
        testing::Button(form_, "CalcButton")->click();
        QVERIFY(seams_.messages.Shown().isEmpty());
        QVERIFY(seams_.messages.Informed().isEmpty());
    }
};

int RunStudyResultsTest(int argc, char** argv) {
    StudyResultsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "StudyResultsTest.moc"
