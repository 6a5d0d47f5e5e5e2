// The results window's output log: each analysis shown kept, an earlier one
// shown again as it was (the notices of a file changed since the newest's
// alone), the whole log saved as one HTML file, cleared after asking, and
// kept to its most analyses.

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <memory>
#include <string>

#include "exchange/LongCsv.h"
#include "resultswindow/ResultsWindow.h"
#include "support/Components.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"

using namespace morvane;

namespace {

QByteArray BytesOf(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("unreadable");
}

}  // namespace

class OutputLogTest : public QObject {
    Q_OBJECT

    testing::TempDir dir_;
    testing::FakeSeams seams_;

    // `name` copied from the examples into the test's folder and shown in `window`.
    std::string Show(ResultsWindow& window, const char* name, const LongCsvRoles& roles) {
        const std::string csv = dir_.File(name);
        QFile::remove(QString::fromStdString(csv));
        // A copy that failed reads as "unreadable", which no reading takes for a CSV.
        QFile::copy(QStringLiteral(MORVANE_EXAMPLES "/") + QLatin1String(name), QString::fromStdString(csv));
        const QByteArray bytes = BytesOf(csv);
        window.ShowCsv({csv, roles, {}}, bytes.toStdString(), ReadLongCsv(bytes.toStdString(), roles));
        return csv;
    }

private slots:
    // Two CSVs analysed one after the other: both in 履歴, the first shown
    // again with its own tables and plot while the second's file changes
    // (no notice, no question for it), the second back with its notice; the
    // log saved with both analyses' tables; 消去 asked, いいえ keeping it all.
    void TheLogShowsEarlierAnalysesAgainAndSavesThem() {
        auto owner = std::make_unique<QWidget>();
        auto* window = new ResultsWindow(owner.get(), seams_.Seams(), '.');
        Show(*window, "mixed-design.csv", {"subject", "score", {"time"}, {"group"}});
        const std::vector<TableText> first = window->Tables();
        const QStringList firstLevels = window->Plot().levelsB;
        const std::string second = Show(*window, "trials.csv", {"subject", "rt", {"cue", "load"}, {}});
        const std::vector<TableText> newest = window->Tables();

        auto* history = window->findChild<QComboBox*>(QStringLiteral("HistoryChoice"));
        QVERIFY(history != nullptr);
        QCOMPARE(history->count(), 2);
        QCOMPARE(history->currentIndex(), 1);
        QVERIFY(history->itemText(0).contains(QStringLiteral("mixed-design.csv")));
        QVERIFY(history->itemText(0).contains(QStringLiteral(u"2 × 3")));
        QVERIFY(history->itemText(1).contains(QStringLiteral("trials.csv")));
        QVERIFY(!window->ShowingEarlier());

        history->setCurrentIndex(0);
        QVERIFY(window->ShowingEarlier());
        QCOMPARE(window->Tables().size(), first.size());
        for (std::size_t i = 0; i < first.size(); ++i) {
            QCOMPARE(window->Tables()[i].id, first[i].id);
            QVERIFY(window->Tables()[i].rows == first[i].rows);
        }
        QCOMPARE(window->Plot().levelsB, firstLevels);
        QVERIFY(testing::Find<QLabel>(window, "EarlierAnalysisNotice")->isVisibleTo(window));
        QVERIFY(!testing::Find<QLabel>(window, "FileChangedNotice")->isVisibleTo(window));
        // The newest's file changes: its notice waits for it; the earlier one copies without asking.
        testing::WriteBytes(second, "subject,cue,load,rt\ns1,a,b,1\n");
        QVERIFY(window->CheckFile());
        QVERIFY(!testing::Find<QLabel>(window, "FileChangedNotice")->isVisibleTo(window));
        window->CopyTable();
        QVERIFY(seams_.messages.Asked().isEmpty());

        window->ShowLogged(1);
        QCOMPARE(history->currentIndex(), 1);
        QVERIFY(!window->ShowingEarlier());
        QVERIFY(window->Tables().front().rows == newest.front().rows);
        QVERIFY(testing::Find<QLabel>(window, "FileChangedNotice")->isVisibleTo(window));
        QVERIFY(!testing::Find<QLabel>(window, "EarlierAnalysisNotice")->isVisibleTo(window));

        const std::string log = dir_.File("log.html");
        seams_.dialogs.Choose(QString::fromStdString(log));
        testing::Button(window, "SaveLogButton")->click();
        QVERIFY(seams_.messages.Shown().isEmpty());
        const QString html = QString::fromUtf8(BytesOf(log));
        QCOMPARE(html.count(QStringLiteral("<section>")), 2);
        QCOMPARE(html.count(QStringLiteral("<!DOCTYPE")), 1);
        QVERIFY(html.indexOf(QStringLiteral("mixed-design.csv")) <
                html.indexOf(QStringLiteral("trials.csv")));
        // Each analysis's own summary: the mixed design's interaction, the two within factors' of the other.
        QVERIFY(html.contains(QStringLiteral(u"group × time")) ||
                html.contains(QStringLiteral(u"time × group")));
        QVERIFY(html.contains(QStringLiteral(u"cue × load")));
        QVERIFY(html.contains(QStringLiteral("--within time")));

        seams_.messages.AnswerYes(false);
        testing::Button(window, "ClearLogButton")->click();
        QCOMPARE(window->Log().Size(), std::size_t{2});
        seams_.messages.AnswerYes(true);
        history->setCurrentIndex(0);
        testing::Button(window, "ClearLogButton")->click();
        QCOMPARE(seams_.messages.Asked().size(), 2);
        QCOMPARE(window->Log().Size(), std::size_t{1});
        QCOMPARE(history->count(), 1);
        QVERIFY(history->itemText(0).contains(QStringLiteral("trials.csv")));
        QVERIFY(window->Tables().front().rows == newest.front().rows);
        QVERIFY(!window->ShowingEarlier());

        // The log keeps the last kMostAnalyses, the oldest left out first.
        OutputLog bounded;
        for (int i = 0; i < static_cast<int>(OutputLog::kMostAnalyses) + 2; ++i)
            bounded.Add({window->Analysis(), OutputLayout::Design, std::nullopt, {}, QString::number(i), {}});
        QCOMPARE(bounded.Size(), OutputLog::kMostAnalyses);
        QCOMPARE(bounded.At(0).name, QStringLiteral("2"));
    }
};

int RunOutputLogTest(int argc, char** argv) {
    OutputLogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "OutputLogTest.moc"
