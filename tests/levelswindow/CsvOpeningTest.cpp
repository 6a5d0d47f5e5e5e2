// A long CSV opened from the levels window as the user opens it: the roles
// dialog's guesses and its refusals, the design's results window against the
// tool's figures and its Q-Q page, the data window chosen for a two-within
// study, and the re-reading of a file changed on disk.

#include <sys/wait.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QComboBox>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "anova/Analysis.h"
#include "datawindow/DataWindow.h"
#include "design/StudyDesign.h"
#include "levelswindow/CsvRolesDialog.h"
#include "levelswindow/LevelsWindow.h"
#include "resultswindow/InteractionPlotView.h"
#include "resultswindow/ResultsWindow.h"
#include "support/Components.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"
#include "support/WindowDriving.h"

using namespace morvane;

namespace {

const std::string kExamples = MORVANE_EXAMPLES;

QByteArray FileBytesOf(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("unreadable");
}

// The number a window's cell shows, with a decimal point.
double Figure(const std::string& cell) {
    QString text = QString::fromStdString(cell);
    text.replace(QStringLiteral(u"−"), QStringLiteral("-"));
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok ? value : std::nan("");
}

// A window's export without the line (or JSON key) that names the tool's call
// repeating it, which the tool's own output has not.
std::string WithoutCommand(std::string text) {
    const std::size_t key = text.find(",\"command\":\"");
    if (key != std::string::npos) return text.erase(key, text.find("\"}", key + 12) + 1 - key);
    for (const char* label : {"- 同じ分析をするコマンド: ", "- Command: "}) {
        const std::size_t line = text.find(label);
        if (line != std::string::npos) return text.erase(line, text.find('\n', line) + 1 - line);
    }
    return text;
}

bool Near(double shown, double exact) {
    return std::fabs(shown - exact) <= 1e-8 * std::max(1.0, std::fabs(exact));
}

}  // namespace

class CsvOpeningTest : public QObject {
    Q_OBJECT

    testing::TempDir dir_;
    testing::FakeSeams seams_;
    StudyStore store_;
    std::unique_ptr<LevelsWindow> form_;

    LevelsWindow* Form() {
        form_ = std::make_unique<LevelsWindow>(store_, seams_.Seams(), '.');
        return form_.get();
    }

    // The roles dialog of the CSV `text`, opened as 読み込み opens it.
    CsvRolesDialog* Dialog(const std::string& name, const std::string& text) {
        testing::WriteBytes(dir_.File(name), text);
        Form()->show();
        seams_.dialogs.Choose(QString::fromStdString(dir_.File(name)));
        testing::Button(form_.get(), "ReadButton")->click();
        return form_->CsvDialog();
    }

    std::string Tool(const std::string& args) {
        const std::string out = dir_.File("tool.out");
        QFile::remove(QString::fromStdString(out));
        const std::string command = std::string(MORVANE_TOOL) + " anova " + args + " " + out;
        const int raw = std::system(command.c_str());
        return WIFEXITED(raw) && WEXITSTATUS(raw) == 0 ? FileBytesOf(out).toStdString() : "tool failed";
    }

private slots:
    void init() {
        seams_.dialogs = {};
        seams_.messages.Clear();
        store_ = {};
    }
    void cleanup() { form_.reset(); }

