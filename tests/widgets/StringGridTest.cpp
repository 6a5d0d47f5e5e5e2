// The string grid: code page 932 cells, the editor that follows the focus, and
// the command edge that shows errors.

#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include "runtime/Errors.h"
#include "runtime/Messages.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"
#include "support/WindowDriving.h"
#include "widgets/CellEditor.h"
#include "widgets/Commands.h"
#include "widgets/FileChoice.h"
#include "widgets/FormWindow.h"
#include "widgets/OneLineEdit.h"
#include "widgets/QtSeams.h"
#include "widgets/QtTranslation.h"
#include "widgets/StringGrid.h"

using namespace morvane;
using morvane::testing::CellEditor;
using morvane::testing::Sjis;

Q_DECLARE_METATYPE(morvane::widgets::CellChanges)

namespace {

// The changes of an `edited` as "col,row:before>after" texts.
QStringList Described(const widgets::CellChanges& changes) {
    QStringList texts;
    for (const auto& change : changes)
        texts << QStringLiteral("%1,%2:%3>%4")
                     .arg(change.col)
                     .arg(change.row)
                     .arg(QString::fromStdString(change.before), QString::fromStdString(change.after));
    return texts;
}

}  // namespace

class StringGridTest : public QObject {
    Q_OBJECT

private:
    // A window with a button, a 3 x 3 grid and another button, in that tab order.
    struct Window {
        QWidget frame;
        QPushButton* before = new QPushButton("before", &frame);
        widgets::StringGrid* grid = new widgets::StringGrid(&frame);
        QPushButton* after = new QPushButton("after", &frame);

        Window() {
            frame.resize(400, 300);
            before->setGeometry(0, 0, 80, 25);
            grid->setGeometry(0, 30, 300, 200);
            after->setGeometry(0, 240, 80, 25);
            grid->SetColCount(3);
            grid->SetRowCount(3);
            grid->SelectCell(1, 1);
        }
    };

private slots:
    void CellsAreBytesAndOnlyAnEditConvertsThem() {
        widgets::StringGridModel cells;
        cells.SetColCount(2);
        cells.SetRowCount(2);
        const std::string invalid =
            "\x81\x20\xFF"
            "a";  // not valid code page 932
        cells.SetCell(1, 1, invalid);
        QCOMPARE(cells.Cell(1, 1), invalid);
        QVERIFY(cells.data(cells.index(1, 1), Qt::DisplayRole).toString().contains(QChar(0xFFFD)));

        QVERIFY(cells.setData(cells.index(1, 1), QStringLiteral(u"全角　ß😀"), Qt::EditRole));
        QCOMPARE(cells.Cell(1, 1), Sjis("全角　??"));
        // Headings are not editable and take no edit.
        QVERIFY(!cells.setData(cells.index(0, 1), QStringLiteral("x"), Qt::EditRole));
        QCOMPARE(cells.flags(cells.index(0, 1)) & Qt::ItemIsEditable, Qt::NoItemFlags);
        QCOMPARE(cells.flags(cells.index(1, 0)) & Qt::ItemIsSelectable, Qt::NoItemFlags);
        QVERIFY(cells.flags(cells.index(1, 1)) & Qt::ItemIsEditable);

        // Growing keeps the cells, in their (column, row) places.
        cells.SetCell(0, 1, "s1");
        cells.SetColCount(4);
        cells.SetRowCount(5);
        QCOMPARE(cells.Cell(0, 1), std::string("s1"));
        QCOMPARE(cells.Cell(1, 1), Sjis("全角　??"));
        QCOMPARE(cells.Cell(3, 4), std::string());
        cells.SetRowCount(1);
        QCOMPARE(cells.rowCount(), 1);
    }

