// The levels window driven as the user drives it: the level grids, N, OK and
// Load, and the hand-over to the data window.

#include <QClipboard>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <memory>

#include "datawindow/DataWindow.h"
#include "levelswindow/LevelsWindow.h"
#include "levelswindow/LoadProgress.h"
#include "support/Components.h"
#include "support/EndlessPipe.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"
#include "support/WindowDriving.h"
#include "widgets/FileChoice.h"

using namespace morvane;
using morvane::testing::Sjis;

namespace {

std::vector<std::string> Names(const widgets::StringGrid* grid) {
    std::vector<std::string> names;
    for (int k = 1; k < grid->RowCount(); ++k) names.push_back(grid->Cells().Cell(1, k));
    return names;
}

std::vector<std::string> Headings(const widgets::StringGrid* grid) {
    std::vector<std::string> headings;
    for (int k = 1; k < grid->RowCount(); ++k) headings.push_back(grid->Cells().Cell(0, k));
    return headings;
}

}  // namespace

class LevelsWindowTest : public QObject {
    Q_OBJECT

    testing::TempDir dir_;
    testing::FakeSeams seams_;
    StudyStore store_;
    std::unique_ptr<LevelsWindow> form_;

    LevelsWindow* OpenShown() {
        form_ = std::make_unique<LevelsWindow>(store_, seams_.Seams(), '.');
        return testing::ShowActive(form_.get()) ? form_.get() : nullptr;
    }

    // Levels x, y, z in the grid, typed as the user would after two Adds.
    void ThreeLevels(widgets::StringGrid* grid, QPushButton* add) {
        add->click();
        add->click();
        testing::TypeInCell(grid, 1, 1, "x");
        testing::TypeInCell(grid, 1, 2, "y");
        testing::TypeInCell(grid, 1, 3, "z");
    }

private slots:
    void init() {
        seams_.dialogs = {};
        seams_.messages.Clear();
        store_ = {};
    }
    void cleanup() { form_.reset(); }

    void StartsWithOneUnnamedLevelOfEachAndNOfOne() {
        LevelsWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        QCOMPARE(form->windowTitle(), QStringLiteral("Form1"));
        QCOMPARE(testing::Label(form, "Label2")->text(), QStringLiteral(u"被験者内要因Ａ"));
        QCOMPARE(testing::Button(form, "GOButton")->text(), QStringLiteral(u"ＯＫ"));
        QCOMPARE(testing::Edit(form, "NEdit")->text(), QStringLiteral("1"));
        QCOMPARE(QApplication::focusWidget(), testing::Button(form, "GOButton"));
        for (auto* grid : {testing::Grid(form, "StringGridA"), testing::Grid(form, "StringGridB")}) {
            const bool a = grid == testing::Grid(form, "StringGridA");
            QCOMPARE(grid->ColCount(), 2);
            QCOMPARE(grid->RowCount(), 2);
            QCOMPARE(grid->ColWidth(0), 64);
            QCOMPARE(grid->ColWidth(1), 96);
            QCOMPARE(grid->Cells().Cell(0, 0), Sjis(a ? "要因Ａ" : "要因Ｂ"));
            QCOMPARE(grid->Cells().Cell(1, 0), Sjis("ラベル"));
            QCOMPARE(grid->Cells().Cell(0, 1), std::string(a ? "a1 ==>" : "b1 ==>"));
            QCOMPARE(grid->Cells().Cell(1, 1), std::string());
            QCOMPARE(grid->Row(), 1);
            QCOMPARE(grid->Col(), 1);
        }
    }