    // R's write.csv and a title line above the header: the dialog shows what
    // it found (the unnamed column, the separator and encoding, the header's
    // line) and the results window names the tool's call, which gives its figures.
    void RowNamesAndTitlesReadAsTheToolReadsThem() {
        std::string r = "\"\",\"subject\",\"cue\",\"rt\"\n";
        std::string titled = "Experiment 2: Posner cueing, reaction times (ms), collected 2024-05\n"
                             "subject,group,cue,rt\n";
        int row = 0;
        for (int s = 1; s <= 6; ++s)
            for (const char* cue : {"valid", "invalid", "neutral"}) {
                const std::string rt = std::to_string(400 + 9 * s + (cue[0] == 'v' ? 0 : 20 + s % 3 * 7) +
                                                      (cue[0] == 'n' ? 11 : 0));
                r += "\"" + std::to_string(++row) + "\",\"s" + std::to_string(s) + "\",\"" + cue + "\"," + rt + "\n";
                titled += "s" + std::to_string(s) + "," + (s <= 3 ? "young" : "old") + "," + cue + "," + rt + "\n";
            }
        CsvRolesDialog* dialog = Dialog("r.csv", r);
        QVERIFY(dialog != nullptr);
        auto* roles = dialog->findChild<QTableWidget*>(QStringLiteral("Roles"));
        QCOMPARE(roles->rowCount(), 4);
        QCOMPARE(roles->item(3, 0)->text(), QStringLiteral(u"(名前なし: 1 列目)"));
        QCOMPARE(dialog->RoleOf(""), ColumnRole::None);
        QCOMPARE(dialog->Roles().dv, std::string("rt"));
        QCOMPARE(dialog->findChild<QComboBox*>(QStringLiteral("SeparatorChoice"))->currentText(),
                 QStringLiteral(u"自動（カンマ）"));
        QCOMPARE(dialog->findChild<QComboBox*>(QStringLiteral("EncodingChoice"))->currentText(),
                 QStringLiteral(u"自動（UTF-8）"));
        testing::Button(dialog, "OkButton")->click();
        QVERIFY2(seams_.messages.Shown().isEmpty(), qPrintable(seams_.messages.Shown().join('\n')));
        QCOMPARE(form_->CsvResults()->Analysis().subjects, std::int64_t{6});
        // 読み込み again offers the CSV files first.
        QCOMPARE(seams_.dialogs.lastFilters.front(), QStringLiteral(u"データファイル (*.dat)"));
        seams_.dialogs.Cancel();
        testing::Button(form_.get(), "ReadButton")->click();
        QCOMPARE(seams_.dialogs.lastFilters.front(), QStringLiteral(u"CSV ファイル (*.csv)"));

        // The title with two commas: the header on line 2, every column and row below it.
        dialog = Dialog("posner.csv", titled);
        auto* headerLine = dialog->findChild<QSpinBox*>(QStringLiteral("HeaderLineChoice"));
        QVERIFY(headerLine != nullptr);
        QCOMPARE(headerLine->value(), 2);
        auto* preview = dialog->findChild<QTableWidget*>(QStringLiteral("Preview"));
        QCOMPARE(preview->columnCount(), 4);
        QCOMPARE(preview->item(0, 0)->text(), QStringLiteral("s1"));
        // The user says line 1: the title is the header, its three fields the columns; then back.
        headerLine->setValue(1);
        QCOMPARE(preview->columnCount(), 3);
        QCOMPARE(preview->item(0, 0)->text(), QStringLiteral("subject"));
        dialog->SetHeaderLine(2);
        QCOMPARE(preview->columnCount(), 4);
        // A line past the end: said, and the header shown stays.
        QVERIFY(seams_.messages.Shown().isEmpty());
        dialog->SetHeaderLine(3000);
        QCOMPARE(seams_.messages.Shown().size(), 1);
        QVERIFY2(seams_.messages.Shown().at(0).startsWith(QStringLiteral(u"3000 行: ")),
                 qPrintable(seams_.messages.Shown().at(0)));
        QCOMPARE(dialog->HeaderLine(), 2);
        QCOMPARE(preview->columnCount(), 4);
        seams_.messages.Clear();
        QCOMPARE(dialog->Roles().between, std::vector<std::string>{"group"});
        testing::Button(dialog, "OkButton")->click();
        QVERIFY2(seams_.messages.Shown().isEmpty(), qPrintable(seams_.messages.Shown().join('\n')));
        ResultsWindow* window = form_->CsvResults();
        QVERIFY(window != nullptr && window->AnalysedData().command.has_value());
        const std::string command = *window->AnalysedData().command;
        QVERIFY2(QString::fromStdString(command).endsWith(QStringLiteral("--header-line 2")), command.c_str());
        QVERIFY(window->findChild<QLabel*>(QStringLiteral("CommandNotice"))
                    ->text()
                    .contains(QString::fromStdString(command)));
        // The shown call, run by a shell, writes the window's JSON export.
        window->findChild<QCheckBox*>(QStringLiteral("EnglishCheck"))->setChecked(true);
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("posner.json")));
        window->Export();
        QVERIFY(seams_.messages.Shown().isEmpty());
        const std::string out = dir_.File("shell.json");
        const std::string shell = std::string(MORVANE_TOOL) + command.substr(std::string("morvane").size()) +
                                  " --format json " + out;
        QCOMPARE(std::system(shell.c_str()), 0);
        const std::string exported = FileBytesOf(dir_.File("posner.json")).toStdString();
        QVERIFY(exported.find("\"command\":") != std::string::npos);
        QCOMPARE(WithoutCommand(exported), FileBytesOf(out).toStdString());
        // Without --header-line the tool finds the same header.
        QCOMPARE(Tool("--id subject --dv rt --within cue --between group --format json " + dir_.File("posner.csv")),
                 FileBytesOf(out).toStdString());
    }

    void TheDialogGuessesTheRolesOfEachKindOfFile() {
        using R = ColumnRole;
        // Tidy long with a group column, read from the bundled file by its name.
        CsvRolesDialog* dialog =
            Dialog("mixed.csv", FileBytesOf(kExamples + "/mixed-design.csv").toStdString());
        QVERIFY(dialog != nullptr && dialog->isVisible());
        QCOMPARE(dialog->RoleOf("subject"), R::Subject);
        QCOMPARE(dialog->RoleOf("score"), R::Score);
        QCOMPARE(dialog->RoleOf("time"), R::Within);
        QCOMPARE(dialog->RoleOf("group"), R::Between);
        QCOMPARE(dialog->findChild<QTableWidget*>(QStringLiteral("Preview"))->item(0, 0)->text(),
                 QStringLiteral("c01"));
        QVERIFY(!dialog->findChild<QCheckBox*>(QStringLiteral("DataWindowCheck"))->isEnabled());

        // Trial level: the trial number in no role, two within factors in the file's order.
        dialog = Dialog("trials.csv", FileBytesOf(kExamples + "/trials.csv").toStdString());
        QCOMPARE(dialog->RoleOf("trial"), R::None);
        QCOMPARE(dialog->RoleOf("rt"), R::Score);
        QCOMPARE(dialog->Roles().within, (std::vector<std::string>{"cue", "load"}));
        QVERIFY(dialog->findChild<QCheckBox*>(QStringLiteral("DataWindowCheck"))->isEnabled());
        // Down moves load above cue: the factors' order is the list's.
        auto* roles = dialog->findChild<QTableWidget*>(QStringLiteral("Roles"));
        for (int row = 0; row < roles->rowCount(); ++row)
            if (roles->item(row, 0)->text() == QStringLiteral("cue")) roles->setCurrentCell(row, 0);
        testing::Button(dialog, "DownButton")->click();
        QCOMPARE(dialog->Roles().within, (std::vector<std::string>{"load", "cue"}));
        QCOMPARE(dialog->RoleOf("cue"), R::Within);

        // Semicolons and a decimal comma, Japanese names in code page 932.
        std::string text = testing::Sjis("被験者;条件;時期;得点\n");
        for (int s = 1; s <= 4; ++s)
            for (const char* c : {"x", "y"})
                for (const char* t : {"t1", "t2", "t3"})
                    text += "p" + std::to_string(s) + ";" + c + ";" + t + ";" +
                            std::to_string(s * 3 + t[1] - '0') + "," +
                            std::to_string(s + (c[0] == 'x' ? 1 : 5)) + "\n";
        dialog = Dialog("comma.csv", text);
        QCOMPARE(dialog->Options().separator, ';');
        QCOMPARE(dialog->Options().decimalSeparator, ',');
        QCOMPARE(dialog->Options().encoding, CsvEncoding::Cp932);
        QVERIFY(dialog->findChild<QCheckBox*>(QStringLiteral("DecimalCommaCheck"))->isChecked());
        QCOMPARE(dialog->Roles().id, std::string("被験者"));
        QCOMPARE(dialog->Roles().dv, std::string("得点"));
        QCOMPARE(dialog->Roles().within, (std::vector<std::string>{"条件", "時期"}));
        // Another separator chosen: guessed and previewed again.
        auto* preview = dialog->findChild<QTableWidget*>(QStringLiteral("Preview"));
        QCOMPARE(preview->columnCount(), 4);
        dialog->SetSeparator(',');
        QCOMPARE(dialog->Options().separator, ',');
        QCOMPARE(preview->columnCount(), 1);
        dialog->SetSeparator(';');
        QCOMPARE(preview->columnCount(), 4);
        // The decimal comma turned off by the user stays off, and the scores are then no numbers.
        dialog->SetDecimalComma(false);
        QCOMPARE(dialog->Options().decimalSeparator, '.');
        testing::Button(dialog, "OkButton")->click();
        QCOMPARE(seams_.messages.Shown().size(), 1);
        QVERIFY(dialog->isVisible());
        dialog->SetDecimalComma(true);
        seams_.messages.Clear();
        testing::Button(dialog, "OkButton")->click();
        QVERIFY(seams_.messages.Shown().isEmpty());
        QVERIFY(form_->CsvResults() != nullptr && form_->CsvResults()->isVisible());
        QCOMPARE(form_->CsvResults()->Analysis().within.at(1).levels.size(), std::size_t{3});

        // A title and a note above the header: the header found, the rows read below it.
        dialog = Dialog("titled.csv", "Experiment 3\n\"lab B, May\"\n" +
                                          FileBytesOf(kExamples + "/mixed-design.csv").toStdString());
        QCOMPARE(dialog->Options().recordsBeforeHeader, std::size_t{2});
        QCOMPARE(dialog->RoleOf("group"), R::Between);
        QCOMPARE(dialog->RoleOf("score"), R::Score);
        testing::Button(dialog, "OkButton")->click();
        QVERIFY(seams_.messages.Shown().isEmpty());
        QCOMPARE(form_->CsvResults()->Analysis().subjects, std::int64_t{8});
    }

    void ARefusalShowsItsPlaceAndKeepsTheDialogOpen() {
        CsvRolesDialog* dialog =
            Dialog("bad.csv", "id,cond,score\n1,a,3\n1,b,4\n2,a,x5\n2,b,6\n3,a,2\n3,b,8\n");
        QVERIFY(dialog != nullptr);
        // A column with a word among its numbers is no score by the guess; the user says it is.
        QVERIFY(dialog->RoleOf("score") != ColumnRole::Score);
        dialog->SetRole("score", ColumnRole::Score);
        testing::Button(dialog, "OkButton")->click();
        QCOMPARE(seams_.messages.Shown().size(), 1);
        QVERIFY2(seams_.messages.Shown().at(0).startsWith(QStringLiteral(u"4 行 3 列")),
                 qPrintable(seams_.messages.Shown().at(0)));
        QVERIFY(dialog->isVisible() && form_->CsvResults() == nullptr);
        // No subject chosen: said, still open.
        seams_.messages.Clear();
        dialog->SetRole("id", ColumnRole::None);
        testing::Button(dialog, "OkButton")->click();
        QCOMPARE(seams_.messages.Shown().size(), 1);
        QVERIFY(dialog->isVisible());
        // キャンセル: nothing opens.
        testing::Button(dialog, "CancelButton")->click();
        QVERIFY(form_->CsvResults() == nullptr && form_->Data() == nullptr);
        QTRY_VERIFY(form_->CsvDialog() == nullptr);

        // Several rows in a cell cannot go to the data window, which holds one score a cell.
        seams_.messages.Clear();
        dialog = Dialog("trials.csv", FileBytesOf(kExamples + "/trials.csv").toStdString());
        dialog->findChild<QCheckBox*>(QStringLiteral("DataWindowCheck"))->setChecked(true);
        testing::Button(dialog, "OkButton")->click();
        QCOMPARE(seams_.messages.Shown().size(), 1);
        QVERIFY(dialog->isVisible() && form_->Data() == nullptr);
    }

    void ACompleteTwoWithinStudyOpensInTheDataWindowAtChoice() {
        const std::string text =
            "subject,A,B,score\ns1,a1,b1,1\ns1,a1,b2,2\ns1,a2,b1,3\ns1,a2,b2,4.5\n"
            "s2,a1,b1,5\ns2,a1,b2,6\ns2,a2,b1,7\ns2,a2,b2,8\n";
        // Named .txt: a CSV by its content.
        CsvRolesDialog* dialog = Dialog("study.txt", text);
        QVERIFY(dialog != nullptr);
        dialog->findChild<QCheckBox*>(QStringLiteral("DataWindowCheck"))->setChecked(true);
        testing::Button(dialog, "OkButton")->click();
        QVERIFY(seams_.messages.Shown().isEmpty());
        QVERIFY(form_->Data() != nullptr && form_->CsvResults() == nullptr);
        QCOMPARE(store_.LevelNamesA, (NameArray{"", "a1", "a2"}));
        QCOMPARE(store_.SubjectCount, 2);
        QCOMPARE(store_.CellText(1, 2, 2), std::string("4.5"));

        // Under a title line of as many fields: imported from the header found below it.
        dialog = Dialog("titled.csv", "Study 1, two factors, 2025, lab B\n" + text);
        QCOMPARE(dialog->HeaderLine(), 2);
        dialog->findChild<QCheckBox*>(QStringLiteral("DataWindowCheck"))->setChecked(true);
        testing::Button(dialog, "OkButton")->click();
        QVERIFY2(seams_.messages.Shown().isEmpty(), qPrintable(seams_.messages.Shown().join('\n')));
        QCOMPARE(store_.SubjectCount, 2);
        QCOMPARE(store_.CellText(1, 2, 2), std::string("4.5"));

        // A spreadsheet's semicolons and decimal commas: the study keeps the
        // program's decimal point, so that 計算 reads what was imported.
        std::string comma = text;
        std::replace(comma.begin(), comma.end(), ',', ';');
        std::replace(comma.begin(), comma.end(), '.', ',');
        dialog = Dialog("comma.csv", comma);
        QVERIFY(dialog->findChild<QCheckBox*>(QStringLiteral("DecimalCommaCheck"))->isChecked());
        dialog->findChild<QCheckBox*>(QStringLiteral("DataWindowCheck"))->setChecked(true);
        testing::Button(dialog, "OkButton")->click();
        QVERIFY(seams_.messages.Shown().isEmpty());
        QCOMPARE(store_.CellText(1, 2, 2), std::string("4.5"));
        QCOMPARE(anova::Analyse(DesignFromStudy(store_, '.')).cellMeans.back().mean, Extended{6.25L});
    }

    void TheMixedDesignsResultsAreTheToolsFigures() {
        const std::string csv = kExamples + "/mixed-design.csv";
        // As `PMorvane FILE.csv` opens it.
        Form()->OpenStudy(csv);
        QVERIFY(form_->isVisible());
        CsvRolesDialog* dialog = form_->CsvDialog();
        QVERIFY(dialog != nullptr);
        testing::Button(dialog, "OkButton")->click();
        ResultsWindow* window = form_->CsvResults();
        QVERIFY(window != nullptr && window->isVisible());
        QVERIFY(seams_.messages.Shown().isEmpty());

        const std::string roles = "--id subject --dv score --within time --between group";
        const QJsonObject json =
            QJsonDocument::fromJson(QByteArray::fromStdString(Tool(roles + " --format json " + csv)))
                .object();
        QVERIFY(!json.isEmpty());
        const TableText* summary = nullptr;
        for (const TableText& t : window->Tables())
            if (t.id == "Summary") summary = &t;
        QVERIFY(summary != nullptr);
        const auto column = [&](const char* id) {
            const auto at = std::find(summary->columnIds.begin(), summary->columnIds.end(), id);
            return static_cast<std::size_t>(at - summary->columnIds.begin());
        };
        // Every effect of the tool's JSON with its F and p on the summary's row of its name.
        int found = 0;
        const QJsonObject effects = json.value(QStringLiteral("effects")).toObject();
        for (auto effect = effects.begin(); effect != effects.end(); ++effect) {
            const QJsonObject e = effect.value().toObject();
            const std::string name =
                effect.key().replace(QLatin1Char(':'), QStringLiteral(u" × ")).toStdString();
            for (const auto& row : summary->rows) {
                if (row.at(0) != name) continue;
                ++found;
                QVERIFY2(Near(Figure(row.at(column("f"))), e.value(QStringLiteral("F")).toDouble()),
                         name.c_str());
                QVERIFY2(Near(Figure(row.at(column("p"))), e.value(QStringLiteral("p")).toDouble()),
                         name.c_str());
            }
        }
        QCOMPARE(found, 3);  // group, time, group × time
        // The pages of the tables, the checks among them with Levene's test for the groups.
        auto* pages = window->findChild<QTabWidget*>(QStringLiteral("Pages"));
        QCOMPARE(pages->count(), 9);  // the planning page among them
        QVERIFY(window->findChild<QWidget*>(QStringLiteral("LeveneTable")) != nullptr);
        // Beside them the plot: a line per group over the times, no panels, with the group's intervals.
        const auto* plotView = window->findChild<InteractionPlotView*>(QStringLiteral("InteractionPlot"));
        QVERIFY(plotView != nullptr);
        QCOMPARE(plotView->Data().legendTitle, QStringLiteral(u"要因 group"));
        QCOMPARE(plotView->Data().levelsB, (QStringList{"pre", "post", "follow-up"}));
        QVERIFY(plotView->Data().panelTitles.isEmpty());
        QVERIFY(plotView->Data().barsWithinGroups);

        // 書き出し: the tool's bytes, in English as the tool writes them by default.
        window->findChild<QCheckBox*>(QStringLiteral("EnglishCheck"))->setChecked(true);
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("mixed.json")));
        window->Export();
        QVERIFY(seams_.messages.Shown().isEmpty());
        QCOMPARE(WithoutCommand(FileBytesOf(dir_.File("mixed.json")).toStdString()),
                 Tool(roles + " --format json " + csv));
        window->findChild<QCheckBox*>(QStringLiteral("EnglishCheck"))->setChecked(false);
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("mixed.md")));
        window->Export();
        QCOMPARE(WithoutCommand(FileBytesOf(dir_.File("mixed.md")).toStdString()),
                 Tool(roles + " --format markdown --lang ja " + csv));
        // Never over the CSV it read.
        seams_.dialogs.Choose(QString::fromStdString(csv));
        window->Export();
        QCOMPARE(seams_.messages.Shown().size(), 1);

        // 表をコピー: the APA table as HTML, RTF and tab-separated rows, an effect a row
        // (the tool's --format apa figures); 報告文をコピー: a sentence an effect.
        testing::Button(window, "CopyTableButton")->click();
        const QMimeData* copied = QApplication::clipboard()->mimeData();
        QVERIFY(copied->html().contains(QStringLiteral("<table")));
        QVERIFY(copied->data(QStringLiteral("text/rtf")).startsWith("{\\rtf"));
        const QString apa = QString::fromStdString(Tool(roles + " --format apa --lang ja " + csv));
        for (const char* effect : {"group\t", "time\t", "group × time\t"}) {
            QStringList rows;
            for (const QString& row : copied->text().split(QLatin1Char('\n')))
                if (row.startsWith(QString::fromUtf8(effect))) rows.append(row);
            QCOMPARE(rows.size(), 1);
            QVERIFY(apa.contains(rows.front().split(QLatin1Char('\t')).at(3).trimmed()));  // its F
        }
        testing::Button(window, "CopySentencesButton")->click();
        const QStringList sentences = QApplication::clipboard()->text().split(QLatin1Char('\n'));
        QCOMPARE(sentences.size(), 3);
        for (const QString& sentence : sentences) QVERIFY2(apa.contains(sentence), qPrintable(sentence));
    }

    // A design without between factors: its rank-based tests on their page,
    // with the figures of the tool's JSON.
    void TheChecksOfAWithinDesignHaveItsRankTests() {
        const char* rows[] = {"18 20 23.5 15.5 20.5 18 19.5 21.5 25 17.5 27 18.5",
                              "8.5 11 12.5 7 12.5 5.5 14 13 11.5 13 14.5 9.5",
                              "32 31.5 28.5 30 34.5 27 29 30.5 30.5 31.5 34 29",
                              "21 24 22 23 25 21 27 23 24 25 30.5 25",
                              "15.5 13.5 18.5 17 16.5 14.5 15 19.5 18 17 24 17"};
        std::string text = "id,A,B,C,y\n";
        for (int s = 0; s < 5; ++s) {
            const QStringList scores = QString::fromLatin1(rows[s]).split(QLatin1Char(' '));
            for (int c = 0; c < 12; ++c)
                text += "s" + std::to_string(s + 1) + ",a" + std::to_string(c / 6 + 1) + ",b" +
                        std::to_string(c / 2 % 3 + 1) + ",c" + std::to_string(c % 2 + 1) + "," +
                        scores.at(c).toStdString() + "\n";
        }
        const std::string csv = dir_.File("three.csv");
        testing::WriteBytes(csv, text);
        Form()->OpenStudy(csv);
        QVERIFY(form_->CsvDialog() != nullptr);
        testing::Button(form_->CsvDialog(), "OkButton")->click();
        ResultsWindow* window = form_->CsvResults();
        QVERIFY(window != nullptr);
        auto* pages = window->findChild<QTabWidget*>(QStringLiteral("Pages"));
        int ranks = -1;
        for (int i = 0; i < pages->count(); ++i)
            if (pages->tabText(i) == QStringLiteral(u"順位検定")) ranks = i;
        if (window->Analysis().rankBased.friedman.empty()) QSKIP("the engine forms no rank-based tests yet");
        QVERIFY(ranks >= 0);
        for (const char* table : {"FriedmanTable", "AlignedRanksTable", "AlignedRankContrastsTable"})
            QVERIFY2(pages->widget(ranks)->findChild<QWidget*>(QString::fromLatin1(table)) != nullptr, table);
        const QJsonObject rank =
            QJsonDocument::fromJson(
                QByteArray::fromStdString(Tool("--id id --dv y --within A,B,C --format json " + csv)))
                .object()
                .value(QStringLiteral("rankBased"))
                .toObject();
        const QJsonObject friedman = rank.value(QStringLiteral("friedman")).toObject();
        const QJsonObject aligned = rank.value(QStringLiteral("alignedRankTransform"))
                                        .toObject()
                                        .value(QStringLiteral("effects"))
                                        .toObject();
        int compared = 0;
        for (const TableText& t : window->Tables()) {
            if (t.id != "Friedman" && t.id != "AlignedRanks") continue;
            const bool ofFriedman = t.id == "Friedman";
            const std::size_t column = static_cast<std::size_t>(
                std::find(t.columnIds.begin(), t.columnIds.end(), ofFriedman ? "chiSquare" : "F") -
                t.columnIds.begin());
            const QStringList keys = ofFriedman ? QStringList{"A", "B", "C", "A:B:C"}
                                                : QStringList{"A", "B", "C", "A:B", "A:C", "B:C", "A:B:C"};
            QCOMPARE(t.rows.size(), static_cast<std::size_t>(keys.size()));
            for (qsizetype i = 0; i < keys.size(); ++i, ++compared) {
                const QJsonObject figures = (ofFriedman ? friedman : aligned).value(keys[i]).toObject();
                const double want = figures.value(QLatin1String(ofFriedman ? "chiSquare" : "F")).toDouble();
                QVERIFY2(Near(Figure(t.rows[static_cast<std::size_t>(i)].at(column)), want),
                         qPrintable(keys[i]));
            }
        }
        QCOMPARE(compared, 11);
    }

    // The Q-Q page after the checks: a panel per stratum of the mixed design,
    // its caption, and its export through the file dialog, asking before it
    // replaces a file it did not write and never over the CSV.
    void TheQuantilePageShowsAndExportsTheStrata() {
        const std::string csv = kExamples + "/mixed-design.csv";
        Form()->OpenStudy(csv);
        testing::Button(form_->CsvDialog(), "OkButton")->click();
        ResultsWindow* window = form_->CsvResults();
        QVERIFY(window != nullptr);
        auto* pages = window->findChild<QTabWidget*>(QStringLiteral("Pages"));
        int checks = -1;
        for (int i = 0; i < pages->count(); ++i)
            if (pages->tabText(i) == QStringLiteral(u"前提の確認")) checks = i;
        QVERIFY(checks >= 0);
        QCOMPARE(pages->tabText(checks + 1), QStringLiteral(u"Q-Q プロット"));
        const plot::QuantilePlotData& data = window->QuantilePlot();
        QCOMPARE(data.panels.size(), std::size_t{2});
        QCOMPARE(data.panels[0].title, QStringLiteral("S"));
        QCOMPARE(data.panels[1].title, QStringLiteral(u"time × S"));
        if (window->Analysis().strata[1].residuals > 0)               // once the engine forms the checks
            QCOMPARE(data.panels[1].points.size(), std::size_t{24});  // 8 complete subjects x 3
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("QuantilePlotCaption"))->text(),
                 plot::QuantilePlotCaption(data));

        // Shown, then read again: the page stays the one shown.
        pages->setCurrentIndex(checks + 1);
        window->Reread();
        QCOMPARE(pages->count(), 9);
        QCOMPARE(pages->tabText(pages->currentIndex()), QStringLiteral(u"Q-Q プロット"));

        seams_.dialogs.Choose(QString::fromStdString(dir_.File("qq.png")));
        testing::Button(window, "ExportQuantilePlotButton")->click();
        QVERIFY(seams_.messages.Shown().isEmpty());
        QVERIFY(!QImage::fromData(FileBytesOf(dir_.File("qq.png")), "PNG").isNull());
        QCOMPARE(seams_.dialogs.Calls().back().title, QStringLiteral(u"Q-Q プロットの書き出し"));
        // A file it did not write: いいえ keeps it.
        testing::WriteBytes(dir_.File("other.svg"), "kept");
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("other.svg")));
        seams_.messages.AnswerReplace(false);
        window->ExportQuantilePlot();
        QCOMPARE(seams_.messages.AskedReplace().size(), 1);
        QCOMPARE(FileBytesOf(dir_.File("other.svg")), QByteArray("kept"));
        // Never over the CSV, nor in a kind it cannot write.
        seams_.dialogs.Choose(QString::fromStdString(csv));
        seams_.messages.AnswerReplace(true);
        window->ExportQuantilePlot();
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("qq.json")));
        window->ExportQuantilePlot();
        QCOMPARE(seams_.messages.Shown().size(), 2);
        QVERIFY(!QFile::exists(QString::fromStdString(dir_.File("qq.json"))));
        QCOMPARE(FileBytesOf(csv).left(22), QByteArray("subject,group,time,sco"));
    }

    void RereadingFollowsTheFileOnDisk() {
        const std::string path = dir_.File("reread.csv");
        std::string text = "id,group,cond,score\n";
        for (int s = 1; s <= 6; ++s)
            for (int c = 1; c <= 3; ++c)
                text += "s" + std::to_string(s) + "," + (s % 2 ? "g1" : "g2") + ",c" + std::to_string(c) +
                        "," + std::to_string((s * 7 + c * c * 3) % 11) + "\n";
        CsvRolesDialog* dialog = Dialog("reread.csv", text);
        testing::Button(dialog, "OkButton")->click();
        ResultsWindow* window = form_->CsvResults();
        QVERIFY(window != nullptr);
        auto* notice = window->findChild<QLabel*>(QStringLiteral("FileChangedNotice"));
        QVERIFY(!window->CheckFile() && notice->isHidden());
        // Saved again with the same bytes: not a change.
        testing::WriteBytes(path, text);
        QVERIFY(!window->CheckFile());
        const std::int64_t before = window->Analysis().subjects;

        // Two subjects more, one with a missing score: said until re-read.
        testing::WriteBytes(path,
                            text + "s7,g1,c1,4\ns7,g1,c2,5\ns7,g1,c3,9\ns8,g2,c1,1\ns8,g2,c2,\ns8,g2,c3,3\n");
        QVERIFY(window->CheckFile());
        QVERIFY(!notice->isHidden() && notice->text().contains(QStringLiteral("reread.csv")));
        QCOMPARE(window->Analysis().subjects, before);
        testing::Button(window, "RereadButton")->click();
        QVERIFY(seams_.messages.Shown().isEmpty());
        QVERIFY(notice->isHidden() && !window->FileChanged());
        QCOMPARE(window->Analysis().subjects, before + 1);
        auto* notes = window->findChild<QLabel*>(QStringLiteral("RemovedSubjectsNotice"));
        QVERIFY(!notes->isHidden() && notes->text().contains(QStringLiteral("s8")));

        // Broken on disk: the message, the figures and the notice kept.
        testing::WriteBytes(path, "id,group,cond,score\ns1,g1,c1,oops\n");
        QVERIFY(window->CheckFile());
        testing::Button(window, "RereadButton")->click();
        QCOMPARE(seams_.messages.Shown().size(), 1);
        QVERIFY(!notice->isHidden());
        QCOMPARE(window->Analysis().subjects, before + 1);
    }
};

QTEST_MAIN(CsvOpeningTest)
#include "CsvOpeningTest.moc"