    void EditorFollowsTheFocusAndEveryKeystrokeReachesTheCell() {
        Window w;
        w.grid->Cells().SetCell(1, 1, "old");
        w.grid->Cells().SetCell(2, 2, "x");
        QVERIFY(testing::ShowActive(&w.frame));
        w.before->setFocus();
        QVERIFY(CellEditor(w.grid) == nullptr);

        QTest::keyClick(w.before, Qt::Key_Tab);
        QLineEdit* editor = CellEditor(w.grid);
        QVERIFY(editor != nullptr);
        QCOMPARE(editor->text(), QStringLiteral("old"));
        QCOMPARE(editor->selectedText(), QStringLiteral("old"));

        QTest::keyClicks(editor, "1");
        QCOMPARE(w.grid->Cells().Cell(1, 1), std::string("1"));
        QTest::keyClicks(editor, "2.5");
        QCOMPARE(w.grid->Cells().Cell(1, 1), std::string("12.5"));
        // Typing in the middle keeps the cursor where the user put it.
        editor->setCursorPosition(1);
        QTest::keyClicks(editor, "0");
        QCOMPARE(w.grid->Cells().Cell(1, 1), std::string("102.5"));
        QCOMPARE(editor->cursorPosition(), 2);

        // Down and right move the current cell; the editor opens there.
        QTest::keyClick(editor, Qt::Key_Down);
        QCOMPARE(w.grid->Row(), 2);
        QTest::keyClick(CellEditor(w.grid), Qt::Key_End);
        QVERIFY(CellEditor(w.grid) != nullptr);

        // Tab leaves the grid for the next control, backtab for the one before.
        QTest::keyClick(CellEditor(w.grid), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w.after);
        QVERIFY(CellEditor(w.grid) == nullptr);
        QTest::keyClick(w.after, Qt::Key_Backtab);
        QVERIFY(CellEditor(w.grid) != nullptr);
        QTest::keyClick(CellEditor(w.grid), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), w.before);
    }

    void ACellOnlyVisitedKeepsItsBytes() {
        Window w;
        const std::string invalid = "\x82\xA0\xFF";
        w.grid->Cells().SetCell(1, 1, invalid);
        w.grid->Cells().SetCell(2, 1, "  padded  ");
        QVERIFY(testing::ShowActive(&w.frame));
        w.grid->setFocus();
        QVERIFY(CellEditor(w.grid) != nullptr);
        QTest::keyClick(CellEditor(w.grid), Qt::Key_Right);
        QTest::keyClick(CellEditor(w.grid), Qt::Key_Escape);
        w.grid->SelectCell(2, 1);
        QTest::keyClick(CellEditor(w.grid), Qt::Key_Return);
        w.before->setFocus();
        QCOMPARE(w.grid->Cells().Cell(1, 1), invalid);
        QCOMPARE(w.grid->Cells().Cell(2, 1), std::string("  padded  "));
    }

    void AClickOpensTheEditorOnTheClickedCell() {
        Window w;
        w.grid->Cells().SetCell(2, 2, "22");
        QVERIFY(testing::ShowActive(&w.frame));
        w.before->setFocus();
        testing::TypeInCell(w.grid, 2, 2, "7");
        QCOMPARE(w.grid->Col(), 2);
        QCOMPARE(w.grid->Row(), 2);
        QCOMPARE(w.grid->Cells().Cell(2, 2), std::string("7"));
        // A heading cell never becomes current.
        testing::ClickHeading(w.grid, 0, 1);
        QCOMPARE(w.grid->Row(), 2);
        QCOMPARE(w.grid->Col(), 2);
    }

    void CommandErrorsAreShownWithTheFullStopRule() {
        testing::RecordedMessages messages;
        const auto fail = [&](const Error& error) {
            return widgets::RunCommand(messages, nullptr, [&] { throw error; });
        };
        QVERIFY(!fail(InOutError(2)));
        QVERIFY(!fail(InOutError(105)));
        QVERIFY(!fail(ConvertError(messages::NotAFloat("12 3"))));
        QVERIFY(!widgets::RunCommand(messages, nullptr, [] { throw std::bad_alloc(); }));
        QVERIFY(widgets::RunCommand(messages, nullptr, [] {}));
        QCOMPARE(messages.Shown(), QStringList({QStringLiteral(u"ファイルが見つかりません."),
                                                QStringLiteral(u"I/O エラー (105)"),
                                                QStringLiteral(u"'12 3' は浮動小数点数ではありません."),
                                                QStringLiteral(u"メモリが足りません.")}));
    }

    // The real seams, answered from inside their modal loop.
    void TheMessageBoxIsAnErrorBoxCaptionedPMorvane() {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            seen = true;
            QCOMPARE(box->windowTitle(), QStringLiteral("PMorvane"));
            QCOMPARE(box->icon(), QMessageBox::Critical);
            QCOMPARE(box->text(), QStringLiteral(u"ファイルが見つかりません."));
            QCOMPARE(box->standardButtons(), QMessageBox::Ok);
            box->button(QMessageBox::Ok)->click();
        });
        widgets::QtMessageBoxes().ShowError(nullptr, QStringLiteral(u"ファイルが見つかりません."));
        QVERIFY(seen);
    }

    // The question before a file is replaced: はい and いいえ, Enter answering
    // いいえ, where the other yes-or-no questions default to はい.
    void TheReplaceQuestionDefaultsToNo() {
        for (const bool replace : {true, false}) {
            QString defaultText;
            QTimer::singleShot(0, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                QVERIFY(box != nullptr);
                QCOMPARE(box->windowTitle(), QStringLiteral("PMorvane"));
                QCOMPARE(box->buttons().size(), 2);
                defaultText = box->defaultButton()->text();
                QTest::keyClick(box, Qt::Key_Return);
            });
            widgets::QtMessageBoxes boxes;
            const bool yes =
                replace ? boxes.AskToReplace(nullptr, widgets::ReplaceQuestion(QStringLiteral("/x/a.dat")))
                        : boxes.AskYesNo(nullptr, QStringLiteral("?"));
            QCOMPARE(defaultText, replace ? QStringLiteral(u"いいえ") : QStringLiteral(u"はい"));
            QCOMPARE(yes, !replace);
        }
        QCOMPARE(widgets::ReplaceQuestion(QStringLiteral("/x/a.dat")),
                 QStringLiteral(u"a.dat は既に存在します。置き換えますか?"));
    }

    void TheFileDialogsTakeAnyNameAndReportACancel() {
        testing::TempDir dir;
        const QString existing = QString::fromStdString(dir.File("old.dat"));
        testing::WriteBytes(dir.File("old.dat"), "x");
        const QString fresh = QString::fromStdString(dir.File("new.txt"));
        widgets::QtFileDialogs dialogs;
        const auto answer = [](const QString& title, const QString& start, const QString& choose) {
            QTimer::singleShot(0, [=] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog != nullptr);
                QCOMPARE(dialog->windowTitle(), title);
                QVERIFY(dialog->testOption(QFileDialog::DontConfirmOverwrite));
                QCOMPARE(dialog->fileMode(), QFileDialog::AnyFile);
                if (!start.isEmpty()) QCOMPARE(dialog->selectedFiles().value(0), start);
                if (choose.isEmpty()) {
                    dialog->reject();
                } else {
                    dialog->selectFile(choose);
                    static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept, which checks the name
                }
            });
        };
        answer(QStringLiteral(u"計算結果の出力用ファイル"), {}, fresh);
        QCOMPARE(dialogs.Open(nullptr, QStringLiteral(u"計算結果の出力用ファイル"), {}),
                 std::optional<QString>(fresh));
        answer(QStringLiteral(u"ファイル名"), existing, existing);
        QCOMPARE(dialogs.Save(nullptr, QStringLiteral(u"ファイル名"), existing),
                 std::optional<QString>(existing));
        answer(QStringLiteral(u"入力データファイル"), {}, {});
        QCOMPARE(dialogs.Open(nullptr, QStringLiteral(u"入力データファイル"), {}), std::nullopt);
        QCOMPARE(testing::ReadBytes(dir.File("old.dat")), std::string("x"));
    }

    void TheModelKeepsQtsRulesAndTellsEveryChange() {
        widgets::StringGridModel cells;
        QAbstractItemModelTester tester(&cells, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy changed(&cells, &QAbstractItemModel::dataChanged);
        cells.SetColCount(3);
        cells.SetRowCount(4);
        cells.SetColCount(2);
        cells.SetRowCount(6);
        cells.SetRowCount(3);
        QCOMPARE(changed.count(), 0);
        const auto told = [&](int col, int row) {
            return changed.count() == 1 && changed[0][0].toModelIndex() == cells.index(row, col) &&
                   changed[0][1].toModelIndex() == cells.index(row, col);
        };
        cells.SetCell(1, 2, "x");
        QVERIFY(told(1, 2));
        changed.clear();
        QVERIFY(cells.setData(cells.index(1, 1), QStringLiteral("7"), Qt::EditRole));
        QVERIFY(told(1, 1));
        changed.clear();
        QVERIFY(!cells.setData(cells.index(0, 1), QStringLiteral("7"), Qt::EditRole));
        QCOMPARE(changed.count(), 0);
        // A block is told once, cut to the grid.
        cells.CellsChanged(1, 1, 9, 9);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed[0][1].toModelIndex(), cells.index(2, 1));
    }

    void HeadingsStayWholeAndInPlaceWhileTheCellsScroll() {
        QWidget frame;
        frame.resize(300, 220);
        auto* grid = new widgets::StringGrid(&frame);
        grid->setGeometry(0, 0, 280, 200);
        grid->SetColCount(9);
        grid->SetRowCount(301);
        const std::string ordinal = Sjis("番目");
        for (int s = 1; s <= 300; ++s) grid->Cells().SetCell(0, s, std::to_string(99700 + s) + ordinal);
        for (int b = 1; b <= 8; ++b) grid->Cells().SetCell(b, 0, "b" + std::to_string(b));
        grid->Cells().SetCell(8, 0, "a rather long name of b8");
        grid->Cells().SetCell(3, 7, "12345678901234567890");
        grid->Cells().SetCell(4, 7, "12");
        grid->SelectCell(1, 1);
        QVERIFY(testing::ShowActive(&frame));

        // The heading column is as wide as "100000番目"; no heading of it is cut.
        const QString widest = QStringLiteral(u"100000番目");
        QVERIFY(grid->ColWidth(0) > grid->fontMetrics().horizontalAdvance(widest));
        for (int s = 1; s <= 300; ++s)
            QVERIFY2(grid->ClippedText(0, s).isEmpty(), qPrintable(QString::number(s)));
        QCOMPARE(grid->textElideMode(), Qt::ElideNone);
        // Texts wider than their cells are whole in their tooltips; others have none.
        QCOMPARE(grid->ClippedText(3, 7), QStringLiteral("12345678901234567890"));
        QCOMPARE(grid->ClippedText(4, 7), QString());
        QCOMPARE(grid->ClippedText(8, 0), QStringLiteral("a rather long name of b8"));

        const QRect topBefore = grid->CellRect(1, 0), leftBefore = grid->CellRect(0, 1);
        QVERIFY(!topBefore.isEmpty() && !leftBefore.isEmpty());
        QCOMPARE(topBefore.top(), leftBefore.top() - topBefore.height());
        // The last cell: the cells scroll down and right, the headings stay.
        grid->setFocus();
        grid->SelectCell(8, 300);
        QTRY_VERIFY(grid->CellRect(1, 1).isEmpty());
        QVERIFY(grid->CellRect(0, 1).isEmpty() && grid->CellRect(1, 0).isEmpty());
        const QRect heading = grid->CellRect(8, 0), subject = grid->CellRect(0, 300),
                    cell = grid->CellRect(8, 300);
        QVERIFY(!heading.isEmpty() && !subject.isEmpty() && !cell.isEmpty());
        QCOMPARE(heading.top(), topBefore.top());
        QCOMPARE(subject.left(), leftBefore.left());
        QCOMPARE(heading.left(), cell.left());
        QCOMPARE(subject.top(), cell.top());
        QCOMPARE(grid->CellRect(0, 0).bottomRight(), QPoint(subject.right(), heading.bottom()));

        // The tooltip of a cut text shows the whole text.
        grid->SelectCell(3, 7);
        QTRY_VERIFY(!grid->CellRect(3, 7).isEmpty());
        const QPoint at = grid->CellRect(3, 7).center() - grid->viewport()->mapTo(grid, QPoint(0, 0));
        QHelpEvent help(QEvent::ToolTip, at, grid->viewport()->mapToGlobal(at));
        QApplication::sendEvent(grid->viewport(), &help);
        QCOMPARE(QToolTip::text(), QStringLiteral("12345678901234567890"));
        QToolTip::hideText();
    }

    void ArrowsAtTheTextsEdgesAndEnterMoveBetweenCells() {
        Window w;
        w.grid->Cells().SetCell(1, 1, "12");
        w.grid->Cells().SetCell(2, 1, "345");
        QVERIFY(testing::ShowActive(&w.frame));
        w.before->setFocus();
        QTest::keyClick(w.before, Qt::Key_Tab);
        QCOMPARE(CellEditor(w.grid)->selectedText(), QStringLiteral("12"));
        // Arriving with the text selected, Right moves on and selects the next text.
        QTest::keyClick(CellEditor(w.grid), Qt::Key_Right);
        QCOMPARE(w.grid->Col(), 2);
        QCOMPARE(CellEditor(w.grid)->selectedText(), QStringLiteral("345"));
        // Inside a text the arrows move the caret; at its start Left moves on.
        QTest::keyClick(CellEditor(w.grid), Qt::Key_Home);
        QTest::keyClick(CellEditor(w.grid), Qt::Key_Right);
        QTest::keyClick(CellEditor(w.grid), Qt::Key_Left);
        QCOMPARE(w.grid->Col(), 2);
        QCOMPARE(CellEditor(w.grid)->cursorPosition(), 0);
        QTest::keyClick(CellEditor(w.grid), Qt::Key_Left);
        QCOMPARE(w.grid->Col(), 1);
        QCOMPARE(CellEditor(w.grid)->selectedText(), QStringLiteral("12"));
        // The headings are no place to go: the text is selected again.
        QTest::keyClick(CellEditor(w.grid), Qt::Key_End);
        QTest::keyClick(CellEditor(w.grid), Qt::Key_Home);
        QTest::keyClick(CellEditor(w.grid), Qt::Key_Left);
        QCOMPARE(w.grid->Col(), 1);
        QCOMPARE(CellEditor(w.grid)->selectedText(), QStringLiteral("12"));
        // Typing, then Enter keeps the text and moves down; on the last row it stays.
        QTest::keyClicks(CellEditor(w.grid), "7");
        QTest::keyClick(CellEditor(w.grid), Qt::Key_Return);
        QCOMPARE(w.grid->Cells().Cell(1, 1), std::string("7"));
        QCOMPARE(w.grid->Row(), 2);
        QTest::keyClicks(CellEditor(w.grid), "8");
        QTest::keyClick(CellEditor(w.grid), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(w.grid->Row(), 2);
        QCOMPARE(CellEditor(w.grid)->selectedText(), QStringLiteral("8"));
        QCOMPARE(w.grid->Cells().Cell(1, 2), std::string("8"));
        // At the end of a text Right moves on, typing goes into the new cell.
        QTest::keyClick(CellEditor(w.grid), Qt::Key_End);
        QTest::keyClick(CellEditor(w.grid), Qt::Key_Right);
        QCOMPARE(w.grid->Col(), 2);
        QTest::keyClicks(CellEditor(w.grid), "9");
        QCOMPARE(w.grid->Cells().Cell(2, 2), std::string("9"));
        // Shift+Left selects within the text; it never moves to another cell.
        QTest::keyClick(CellEditor(w.grid), Qt::Key_Left, Qt::ShiftModifier);
        QTest::keyClick(CellEditor(w.grid), Qt::Key_Left, Qt::ShiftModifier);
        QCOMPARE(w.grid->Col(), 2);
        QCOMPARE(w.grid->Cells().Cell(1, 2), std::string("8"));
    }

    // Right in the last column has no cell to go to: the current cell, the
    // focus and the text stay, and the text is selected again as on arriving,
    // as Left does beside the heading column.
    void RightInTheLastColumnKeepsTheCellAndItsText() {
        const struct {
            const char* name;
            int row;
            const char* typed;  // at the end of the text; nullptr: it stays selected as it arrived
            int rights;
            std::string text;  // the cell's text afterwards
        } rows[] = {
            {"arriving", 1, nullptr, 1, "45"},
            {"typed at the end", 1, "6", 2, "456"},
            {"typed into the grid's last cell", 2, "7", 1, "7"},
        };
        for (const auto& row : rows) {
            Window w;
            w.grid->Cells().SetCell(2, 1, "45");
            QVERIFY(testing::ShowActive(&w.frame));
            w.grid->SelectCell(2, row.row);
            w.before->setFocus();
            QTest::keyClick(w.before, Qt::Key_Tab);
            QVERIFY2(CellEditor(w.grid) != nullptr, row.name);
            if (row.typed != nullptr) {
                QTest::keyClick(CellEditor(w.grid), Qt::Key_End);
                QTest::keyClicks(CellEditor(w.grid), row.typed);
            }
            for (int i = 0; i < row.rights; ++i) QTest::keyClick(CellEditor(w.grid), Qt::Key_Right);
            QLineEdit* editor = CellEditor(w.grid);
            QVERIFY2(editor != nullptr, row.name);
            QVERIFY2(w.grid->indexWidget(w.grid->currentIndex()) == editor, row.name);
            QVERIFY2(w.grid->Col() == 2 && w.grid->Row() == row.row, row.name);
            QVERIFY2(w.grid->Cells().Cell(2, row.row) == row.text, row.name);
            QVERIFY2(editor->text() == QString::fromStdString(row.text), row.name);
            QVERIFY2(editor->selectedText() == editor->text(), row.name);
            QVERIFY2(w.grid->Cells().Cell(1, row.row).empty(), row.name);
            // The grid walks on as before: Left goes back to the first column.
            QTest::keyClick(editor, Qt::Key_Left);
            QVERIFY2(w.grid->Col() == 1 && w.grid->Row() == row.row, row.name);
            QVERIFY2(w.grid->Cells().Cell(2, row.row) == row.text, row.name);
        }
    }

    void ClickingAHeadingChangesNothing() {
        Window w;
        w.grid->Cells().SetCell(1, 0, "b1");
        w.grid->Cells().SetCell(0, 1, "s1");
        QVERIFY(testing::ShowActive(&w.frame));
        testing::TypeInCell(w.grid, 1, 1, "1234");
        QLineEdit* editor = CellEditor(w.grid);
        editor->setSelection(1, 2);
        for (const auto& [col, row] : {std::pair{0, 1}, std::pair{1, 0}, std::pair{0, 0}, std::pair{0, 2}}) {
            testing::ClickHeading(w.grid, col, row);
            QCOMPARE(CellEditor(w.grid), editor);
            QCOMPARE(editor->selectedText(), QStringLiteral("23"));
            QCOMPARE(w.grid->Col(), 1);
            QCOMPARE(w.grid->Row(), 1);
        }
        // The next keystroke replaces only what the user selected.
        QTest::keyClicks(editor, "x");
        QCOMPARE(w.grid->Cells().Cell(1, 1), std::string("1x4"));
    }

    void NoLineEndEntersACellAndABlockPasteFillsTheCellsFromTheCurrentOne() {
        Window w;  // cells (1..2, 1..2)
        w.grid->SetColCount(4);
        w.grid->SetRowCount(4);  // cells (1..3, 1..3)
        w.grid->Cells().SetCell(1, 1, "keep");
        w.grid->Cells().SetCell(3, 3, "old");
        QSignalSpy leftOut(w.grid, &widgets::StringGrid::pasteLeftOut);
        QVERIFY(testing::ShowActive(&w.frame));
        QClipboard* clipboard = QApplication::clipboard();

        // One value, even with its line's CR LF, goes in where the caret is.
        testing::TypeInCell(w.grid, 2, 2, "ab");
        CellEditor(w.grid)->setCursorPosition(1);
        clipboard->setText(QStringLiteral("7\r\n"));
        testing::PressKeys(CellEditor(w.grid), QKeySequence::Paste);
        QCOMPARE(w.grid->Cells().Cell(2, 2), std::string("a7b"));
        // Whatever else brings a line end in loses it.
        CellEditor(w.grid)->insert(QStringLiteral("\r\n5\n"));
        QCOMPARE(w.grid->Cells().Cell(2, 2), std::string("a75b"));

        // A block: from (2, 2) rightward and downward; what falls outside is counted.
        clipboard->setText(QStringLiteral("1\t2\t3\r\n4\t\t6\n7\t8\t9\r\n10\r\n"));
        testing::PressKeys(CellEditor(w.grid), QKeySequence::Paste);
        QCOMPARE(w.grid->Cells().Cell(2, 2), std::string("1"));
        QCOMPARE(w.grid->Cells().Cell(3, 2), std::string("2"));
        QCOMPARE(w.grid->Cells().Cell(2, 3), std::string("4"));
        QCOMPARE(w.grid->Cells().Cell(3, 3), std::string());
        QCOMPARE(w.grid->Cells().Cell(1, 1), std::string("keep"));
        QCOMPARE(w.grid->Cells().Cell(1, 2), std::string());
        QCOMPARE(leftOut.count(), 1);
        QCOMPARE(leftOut[0][0].toInt(), 6);
        QCOMPARE(CellEditor(w.grid)->selectedText(), QStringLiteral("1"));
        QCOMPARE(w.grid->Col(), 2);
        QCOMPARE(w.grid->Row(), 2);
        // A drop of a block is the same paste; nothing left out, nothing told.
        w.grid->SelectCell(1, 1);
        QMimeData dropped;
        dropped.setText(QStringLiteral("x\ny"));
        QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &dropped, Qt::LeftButton, {});
        QApplication::sendEvent(CellEditor(w.grid), &enter);
        QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &dropped, Qt::LeftButton, {});
        QApplication::sendEvent(CellEditor(w.grid), &drop);
        QVERIFY(drop.isAccepted());
        QCOMPARE(w.grid->Cells().Cell(1, 1), std::string("x"));
        QCOMPARE(w.grid->Cells().Cell(1, 2), std::string("y"));
        QCOMPARE(leftOut.count(), 1);
        // The context menu's paste is the same paste.
        w.grid->SelectCell(3, 1);
        clipboard->setText(QStringLiteral("m\r\nn"));
        const QPoint inside(2, 2);
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, inside,
                                    CellEditor(w.grid)->mapToGlobal(inside));
        QApplication::sendEvent(CellEditor(w.grid), &menuEvent);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu != nullptr);
        const QString pasteKeys = QKeySequence(QKeySequence::Paste).toString(QKeySequence::NativeText);
        for (QAction* action : menu->actions())
            if (action->text().endsWith(QLatin1Char('\t') + pasteKeys)) action->trigger();
        menu->close();
        QCOMPARE(w.grid->Cells().Cell(3, 1), std::string("m"));
        QCOMPARE(w.grid->Cells().Cell(3, 2), std::string("n"));
        QCOMPARE(leftOut.count(), 1);
        for (int c = 0; c < 4; ++c)
            for (int r = 0; r < 4; ++r)
                QVERIFY(w.grid->Cells().Cell(c, r).find_first_of("\r\n") == std::string::npos);

        // Ctrl+C: the whole cell, or the part of it the user selected.
        w.grid->SelectCell(2, 2);
        clipboard->setText(QStringLiteral("1\t2"));
        testing::PressKeys(CellEditor(w.grid), QKeySequence::Paste);
        QTest::keyClick(CellEditor(w.grid), Qt::Key_End);
        testing::PressKeys(CellEditor(w.grid), QKeySequence::Copy);
        QCOMPARE(clipboard->text(), QStringLiteral("1"));
        w.grid->Cells().SetCell(2, 2, "123");
        CellEditor(w.grid)->setSelection(0, 2);
        testing::PressKeys(CellEditor(w.grid), QKeySequence::Copy);
        QCOMPARE(clipboard->text(), QStringLiteral("12"));
    }

    // Tabbed text as spreadsheets put it on the clipboard: a value in double
    // quotes may hold tabs, line breaks and doubled quotes.
    void PastedTextsAreReadAsSpreadsheetsWriteThem() {
        using Lines = QList<QStringList>;
        const struct {
            const char* name;
            QString text;
            Lines values;
        } rows[] = {
            {"one value", QStringLiteral("12"), {{"12"}}},
            {"nothing", QString(), {{""}}},
            {"a line break alone", QStringLiteral("\r\n"), {{""}}},
            {"the last line's end", QStringLiteral("1\t2\r\n3\t4\r\n"), {{"1", "2"}, {"3", "4"}}},
            {"LF and CR alone", QStringLiteral("1\n2\r3"), {{"1"}, {"2"}, {"3"}}},
            {"an empty line inside", QStringLiteral("1\n\n2\n"), {{"1"}, {""}, {"2"}}},
            {"a line break in quotes",
             QStringLiteral("\"a\nb\"\t5\r\n6\t7\r\n"),
             {{"a\nb", "5"}, {"6", "7"}}},
            {"a CR LF in quotes", QStringLiteral("\"a\r\nb\"\r\n8"), {{"a\r\nb"}, {"8"}}},
            {"a tab in quotes", QStringLiteral("\"x\ty\"\tz"), {{"x\ty", "z"}}},
            {"doubled quotes", QStringLiteral("\"5\"\"\"\t\"\"\"q\"\"\""), {{"5\"", "\"q\""}}},
            {"an empty quoted value", QStringLiteral("\"\"\t1"), {{"", "1"}}},
            {"a quote inside a value", QStringLiteral("12\"3\t4\"\n"), {{"12\"3", "4\""}}},
            {"text after the closing quote", QStringLiteral("\"ab\"cd\te"), {{"abcd", "e"}}},
            {"a quote with no match", QStringLiteral("\"12\t3\n4"), {{"\"12", "3"}, {"4"}}},
            {"a quote with no match after a quoted value",
             QStringLiteral("\"a\nb\"\t\"c\n5"),
             {{"a\nb", "\"c"}, {"5"}}},
        };
        for (const auto& row : rows) QVERIFY2(widgets::PastedValues(row.text) == row.values, row.name);
        QCOMPARE(widgets::FirstPastedValue(QStringLiteral("5\t6\r\n7\r\n")), QStringLiteral("5"));
        QCOMPARE(widgets::FirstPastedValue(QStringLiteral("\"1\n2\"\t3")), QStringLiteral("1"));
        QCOMPARE(widgets::FirstPastedValue(QStringLiteral("\"3\"\"\"")), QStringLiteral("3\""));
        QCOMPARE(widgets::FirstPastedValue(QString()), QString());
    }

    // What the user changes is told as it is committed: a cell's typing when
    // the editor leaves the cell (or on CommitEdit), a block paste at once,
    // each with the bytes it replaced; typing that ends where it began, and
    // cells a paste left as they were, are not changes.
    void EachCommittedEditAndEachPasteIsOneChange() {
        Window w;
        w.grid->SetColCount(4);
        w.grid->SetRowCount(4);  // cells (1..3, 1..3)
        w.grid->Cells().SetCell(1, 1, "3");
        w.grid->Cells().SetCell(3, 2, "same");
        QSignalSpy edited(w.grid, &widgets::StringGrid::edited);
        QSignalSpy leftOut(w.grid, &widgets::StringGrid::pasteLeftOut);
        const auto told = [&edited](int at) {
            return Described(edited.at(at).at(0).value<widgets::CellChanges>());
        };
        QVERIFY(testing::ShowActive(&w.frame));

        testing::TypeInCell(w.grid, 1, 1, "45");
        QCOMPARE(edited.count(), 0);  // still being typed
        QTest::keyClick(CellEditor(w.grid), Qt::Key_Return);
        QCOMPARE(edited.count(), 1);
        QCOMPARE(told(0), QStringList{"1,1:3>45"});
        // Typed and typed back: no change. Typed, then committed by hand.
        QTest::keyClicks(CellEditor(w.grid), "x");
        QTest::keyClick(CellEditor(w.grid), Qt::Key_Backspace);
        QTest::keyClick(CellEditor(w.grid), Qt::Key_Return);
        QCOMPARE(edited.count(), 1);
        QTest::keyClicks(CellEditor(w.grid), "9");
        w.grid->CommitEdit();
        QCOMPARE(edited.count(), 2);
        QCOMPARE(told(1), QStringList{"1,3:>9"});
        w.grid->CommitEdit();
        QCOMPARE(edited.count(), 2);
        // Typed further in the same cell after the commit: a change from there.
        QTest::keyClicks(CellEditor(w.grid), "1");
        w.after->setFocus();
        QCOMPARE(edited.count(), 3);
        QCOMPARE(told(2), QStringList{"1,3:9>91"});

        // A paste: one change of the cells it changed; a value with a line
        // break, and values outside the grid, left out and counted apart.
        testing::TypeInCell(w.grid, 2, 1, "7");
        QApplication::clipboard()->setText(QStringLiteral("1\t\"a\nb\"\tout\r\n\t\"same\"\r\n5\r\n6\r\n"));
        testing::PressKeys(CellEditor(w.grid), QKeySequence::Paste);
        QCOMPARE(edited.count(), 5);
        QCOMPARE(told(3), QStringList{"2,1:>7"});  // the typing, committed first
        QCOMPARE(told(4), (QStringList{"2,1:7>1", "2,3:>5"}));
        QCOMPARE(w.grid->Cells().Cell(3, 1), std::string());
        QCOMPARE(w.grid->Cells().Cell(2, 2), std::string());
        QCOMPARE(w.grid->Cells().Cell(3, 2), std::string("same"));
        QCOMPARE(leftOut.count(), 1);
        QCOMPARE(leftOut[0][0].toInt(), 2);  // "out" and "6"
        QCOMPARE(leftOut[0][1].toInt(), 1);  // "a<LF>b"
        // One value holding a line break goes into no cell, not even cut.
        w.grid->SelectCell(1, 2);
        QApplication::clipboard()->setText(QStringLiteral("\"x\ny\""));
        testing::PressKeys(CellEditor(w.grid), QKeySequence::Paste);
        QCOMPARE(w.grid->Cells().Cell(1, 2), std::string());
        QCOMPARE(CellEditor(w.grid)->text(), QString());
        QCOMPARE(leftOut.count(), 2);
        QCOMPARE(leftOut[1][0].toInt(), 0);
        QCOMPARE(leftOut[1][1].toInt(), 1);
        // One quoted value goes in at the caret, its quotes undone.
        QApplication::clipboard()->setText(QStringLiteral("\"2\"\"\"\r\n"));
        testing::PressKeys(CellEditor(w.grid), QKeySequence::Paste);
        QCOMPARE(w.grid->Cells().Cell(1, 2), std::string("2\""));
        QCOMPARE(edited.count(), 5);
        QTest::keyClick(CellEditor(w.grid), Qt::Key_Return);
        QCOMPARE(told(5), QStringList{"1,2:>2\""});
        QCOMPARE(
            widgets::PasteLeftOutText(2, 1),
            QStringLiteral(u"表の外にはみ出した 2 個の値と改行やタブを含む 1 個の値は貼り付けませんでした"));
        QCOMPARE(widgets::PasteLeftOutText(0, 3),
                 QStringLiteral(u"改行やタブを含む 3 個の値は貼り付けませんでした"));
        QCOMPARE(widgets::PasteLeftOutText(4, 0),
                 QStringLiteral(u"表の外にはみ出した 4 個の値は貼り付けませんでした"));
    }

    // A one-line box takes the first value of the first line of whatever is
    // pasted or dropped into it, never a tab or a line break.
    void AOneLineBoxTakesTheFirstValueOfAPaste() {
        QWidget frame;
        auto* box = new widgets::OneLineEdit(&frame);
        box->setGeometry(0, 0, 200, 24);
        QVERIFY(testing::ShowActive(&frame));
        box->setFocus();
        box->setText(QStringLiteral("1"));
        box->selectAll();
        QApplication::clipboard()->setText(QStringLiteral("12\t13\r\n14\r\n"));
        testing::PressKeys(box, QKeySequence::Paste);
        QCOMPARE(box->text(), QStringLiteral("12"));
        // At the caret, as a paste goes in; a quoted first value is undone.
        box->setCursorPosition(1);
        QApplication::clipboard()->setText(QStringLiteral("\"5\n6\"\t7"));
        testing::PressKeys(box, QKeySequence::Paste);
        QCOMPARE(box->text(), QStringLiteral("152"));
        // The context menu's paste is the same paste.
        box->selectAll();
        QApplication::clipboard()->setText(QStringLiteral("8\n9"));
        const QPoint inside(2, 2);
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, inside, box->mapToGlobal(inside));
        QApplication::sendEvent(box, &menuEvent);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu != nullptr);
        const QString pasteKeys = QKeySequence(QKeySequence::Paste).toString(QKeySequence::NativeText);
        for (QAction* action : menu->actions())
            if (action->text().endsWith(QLatin1Char('\t') + pasteKeys)) action->trigger();
        menu->close();
        QCOMPARE(box->text(), QStringLiteral("8"));
        // So is a drop.
        box->clear();
        QMimeData dropped;
        dropped.setText(QStringLiteral("3\t4\n5"));
        QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &dropped, Qt::LeftButton, {});
        QApplication::sendEvent(box, &enter);
        QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &dropped, Qt::LeftButton, {});
        QApplication::sendEvent(box, &drop);
        QCOMPARE(box->text(), QStringLiteral("3"));
    }

    void QtsOwnTextsAreJapaneseAndTheBoxesUseTheWindowsFace() {
        QVERIFY(widgets::InstallJapaneseQtTranslation(*QCoreApplication::instance()));
        QMessageBox question(QMessageBox::Question, QStringLiteral("PMorvane"), QStringLiteral("?"),
                             QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(question.button(QMessageBox::Cancel)->text(), QStringLiteral(u"キャンセル"));
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            seen = true;
            QCOMPARE(box->font().family(), widgets::FormWindow::WindowFont().family());
            QCOMPARE(box->font().pixelSize(), widgets::FormWindow::WindowFont().pixelSize());
            QCOMPARE(box->icon(), QMessageBox::Warning);
            box->button(QMessageBox::Ok)->click();
        });
        widgets::QtMessageBoxes().ShowWarning(nullptr, QStringLiteral(u"「ａ」"));
        QVERIFY(seen);
    }
};

QTEST_MAIN(StringGridTest)
#include "StringGridTest.moc"
