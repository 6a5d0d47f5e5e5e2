// A data file's study and a long CSV's design in the one results window, side
// by side: the pages each has and has not, the shortcuts of both copies, the
// question before every copy and export once the figures are stale (the study
// changed, or the CSV changed on disk), and the exports' bytes, those of
// FormatAnalysis on the same analysis, never over the file analysed.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <memory>
#include <optional>
#include <string>

#include "anova/Analysis.h"
#include "anova/StudyPrecision.h"
#include "datawindow/DataWindow.h"
#include "design/StudyDesign.h"
#include "exchange/HeaderRow.h"
#include "exchange/LongCsv.h"
#include "output/AnalysisTables.h"
#include "output/AnovaFormats.h"
#include "output/Figures.h"
#include "powerwindow/PowerDialog.h"
#include "resultswindow/AnalysisExport.h"
#include "resultswindow/AnalysisTableModel.h"
#include "resultswindow/ResultsWindow.h"
#include "resultswindow/WindowPlacement.h"
#include "runtime/NumberText.h"
#include "store/DataFile.h"
#include "support/Components.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"
#include "support/WindowDriving.h"

using namespace morvane;

namespace {

const LongCsvRoles kMixedRoles{"subject", "score", {"time"}, {"group"}};

QByteArray FileBytesOf(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("unreadable");
}

QStringList Captions(const QTabWidget* pages) {
    QStringList captions;
    for (int i = 0; i < pages->count(); ++i) captions.append(pages->tabText(i));
    return captions;
}

}  // namespace

class OneWindowTest : public QObject {
    Q_OBJECT

    testing::TempDir dir_;
    testing::FakeSeams seams_;
    StudyStore store_;
    std::unique_ptr<QWidget> owner_;
    std::unique_ptr<DataWindow> form_;
    std::string input_;  // the file the window's figures were read from

    // The results window of `source`: "study", the bundled eight subjects
    // loaded into the data window and 分析 pressed; "csv", the bundled mixed
    // design as the roles dialog's ＯＫ opens it; "within", a design of two
    // within factors read from a long CSV.
    // The roles of a CSV source: the trials' within design, the mixed design, or
    // the mixed design's file read by its group alone (each subject's rows averaged).
    static LongCsvRoles RolesOf(const QString& source) {
        if (source == QLatin1String("within")) return {"subject", "rt", {"cue", "load"}, {}};
        if (source == QLatin1String("between")) return {"subject", "score", {}, {"group"}};
        return kMixedRoles;
    }

    ResultsWindow* Open(const QString& source) {
        owner_ = std::make_unique<QWidget>();
        if (source == QLatin1String("study")) {
            input_ = dir_.File("eight.dat");
            testing::WriteBytes(input_,
                                FileBytesOf(MORVANE_EXAMPLES "/eight-subjects-2x3.dat").toStdString());
            LoadStudyFile(store_, input_);
            form_ = std::make_unique<DataWindow>(owner_.get(), store_, seams_.Seams(), '.');
            form_->SetStudyFile(QString::fromStdString(input_));
            if (!testing::ShowActive(form_.get())) return nullptr;
            testing::Button(form_, "AnalysisButton")->click();
            return form_->Results();
        }
        const bool within = source == QLatin1String("within");
        input_ = dir_.File(within ? "within.csv" : "mixed.csv");
        const QByteArray bytes =
            FileBytesOf(MORVANE_EXAMPLES + std::string(within ? "/trials.csv" : "/mixed-design.csv"));
        testing::WriteBytes(input_, bytes.toStdString());
        const LongCsvRoles roles = RolesOf(source);
        auto* window = new ResultsWindow(owner_.get(), seams_.Seams(), '.');
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->ShowCsv({input_, roles, {}}, bytes.toStdString(), ReadLongCsv(bytes.toStdString(), roles));
        return window;
    }