    void AddAndDeleteMoveTheLevelsAroundTheSelectedOne() {
        const struct {
            const char* name;
            bool add;
            int selected;
            std::vector<std::string> names;
            int currentAfter;
        } rows[] = {
            {"add after the first", true, 1, {"x", " ", "y", "z"}, 1},
            {"add after the second", true, 2, {"x", "y", " ", "z"}, 2},
            {"add after the last", true, 3, {"x", "y", "z", " "}, 3},
            {"delete the first", false, 1, {"y", "z"}, 1},
            {"delete the middle", false, 2, {"x", "z"}, 2},
            {"delete the last", false, 3, {"x", "y"}, 2},
        };
        for (const auto& row : rows) {
            for (const char letter : {'a', 'b'}) {
                LevelsWindow* form = OpenShown();
                QVERIFY(form != nullptr);
                auto* grid =
                    letter == 'a' ? testing::Grid(form, "StringGridA") : testing::Grid(form, "StringGridB");
                ThreeLevels(grid, letter == 'a' ? testing::Button(form, "AddAButton")
                                                : testing::Button(form, "AddBButton"));
                grid->SelectCell(1, row.selected);
                if (row.add)
                    (letter == 'a' ? testing::Button(form, "AddAButton")
                                   : testing::Button(form, "AddBButton"))
                        ->click();
                else
                    (letter == 'a' ? testing::Button(form, "DelAButton")
                                   : testing::Button(form, "DelBButton"))
                        ->click();
                QVERIFY2(Names(grid) == row.names, row.name);
                std::vector<std::string> headings;
                for (std::size_t k = 1; k <= row.names.size(); ++k)
                    headings.push_back(letter + std::to_string(k) + " ==>");
                QVERIFY2(Headings(grid) == headings, row.name);
                QCOMPARE(grid->Row(), row.currentAfter);
            }
        }
    }

    void TheLastLevelIsNeverDeleted() {
        LevelsWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        testing::TypeInCell(testing::Grid(form, "StringGridA"), 1, 1, "only");
        testing::Button(form, "DelAButton")->click();
        testing::Button(form, "DelAButton")->click();
        QCOMPARE(Names(testing::Grid(form, "StringGridA")), std::vector<std::string>{"only"});
        QCOMPARE(Headings(testing::Grid(form, "StringGridA")), std::vector<std::string>{"a1 ==>"});
    }

    void OkAtOnceStartsTheSmallestStudyAndHandsOver() {
        LevelsWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        testing::Button(form, "GOButton")->click();
        QVERIFY(seams_.messages.Shown().isEmpty());
        QCOMPARE(store_.LevelCountA, 1);
        QCOMPARE(store_.LevelCountB, 1);
        QCOMPARE(store_.SubjectCount, 1);
        QCOMPARE(store_.LevelNamesA, (NameArray{"", ""}));
        QCOMPARE(store_.LevelNamesB, (NameArray{"", ""}));
        QCOMPARE(store_.CellText.Extent0(), 2);
        QCOMPARE(store_.CellText.Extent1(), 2);
        QCOMPARE(store_.CellText.Extent2(), 2);
        QCOMPARE(store_.CellText(1, 1, 1), std::string());

        QVERIFY(!form->isVisible());
        QVERIFY(form->Data() != nullptr);
        QCOMPARE(form->Data()->parentWidget(), form);
        QVERIFY(form->Data()->isWindow());
        QVERIFY(form->Data()->isVisible());
        // A level with no name shows its number on its tab.
        QCOMPARE(testing::Tabs(form->Data(), "TabControl1")->tabText(0), QStringLiteral("a1"));
        // The data window is the levels window's own and goes with it.
        QCOMPARE(form->findChildren<DataWindow*>(), QList<DataWindow*>{form->Data()});
        const QPointer<DataWindow> data = form->Data();
        form_.reset();
        QVERIFY(data.isNull());
    }

    void TwoAddsOnAFreshGridGiveLevelsNamedByOneSpace() {
        LevelsWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        testing::Button(form, "AddAButton")->click();
        testing::Button(form, "AddAButton")->click();
        testing::TypeInCell(testing::Grid(form, "StringGridB"), 1, 1, QStringLiteral(u" 第一😀 "));
        testing::Button(form, "GOButton")->click();
        QCOMPARE(store_.LevelNamesA, (NameArray{"", "", " ", " "}));
        // Names are stored untrimmed, as code page 932 bytes.
        QCOMPARE(store_.LevelNamesB, (NameArray{"", Sjis(" 第一? ")}));
        QCOMPARE(testing::Tabs(form->Data(), "TabControl1")->count(), 3);
    }

