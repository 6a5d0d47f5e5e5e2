// The data entry window with unsaved scores: the question before they go, undo
// and redo, pastes, bad scores shown where they are, the print's progress and
// the recovery copies.

#include "DataWindowFixture.h"

class DataWindowEditingTest : public QObject, DataWindowFixture {
    Q_OBJECT

private slots:
    void init() { Reset(); }
    void cleanup() { form_.reset(); }

    // Close, by 終了 or the frame, asks "変更を保存しますか?" when the study
    // changed since it was loaded or saved, and does what the answer says.
    void CloseAsksBeforeUnsavedScoresGo() {
        enum class Change { None, Visited, Typed, BeingTyped, OnAnotherTab, Saved, SavedThenTyped, Undone };
        enum class Dialog { None, Chosen, Cancelled, Failing };
        using widgets::SaveAnswer;
        const struct {
            const char* name;
            Change change;
            bool byFrame;
            SaveAnswer answer;
            Dialog dialog;
            bool asked;
            bool closes;
        } rows[] = {
            {"unchanged", Change::None, false, SaveAnswer::Cancel, Dialog::None, false, true},
            {"only visited", Change::Visited, true, SaveAnswer::Cancel, Dialog::None, false, true},
            {"typed, cancelled", Change::Typed, false, SaveAnswer::Cancel, Dialog::None, true, false},
            {"being typed, cancelled", Change::BeingTyped, true, SaveAnswer::Cancel, Dialog::None, true,
             false},
            {"typed, not saved", Change::Typed, true, SaveAnswer::Discard, Dialog::None, true, true},
            {"typed on another tab, not saved", Change::OnAnotherTab, false, SaveAnswer::Discard,
             Dialog::None, true, true},
            {"typed, saved", Change::BeingTyped, false, SaveAnswer::Save, Dialog::Chosen, true, true},
            {"typed, save cancelled", Change::Typed, true, SaveAnswer::Save, Dialog::Cancelled, true, false},
            {"typed, save failing", Change::Typed, false, SaveAnswer::Save, Dialog::Failing, true, false},
            {"typed and saved before", Change::Saved, false, SaveAnswer::Cancel, Dialog::None, false, true},
            {"typed after a save", Change::SavedThenTyped, true, SaveAnswer::Cancel, Dialog::None, true,
             false},
            {"typed and undone", Change::Undone, false, SaveAnswer::Cancel, Dialog::None, false, true},
        };
        const QString saved = QString::fromStdString(dir_.File("saved.dat"));
        for (const auto& row : rows) {
            init();
            QFile::remove(saved);
            Load(kThreeLevels);
            DataWindow* form = OpenShown();
            QVERIFY2(form != nullptr, row.name);
            const auto typeFive = [this] { testing::TypeInCell(Grid(), 1, 2, "5"); };
            switch (row.change) {
                case Change::None:
                    break;
                case Change::Visited:
                    testing::TypeInCell(Grid(), 2, 2, "");  // a click, nothing typed
                    testing::ClickTab(Tabs(), 2);
                    testing::ClickTab(Tabs(), 0);
                    break;
                case Change::Typed:
                    typeFive();
                    Press(Qt::Key_Return);
                    break;
                case Change::BeingTyped:
                    typeFive();
                    break;
                case Change::OnAnotherTab:
                    typeFive();
                    testing::ClickTab(Tabs(), 1);
                    break;
                case Change::Saved:
                case Change::SavedThenTyped:
                    typeFive();
                    seams_.dialogs.Choose(QString::fromStdString(dir_.File("before.dat")));
                    testing::Button(form, "SaveButton")->click();
                    if (row.change == Change::SavedThenTyped) testing::TypeInCell(Grid(), 2, 2, "6");
                    break;
                case Change::Undone:
                    typeFive();
                    Press(Qt::Key_Z, Qt::ControlModifier);
                    break;
            }
            seams_.messages.Answer(row.answer);
            if (row.dialog == Dialog::Chosen) seams_.dialogs.Choose(saved);
            if (row.dialog == Dialog::Cancelled) seams_.dialogs.Cancel();
            if (row.dialog == Dialog::Failing)
                seams_.dialogs.Choose(QString::fromStdString(dir_.File("missing/saved.dat")));
            if (row.byFrame)
                QCOMPARE(form->close(), row.closes);
            else
                testing::Button(form, "ExitButton")->click();

            QVERIFY2(seams_.messages.Asked() ==
                         (row.asked ? QStringList{QStringLiteral(u"変更を保存しますか?")} : QStringList()),
                     row.name);
            QVERIFY2(Closed() == row.closes, row.name);
            QVERIFY2(seams_.dialogs.Pending() == 0, row.name);
            QVERIFY2(QFile::exists(saved) == (row.dialog == Dialog::Chosen), row.name);
            if (row.dialog == Dialog::Chosen) {
                // Saved as 保存 saves, what was being typed included.
                StudyStore reread;
                LoadStudyFile(reread, saved.toStdString());
                QVERIFY2(reread.CellText(2, 1, 1) == "5", row.name);
                QVERIFY2(reread.CellText(1, 1, 1) == "1", row.name);
            }
            QVERIFY2(seams_.messages.Shown() == (row.dialog == Dialog::Failing
                                                     ? QStringList{QStringLiteral(u"不正なファイル名です.")}
                                                     : QStringList()),
                     row.name);
            if (!row.closes) {
                // Kept as it was: shown, the typed text in its cell, and asked again next time.
                QVERIFY2(form->isVisible(), row.name);
                QVERIFY2(Cells().Cell(1, 2) == "5", row.name);
                seams_.messages.Clear();
                seams_.messages.Answer(SaveAnswer::Discard);
                testing::Button(form, "ExitButton")->click();
                QVERIFY2(seams_.messages.Asked().size() == 1 && Closed(), row.name);
            }
            form_.reset();
        }
    }

