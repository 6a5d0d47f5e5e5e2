// The long work of the windows run off their thread, as the user meets it: the
// data window's 分析, the roles dialog's ＯＫ (its analysis or its import into a
// study for the data window), the read of a long CSV with its roles' guess and
// the guess made again when the dialog's options change, and
// 検証… with its report, and the CSV results window's 再読み込み. The progress shows at once here (delay 0); the test
// acts when it shows, which is while the work runs as the windows see it: 中止
// there drops the result, and a second command there starts nothing.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>
#include <QTableWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <memory>

#include "anova/Analysis.h"
#include "datawindow/DataWindow.h"
#include "design/StudyDesign.h"
#include "exchange/RoleGuess.h"
#include "levelswindow/CsvRolesDialog.h"
#include "levelswindow/LevelsWindow.h"
#include "levelswindow/VerifyDialog.h"
#include "resultswindow/ResultsWindow.h"
#include "support/Components.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"
#include "support/WindowDriving.h"

using namespace morvane;
using morvane::testing::ReadBytes;
using morvane::testing::WriteBytes;

namespace {

const std::string kExamples = MORVANE_EXAMPLES;

// Runs `act` on each progress dialog as it shows, and records their names.
class WhenProgressShows final : public QObject {
public:
    WhenProgressShows() { qApp->installEventFilter(this); }
    ~WhenProgressShows() override { qApp->removeEventFilter(this); }

    std::function<void(QProgressDialog&)> act;
    QStringList shown;

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        auto* dialog = qobject_cast<QProgressDialog*>(object);
        if (dialog != nullptr && event->type() == QEvent::Show) {
            shown.append(dialog->objectName());
            if (act) act(*dialog);
        }
        return false;
    }
};

// 中止 pressed, as the user presses it.
void Stop(QProgressDialog& dialog) {
    dialog.findChild<QPushButton*>()->click();
}

// The cells' means of an analysis, to tell two analyses apart.
std::vector<Extended> Means(const anova::Analysis& analysis) {
    std::vector<Extended> means;
    for (const auto& cell : analysis.cellMeans) means.push_back(cell.mean);
    return means;
}

}  // namespace

class OffThreadTest : public QObject {
    Q_OBJECT

    testing::TempDir dir_;
    testing::FakeSeams seams_;
    StudyStore store_;
    std::unique_ptr<LevelsWindow> form_;

    LevelsWindow* Form() {
        form_ = std::make_unique<LevelsWindow>(store_, seams_.Seams(), '.');
        form_->SetLoadProgressDelay(0);
        form_->show();
        return form_.get();
    }

    // The levels window's 読み込み of `path`.
    void Read(const std::string& path) {
        seams_.dialogs.Choose(QString::fromStdString(path));
        testing::Button(form_.get(), "ReadButton")->click();
    }

private slots:
    void init() {
        seams_.dialogs = {};
        seams_.messages.Clear();
        store_ = {};
        qunsetenv("MORVANE_VERIFY_DATA");
    }
    void cleanup() { form_.reset(); }

