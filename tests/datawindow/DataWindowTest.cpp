// The data entry window driven as the user drives it: creation, tabs, typing,
// Save, Calculate, Print and Close, with the dialogs and messages of the seams.

#include "DataWindowFixture.h"

class DataWindowTest : public QObject, DataWindowFixture {
    Q_OBJECT

private slots:
    void init() { Reset(); }
    void cleanup() { form_.reset(); }


    void CreationShowsTheFirstLevelWithItsHeadings() {
        Load(kThreeLevels);
        DataWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        QCOMPARE(form->windowTitle(), QStringLiteral("CalcForm"));
        QCOMPARE(testing::Tabs(form, "TabControl1")->count(), 3);
        QCOMPARE(testing::Tabs(form, "TabControl1")->tabText(0), QStringLiteral("x"));
        QCOMPARE(testing::Tabs(form, "TabControl1")->tabText(2), QStringLiteral("z"));
        QCOMPARE(testing::Tabs(form, "TabControl1")->currentIndex(), 0);
        QCOMPARE(store_.CurrentTabLevel, 1);
        QCOMPARE(store_.CellValue.Extent0(), 3);
        QCOMPARE(store_.CellValue.Extent2(), 3);

        QCOMPARE(testing::Grid(form, "StringGrid1")->ColCount(), 3);
        QCOMPARE(testing::Grid(form, "StringGrid1")->RowCount(), 3);
        QCOMPARE(Cells().Cell(0, 0), std::string());
        QCOMPARE(Cells().Cell(2, 0), std::string("b2"));
        QCOMPARE(Cells().Cell(0, 1), Sjis("1番目"));
        QCOMPARE(Cells().Cell(0, 2), Sjis("2番目"));
        // Level 1 goes in as stored, untrimmed, and nothing was written back.
        QCOMPARE(Cells().Cell(1, 1), std::string(" 1 "));
        QCOMPARE(Cells().Cell(2, 2), std::string("\t4"));
        QCOMPARE(store_.CellText(1, 1, 1), std::string(" 1 "));
        QCOMPARE(testing::Grid(form, "StringGrid1")->Col(), 1);
        QCOMPARE(testing::Grid(form, "StringGrid1")->Row(), 1);
        // The focus is on the first score, its whole text selected.
        QLineEdit* editor = testing::CellEditor(testing::Grid(form, "StringGrid1"));
        QVERIFY(editor != nullptr);
        QCOMPARE(editor->selectedText(), QStringLiteral(" 1 "));
        QVERIFY(seams_.messages.Shown().isEmpty());

        // One level of A: one tab, captioned with its name, not "a1".
        form_.reset();
        Load(Lines({"1", "1", "1", Sjis("第一"), "b", "5"}));
        Open();
        QCOMPARE(testing::Tabs(form_, "TabControl1")->count(), 1);
        QCOMPARE(testing::Tabs(form_, "TabControl1")->tabText(0), QStringLiteral(u"第一"));
    }

    void TabChangeStoresTheShownLevelTrimmedAndShowsTheNewOne() {
        Load(kThreeLevels);
        DataWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        const std::string level2Before = store_.CellText(1, 2, 1);

        testing::ClickTab(testing::Tabs(form, "TabControl1"), 2);
        QCOMPARE(store_.CurrentTabLevel, 3);
        QCOMPARE(store_.CellText(1, 1, 1), std::string("1"));
        QCOMPARE(store_.CellText(2, 1, 2), std::string("4"));
        QCOMPARE(Cells().Cell(1, 1), std::string("9"));
        QCOMPARE(Cells().Cell(0, 2), Sjis("2番目"));

        testing::TypeInCell(testing::Grid(form, "StringGrid1"), 1, 1, QStringLiteral(u" 7　 "));
        testing::TypeInCell(testing::Grid(form, "StringGrid1"), 2, 2, QStringLiteral("  "));
        QCOMPARE(Cells().Cell(1, 1), Sjis(" 7　 "));
        testing::ClickTab(testing::Tabs(form, "TabControl1"), 0);
        QCOMPARE(store_.CurrentTabLevel, 1);
        // Trimmed of bytes up to 0x20 only: the full-width space stays.
        QCOMPARE(store_.CellText(1, 3, 1), Sjis("7　"));
        QCOMPARE(store_.CellText(2, 3, 2), std::string());
        QCOMPARE(Cells().Cell(1, 1), std::string("1"));
        QCOMPARE(Cells().Cell(2, 2), std::string("4"));
        QCOMPARE(Cells().Cell(1, 0), std::string("b1"));
        // The level never shown keeps its bytes as loaded.
        QCOMPARE(store_.CellText(1, 2, 1), level2Before);
        QCOMPARE(store_.CellText(2, 2, 1), std::string("6\t"));

        // The editor holds the new level's text, nothing carried over.
        testing::Grid(form, "StringGrid1")->setFocus();
        QLineEdit* editor = testing::CellEditor(testing::Grid(form, "StringGrid1"));
        QVERIFY(editor != nullptr);
        QCOMPARE(testing::Grid(form, "StringGrid1")->Row(), 2);
        QCOMPARE(editor->text(), QStringLiteral("4"));
        // Selecting a tab from code runs no handler.
        testing::Tabs(form, "TabControl1")->Select(1);
        QCOMPARE(store_.CurrentTabLevel, 1);
    }