    // Ctrl+Z undoes the grid's last step (a cell's typing, a block paste),
    // Ctrl+Shift+Z and Ctrl+Y do it again; the steps go across tabs, a step of
    // another level showing that level's tab, and the step's cell is selected.
    void UndoAndRedoWalkEditsAndPastesAcrossTabs() {
        Load(kThreeLevels);
        DataWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        testing::TypeInCell(Grid(), 1, 1, "10");
        Press(Qt::Key_Return);
        testing::ClickTab(Tabs(), 1);
        testing::TypeInCell(Grid(), 2, 2, "20");
        testing::TypeInCell(Grid(), 1, 1, "");
        QApplication::clipboard()->setText(QStringLiteral("30\t31\r\n"));
        testing::PressKeys(QApplication::focusWidget(), QKeySequence::Paste);
        QCOMPARE(form->Steps().count(), 3);
        QCOMPARE(Cells().Cell(2, 1), std::string("31"));

        // The paste goes as one, its cells' bytes as they were.
        Press(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Cells().Cell(1, 1), std::string("\x82\xFF"));
        QCOMPARE(Cells().Cell(2, 1), std::string("7"));
        QCOMPARE(Cells().Cell(2, 2), std::string("20"));
        QCOMPARE(testing::CellEditor(Grid())->text(), QString::fromStdString(Cells().Cell(1, 1)));
        // With the focus elsewhere too; the cell of the step becomes the current one.
        testing::Button(form, "ExitButton")->setFocus();
        Press(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Cells().Cell(2, 2), std::string("8"));
        QCOMPARE(Grid()->Col(), 2);
        QCOMPARE(Grid()->Row(), 2);
        QCOMPARE(Tabs()->currentIndex(), 1);
        // A step of a1: its tab is shown, a2 written back as a tab change does.
        Press(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Tabs()->currentIndex(), 0);
        QCOMPARE(store_.CurrentTabLevel, 1);
        QCOMPARE(Cells().Cell(1, 1), std::string(" 1 "));
        QCOMPARE(Grid()->Col(), 1);
        QCOMPARE(Grid()->Row(), 1);
        QCOMPARE(store_.CellText(2, 2, 1), std::string("6"));
        QCOMPARE(store_.CellText(1, 2, 2), std::string("7"));
        QVERIFY(!form->Steps().canUndo());
        Press(Qt::Key_Z, Qt::ControlModifier);  // nothing left: nothing changes
        QCOMPARE(Cells().Cell(1, 1), std::string(" 1 "));

        // And again, by both keys, back across the tab.
        Press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(Cells().Cell(1, 1), std::string("10"));
        Press(Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(Tabs()->currentIndex(), 1);
        QCOMPARE(store_.CellText(1, 1, 1), std::string("10"));
        QCOMPARE(Cells().Cell(2, 2), std::string("20"));
        Press(Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(Cells().Cell(1, 1), std::string("30"));
        QCOMPARE(Cells().Cell(2, 1), std::string("31"));
        QVERIFY(!form->Steps().canRedo());

        // What is being typed goes first, with the editor open on it.
        testing::TypeInCell(Grid(), 2, 2, "99");
        Press(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Cells().Cell(2, 2), std::string("20"));
        QCOMPARE(testing::CellEditor(Grid())->text(), QStringLiteral("20"));
        // The editor's menu undoes and redoes the same steps.
        const QPoint inside(2, 2);
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, inside,
                                    testing::CellEditor(Grid())->mapToGlobal(inside));
        QApplication::sendEvent(testing::CellEditor(Grid()), &menuEvent);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu != nullptr);
        bool found = false;
        for (QAction* action : menu->actions())
            if (action->text().remove(QLatin1Char('&')) == QStringLiteral("Redo") && action->isEnabled()) {
                action->trigger();
                found = true;
            }
        menu->close();
        QVERIFY(found);
        QCOMPARE(Cells().Cell(2, 2), std::string("99"));

        // Undone back to the saved study, it closes without a question.
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("saved.dat")));
        testing::Button(form, "SaveButton")->click();
        testing::Grid(form, "StringGrid1")->setFocus();
        Press(Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(form->Changed());
        Press(Qt::Key_Y, Qt::ControlModifier);
        QVERIFY(!form->Changed());
        testing::Button(form, "ExitButton")->click();
        QVERIFY(seams_.messages.Asked().isEmpty());
        QVERIFY(Closed());
    }

    // A block copied from a spreadsheet whose cell held a line break: the
    // value in quotes is left out and counted, and every other value lands in
    // its own cell, none a row too low.
    void AQuotedPasteFillsTheCellsAsTheSpreadsheetHeldThem() {
        LoadStudyFile(store_, MORVANE_EXAMPLES "/worked-example.dat");
        DataWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        QApplication::clipboard()->setText(
            QStringLiteral("\"a\nb\"\t5.5\r\n6\t\"7\"\r\n\"8\"\t\"9\"\"\"\r\n"));
        testing::PressKeys(QApplication::focusWidget(), QKeySequence::Paste);
        QCOMPARE(seams_.messages.Warnings(),
                 QStringList{QStringLiteral(u"改行やタブを含む 1 個の値は貼り付けませんでした")});
        QCOMPARE(Cells().Cell(1, 1), std::string("3"));
        QCOMPARE(Cells().Cell(2, 1), std::string("5.5"));
        QCOMPARE(Cells().Cell(1, 2), std::string("6"));
        QCOMPARE(Cells().Cell(2, 2), std::string("7"));
        QCOMPARE(Cells().Cell(1, 3), std::string("8"));
        QCOMPARE(Cells().Cell(2, 3), std::string("9\""));
        // A quoted value holding a tab is no score either: left out alike.
        seams_.messages.Clear();
        Grid()->SelectCell(1, 1);
        QApplication::clipboard()->setText(QStringLiteral("\"1\t2\"\r\n"));
        testing::PressKeys(QApplication::focusWidget(), QKeySequence::Paste);
        QCOMPARE(seams_.messages.Warnings(),
                 QStringList{QStringLiteral(u"改行やタブを含む 1 個の値は貼り付けませんでした")});
        QCOMPARE(Cells().Cell(1, 1), std::string("3"));
        // Outside the grid and holding a line break: both told in one message.
        seams_.messages.Clear();
        Grid()->SelectCell(2, 2);
        QApplication::clipboard()->setText(QStringLiteral("\"x\r\ny\"\tout\r\n4\r\n1\r\n"));
        testing::PressKeys(QApplication::focusWidget(), QKeySequence::Paste);
        QCOMPARE(seams_.messages.Warnings(),
                 QStringList{QStringLiteral(
                     u"表の外にはみ出した 2 個の値と改行やタブを含む 1 個の値は貼り付けませんでした")});
        QCOMPARE(Cells().Cell(2, 2), std::string("7"));
        QCOMPARE(Cells().Cell(2, 3), std::string("4"));
        // Saved and loaded, the file holds the pasted cells and nothing shifted.
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("pasted.dat")));
        testing::Button(form, "SaveButton")->click();
        QVERIFY(seams_.messages.Shown().isEmpty());
        StudyStore loaded;
        QCOMPARE(LoadStudyFile(loaded, dir_.File("pasted.dat")), 0);
        const char* a1[3][2] = {{"3", "5.5"}, {"6", "7"}, {"8", "4"}};
        for (int s = 1; s <= 3; ++s)
            for (int b = 1; b <= 2; ++b) QCOMPARE(loaded.CellText(s, 1, b), std::string(a1[s - 1][b - 1]));
        QCOMPARE(loaded.CellText(1, 2, 1), std::string("4"));
    }

    // 計算 or 分析 stopping on a bad score shows it, before its message: the
    // tab of its level, its cell the current one, the editor open on it.
    void ABadScoreShowsItsTabAndCellBeforeItsMessage() {
        for (const char* command : {"CalcButton", "AnalysisButton"}) {
            init();
            LoadStudyFile(store_, MORVANE_EXAMPLES "/worked-example.dat");
            store_.CellText(2, 2, 1) = "1O";  // subject 2, a2, b1: not shown
            DataWindow* form = OpenShown();
            QVERIFY(form != nullptr);
            int tabThen = -1, colThen = -1, rowThen = -1;
            seams_.messages.whenError = [&] {
                tabThen = Tabs()->currentIndex();
                colThen = Grid()->Col();
                rowThen = Grid()->Row();
            };
            testing::Button(form, command)->click();
            QCOMPARE(seams_.messages.Shown(),
                     QStringList{QStringLiteral(u"'1O' は浮動小数点数ではありません.\n場所: タブ 'a2'、被験者 2、水準 'b1'")});
            QCOMPARE(tabThen, 1);
            QCOMPARE(colThen, 1);
            QCOMPARE(rowThen, 2);
            QCOMPARE(store_.CurrentTabLevel, 2);
            QLineEdit* editor = testing::CellEditor(Grid());
            QVERIFY2(editor != nullptr, command);
            QCOMPARE(editor->selectedText(), QStringLiteral("1O"));
            QVERIFY(seams_.dialogs.Calls().empty());
            // Typed over, it is the score from then on; another, typed on a2
            // and left for a1, is shown on a2 again, as it was typed.
            QTest::keyClicks(editor, "1");
            testing::TypeInCell(Grid(), 2, 3, " 9x ");
            testing::ClickTab(Tabs(), 0);
            testing::TypeInCell(Grid(), 2, 1, "2x");  // a1 comes first: subject 1
            seams_.messages.Clear();
            testing::Button(form, command)->click();
            QCOMPARE(seams_.messages.Shown(),
                     QStringList{QStringLiteral(u"'2x' は浮動小数点数ではありません.\n場所: タブ 'a1'、被験者 1、水準 'b2'")});
            QCOMPARE(Tabs()->currentIndex(), 0);
            QCOMPARE(Grid()->Col(), 2);
            QCOMPARE(Grid()->Row(), 1);
            testing::TypeInCell(Grid(), 2, 1, "2");
            seams_.messages.Clear();
            testing::Button(form, command)->click();
            QCOMPARE(seams_.messages.Shown(),
                     QStringList{QStringLiteral(u"'9x' は浮動小数点数ではありません.\n場所: タブ 'a2'、被験者 3、水準 'b2'")});
            QCOMPARE(Tabs()->currentIndex(), 1);
            QCOMPARE(Grid()->Col(), 2);
            QCOMPARE(Grid()->Row(), 3);
            QCOMPARE(Cells().Cell(2, 3), std::string("9x"));
            QCOMPARE(Cells().Cell(1, 2), std::string("1"));
            form_.reset();
        }
    }

    void AFailureInCreationIsShownAndCreationGoesOn() {
        LoadStudyFile(store_, MORVANE_EXAMPLES "/worked-example.dat");
        const auto budget = MemoryBudget();
        SetMemoryBudget(64);
        Open();
        SetMemoryBudget(budget);
        QCOMPARE(seams_.messages.Shown(), QStringList{QStringLiteral(u"メモリが足りません.")});
        QVERIFY(form_ != nullptr);
        QCOMPARE(testing::Tabs(form_, "TabControl1")->count(), 1);
        QCOMPARE(testing::Tabs(form_, "TabControl1")->tabText(0), QStringLiteral("a1"));
        QCOMPARE(testing::Grid(form_, "StringGrid1")->RowCount(), 0);
        // The commands stay inside the grid and the store: the unsized values
        // are sized by Calculate, and the stored scores give the report.
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("results.txt")));
        testing::Button(form_, "CalcButton")->click();
        QCOMPARE(seams_.messages.Shown().size(), 1);
        QCOMPARE(ReadBytes(dir_.File("results.txt")),
                 ReadBytes(MORVANE_TEST_DATA "/worked-example-results.txt"));
    }

    void TrimRemovesOnlySingleByteBlanksAtTheEnds() {
        const struct {
            std::string text, trimmed;
        } rows[] = {
            {" \t12.5\r\n ", "12.5"},
            {"\x01\x1F x y \x20", "x y"},
            {Sjis("　12　"), Sjis("　12　")},
            {"\x81\x40 ", "\x81\x40"},
            {"   ", ""},
            {"\x7F", "\x7F"},
        };
        for (const auto& row : rows) QCOMPARE(std::string(TrimBlanks(row.text)), row.trimmed);
    }

    void AMultiLinePasteSavedAndLoadedGivesBackExactlyThePastedCells() {
        LoadStudyFile(store_, MORVANE_EXAMPLES "/worked-example.dat");
        const StudyStore original = store_;
        DataWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        auto* grid = testing::Grid(form, "StringGrid1");
        // Subject 1, b1 of a1: "3" there, "99" below it.
        testing::TypeInCell(grid, 1, 1, "5");
        QApplication::clipboard()->setText(QStringLiteral("3\n99"));
        testing::PressKeys(testing::CellEditor(grid), QKeySequence::Paste);
        // On a2, a block that runs past the last subject and the last level of B.
        testing::ClickTab(testing::Tabs(form, "TabControl1"), 1);
        testing::TypeInCell(grid, 2, 2, "");
        QApplication::clipboard()->setText(QStringLiteral("10\t11\r\n12\t13\r\n14\r\n"));
        testing::PressKeys(testing::CellEditor(grid), QKeySequence::Paste);
        QCOMPARE(seams_.messages.Warnings(),
                 QStringList{QStringLiteral(u"表の外にはみ出した 3 個の値は貼り付けませんでした")});
        QVERIFY(seams_.messages.Shown().isEmpty());

        seams_.dialogs.Choose(QString::fromStdString(dir_.File("pasted.dat")));
        testing::Button(form, "SaveButton")->click();
        QVERIFY(seams_.messages.Shown().isEmpty());
        StudyStore loaded;
        LoadStudyFile(loaded, dir_.File("pasted.dat"));
        StudyStore expected = original;
        expected.CellText(1, 1, 1) = "3";
        expected.CellText(2, 1, 1) = "99";
        expected.CellText(2, 2, 2) = "10";
        expected.CellText(3, 2, 2) = "12";
        QCOMPARE(loaded.SubjectCount, expected.SubjectCount);
        QCOMPARE(loaded.LevelNamesA, expected.LevelNamesA);
        QCOMPARE(loaded.LevelNamesB, expected.LevelNamesB);
        for (std::int32_t a = 1; a <= 2; ++a)
            for (std::int32_t b = 1; b <= 2; ++b)
                for (std::int32_t s = 1; s <= 3; ++s)
                    QVERIFY2(loaded.CellText(s, a, b) == expected.CellText(s, a, b),
                             qPrintable(QStringLiteral("s%1 a%2 b%3").arg(s).arg(a).arg(b)));
    }

    void EnterPressesAFocusedButtonAndTheWindowKeepsItsControls() {
        LoadStudyFile(store_, MORVANE_EXAMPLES "/worked-example.dat");
        DataWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        QCOMPARE(form->minimumSize(), QSize(475, 417));  // the buttons' right, the tab strip's bottom
        testing::Button(form, "SaveButton")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), testing::Button(form, "CalcButton"));
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("results.txt")));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(ReadBytes(dir_.File("results.txt")),
                 ReadBytes(MORVANE_TEST_DATA "/worked-example-results.txt"));
        QCOMPARE(seams_.dialogs.Calls().size(), std::size_t{1});
        // An auto-repeated Enter, or one with Ctrl, presses nothing.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(seams_.dialogs.Calls().size(), std::size_t{1});
    }

    void APrintShowsItsProgressAndItsAbortPrintsNothing() {
        Load(kThreeLevels);
        DataWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        testing::TypeInCell(testing::Grid(form, "StringGrid1"), 1, 1, " 42 ");
        seams_.printer.slowLines = 4000;  // at least 4 s
        QString label, button;
        Qt::WindowModality modality = Qt::NonModal;
        QTimer watch;
        watch.setInterval(20);
        connect(&watch, &QTimer::timeout, this, [&] {
            auto* dialog = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr || !dialog->isVisible()) return;
            watch.stop();
            label = dialog->labelText();
            modality = dialog->windowModality();
            auto* abort = dialog->findChild<QPushButton*>();
            button = abort->text();
            QTest::mouseClick(abort, Qt::LeftButton);
        });
        watch.start();
        testing::Button(form, "PButton")->click();
        QVERIFY2(!watch.isActive(), "no progress dialog was shown");
        QVERIFY2(
            label.startsWith(QStringLiteral(u"印刷中です: ")) && label.endsWith(QStringLiteral(u" ページ目")),
            qPrintable(label));
        QCOMPARE(button, QStringLiteral(u"中止"));
        QCOMPARE(modality, Qt::ApplicationModal);
        // Stopped: nothing printed, no message, the level written back as by any print.
        QCOMPARE(seams_.printer.jobs, 1);
        QCOMPARE(seams_.printer.stopped, 1);
        QVERIFY(seams_.printer.printedTexts.empty());
        QVERIFY(seams_.messages.Shown().isEmpty());
        QCOMPARE(store_.CellText(1, 1, 1), std::string("42"));
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        // A short listing shows no dialog and prints.
        seams_.printer.slowLines = 20;
        testing::Button(form, "PButton")->click();
        QCOMPARE(seams_.printer.jobs, 2);
        QCOMPARE(seams_.printer.stopped, 1);
        QCOMPARE(seams_.printer.printedTexts.at(0), std::string("42"));
        QVERIFY(form->findChild<QProgressDialog*>() == nullptr);
    }

    // A study with unsaved changes is kept in the recovery file a moment after
    // the last step, as 保存 would write it; a save, an undo back to the saved
    // state and 保存しない remove the file. A recovered study counts as
    // changed, and is kept at once.
    void AnUnsavedStudyIsKeptForRecoveryUntilSavedOrLetGo() {
        Load(kThreeLevels);
        RecoveryFile recovery(dir_.File("state"), 77);
        widgets::Seams seams = seams_.Seams();
        seams.recovery = &recovery;
        form_ = std::make_unique<DataWindow>(&owner_, store_, seams, '.');
        QVERIFY(testing::ShowActive(form_.get()));
        form_->SetRecoveryDelay(1000);
        const auto kept = [&] {
            return !recovery.Path().empty() && QFile::exists(QString::fromStdString(recovery.Path()));
        };

        // Every step starts the wait again: typing on two tabs, less than the
        // delay apart, is kept once, after the last.
        testing::TypeInCell(Grid(), 1, 1, "5");
        Press(Qt::Key_Return);
        QTest::qWait(600);
        QVERIFY(!kept());
        testing::ClickTab(Tabs(), 2);
        testing::TypeInCell(Grid(), 2, 1, "6.5");
        Press(Qt::Key_Return);
        QTest::qWait(600);
        QVERIFY(!kept());
        QTRY_VERIFY_WITH_TIMEOUT(kept(), 3000);
        form_->SetRecoveryDelay(100);
        const std::string copy = ReadBytes(recovery.Path());
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("saved.dat")));
        QVERIFY(form_->Save());
        QCOMPARE(ReadBytes(dir_.File("saved.dat")), copy);
        QVERIFY(!kept());
        QVERIFY(std::filesystem::is_empty(dir_.File("state")));

        // Undone back to the saved state, the copy goes at once.
        testing::TypeInCell(Grid(), 1, 2, "8");
        Press(Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(kept(), 2000);
        form_->Undo();
        QVERIFY(!kept());
        QTest::qWait(400);
        QVERIFY(!kept());

        // 保存しない lets the study go, and its copy.
        testing::TypeInCell(Grid(), 1, 2, "9");
        Press(Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(kept(), 2000);
        seams_.messages.Answer(widgets::SaveAnswer::Discard);
        form_->Exit();
        QVERIFY(Closed());
        QVERIFY(std::filesystem::is_empty(dir_.File("state")));

        // Recovered: changed with no step, kept at once, asked about at the end.
        form_.reset();
        init();
        Load(copy);
        form_ = std::make_unique<DataWindow>(&owner_, store_, seams, '.');
        QVERIFY(testing::ShowActive(form_.get()));
        form_->MarkRecovered();
        QVERIFY(kept());
        QCOMPARE(ReadBytes(recovery.Path()), copy);
        QVERIFY(form_->Changed());
        seams_.messages.Answer(widgets::SaveAnswer::Cancel);
        QVERIFY(!form_->close());
        QCOMPARE(seams_.messages.Asked().size(), 1);
        QVERIFY(kept());
    }

    // A copy that cannot be written is said once, with the reason; the work
    // goes on, and a save still saves.
    void ARecoveryCopyThatCannotBeWrittenIsShownOnce() {
        Load(kThreeLevels);
        WriteBytes(dir_.File("plain"), "a file, not a folder");
        RecoveryFile recovery(dir_.File("plain/state"), 77);
        widgets::Seams seams = seams_.Seams();
        seams.recovery = &recovery;
        form_ = std::make_unique<DataWindow>(&owner_, store_, seams, '.');
        QVERIFY(testing::ShowActive(form_.get()));
        form_->SetRecoveryDelay(50);
        for (const char* text : {"5", "6"}) {
            testing::TypeInCell(Grid(), 1, 1, text);
            Press(Qt::Key_Return);
            QTest::qWait(300);
        }
        QCOMPARE(seams_.messages.Warnings().size(), 1);
        const QString warning = seams_.messages.Warnings().at(0);
        QVERIFY(warning.startsWith(QStringLiteral(u"復元用のコピーを書き込めません (不正なファイル名です)")));
        QVERIFY(seams_.messages.Shown().isEmpty());
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("saved.dat")));
        QVERIFY(form_->Save());
    }
};

QTEST_MAIN(DataWindowEditingTest)
#include "DataWindowEditingTest.moc"