    void TheDataWindowsAnalysisArrivesOrIsDropped() {
        // N = 2, two levels of A and of B: a1 b1 for s1, s2, then b2; then a2.
        WriteBytes(dir_.File("study.dat"),
                   "2\r\n2\r\n2\r\na1\r\na2\r\nb1\r\nb2\r\n1\r\n2\r\n3\r\n5\r\n2\r\n4\r\n6\r\n9\r\n");
        Form();
        Read(dir_.File("study.dat"));
        DataWindow* data = form_->Data();
        QVERIFY(data != nullptr && testing::ShowActive(data));
        WhenProgressShows progress;

        // The result arrives: the figures of the study.
        testing::Button(data, "AnalysisButton")->click();
        QCOMPARE(progress.shown, QStringList{QStringLiteral("AnalysisProgress")});
        QVERIFY2(seams_.messages.Shown().isEmpty(), qPrintable(seams_.messages.Shown().join('\n')));
        ResultsWindow* results = data->Results();
        QVERIFY(results != nullptr && !results->OutOfDate());
        const std::vector<Extended> before = Means(results->Analysis());
        QCOMPARE(before, Means(anova::Analyse(DesignFromStudy(store_, '.'))));

        // 中止 while it runs, after a second 分析 that starts nothing: the
        // figures shown stay those of before, said to be of an earlier study.
        QVERIFY(testing::ShowActive(data));
        testing::TypeInCell(testing::Grid(data, "StringGrid1"), 1, 1, QStringLiteral("7"));
        progress.act = [data](QProgressDialog& dialog) {
            testing::Button(data, "AnalysisButton")->click();
            Stop(dialog);
        };
        data->Analyse();
        QCOMPARE(progress.shown.size(), 2);
        QVERIFY(seams_.messages.Shown().isEmpty());
        QCOMPARE(store_.CellText(1, 1, 1), std::string("7"));
        QVERIFY(data->Results() == results && results->OutOfDate());
        QCOMPARE(Means(results->Analysis()), before);

        // Not stopped: the changed study's figures.
        progress.act = {};
        data->Analyse();
        QVERIFY(!results->OutOfDate());
        QVERIFY(Means(results->Analysis()) != before);
        QCOMPARE(Means(results->Analysis()), Means(anova::Analyse(DesignFromStudy(store_, '.'))));

        // A bad score's error reaches the message box as before, with its place.
        QVERIFY(testing::ShowActive(data));
        testing::TypeInCell(testing::Grid(data, "StringGrid1"), 1, 1, QStringLiteral("x"));
        data->Analyse();
        QCOMPARE(seams_.messages.Shown().size(), 1);
        QVERIFY2(seams_.messages.Shown().at(0).contains(QStringLiteral(u"場所: タブ 'a1'")),
                 qPrintable(seams_.messages.Shown().at(0)));
        QVERIFY(results->OutOfDate());
    }

    void TheRolesDialogReadsAndAnalysesOffTheWindowsThread() {
        Form();
        WhenProgressShows progress;
        // 中止 of the file's read: no dialog.
        progress.act = [](QProgressDialog& dialog) { Stop(dialog); };
        Read(kExamples + "/mixed-design.csv");
        QCOMPARE(progress.shown, QStringList{QStringLiteral("LoadProgress")});
        QVERIFY(form_->CsvDialog() == nullptr && seams_.messages.Shown().isEmpty());

        progress.act = {};
        Read(kExamples + "/mixed-design.csv");
        CsvRolesDialog* dialog = form_->CsvDialog();
        QVERIFY(dialog != nullptr);
        // The roles guessed on the worker are those the dialog shows.
        const RoleGuess guess = GuessRoles(dialog->Bytes());
        QCOMPARE(dialog->Roles().id, guess.roles.id);
        QCOMPARE(dialog->Roles().dv, guess.roles.dv);
        QCOMPARE(dialog->Roles().within, guess.roles.within);
        QCOMPARE(dialog->Roles().between, guess.roles.between);
        QVERIFY(!guess.roles.id.empty() && !guess.roles.between.empty());
        const DesignData design = ReadLongCsv(dialog->Bytes(), dialog->Roles(), dialog->Options());

        // 中止 of ＯＫ's reading and analysis, after a second ＯＫ that starts
        // nothing: the dialog stays open, no results window.
        progress.shown.clear();
        progress.act = [dialog](QProgressDialog& shown) {
            testing::Button(dialog, "OkButton")->click();
            Stop(shown);
        };
        testing::Button(dialog, "OkButton")->click();
        QCOMPARE(progress.shown, QStringList{QStringLiteral("AnalysisProgress")});
        QVERIFY(dialog->isVisible() && form_->CsvResults() == nullptr);
        QVERIFY(seams_.messages.Shown().isEmpty());

        // Not stopped: the design's figures in its results window.
        progress.act = {};
        testing::Button(dialog, "OkButton")->click();
        QVERIFY(form_->CsvResults() != nullptr);
        QCOMPARE(Means(form_->CsvResults()->Analysis()), Means(anova::Analyse(design)));
        QCOMPARE(form_->CsvResults()->Layout(), OutputLayout::Design);
        QVERIFY(seams_.messages.Shown().isEmpty());

        // 再読み込み on a worker too: 中止 leaves the figures shown; else the
        // file's figures arrive again.
        ResultsWindow* results = form_->CsvResults();
        results->SetRereadProgressDelay(0);
        progress.shown.clear();
        progress.act = [](QProgressDialog& shown) { Stop(shown); };
        testing::Button(results, "RereadButton")->click();
        QCOMPARE(progress.shown, QStringList{QStringLiteral("RereadProgress")});
        QCOMPARE(Means(results->Analysis()), Means(anova::Analyse(design)));
        progress.act = {};
        testing::Button(results, "RereadButton")->click();
        QCOMPARE(progress.shown.size(), 2);
        QCOMPARE(Means(results->Analysis()), Means(anova::Analyse(design)));
        QVERIFY(seams_.messages.Shown().isEmpty());
    }