    // An analysis made here of the file the window's figures were read from,
    // with the options of its outputs in `language`; the study's precision
    // check in `precision`.
    anova::Analysis Analysed(const QString& source, OutputLanguage language, OutputOptions& options,
                             std::optional<PrecisionCheck>& precision) {
        options.language = language;
        if (source == QLatin1String("study")) {
            StudyStore study;
            LoadStudyFile(study, input_);
            anova::Analysis analysis = anova::Analyse(DesignFromStudy(study, '.'));
            precision = anova::CheckStudyResultsFile(study, '.', analysis);
            options.layout = OutputLayout::Study;
            options.provenance = ProvenanceOfFile(input_);
            return analysis;
        }
        const std::string bytes = FileBytesOf(input_).toStdString();
        options.layout = OutputLayout::Design;
        const LongCsvRoles roles = RolesOf(source);
        options.provenance = ProvenanceOfBytes(bytes);
        // A window's analysis of a CSV names the tool's call that repeats it.
        options.provenance.command = LongCsvCommand(input_, bytes, roles, {});
        return anova::Analyse(ReadLongCsv(bytes, roles));
    }

    // What the window's 書き出し should write in `format` and `language`.
    std::string Expected(const QString& source, AnovaFormat format, OutputLanguage language) {
        OutputOptions options;
        std::optional<PrecisionCheck> precision;
        const anova::Analysis analysis = Analysed(source, language, options, precision);
        return FormatAnalysis(analysis, format, options, precision ? &*precision : nullptr);
    }

    // Every table of the window as the one description gives it to the
    // window, cell by cell, with its notes shown where it has any.
    void ShowsTheTablesOf(ResultsWindow* window, const QString& source,
                          TableRounding rounding = TableRounding::Reader) {
        OutputOptions options;
        std::optional<PrecisionCheck> precision;
        const anova::Analysis analysis = Analysed(source, OutputLanguage::Japanese, options, precision);
        options.rounding = rounding;
        const std::vector<TableText> tables =
            TableTexts(analysis, TableReader::Window, options, '.', precision ? &*precision : nullptr);
        QCOMPARE(window->findChildren<AnalysisTableView*>().size(), static_cast<qsizetype>(tables.size()));
        for (const TableText& table : tables) {
            const QAbstractItemModel* model =
                testing::Find<AnalysisTableView>(window, (table.id + "Table").c_str())->model();
            QCOMPARE(model->rowCount(), static_cast<int>(table.rows.size()));
            QCOMPARE(model->columnCount(), static_cast<int>(table.header.size()));
            for (int c = 0; c < model->columnCount(); ++c) {
                QCOMPARE(model->headerData(c, Qt::Horizontal).toString().toStdString(),
                         table.header[static_cast<std::size_t>(c)]);
                for (int row = 0; row < model->rowCount(); ++row)
                    QCOMPARE(model->index(row, c).data().toString().toStdString(),
                             table.rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(c)]);
            }
            const auto* notes = window->findChild<QLabel*>(QString::fromStdString(table.id + "TableNotes"));
            QCOMPARE(notes != nullptr, table.id != "Precision");
            if (notes != nullptr) QCOMPARE(notes->isHidden(), table.notes.empty());
        }
    }

    // The study changed after 分析, or the CSV on disk after it was read.
    void MakeStale(const QString& source) {
        if (source == QLatin1String("study")) {
            QVERIFY(testing::ShowActive(form_.get()));
            testing::TypeInCell(testing::Grid(form_, "StringGrid1"), 1, 1, QStringLiteral("17"));
            return;
        }
        QByteArray bytes = FileBytesOf(input_);
        bytes.replace("c01,control,pre,10.6", "c01,control,pre,30.65");
        testing::WriteBytes(input_, bytes.toStdString());
    }

    void Sources() {
        QTest::addColumn<QString>("source");
        QTest::newRow("data file's study") << QStringLiteral("study");
        QTest::newRow("long CSV's design") << QStringLiteral("csv");
    }

