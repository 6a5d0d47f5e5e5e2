// The string grid: code page 932 cells, the editor that follows the focus, and
// the command edge that shows errors.

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "runtime/Errors.h"
#include "runtime/Messages.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"
#include "support/WindowDriving.h"
#include "widgets/Commands.h"
#include "widgets/QtSeams.h"
#include "widgets/StringGrid.h"

using namespace morvane;
using morvane::testing::CellEditor;
using morvane::testing::Sjis;

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
        const QRect heading = w.grid->visualRect(w.grid->Cells().index(0, 1));
        QTest::mouseClick(w.grid->viewport(), Qt::LeftButton, {}, heading.center());
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
        QCOMPARE(dialogs.Open(nullptr, QStringLiteral(u"計算結果の出力用ファイル"), {}), std::optional<QString>(fresh));
        answer(QStringLiteral(u"ファイル名"), existing, existing);
        QCOMPARE(dialogs.Save(nullptr, QStringLiteral(u"ファイル名"), existing), std::optional<QString>(existing));
        answer(QStringLiteral(u"入力データファイル"), {}, {});
        QCOMPARE(dialogs.Open(nullptr, QStringLiteral(u"入力データファイル"), {}), std::nullopt);
        QCOMPARE(testing::ReadBytes(dir.File("old.dat")), std::string("x"));
    }
};

QTEST_MAIN(StringGridTest)
#include "StringGridTest.moc"