    // A changed option's guess: 中止 keeps the options and the guess shown; a
    // change made while a guess runs supersedes it (its result never shown);
    // a refused header line puts the controls back, its message said.
    void TheRolesDialogGuessesAgainOffTheWindowsThread() {
        WriteBytes(dir_.File("semi.csv"), "subject;A;score\ns1;a1;1\ns1;a2;2\ns2;a1;3\ns2;a2;4,5\n");
        Form();
        Read(dir_.File("semi.csv"));
        CsvRolesDialog* dialog = form_->CsvDialog();
        QVERIFY(dialog != nullptr);
        dialog->SetProgressDelay(0);
        auto* separator = dialog->findChild<QComboBox*>(QStringLiteral("SeparatorChoice"));
        auto* preview = dialog->findChild<QTableWidget*>(QStringLiteral("Preview"));
        QCOMPARE(dialog->Options().separator, ';');
        QCOMPARE(preview->columnCount(), 3);
        const LongCsvRoles before = dialog->Roles();
        QCOMPARE(before.id, std::string("subject"));
        WhenProgressShows progress;

        progress.act = [](QProgressDialog& shown) { Stop(shown); };
        dialog->SetSeparator(',');
        QCOMPARE(progress.shown, QStringList{QStringLiteral("GuessProgress")});
        QCOMPARE(separator->currentIndex(), 0);
        QCOMPARE(dialog->Options().separator, ';');
        QCOMPARE(preview->columnCount(), 3);
        QCOMPARE(dialog->Roles().dv, before.dv);
        QVERIFY(seams_.messages.Shown().isEmpty());

        // Tab chosen, then semicolon while the tab's guess runs: only the
        // semicolon's guess shows, after a second progress.
        progress.shown.clear();
        progress.act = [dialog](QProgressDialog&) { dialog->SetSeparator(';'); };
        dialog->SetSeparator('\t');
        QCOMPARE(progress.shown.size(), 2);
        QCOMPARE(separator->currentData().toInt(), int{';'});
        QCOMPARE(dialog->Options().separator, ';');
        QCOMPARE(preview->columnCount(), 3);
        QCOMPARE(dialog->Roles().id, before.id);
        QCOMPARE(dialog->Roles().within, before.within);

        // Not stopped: the comma's guess (one column) with the comma shown.
        progress.act = {};
        dialog->SetSeparator(',');
        QCOMPARE(dialog->Options().separator, ',');
        QCOMPARE(preview->columnCount(), 1);
        dialog->SetSeparator(';');
        QCOMPARE(preview->columnCount(), 3);

        // A header line beyond the file: refused, the line as it was.
        dialog->SetHeaderLine(40);
        QCOMPARE(seams_.messages.Shown().size(), 1);
        QCOMPARE(dialog->HeaderLine(), 1);
        QCOMPARE(separator->currentData().toInt(), int{';'});
        QCOMPARE(preview->columnCount(), 3);
    }