private slots:
    void init() {
        seams_.dialogs = {};
        seams_.messages.Clear();
        store_ = {};
    }
    void cleanup() {
        form_.reset();
        owner_.reset();
    }

    // Where the window goes beside the window it opens from, on any screen,
    // and the larger first size a large screen gives it.
    void ThePlacementRules() {
        const QSize wanted(1288, 748), least(728, 508);
        const QRect owner(200, 107, 500, 456);  // the data window's frame where it opens
        // Room on the right: there, as wide as the room, level with the data window.
        QCOMPARE(PlaceBeside(QRect(0, 0, 1600, 1200), owner, wanted, least), QRect(708, 107, 892, 748));
        // Little room on either side: over the data window, as large as the
        // screen allows, and up as far as it has to.
        QCOMPARE(PlaceBeside(QRect(0, 0, 1024, 768), owner, wanted, least), QRect(0, 20, 1024, 748));
        QCOMPARE(PlaceBeside(QRect(0, 0, 800, 600), owner, wanted, least), QRect(0, 0, 800, 600));
        // The data window moved to the right: on its left.
        QCOMPARE(PlaceBeside(QRect(0, 0, 1600, 1200), QRect(1000, 107, 500, 456), wanted, least),
                 QRect(0, 107, 992, 748));
        // A second screen with a panel, the data window low on it.
        QCOMPARE(PlaceBeside(QRect(1920, 30, 1280, 994), QRect(2000, 900, 500, 456), wanted, least),
                 QRect(1920, 276, 1280, 748));
        // Anywhere, partly off the screen too: on the free area, at least as
        // large as it can be there, and beside the data window when a side
        // has room for it.
        for (const QRect screen :
             {QRect(0, 0, 1600, 1200), QRect(0, 0, 1024, 768), QRect(-1280, 24, 1280, 700)})
            for (int x = screen.left() - 300; x < screen.right() + 300; x += 37)
                for (int y = screen.top() - 200; y < screen.bottom() + 200; y += 53) {
                    const QRect from(x, y, 500, 456);
                    const QRect placed = PlaceBeside(screen, from, wanted, least);
                    const QString where = QStringLiteral("%1,%2 on %3x%4")
                                              .arg(x)
                                              .arg(y)
                                              .arg(screen.width())
                                              .arg(screen.height());
                    QVERIFY2(screen.contains(placed), qPrintable(where));
                    QVERIFY2(placed.width() >= std::min(least.width(), screen.width()) &&
                                 placed.height() == std::min(wanted.height(), screen.height()),
                             qPrintable(where));
                    const bool room =
                        screen.right() - std::max(from.right(), screen.left()) - 8 >= least.width() ||
                        std::min(from.left(), screen.right()) - screen.left() - 8 >= least.width();
                    if (room) QVERIFY2(!placed.intersects(from), qPrintable(where));
                }

        QCOMPARE(WantedSize(QSize(1024, 740), QSize(1288, 748), 2LL * 1280 * 720), QSize(1024, 740));
        QCOMPARE(WantedSize(QSize(1600, 1100), QSize(1288, 748), 2LL * 1280 * 720), QSize(1600, 1100));
        const QSize big = WantedSize(QSize(3840, 2100), QSize(1288, 748), 2LL * 1280 * 720);
        QVERIFY(qint64{big.width()} * big.height() <= 2LL * 1280 * 720 && big.width() > 1288);
        QVERIFY(std::abs(big.width() * 2100.0 / big.height() - 3840.0) < 10);
    }

    // One window class, the pages of each source: the study's precision and
    // rank tests, a mixed design's Levene and Box's M tests and no rank tests, a within
    // design's rank tests, a between design's pages without the within tests; the checks' outlying
    // subjects and cells' shapes in every one, each table the one
    // description's, cell by cell; 再読み込み for a CSV alone.
    void EachSourceHasItsPages() {
        const QString all =
            QStringLiteral(u"分散分析|平均|対ごとの比較|%1|多変量検定|前提の確認|Q-Q プロット");
        const struct {
            const char* source;
            QString pages;
            std::vector<const char*> tables, absent;
        } cases[] = {
            {"study",
             all.arg(QStringLiteral(u"単純主効果")) + QStringLiteral(u"|順位検定|判定の頑健性|計画|精度"),
             {"MeansATable", "OutlyingTable", "CellShapeTable", "FriedmanTable", "PrecisionTable",
              "RobustnessTable"},
             {"LeveneTable", "BoxMTable", "MarginalMeansTable"}},
            {"csv",
             all.arg(QStringLiteral(u"単純効果")) + QStringLiteral(u"|判定の頑健性|計画"),
             {"MarginalMeansTable", "LeveneTable", "BoxMTable", "OutlyingTable", "CellShapeTable",
              "NormalityTable", "RobustnessTable"},
             {"FriedmanTable", "PrecisionTable", "MeansATable"}},
            {"within",
             all.arg(QStringLiteral(u"単純効果")) + QStringLiteral(u"|順位検定|判定の頑健性|計画"),
             {"OutlyingTable", "CellShapeTable", "FriedmanTable", "AlignedRankContrastsTable", "RobustnessTable"},
             {"LeveneTable", "BoxMTable", "PrecisionTable"}},
            // No within factor: no sphericity, multivariate, rank or simple effects' tables.
            {"between",
             QStringLiteral(u"分散分析|平均|対ごとの比較|前提の確認|Q-Q プロット|判定の頑健性|計画"),
             {"MarginalMeansTable", "LeveneTable", "NormalityTable", "RobustnessTable"},
             {"SphericityTable", "MultivariateTable", "FriedmanTable", "SimpleEffectsTable", "BoxMTable"}},
        };
        for (const auto& c : cases) {
            const QString source = QString::fromLatin1(c.source);
            ResultsWindow* window = Open(source);
            QVERIFY2(window != nullptr && window->isVisible(), c.source);
            QCOMPARE(window->objectName(), QStringLiteral("ResultsWindow"));
            QVERIFY(window->windowTitle().startsWith(QStringLiteral(u"分析結果")));
            QCOMPARE(window->Layout(),
                     source == QLatin1String("study") ? OutputLayout::Study : OutputLayout::Design);
            QCOMPARE(Captions(testing::Find<QTabWidget>(window, "Pages")).join('|'), c.pages);
            for (const char* table : c.tables)
                QVERIFY2(window->findChild<AnalysisTableView*>(QString::fromLatin1(table)) != nullptr, table);
            for (const char* table : c.absent)
                QVERIFY2(window->findChild<AnalysisTableView*>(QString::fromLatin1(table)) == nullptr, table);
            QCOMPARE(testing::Button(window, "RereadButton")->isHidden(), source == QLatin1String("study"));
            QVERIFY(!window->Plot().levelsB.isEmpty());
            QCOMPARE(window->QuantilePlot().panels.size(), window->Analysis().strata.size());
            ShowsTheTablesOf(window, source);
            if (QTest::currentTestFailed()) return;
            QVERIFY(seams_.messages.Shown().isEmpty());
            cleanup();
        }
    }

    // The page of the decisions' robustness: a factor whose sphericity is
    // strongly violated, significant uncorrected and by the multivariate and
    // Friedman's tests, not with any correction; the sentence that says so below.
    void TheRobustnessPageSaysWhereTheTestsDisagree() {
        owner_ = std::make_unique<QWidget>();
        const int scores[6][3] = {{20, 23, 26}, {29, 30, 42}, {11, 12, 19}, {24, 25, 40}, {23, 24, 18}, {28, 31, 36}};
        std::string csv = "s,t,y\n";
        for (int i = 0; i < 6; ++i)
            for (int t = 0; t < 3; ++t)
                csv += "s" + std::to_string(i + 1) + ",t" + std::to_string(t + 1) + "," +
                       std::to_string(scores[i][t]) + "\n";
        input_ = dir_.File("violated.csv");
        testing::WriteBytes(input_, csv);
        const LongCsvRoles roles{"s", "y", {"t"}, {}};
        auto* window = new ResultsWindow(owner_.get(), seams_.Seams(), '.');
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->ShowCsv({input_, roles, {}}, csv, ReadLongCsv(csv, roles));
        QVERIFY(testing::ShowActive(window));
        QVERIFY(Captions(testing::Find<QTabWidget>(window, "Pages")).join(QLatin1Char('|')).endsWith(QStringLiteral(u"判定の頑健性|計画")));
        const QAbstractItemModel* model = testing::Find<AnalysisTableView>(window, "RobustnessTable")->model();
        QCOMPARE(model->rowCount(), 1);
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c) cells.append(model->index(0, c).data().toString());
        QCOMPARE(cells.join('|'), QStringLiteral(u"t|有意|有意でない|有意でない|有意でない|有意|有意|不一致"));
        const QString notes = testing::Find<QLabel>(window, "RobustnessTableNotes")->text();
        QVERIFY2(notes.contains(QStringLiteral(u"t: 補正なし、多変量検定と Friedman 検定では有意、Greenhouse–Geisser、"
                                               u"Huynh–Feldt と下限では有意でない。")),
                 qPrintable(notes));
        QVERIFY(notes.contains(QStringLiteral(u"α = .05")));

        // The planning page's 検出力… opens the calculator with the chosen
        // effect's figures: its answer is the table's N for .80.
        const QAbstractItemModel* planning = testing::Find<AnalysisTableView>(window, "PlanningTable")->model();
        QCOMPARE(planning->rowCount(), 1);
        const anova::PlanningRow& row = window->Analysis().planning.at(0);
        QVERIFY(row.n80);
        QCOMPARE(planning->index(0, 8).data().toString(), QString::number(*row.n80));
        testing::Find<QPushButton>(window, "PowerButton")->click();
        PowerDialog* power = window->PowerCalculator();
        QVERIFY(power != nullptr && power->isVisible());
        QVERIFY2(power->Answer().contains(QStringLiteral(u"必要な総 N: %1").arg(*row.n80)), qPrintable(power->Answer()));
        const std::optional<PowerQuestion> q = power->Question();
        QVERIFY(q);
        QCOMPARE(q->design.measures, 3);
        QCOMPARE(q->design.effect, PowerEffect::Within);
    }

    // Ctrl+Shift+C and Ctrl+Shift+R from wherever the focus is in the window.
    void TheShortcutsCopyInBoth_data() { Sources(); }
    void TheShortcutsCopyInBoth() {
        QFETCH(QString, source);
        ResultsWindow* window = Open(source);
        QVERIFY(window != nullptr && testing::ShowActive(window));
        for (const bool english : {false, true}) {
            testing::Find<QCheckBox>(window, "EnglishCheck")->setChecked(english);
            const OutputOptions options = window->CopyOptions();
            QCOMPARE(options.language, english ? OutputLanguage::English : OutputLanguage::Japanese);
            QCOMPARE(options.layout, window->Layout());
            testing::Find<QWidget>(window, "SummaryTable")->setFocus();
            QApplication::clipboard()->clear();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
            const QMimeData* copied = QApplication::clipboard()->mimeData();
            QVERIFY(copied->hasHtml());
            QCOMPARE(copied->html().toStdString(), ApaSummaryHtml(window->Analysis(), options));
            QCOMPARE(copied->data(QStringLiteral("text/rtf")).toStdString(),
                     ApaSummaryRtf(window->Analysis(), options));
            QCOMPARE(copied->text().toStdString(), ApaSummaryTabs(window->Analysis(), options));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
            QCOMPARE(QApplication::clipboard()->text(), SentencesText(window->Analysis(), options));
            QVERIFY(QApplication::clipboard()->text().contains(QStringLiteral(": F(")));
        }
        QVERIFY(seams_.messages.Asked().isEmpty() && seams_.messages.Shown().isEmpty());
    }

    // APA / 全桁: every table shown again as the one description rounds it for
    // an APA table (its figures those of the APA table's rules), Ctrl+C
    // copying what is shown; the choice stays through a new analysis. At the
    // window's first size each table is as tall as its rows, or, longer than
    // its page, no taller than the page, which scrolls.
    void TheApaViewAndTablesAsTallAsTheirRows_data() { Sources(); }
    void TheApaViewAndTablesAsTallAsTheirRows() {
        QFETCH(QString, source);
        ResultsWindow* window = Open(source);
        QVERIFY(window != nullptr && testing::ShowActive(window));
        auto* apa = testing::Find<QRadioButton>(window, "ApaViewButton");
        auto* full = testing::Find<QRadioButton>(window, "FullDigitsButton");
        QVERIFY(full->isChecked() && !apa->isChecked());
        QCOMPARE(window->Rounding(), TableRounding::Reader);
        auto* summary = testing::Find<AnalysisTableView>(window, "SummaryTable");
        const auto copied = [&] {
            summary->setFocus();
            summary->selectAll();
            QApplication::clipboard()->clear();
            QTest::keyClick(summary, Qt::Key_C, Qt::ControlModifier);
            return QApplication::clipboard()->text();
        };
        const QString fullCopy = copied();
        QVERIFY(fullCopy.contains(QString::fromStdString(GeneralText(*window->Analysis().effects[0].f, 10))));

        apa->click();
        QCOMPARE(window->Rounding(), TableRounding::Apa);
        ShowsTheTablesOf(window, source, TableRounding::Apa);
        if (QTest::currentTestFailed()) return;
        // Each effect's F, p and partial eta squared as the APA table has them.
        const QAbstractItemModel* model = summary->model();
        int effects = 0;
        for (const anova::Effect& e : window->Analysis().effects) {
            if (!e.f || !e.p || !e.partialEtaSquared) continue;
            // The study's names "A x B" for "A × B".
            const QString name = QString::fromStdString(e.name).replace(
                QStringLiteral(u"×"), window->Layout() == OutputLayout::Study ? QStringLiteral("x") : QStringLiteral(u"×"));
            for (int row = 0; row < model->rowCount(); ++row) {
                if (model->index(row, 0).data().toString() != name) continue;
                ++effects;
                QStringList cells;
                for (int c = 0; c < model->columnCount(); ++c) cells.append(model->index(row, c).data().toString());
                QVERIFY2(cells.contains(QString::fromStdString(ApaNumber(*e.f, 2))), qPrintable(cells.join('|')));
                QVERIFY2(cells.contains(QString::fromStdString(ApaP(*e.p))), qPrintable(cells.join('|')));
                QVERIFY2(cells.contains(QString::fromStdString(ApaNumber(*e.partialEtaSquared, 2, false))),
                         qPrintable(cells.join('|')));
            }
        }
        QVERIFY(effects >= 2);
        const TableText& shown = window->Tables().front();
        QCOMPARE(shown.id, std::string("Summary"));
        QStringList lines{QString::fromStdString(shown.header.front())};
        for (std::size_t c = 1; c < shown.header.size(); ++c)
            lines.back() += QLatin1Char('\t') + QString::fromStdString(shown.header[c]);
        for (const auto& cells : shown.rows) {
            QStringList line;
            for (const std::string& cell : cells) line.append(QString::fromStdString(cell));
            lines.append(line.join('\t'));
        }
        QCOMPARE(copied(), lines.join('\n'));

        // A new analysis keeps the choice; 全桁 gives the first copy again.
        if (source == QLatin1String("study"))
            testing::Button(form_, "AnalysisButton")->click();
        else
            testing::Button(window, "RereadButton")->click();
        QVERIFY(apa->isChecked() && window->Rounding() == TableRounding::Apa);
        ShowsTheTablesOf(window, source, TableRounding::Apa);
        if (QTest::currentTestFailed()) return;
        full->click();
        QCOMPARE(copied(), fullCopy);

        window->resize(1280, 720);
        auto* pages = testing::Find<QTabWidget>(window, "Pages");
        for (int i = 0; i < pages->count(); ++i) {
            pages->setCurrentIndex(i);
            QApplication::processEvents();
            QApplication::processEvents();
            const auto* page = qobject_cast<QScrollArea*>(pages->widget(i));
            for (AnalysisTableView* view : pages->widget(i)->findChildren<AnalysisTableView*>()) {
                const QString name = pages->tabText(i) + QLatin1Char(' ') + view->objectName();
                const bool whole = view->verticalScrollBar()->maximum() == 0 &&
                                   view->viewport()->height() >= view->verticalHeader()->length();
                QVERIFY2(whole || view->height() <= page->viewport()->height(), qPrintable(name));
                // The short tables whole, the page having room for them.
                if (view->model()->rowCount() <= 16) QVERIFY2(whole, qPrintable(name));
            }
        }
        QVERIFY(seams_.messages.Asked().isEmpty() && seams_.messages.Shown().isEmpty());
    }

    // Once the figures are stale, every copy and every export asks first:
    // いいえ leaves the clipboard and the files alone, はい goes on.
    void StaleFiguresAskBeforeEveryCopyAndExport_data() { Sources(); }
    void StaleFiguresAskBeforeEveryCopyAndExport() {
        QFETCH(QString, source);
        ResultsWindow* window = Open(source);
        QVERIFY(window != nullptr);
        MakeStale(source);
        const char* notice = source == QLatin1String("study") ? "OutOfDateNotice" : "FileChangedNotice";
        const std::function<void()> uses[] = {
            [window] { window->CopyTable(); },
            [window] { window->CopySentences(); },
            [window] {
                auto* summary = testing::Find<AnalysisTableView>(window, "SummaryTable");
                summary->selectAll();
                summary->CopySelection();
            },
            [window] { window->Export(); },
            [window] { window->ExportPlot(); },
            [window] { window->ExportQuantilePlot(); },
        };
        int asked = 0;
        for (const auto& use : uses) {
            QApplication::clipboard()->setText(QStringLiteral("before"));
            use();  // answered いいえ
            QCOMPARE(seams_.messages.Asked().size(), ++asked);
            QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
            QVERIFY(seams_.dialogs.Calls().empty());
        }
        QVERIFY(!testing::Find<QLabel>(window, notice)->isHidden());
        QVERIFY(seams_.messages.Asked().last().contains(QStringLiteral(u"書き出し")));
        QVERIFY(seams_.messages.Asked().first().contains(QStringLiteral(u"コピー")));
        seams_.messages.AnswerYes(true);
        window->CopySentences();
        QVERIFY(QApplication::clipboard()->text().contains(QStringLiteral(": F(")));
        seams_.messages.AnswerYes(true);
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("stale.json")));
        window->Export();
        QVERIFY(FileBytesOf(dir_.File("stale.json")).startsWith("{"));
        QCOMPARE(seams_.messages.Asked().size(), asked + 2);
        QVERIFY(seams_.messages.Shown().isEmpty());
    }

    // 書き出し writes FormatAnalysis's bytes of the same analysis, with the
    // bytes analysed named, in the language chosen; never over the file read.
    void TheExportsAreFormatAnalysisBytes_data() { Sources(); }
    void TheExportsAreFormatAnalysisBytes() {
        QFETCH(QString, source);
        ResultsWindow* window = Open(source);
        QVERIFY(window != nullptr);
        for (const bool english : {false, true}) {
            testing::Find<QCheckBox>(window, "EnglishCheck")->setChecked(english);
            const OutputLanguage language = english ? OutputLanguage::English : OutputLanguage::Japanese;
            for (const auto& [format, suffix] :
                 {std::pair{AnovaFormat::Markdown, ".md"}, std::pair{AnovaFormat::Csv, ".csv"},
                  std::pair{AnovaFormat::Json, ".json"}}) {
                const std::string path = dir_.File(source.toStdString() + (english ? "-en" : "-ja") + suffix);
                seams_.dialogs.Choose(QString::fromStdString(path));
                window->Export();
                QCOMPARE(FileBytesOf(path).toStdString(), Expected(source, format, language));
            }
        }
        QVERIFY(seams_.messages.Shown().isEmpty());
        // The first dialog started beside the file analysed, named after it.
        const QFileInfo input(QString::fromStdString(input_));
        QCOMPARE(seams_.dialogs.Calls().front().fileName,
                 input.dir().filePath(input.completeBaseName() + QStringLiteral("-anova.md")));
        const QByteArray before = FileBytesOf(input_);
        for (const auto exportFile :
             {&ResultsWindow::Export, &ResultsWindow::ExportPlot, &ResultsWindow::ExportQuantilePlot}) {
            seams_.dialogs.Choose(QString::fromStdString(input_));
            (window->*exportFile)();
        }
        QCOMPARE(seams_.messages.Shown().size(), 3);
        QCOMPARE(seams_.messages.Shown().first(), QStringLiteral(u"出力ファイルが入力ファイルと同じです."));
        QCOMPARE(FileBytesOf(input_), before);
        QVERIFY(seams_.messages.AskedReplace().isEmpty());
    }
};

int RunOneWindowTest(int argc, char** argv) {
    OneWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "OneWindowTest.moc"