    void SaveWritesTheShownLevelTrimmedAndTheRestAsStored() {
        Load(kThreeLevels);
        DataWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        testing::TypeInCell(testing::Grid(form, "StringGrid1"), 2, 1, QStringLiteral(" 3.5 "));
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("saved.dat")));
        testing::Button(form, "SaveButton")->click();
        QVERIFY(seams_.messages.Shown().isEmpty());
        QCOMPARE(ReadBytes(dir_.File("saved.dat")),
                 Lines({"2",   "3", "2",        "x",   "y", "z", "b1", "b2", "1",  "2",
                        "3.5", "4", "\x82\xFF", "6\t", "7", "8", "9",  "10", "11", "12"}));
        QCOMPARE(seams_.dialogs.Calls().at(0).kind, QStringLiteral("save"));
        QCOMPARE(seams_.dialogs.Calls().at(0).title, QStringLiteral(u"ファイル名"));
        QCOMPARE(seams_.dialogs.Calls().at(0).fileName, QString());
        // The grid still shows what was typed.
        QCOMPARE(Cells().Cell(2, 1), std::string(" 3.5 "));

        // The next Save offers the name confirmed last; a cancel writes nothing.
        WriteBytes(dir_.File("saved.dat"), "kept");
        seams_.dialogs.Cancel();
        testing::Button(form, "SaveButton")->click();
        QCOMPARE(seams_.dialogs.Calls().at(1).fileName, QString::fromStdString(dir_.File("saved.dat")));
        QCOMPARE(ReadBytes(dir_.File("saved.dat")), std::string("kept"));
        QVERIFY(seams_.messages.Shown().isEmpty());
    }

    // 保存 and 計算 replace a file that exists only when it is their own (the
    // study's file, a results file written before) or the user says so.
    void WritingOverAnotherFileAsksFirst() {
        Load(ReadBytes(MORVANE_EXAMPLES "/worked-example.dat"));
        const QString own = QString::fromStdString(dir_.File("study.dat"));
        const QString other = QString::fromStdString(dir_.File("other.dat"));
        WriteBytes(dir_.File("other.dat"), "another study");
        DataWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        form->SetStudyFile(own);
        testing::TypeInCell(Grid(), 1, 1, QStringLiteral("5"));
        // いいえ goes back to the dialog, which starts with that name; its cancel writes nothing.
        seams_.dialogs.Choose(other);
        seams_.dialogs.Cancel();
        seams_.messages.AnswerReplace(false);
        QVERIFY(!form->Save());
        QCOMPARE(seams_.messages.AskedReplace(),
                 QStringList{QStringLiteral(u"other.dat は既に存在します。置き換えますか?")});
        QCOMPARE(seams_.dialogs.Calls().size(), std::size_t{2});
        QCOMPARE(seams_.dialogs.Calls().at(0).fileName, own);  // the study's folder and name
        QCOMPARE(seams_.dialogs.Calls().at(1).fileName, other);
        QCOMPARE(seams_.dialogs.lastFilters, widgets::DataFileFilters());
        QVERIFY(seams_.dialogs.lastFilters.at(0).contains(QStringLiteral("(*.dat)")));
        QCOMPARE(ReadBytes(dir_.File("other.dat")), std::string("another study"));
        QVERIFY(form->Changed());
        // The study's own file, under another spelling of its name: no question.
        seams_.messages.Clear();
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("./study.dat")));
        QVERIFY(form->Save());
        QVERIFY(seams_.messages.AskedReplace().isEmpty());
        QCOMPARE(ReadBytes(dir_.File("study.dat")), DataFileBytesOf(store_));
        QCOMPARE(store_.CellText(1, 1, 1), std::string("5"));
        // はい replaces the other study, which is then the study's own file.
        seams_.dialogs.Choose(other);
        QVERIFY(form->Save());
        QCOMPARE(seams_.messages.AskedReplace().size(), 1);
        QCOMPARE(ReadBytes(dir_.File("other.dat")), ReadBytes(dir_.File("study.dat")));
        seams_.dialogs.Choose(other);
        QVERIFY(form->Save());
        QCOMPARE(seams_.messages.AskedReplace().size(), 1);
        // The first study's file is now another's: asked again.
        seams_.dialogs.Choose(own);
        seams_.messages.AnswerReplace(false);
        QVERIFY(!form->Save());
        QCOMPARE(seams_.messages.AskedReplace().size(), 2);

        // 計算: an existing file it did not write is asked about; one it wrote is not.
        seams_.messages.Clear();
        WriteBytes(dir_.File("results.txt"), "old results");
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("results.txt")));
        seams_.messages.AnswerReplace(false);
        testing::Button(form, "CalcButton")->click();
        QCOMPARE(seams_.messages.AskedReplace().size(), 1);
        QCOMPARE(ReadBytes(dir_.File("results.txt")), std::string("old results"));
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("results.txt")));
        testing::Button(form, "CalcButton")->click();
        QVERIFY(ReadBytes(dir_.File("results.txt")) != "old results");
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("results.txt")));
        testing::Button(form, "CalcButton")->click();
        QCOMPARE(seams_.messages.AskedReplace().size(), 2);
        QCOMPARE(seams_.dialogs.Pending(), std::size_t{0});
        QVERIFY(seams_.messages.Shown().isEmpty());
    }

    // The grid takes the room of a larger window, the buttons keep to its right
    // edge, Tab walks the controls as they stand, and a click on the current
    // cell readies it for typing as a click on any other cell does.
    void TheGridGrowsAndIsReachedAsItStands() {
        LoadStudyFile(store_, MORVANE_EXAMPLES "/worked-example.dat");
        DataWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        const QSize gridBefore = Grid()->size();
        form->resize(form->width() + 400, form->height() + 300);
        QCOMPARE(Grid()->size(), gridBefore + QSize(400, 300));
        QCOMPARE(Tabs()->geometry().right() + 24, testing::Button(form, "SaveButton")->x());
        for (const char* name : {"SaveButton", "CalcButton", "PButton", "AnalysisButton", "ExitButton"})
            QCOMPARE(testing::Button(form, name)->geometry().right() + 18, form->width());
        QVERIFY(Grid()->CellRect(Grid()->ColCount() - 1, Grid()->RowCount() - 1).isValid());

        Grid()->setFocus();
        QStringList order;
        for (int i = 0; i < 6; ++i) {
            Press(Qt::Key_Tab);
            order.append(QApplication::focusWidget()->objectName());
        }
        QCOMPARE(order, (QStringList{"SaveButton", "CalcButton", "PButton", "AnalysisButton", "ExitButton",
                                     "TabControl1"}));

        Grid()->setFocus();
        Grid()->SelectCell(2, 3);
        QLineEdit* editor = testing::CellEditor(Grid());
        QTest::mouseClick(editor, Qt::LeftButton, Qt::NoModifier, QPoint(editor->width() - 2, 4));
        QCOMPARE(editor->selectedText(), editor->text());
        QTest::keyClicks(editor, "7");
        QCOMPARE(editor->text(), QStringLiteral("7"));
        // Once typing, a click places the caret.
        QTest::mouseClick(editor, Qt::LeftButton, Qt::NoModifier, QPoint(editor->width() - 2, 4));
        QTest::keyClicks(editor, "1");
        QCOMPARE(editor->text(), QStringLiteral("71"));
    }

    void SaveThatCannotCreateTheFileLeavesTheStore() {
        Load(kThreeLevels);
        DataWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("missing/saved.dat")));
        testing::Button(form, "SaveButton")->click();
        QCOMPARE(seams_.messages.Shown(), QStringList{QStringLiteral(u"不正なファイル名です.")});
        QCOMPARE(store_.CellText(1, 1, 1), std::string(" 1 "));
        QVERIFY(!QFile::exists(QString::fromStdString(dir_.File("missing"))));
    }

    void CalculateWritesTheResultsFileOfTheWorkedExample() {
        LoadStudyFile(store_, MORVANE_EXAMPLES "/worked-example.dat");
        DataWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        testing::Grid(form, "StringGrid1")->setFocus();
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("results.txt")));
        testing::Button(form, "CalcButton")->click();
        QVERIFY(seams_.messages.Shown().isEmpty());
        QCOMPARE(ReadBytes(dir_.File("results.txt")),
                 ReadBytes(MORVANE_TEST_DATA "/worked-example-results.txt"));
        QCOMPARE(seams_.dialogs.Calls().at(0).kind, QStringLiteral("save"));  // a file it writes
        QCOMPARE(seams_.dialogs.Calls().at(0).title, QStringLiteral(u"計算結果の出力用ファイル"));
        QCOMPARE(seams_.dialogs.Calls().at(0).fileName, QString());
        QCOMPARE(QApplication::focusWidget(), testing::Button(form, "ExitButton"));

        // Every run starts with an empty name; a cancel writes nothing and
        // leaves the focus, after the scores were written back and parsed.
        testing::Grid(form, "StringGrid1")->setFocus();
        testing::TypeInCell(testing::Grid(form, "StringGrid1"), 1, 1, QStringLiteral(" 30 "));
        seams_.dialogs.Cancel();
        testing::Button(form, "CalcButton")->click();
        QCOMPARE(seams_.dialogs.Calls().at(1).fileName, QString());
        QCOMPARE(store_.CellText(1, 1, 1), std::string("30"));
        QCOMPARE(store_.CellValue(1, 1, 1), 30.0L);
        QCOMPARE(ReadBytes(dir_.File("results.txt")),
                 ReadBytes(MORVANE_TEST_DATA "/worked-example-results.txt"));
        QVERIFY(QApplication::focusWidget() != testing::Button(form, "ExitButton"));
        QVERIFY(seams_.messages.Shown().isEmpty());
    }

    // 計算 never writes its results over the study's data file, through any
    // link: the one it was read from, then the one it was saved to.
    void CalculateRefusesTheStudysOwnFile() {
        const std::string example = ReadBytes(MORVANE_EXAMPLES "/worked-example.dat");
        Load(example);
        const std::string study = dir_.File("study.dat"), saved = dir_.File("saved.dat");
        std::filesystem::create_symlink(study, dir_.File("link.txt"));
        DataWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        form->SetStudyFile(QString::fromStdString(study));
        const QString refused = QStringLiteral(u"出力ファイルが入力ファイルと同じです.");
        for (const std::string& chosen : {study, dir_.File("link.txt")}) {
            seams_.messages.Clear();
            seams_.dialogs.Choose(QString::fromStdString(chosen));
            testing::Button(form, "CalcButton")->click();
            QCOMPARE(seams_.messages.Shown(), QStringList{refused});
            QCOMPARE(ReadBytes(study), example);
        }
        seams_.dialogs.Choose(QString::fromStdString(saved));
        QVERIFY(form->Save());
        const std::string savedBytes = ReadBytes(saved);
        seams_.messages.Clear();
        seams_.dialogs.Choose(QString::fromStdString(saved));
        testing::Button(form, "CalcButton")->click();
        QCOMPARE(seams_.messages.Shown(), QStringList{refused});
        QCOMPARE(ReadBytes(saved), savedBytes);
        // Nor do the results window's exports.
        testing::Button(form, "AnalysisButton")->click();
        auto* analysis = form->Results();
        QVERIFY(analysis != nullptr);
        for (const auto& exportFile :
             {&ResultsWindow::Export, &ResultsWindow::ExportPlot, &ResultsWindow::ExportQuantilePlot}) {
            seams_.messages.Clear();
            seams_.dialogs.Choose(QString::fromStdString(saved));
            (analysis->*exportFile)();
            QCOMPARE(seams_.messages.Shown(), QStringList{refused});
            QCOMPARE(ReadBytes(saved), savedBytes);
        }
        // Another file is written as ever.
        seams_.messages.Clear();
        seams_.dialogs.Choose(QString::fromStdString(dir_.File("results.txt")));
        testing::Button(form, "CalcButton")->click();
        QVERIFY(seams_.messages.Shown().isEmpty());
        QVERIFY(!ReadBytes(dir_.File("results.txt")).empty());
    }

    void ABadScoreStopsCalculateBeforeTheDialog() {
        LoadStudyFile(store_, MORVANE_EXAMPLES "/worked-example.dat");
        DataWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        testing::TypeInCell(testing::Grid(form, "StringGrid1"), 2, 3, QStringLiteral(" 12 3 "));
        testing::Button(form, "CalcButton")->click();
        QCOMPARE(seams_.messages.Shown(),
                 QStringList{QStringLiteral(u"'12 3' は浮動小数点数ではありません.\n場所: タブ 'a1'、被験者 3、水準 'b2'")});
        QVERIFY(seams_.dialogs.Calls().empty());

        // An empty cell in a level not shown is reported as it is stored.
        seams_.messages.Clear();
        testing::TypeInCell(testing::Grid(form, "StringGrid1"), 2, 3, QStringLiteral("6"));
        store_.CellText(2, 2, 1).clear();
        testing::Button(form, "CalcButton")->click();
        QCOMPARE(seams_.messages.Shown(),
                 QStringList{QStringLiteral(u"'' は浮動小数点数ではありません.\n場所: タブ 'a2'、被験者 2、水準 'b1'")});
        // The empty cell is current on its tab, its editor coloured as a selection until typed in.
        QCOMPARE(testing::Grid(form, "StringGrid1")->Col(), 1);
        QCOMPARE(testing::Grid(form, "StringGrid1")->Row(), 2);
        QLineEdit* editor = testing::CellEditor(testing::Grid(form, "StringGrid1"));
        QVERIFY(editor != nullptr);
        QCOMPARE(editor->palette().color(QPalette::Base), editor->palette().color(QPalette::Highlight));
        QTest::keyClicks(editor, "5");
        QVERIFY(editor->palette().color(QPalette::Base) != editor->palette().color(QPalette::Highlight));
    }

    // 分析 leaves out a subject with an empty score and says so above the
    // tables; 計算 still stops on it.
    void AnEmptyScoreRemovesItsSubjectFromTheAnalysisAlone() {
        LoadStudyFile(store_, MORVANE_EXAMPLES "/worked-example.dat");
        store_.CellText(3, 2, 1) = "  ";
        DataWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        testing::Button(form, "AnalysisButton")->click();
        QVERIFY(seams_.messages.Shown().isEmpty());
        auto* analysis = form->Results();
        QVERIFY(analysis != nullptr);
        auto* notice = analysis->findChild<QLabel*>(QStringLiteral("RemovedSubjectsNotice"));
        QVERIFY(notice != nullptr);
        QVERIFY(!notice->isHidden());
        const QString n = QString::number(store_.SubjectCount - 1),
                      read = QString::number(store_.SubjectCount);
        QCOMPARE(notice->text(), QStringLiteral(u"N = ") + n + QStringLiteral(u" (被験者 ") + read +
                                     QStringLiteral(u" 人のうち); 得点が欠けているため除いた被験者: 3"));
        testing::Button(form, "CalcButton")->click();
        QCOMPARE(seams_.messages.Shown(), QStringList{QStringLiteral(u"'  ' は浮動小数点数ではありません.\n場所: タブ 'a2'、被験者 3、水準 'b1'")});
        // Filled in where 計算 showed it, the subject is analysed again and nothing is said.
        QCOMPARE(Tabs()->currentIndex(), 1);
        seams_.messages.Clear();
        testing::TypeInCell(Grid(), 1, 3, "4");
        testing::Button(form, "AnalysisButton")->click();
        QVERIFY(seams_.messages.Shown().isEmpty());
        QVERIFY(notice->isHidden());
    }

    void NoSubjectsShowsNoSubjectRowsAndStaysInsideTheStore() {
        for (const char* n : {"0", "-1"}) {
            Load(Lines({n, "1", "2", "a", "b1", "b2"}));
            DataWindow* form = OpenShown();
            QVERIFY(form != nullptr);
            QCOMPARE(testing::Grid(form, "StringGrid1")->RowCount(), 1);
            QCOMPARE(Cells().Cell(2, 0), std::string("b2"));
            QCOMPARE(testing::Grid(form, "StringGrid1")->Row(), -1);
            seams_.dialogs.Choose(QString::fromStdString(dir_.File("none.dat")));
            testing::Button(form, "SaveButton")->click();
            QCOMPARE(ReadBytes(dir_.File("none.dat")), Lines({n, "1", "2", "a", "b1", "b2"}));
            seams_.dialogs.Choose(QString::fromStdString(dir_.File("none.txt")));
            testing::Button(form, "CalcButton")->click();
            QCOMPARE(seams_.messages.Shown(), QStringList{QStringLiteral(u"不正な浮動小数点数演算命令.")});
            if (std::string(n) == "0") QCOMPARE(ReadBytes(dir_.File("none.txt")), std::string());
            seams_.messages.Clear();
            form_.reset();
        }
    }

    void PrintWritesBackThenPrintsEveryLevel() {
        Load(kThreeLevels);
        DataWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        testing::Button(form, "PButton")->click();
        QCOMPARE(seams_.printer.jobs, 1);
        QCOMPARE(seams_.printer.printedTexts.at(0), std::string("1"));
        QCOMPARE(seams_.printer.printedTexts.at(4), std::string("\x82\xFF"));
        seams_.printer.failure = messages::PrintingInProgress();
        testing::Button(form, "PButton")->click();
        QCOMPARE(seams_.messages.Shown(), QStringList{QStringLiteral(u"現在印刷中です.")});

        // Without a printer behind the seam there is no default printer.
        seams_.messages.Clear();
        widgets::Seams noPrinter = seams_.Seams();
        noPrinter.printer = nullptr;
        form_ = std::make_unique<DataWindow>(&owner_, store_, noPrinter, '.');
        testing::Button(form_, "PButton")->click();
        QCOMPARE(seams_.messages.Shown(), QStringList{QStringLiteral(u"デフォルト プリンタが存在しません.")});
    }

    void CloseReleasesTheStoreAndClosesTheOwner() {
        for (bool byFrame : {false, true}) {
            Load(kThreeLevels);
            DataWindow* form = OpenShown();
            QVERIFY(form != nullptr);
            if (byFrame)
                form->close();
            else
                testing::Button(form, "ExitButton")->click();
            QCOMPARE(owner_.closes, 1);
            QVERIFY(store_.CellText.Empty());
            QVERIFY(store_.CellValue.Empty());
            QVERIFY(store_.LevelNamesA.empty());
            QVERIFY(store_.LevelNamesB.empty());
            QVERIFY(store_.ColumnTotals.empty());
            QVERIFY(seams_.messages.Shown().isEmpty());
            form_.reset();
            owner_.closes = 0;
        }
    }

    // The window opens with the focus on the first score: digits typed at once
    // go into it, and Enter moves down and never ends the program.
    void TheWindowOpensOnTheFirstScoreAndEnterNeverEndsTheProgram() {
        for (const bool loaded : {false, true}) {
            if (loaded)
                Load(kThreeLevels);
            else
                StartNewStudy(store_, {"p", "q"}, {"x", "y"}, "3");
            DataWindow* form = OpenShown();
            QVERIFY(form != nullptr);
            QLineEdit* editor = testing::CellEditor(Grid());
            QVERIFY(editor != nullptr);
            QCOMPARE(editor->selectedText(), editor->text());
            QCOMPARE(Grid()->Col(), 1);
            QCOMPARE(Grid()->Row(), 1);
            QTest::keyClicks(QApplication::focusWidget(), "12");
            Press(Qt::Key_Return);
            QCOMPARE(Cells().Cell(1, 1), std::string("12"));
            QCOMPARE(Grid()->Row(), 2);
            for (int i = 0; i < 5; ++i) Press(i % 2 == 0 ? Qt::Key_Return : Qt::Key_Enter);
            QCOMPARE(Grid()->Row(), Grid()->RowCount() - 1);
            QCOMPARE(owner_.closes, 0);
            QVERIFY(form->isVisible());
            QVERIFY(!store_.CellText.Empty());
            QVERIFY(seams_.dialogs.Calls().empty());
            QVERIFY(seams_.messages.Asked().isEmpty());
            form_.reset();
            init();
        }
        // Without subject rows there is no score to go to: Enter goes nowhere.
        Load(Lines({"0", "1", "2", "a", "b1", "b2"}));
        DataWindow* form = OpenShown();
        QVERIFY(form != nullptr);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(Grid()));
        Press(Qt::Key_Return);
        Press(Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(owner_.closes, 0);
        QVERIFY(form->isVisible());
        QVERIFY(seams_.dialogs.Calls().empty());
    }

};

QTEST_MAIN(DataWindowTest)
#include "DataWindowTest.moc"