    void TheImportForTheDataWindowArrivesOrIsDropped() {
        WriteBytes(dir_.File("study.csv"), "subject,A,B,score\ns1,a1,b1,1\ns1,a1,b2,2\ns1,a2,b1,3\n"
                                           "s1,a2,b2,4.5\ns2,a1,b1,5\ns2,a1,b2,6\ns2,a2,b1,7\ns2,a2,b2,8\n");
        Form();
        Read(dir_.File("study.csv"));
        CsvRolesDialog* dialog = form_->CsvDialog();
        QVERIFY(dialog != nullptr);
        dialog->findChild<QCheckBox*>(QStringLiteral("DataWindowCheck"))->setChecked(true);
        WhenProgressShows progress;
        const std::int64_t subjectsBefore = store_.SubjectCount;

        // 中止, after a second ＯＫ that starts nothing: the dialog stays open,
        // no data window, the study as it was, nothing said.
        progress.act = [dialog](QProgressDialog& shown) {
            testing::Button(dialog, "OkButton")->click();
            Stop(shown);
        };
        testing::Button(dialog, "OkButton")->click();
        QCOMPARE(progress.shown, QStringList{QStringLiteral("AnalysisProgress")});
        QVERIFY(dialog->isVisible() && form_->Data() == nullptr);
        QCOMPARE(store_.SubjectCount, subjectsBefore);
        QVERIFY(seams_.messages.Shown().isEmpty());

        // Not stopped: the imported study in the data window.
        progress.act = {};
        testing::Button(dialog, "OkButton")->click();
        QCOMPARE(progress.shown.size(), 2);
        QVERIFY2(seams_.messages.Shown().isEmpty(), qPrintable(seams_.messages.Shown().join('\n')));
        QVERIFY(form_->Data() != nullptr && form_->CsvResults() == nullptr);
        QCOMPARE(store_.SubjectCount, 2);
        QCOMPARE(store_.CellText(1, 2, 2), std::string("4.5"));
        QCOMPARE(store_.CellText(2, 2, 2), std::string("8"));
    }

    void VerificationShowsItsVerdictAndSavesItsPage() {
        Form();
        WhenProgressShows progress;
        // The shipped sets, found in the source tree from a build tree.
        testing::Button(form_.get(), "VerifyButton")->click();
        QCOMPARE(progress.shown, QStringList{QStringLiteral("VerifyProgress")});
        VerifyDialog* dialog = form_->VerificationDialog();
        QVERIFY2(dialog != nullptr, qPrintable(seams_.messages.Shown().join('\n')));
        QVERIFY2(dialog->Verdict().startsWith(QStringLiteral(u"すべて一致しました: 17 組")),
                 qPrintable(dialog->Verdict()));
        QVERIFY(dialog->Report().contains(QStringLiteral("every figure agrees")));
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("check.html")));
        testing::Button(dialog, "SaveHtmlButton")->click();
        QCOMPARE(seams_.dialogs.lastFilters, QStringList{QStringLiteral("HTML (*.html)")});
        const std::string page = ReadBytes(dir_.File("check.html"));
        QVERIFY(page.starts_with("<!DOCTYPE html>") && page.ends_with("</html>\n"));
        dialog->reject();
        QTRY_VERIFY(form_->VerificationDialog() == nullptr);

        // A published value computed otherwise: how many disagree (each of the
        // two figures twice, the set being read also between subjects).
        WriteBytes(dir_.File("index"), "pair\n");
        WriteBytes(dir_.File("pair.csv"), "s,t,y\n1,a,1\n2,a,2\n3,a,3\n1,b,4\n2,b,5\n3,b,6\n");
        WriteBytes(dir_.File("pair.expected"),
                   "data: pair.csv\nid: s\ndv: y\nwithin: t\nfigure,value,digits,citation\n"
                   "betweenSS(t),13.5,3,by hand\nwithinSS(t),4.01,3,deliberately wrong\n");
        qputenv("MORVANE_VERIFY_DATA", QByteArray::fromStdString(dir_.Path().string()));
        form_->Verify();
        QVERIFY(form_->VerificationDialog() != nullptr);
        QCOMPARE(form_->VerificationDialog()->Verdict(),
                 QStringLiteral(u"一致しない値があります: 1 組のデータのうち 1 組で、公表値 4 個のうち 2 個が一致しません。"));
        form_->VerificationDialog()->reject();
        QTRY_VERIFY(form_->VerificationDialog() == nullptr);

        // 中止: no dialog. A folder that cannot be read: its error, no dialog.
        progress.act = [](QProgressDialog& shown) { Stop(shown); };
        form_->Verify();
        QVERIFY(form_->VerificationDialog() == nullptr && seams_.messages.Shown().isEmpty());
        progress.act = {};
        qputenv("MORVANE_VERIFY_DATA", QByteArray::fromStdString(dir_.File("none")));
        form_->Verify();
        QCOMPARE(seams_.messages.Shown().size(), 1);
        QVERIFY(form_->VerificationDialog() == nullptr);
    }
};

QTEST_MAIN(OffThreadTest)
#include "OffThreadTest.moc"