    void NIsConvertedOrRefusedWithTheText() {
        const struct {
            QString text;
            QString message;  // empty: accepted
            std::int32_t subjects;
        } rows[] = {
            {QStringLiteral(" 5"), {}, 5},
            {QStringLiteral("$10"), {}, 16},
            {QStringLiteral("0"), {}, 0},
            {QStringLiteral("5 "), QStringLiteral(u"'5 ' は整数ではありません."), 0},
            {QString(), QStringLiteral(u"'' は整数ではありません."), 0},
            {QStringLiteral(u"５"), QStringLiteral(u"'５' は整数ではありません."), 0},
            {QStringLiteral("-5"), QStringLiteral(u"範囲チェックエラー."), -5},
        };
        for (const auto& row : rows) {
            init();
            LevelsWindow* form = OpenShown();
            QVERIFY(form != nullptr);
            testing::Button(form, "AddBButton")->click();
            testing::TypeInCell(testing::Grid(form, "StringGridA"), 1, 1, "p");
            testing::Edit(form, "NEdit")->setFocus();
            testing::Edit(form, "NEdit")->selectAll();
            if (row.text.isEmpty())
                QTest::keyClick(testing::Edit(form, "NEdit"), Qt::Key_Delete);
            else
                testing::TypeText(testing::Edit(form, "NEdit"), row.text);
            QCOMPARE(testing::Edit(form, "NEdit")->text(), row.text);
            testing::Button(form, "GOButton")->click();
            QCOMPARE(store_.LevelCountA, 1);
            QCOMPARE(store_.LevelCountB, 2);
            QCOMPARE(store_.SubjectCount, row.subjects);
            if (row.message.isEmpty()) {
                QVERIFY2(seams_.messages.Shown().isEmpty(), qPrintable(row.text));
                QVERIFY(!form->isVisible());
                QCOMPARE(testing::Grid(form->Data(), "StringGrid1")->RowCount(),
                         std::max(row.subjects + 1, 1));
            } else {
                QCOMPARE(seams_.messages.Shown(), QStringList{row.message});
                QVERIFY(form->isVisible());
                QCOMPARE(form->findChildren<DataWindow*>().size(), 0);
                QCOMPARE(testing::Edit(form, "NEdit")->text(), row.text);
            }
            if (row.subjects == -5) QCOMPARE(store_.LevelNamesA, (NameArray{"", "p"}));
            cleanup();
        }
    }

    void LoadReadsTheFileAndHandsOver() {
        LevelsWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        testing::TypeInCell(testing::Grid(form, "StringGridA"), 1, 1, "typed");
        testing::WriteBytes(dir_.File("s.dat"), "1\r\n2\r\n1\r\nL1\r\nL2\r\nB\r\n3\r\n4\r\n");
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("s.dat")));
        testing::Button(form, "ReadButton")->click();
        QVERIFY(seams_.messages.Shown().isEmpty());
        QCOMPARE(seams_.dialogs.Calls().at(0).title, QStringLiteral(u"入力データファイル"));
        QCOMPARE(seams_.dialogs.Calls().at(0).fileName, QString());
        // Data files first, then long CSVs, then every file.
        QCOMPARE(seams_.dialogs.lastFilters.first(), widgets::DataFileFilters().first());
        QCOMPARE(seams_.dialogs.lastFilters.last(), widgets::DataFileFilters().last());
        QVERIFY(seams_.dialogs.lastFilters.at(1).contains(QStringLiteral("(*.csv)")));
        QCOMPARE(store_.LevelNamesA, (NameArray{"", "L1", "L2"}));
        // The data window's 保存 starts with the loaded file, its own.
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("s.dat")));
        QVERIFY(form->Data()->Save());
        QCOMPARE(seams_.dialogs.Calls().at(1).fileName, QString::fromStdString(dir_.File("s.dat")));
        QVERIFY(seams_.messages.Asked().isEmpty());
        QVERIFY(!form->isVisible());
        QCOMPARE(testing::Tabs(form->Data(), "TabControl1")->tabText(1), QStringLiteral("L2"));
        QCOMPARE(testing::Grid(form->Data(), "StringGrid1")->Cells().Cell(1, 1), std::string("3"));
        // The levels window's own grids keep what was typed.
        QCOMPARE(testing::Grid(form, "StringGridA")->Cells().Cell(1, 1), std::string("typed"));
    }

    void LoadFailuresKeepTheLevelsWindow() {
        LevelsWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        // A cancel ends the command silently.
        seams_.dialogs.Cancel();
        testing::Button(form, "ReadButton")->click();
        QVERIFY(seams_.messages.Shown().isEmpty());

        seams_.dialogs.Choose(QString::fromStdString(dir_.File("missing.dat")));
        testing::Button(form, "ReadButton")->click();
        testing::WriteBytes(dir_.File("none.dat"), "3\r\n0\r\n2\r\nb1\r\nb2\r\n");
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("none.dat")));
        testing::Button(form, "ReadButton")->click();
        QCOMPARE(seams_.messages.Shown(), QStringList({QStringLiteral(u"ファイルが見つかりません."),
                                                       QStringLiteral(u"要因の水準数が 1 未満です.")}));
        QCOMPARE(seams_.dialogs.Calls().at(2).fileName, QString::fromStdString(dir_.File("missing.dat")));
        QVERIFY(form->isVisible());
        QVERIFY(form->Data() == nullptr);

        // The window is still usable.
        testing::Button(form, "GOButton")->click();
        QVERIFY(form->Data() != nullptr);
        QCOMPARE(store_.LevelCountA, 1);
    }

    // A data file that ends before its last score loads (those scores empty),
    // and a message over the data window says how many were missing; a
    // complete file says nothing.
    void AFileThatEndsEarlySaysHowManyScoresWereMissing() {
        LevelsWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        testing::WriteBytes(dir_.File("cut.dat"), "3\r\n2\r\n2\r\nA1\r\nA2\r\nB1\r\nB2\r\n1\r\n2\r\n3\r\n4");
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("cut.dat")));
        testing::Button(form, "ReadButton")->click();
        QVERIFY(seams_.messages.Shown().isEmpty());
        QCOMPARE(seams_.messages.Informed(),
                 QStringList{QStringLiteral(
                     u"データファイルが途中で終わっていたため、足りない 8 個の得点は空欄にしました")});
        QVERIFY(form->Data() != nullptr && form->Data()->isVisible());
        QCOMPARE(testing::Grid(form->Data(), "StringGrid1")->Cells().Cell(1, 1), std::string("1"));
        QCOMPARE(testing::Grid(form->Data(), "StringGrid1")->Cells().Cell(2, 1), std::string("4"));
        QCOMPARE(testing::Grid(form->Data(), "StringGrid1")->Cells().Cell(2, 2), std::string());
        // Loaded as it is, it is no change: Close asks nothing.
        QVERIFY(!form->Changed());

        init();
        form_.reset();
        form = OpenShown();
        testing::WriteBytes(dir_.File("whole.dat"), "1\r\n1\r\n1\r\na\r\nb\r\n\r\n\r\n");
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("whole.dat")));
        testing::Button(form, "ReadButton")->click();
        QVERIFY(form->Data() != nullptr);
        QVERIFY(seams_.messages.Informed().isEmpty());  // a blank line after the study is no content

        // Scores beyond those the counts ask for load as the counts say, and
        // the message says that a save drops them.
        init();
        form_.reset();
        form = OpenShown();
        testing::WriteBytes(dir_.File("long.dat"), "1\r\n1\r\n1\r\na\r\nb\r\n7\r\n8\r\n");
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("long.dat")));
        testing::Button(form, "ReadButton")->click();
        QVERIFY(form->Data() != nullptr);
        QVERIFY(seams_.messages.Shown().isEmpty());
        QCOMPARE(seams_.messages.Informed(),
                 QStringList{QStringLiteral(
                     u"データファイルの最後の得点の後に余分な内容があります。読み込みでは無視し、"
                     u"保存すると失われます")});
        QCOMPARE(store_.CellText(1, 1, 1), std::string("7"));
    }

    // The levels window's frame, hidden behind the data window (closed by the
    // end of the session, say), asks the data window's question first.
    void ClosingAsksForAChangedDataWindow() {
        LevelsWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        testing::Button(form, "GOButton")->click();
        DataWindow* data = form->Data();
        QVERIFY(data != nullptr && testing::ShowActive(data));
        QVERIFY(!form->Changed());
        testing::TypeText(QApplication::focusWidget(), QStringLiteral("4"));
        QVERIFY(form->Changed());
        QSignalSpy closed(form, &LevelsWindow::closed);
        seams_.messages.Answer(widgets::SaveAnswer::Cancel);
        QVERIFY(!form->close());
        QCOMPARE(closed.count(), 0);
        QCOMPARE(seams_.messages.Asked().size(), 1);
        seams_.messages.Answer(widgets::SaveAnswer::Discard);
        QVERIFY(form->close());
        QCOMPARE(closed.count(), 1);
        QCOMPARE(seams_.messages.Asked().size(), 2);
    }

    // The N box is one line: a paste into it takes the first value only.
    void APasteIntoNTakesItsFirstValue() {
        LevelsWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        QLineEdit* n = testing::Edit(form, "NEdit");
        n->setFocus();
        n->selectAll();
        QApplication::clipboard()->setText(QStringLiteral("4\t5\r\n6\r\n"));
        testing::PressKeys(n, QKeySequence::Paste);
        QCOMPARE(n->text(), QStringLiteral("4"));
        testing::Button(form, "GOButton")->click();
        QVERIFY(seams_.messages.Shown().isEmpty());
        QCOMPARE(store_.SubjectCount, 4);
    }

    // A load that takes more than a moment (a pipe that brings the study
    // slowly, here) shows its progress in a modal dialog; 中止 stops it and
    // changes nothing: no message, no data window, the store as it was, the
    // window as usable as before. The command line's load stops the same way
    // by Escape, and shows the levels window alone.
    void ALongLoadShowsItsProgressAndItsAbortChangesNothing() {
        LevelsWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        form->SetLoadProgressDelay(0);
        StartNewStudy(store_, {"kept"}, {"b"}, "4");
        QString label, button;
        Qt::WindowModality modality = Qt::NonModal;
        bool busy = false;
        QTimer watch;
        watch.setInterval(20);
        const auto stopWith = [&](QWidget* owner, const std::function<void(QProgressDialog*)>& stop) {
            watch.disconnect();
            connect(&watch, &QTimer::timeout, this, [&, owner, stop] {
                auto* dialog = owner->findChild<QProgressDialog*>(QStringLiteral("LoadProgress"));
                if (dialog == nullptr || !dialog->isVisible()) return;
                watch.stop();
                label = dialog->labelText();
                modality = dialog->windowModality();
                button = dialog->findChild<QPushButton*>()->text();
                busy = dialog->maximum() == 0;
                stop(dialog);
            });
            watch.start();
        };
        {
            testing::EndlessPipe slow("100000\r\n2\r\n2\r\na1\r\na2\r\nb1\r\nb2\r\n", "12.5\r\n",
                                      std::chrono::milliseconds(2));
            seams_.dialogs.Choose(QString::fromStdString(slow.Path()));
            stopWith(form, [](QProgressDialog* dialog) {
                QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
            });
            testing::Button(form, "ReadButton")->click();
        }
        QVERIFY2(!watch.isActive(), "no progress dialog was shown");
        QVERIFY2(label.startsWith(QStringLiteral(u"データファイルを読み込み中です: ")), qPrintable(label));
        QCOMPARE(button, QStringLiteral(u"中止"));
        QCOMPARE(modality, Qt::ApplicationModal);
        QVERIFY(busy);  // a pipe has no size to measure by
        QVERIFY(seams_.messages.Shown().isEmpty());
        QVERIFY(form->Data() == nullptr);
        QVERIFY(form->isVisible());
        QCOMPARE(store_.SubjectCount, 4);
        QCOMPARE(store_.LevelNamesA, (NameArray{"", "kept"}));
        QVERIFY(QApplication::activeModalWidget() == nullptr);

        // A short load shows nothing and hands over as ever.
        form->SetLoadProgressDelay(500);
        testing::WriteBytes(dir_.File("s.dat"), "1\r\n1\r\n1\r\nL\r\nB\r\n3\r\n");
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("s.dat")));
        testing::Button(form, "ReadButton")->click();
        QVERIFY(form->Data() != nullptr);
        QVERIFY(form->findChild<QProgressDialog*>() == nullptr);
        QCOMPARE(store_.LevelNamesA, (NameArray{"", "L"}));

        // The program's command line: Escape stops the load, and the levels window shows.
        form_ = std::make_unique<LevelsWindow>(store_, seams_.Seams(), '.');
        form_->SetLoadProgressDelay(0);
        label.clear();
        {
            testing::EndlessPipe slow("3\r\n1\r\n1\r\nA\r\nB\r\n", "1", std::chrono::milliseconds(2));
            stopWith(form_.get(), [](QProgressDialog* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
            form_->OpenStudy(slow.Path());
        }
        QVERIFY2(!watch.isActive(), "no progress dialog was shown");
        QVERIFY(label.startsWith(QStringLiteral(u"データファイルを読み込み中です: ")));
        QVERIFY(seams_.messages.Shown().isEmpty());
        QVERIFY(form_->isVisible());
        QVERIFY(form_->Data() == nullptr);
        QCOMPARE(store_.LevelNamesA, (NameArray{"", "L"}));
    }

    // The progress of a file whose size is known is the share of it read.
    void TheProgressOfAFileIsTheShareOfItRead() {
        QWidget parent;
        LoadProgressDialog progress(&parent, 0);
        QTest::qWait(50);
        QVERIFY(progress.Continue(1 << 20, 4 << 20));
        QVERIFY(progress.Dialog() != nullptr);
        QCOMPARE(progress.Dialog()->maximum(), 1000);
        QCOMPARE(progress.Dialog()->value(), 250);
        QCOMPARE(progress.Dialog()->labelText(), QStringLiteral(u"データファイルを読み込み中です: 1.0 MB"));
        QTest::qWait(50);
        QVERIFY(progress.Continue(3 << 20, 4 << 20));
        QCOMPARE(progress.Dialog()->value(), 750);
        QCOMPARE(LoadingText(0), QStringLiteral(u"データファイルを読み込み中です: 0 KB"));
        QCOMPARE(LoadingText(1025), QStringLiteral(u"データファイルを読み込み中です: 2 KB"));
        QCOMPARE(LoadingText((5 << 20) + (1 << 19)),
                 QStringLiteral(u"データファイルを読み込み中です: 5.5 MB"));
        progress.Dialog()->cancel();
        QVERIFY(!progress.Continue(4 << 20, 4 << 20));
    }

    void CloseEndsTheProgram() {
        LevelsWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        QSignalSpy closed(form, &LevelsWindow::closed);
        testing::Button(form, "ExitButton")->click();
        QCOMPARE(closed.count(), 1);
        QVERIFY(!form->isVisible());
    }

    void TheKeyboardAloneNamesTheLevelsAndPressesTheButtons() {
        LevelsWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        QCOMPARE(form->minimumSize(), QSize(489, 297));  // StringGridB's right, ReadButton's bottom
        auto* gridA = testing::Grid(form, "StringGridA");
        // Enter on a focused button presses it, as Space does: Add twice.
        testing::Button(form, "AddAButton")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(gridA->RowCount(), 4);
        // A block pasted into the names fills them downward; what falls outside is told.
        gridA->setFocus();
        QApplication::clipboard()->setText(QStringLiteral("x\r\ny\r\nz\r\nw\tv\r\n"));
        testing::PressKeys(testing::CellEditor(gridA), QKeySequence::Paste);
        QCOMPARE(Names(gridA), (std::vector<std::string>{"x", "y", "z"}));
        QCOMPARE(Headings(gridA), (std::vector<std::string>{"a1 ==>", "a2 ==>", "a3 ==>"}));
        QCOMPARE(seams_.messages.Warnings(),
                 QStringList{QStringLiteral(u"表の外にはみ出した 2 個の値は貼り付けませんでした")});
        // Enter moves down the names, Tab goes on to the next control.
        QTest::keyClick(testing::CellEditor(gridA), Qt::Key_Return);
        QCOMPARE(gridA->Row(), 2);
        QTest::keyClick(testing::CellEditor(gridA), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->parentWidget()->parentWidget(),
                 testing::Grid(form, "StringGridB"));
        testing::Button(form, "GOButton")->setFocus();
        QTest::keyClick(testing::Button(form, "GOButton"), Qt::Key_Return);
        QVERIFY(form->Data() != nullptr);
        QCOMPARE(store_.LevelCountA, 3);
        QCOMPARE(store_.LevelNamesA.at(3), std::string("z"));
        QVERIFY(seams_.messages.Shown().isEmpty());
    }
};

QTEST_MAIN(LevelsWindowTest)
#include "LevelsWindowTest.moc"
