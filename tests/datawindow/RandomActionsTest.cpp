// The data entry window under random sequences of user actions (typing, tab
// changes, Save, Calculate and Print, each now and then cancelled or given a
// name that cannot be created) checked step by step against a model of the
// store: no typed text is lost, and every command leaves the store, the grid,
// the files and the messages as the commands promise. The seed is fixed, so
// every run plays the same sequences.

#include <QTest>
#include <cstdio>
#include <memory>
#include <random>

#include "datawindow/DataWindow.h"
#include "datawindow/WriteBack.h"
#include "properties/DataFileModel.h"
#include "report/CalculateCommand.h"
#include "runtime/Errors.h"
#include "runtime/Messages.h"
#include "scores/ScoreSyntax.h"
#include "store/DataFile.h"
#include "support/Components.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"
#include "support/WindowDriving.h"
#include "widgets/Commands.h"

using namespace morvane;
using morvane::testing::ReadBytes;
using morvane::testing::Sjis;

namespace {

class Random {
public:
    explicit Random(std::uint64_t seed) : engine_(seed) {}
    int Between(int low, int high) {
        return low + static_cast<int>(engine_() % static_cast<std::uint64_t>(high - low + 1));
    }
    bool OneIn(int n) { return Between(1, n) == 1; }

private:
    std::mt19937_64 engine_;
};

// What the user types: numbers with and without blanks, texts that are not
// numbers (full-width digits, a comma, an inner space), a full-width space
// that trimming keeps, and "" for a cell cleared with Backspace.
const char* const kTyped[] = {"12",  " 3.5 ", "-4e1", "0.25", " 100 ", "7",    "9", "60", "1e-3",
                              "  3", "1,5",   "  ",   "",     "7　",   "１２", "x", "2 3"};
constexpr int kTypedNumbers = 10;  // the first ten are numbers with the full stop as separator

// What a loaded file may hold besides numbers: blanks a write-back trims, bytes
// that are not code page 932, a tab.
const char* const kLoaded[] = {"5", " 6 ", "8", "10", "11", "4.5", "\t9", "\x82\xFF"};
constexpr int kLoadedNumbers = 6;

// The model: the texts of the store, the level shown and the grid's working copy.
struct Model {
    int n = 0, na = 0, nb = 0;
    std::vector<std::string> namesA, namesB;
    std::vector<std::string> texts;  // [a][b][s] in file order
    std::vector<Extended> values;    // CellValue in the same order
    int shown = 1;                   // the level of A in the grid
    std::vector<std::string> grid;   // [s][b] of the shown level
    std::vector<std::string> saved;  // the texts as loaded or last saved
    bool typedSinceSaved = false;    // a cell typed into took other bytes since then

    // Whether the study differs from the one loaded or saved last, the texts
    // compared as a write-back stores them.
    bool DiffersFromSaved() {
        for (std::size_t i = 0; i < texts.size(); ++i)
            if (TrimBlanks(texts[i]) != TrimBlanks(saved[i])) return true;
        return false;
    }

    std::string& Text(int s, int a, int b) { return texts[Index(s, a, b)]; }
    Extended& Value(int s, int a, int b) { return values[Index(s, a, b)]; }
    std::string& Cell(int s, int b) { return grid[static_cast<std::size_t>((s - 1) * nb + (b - 1))]; }
    std::size_t Index(int s, int a, int b) const {
        return static_cast<std::size_t>(((a - 1) * nb + (b - 1)) * n + (s - 1));
    }

    void LoadGrid() {
        for (int s = 1; s <= n; ++s)
            for (int b = 1; b <= nb; ++b) Cell(s, b) = Text(s, shown, b);
    }
    void WriteBack() {
        for (int s = 1; s <= n; ++s)
            for (int b = 1; b <= nb; ++b) Text(s, shown, b) = std::string(TrimBlanks(Cell(s, b)));
    }
    properties::ModelStudy Study() const {
        properties::ModelStudy study;
        study.n = n, study.na = na, study.nb = nb, study.countsRead = 3;
        study.namesA = namesA, study.namesB = namesB, study.scores = texts;
        return study;
    }
    // A store holding the model's study, for the calculate command's oracle.
    StudyStore Store() const {
        StudyStore store;
        StartNewStudy(store, namesA, namesB, std::to_string(n));
        for (int a = 1; a <= na; ++a)
            for (int b = 1; b <= nb; ++b)
                for (int s = 1; s <= n; ++s) store.CellText(s, a, b) = texts[Index(s, a, b)];
        return store;
    }
};

// An owner standing in for the levels window.
class Owner : public QWidget {};

}  // namespace

class RandomActionsTest : public QObject {
    Q_OBJECT

    testing::TempDir dir_;
    testing::FakeSeams seams_;
    StudyStore store_;
    Owner owner_;
    std::unique_ptr<DataWindow> form_;
    Model model_;
    char separator_ = '.';
    int actions_ = 0, commands_ = 0, cancels_ = 0, failures_ = 0, written_ = 0, asked_ = 0;

    QString Path(const char* name) { return QString::fromStdString(dir_.File(name)); }

    // A random study, saved as a data file and loaded as the Load command does.
    void Start(Random& random) {
        Model m;
        m.n = random.Between(1, 4), m.na = random.Between(1, 3), m.nb = random.Between(1, 3);
        for (int a = 1; a <= m.na; ++a) m.namesA.push_back("a" + std::to_string(a));
        for (int b = 1; b <= m.nb; ++b) m.namesB.push_back("b" + std::to_string(b));
        for (int i = 0; i < m.n * m.na * m.nb; ++i)
            m.texts.push_back(
                kLoaded[random.OneIn(12) ? random.Between(0, static_cast<int>(std::size(kLoaded)) - 1)
                                         : random.Between(0, kLoadedNumbers - 1)]);
        m.values.assign(m.texts.size(), 0.0L);
        m.saved = m.texts;
        testing::WriteBytes(dir_.File("start.dat"), properties::WriteModel(m.Study()));
        store_ = {};
        seams_.messages.Clear();
        LoadStudyFile(store_, dir_.File("start.dat"));
        m.shown = 1;
        m.grid.assign(static_cast<std::size_t>(m.n * m.nb), {});
        m.LoadGrid();
        model_ = m;
        separator_ = random.OneIn(3) ? ',' : '.';
        form_ = std::make_unique<DataWindow>(&owner_, store_, seams_.Seams(), separator_);
    }

    void Type(Random& random) {
        const int s = random.Between(1, model_.n), b = random.Between(1, model_.nb);
        const char* utf8 = kTyped[random.OneIn(4) ? random.Between(0, static_cast<int>(std::size(kTyped)) - 1)
                                                  : random.Between(0, kTypedNumbers - 1)];
        const QRect cell = testing::Grid(form_, "StringGrid1")
                               ->visualRect(testing::Grid(form_, "StringGrid1")->Cells().index(s, b));
        QTest::mouseClick(testing::Grid(form_, "StringGrid1")->viewport(), Qt::LeftButton, {}, cell.center());
        QLineEdit* editor = testing::CellEditor(testing::Grid(form_, "StringGrid1"));
        QVERIFY2(editor != nullptr, "no editor opened on the clicked cell");
        if (*utf8 == '\0')
            QTest::keyClick(editor, Qt::Key_Backspace);  // the whole text is selected
        else
            testing::TypeText(editor, QString::fromUtf8(utf8));
        if (model_.Cell(s, b) != Sjis(utf8)) model_.typedSinceSaved = true;
        model_.Cell(s, b) = Sjis(utf8);
    }

    void ChangeTab(Random& random) {
        const int index = random.Between(0, model_.na - 1);
        testing::ClickTab(testing::Tabs(form_, "TabControl1"), index);
        if (index + 1 == model_.shown) return;  // the selected tab: no change
        model_.WriteBack();
        model_.shown = index + 1;
        model_.LoadGrid();
    }

    void Save(Random& random) {
        ++commands_;
        QFile::remove(Path("saved.dat"));
        switch (random.Between(0, 3)) {
            case 0:
                seams_.dialogs.Cancel();
                ++cancels_;
                testing::Button(form_, "SaveButton")->click();
                QVERIFY(!QFile::exists(Path("saved.dat")));
                return;
            case 1:
                seams_.dialogs.Choose(Path("missing/saved.dat"));
                ++failures_;
                testing::Button(form_, "SaveButton")->click();
                QCOMPARE(seams_.messages.Shown(), QStringList{QStringLiteral(u"不正なファイル名です.")});
                return;  // not created: nothing written back
            default:
                seams_.dialogs.Choose(Path("saved.dat"));
                testing::Button(form_, "SaveButton")->click();
                model_.WriteBack();
                QCOMPARE(ReadBytes(dir_.File("saved.dat")), properties::WriteModel(model_.Study()));
                model_.saved = model_.texts;
                model_.typedSinceSaved = false;
        }
    }

    void Calculate(Random& random) {
        ++commands_;
        model_.WriteBack();
        // Every score parsed in the order subject, A, B, up to the first bad text.
        std::string badText;
        bool parsed = true;
        int badS = 0, badA = 0, badB = 0;
        for (int s = 1; s <= model_.n && parsed; ++s)
            for (int a = 1; a <= model_.na && parsed; ++a)
                for (int b = 1; b <= model_.nb && parsed; ++b) {
                    auto value = ParseScore(model_.Text(s, a, b), separator_);
                    if (value)
                        model_.Value(s, a, b) = *value;
                    else
                        parsed = false, badText = model_.Text(s, a, b), badS = s, badA = a, badB = b;
                }
        const int choice = random.Between(0, 4);
        QString expectedMessage;
        std::string expectedResults;
        if (!parsed) {
            expectedMessage = widgets::MessageText(ConvertError(morvane::messages::NotAFloat(badText)));
        } else if (choice == 0) {
            seams_.dialogs.Cancel();
            ++cancels_;
        } else if (choice == 1) {
            seams_.dialogs.Choose(Path("missing/results.txt"));
            expectedMessage = QStringLiteral(u"不正なファイル名です.");
            ++failures_;
        } else {
            seams_.dialogs.Choose(Path("results.txt"));
            // The oracle: the core's calculate command on the model's study.
            testing::TempDir oracle;
            StudyStore copy = model_.Store();
            try {
                RunCalculation(copy, separator_,
                               [&] { return std::optional<std::string>(oracle.File("r")); });
            } catch (const Error& error) {
                expectedMessage = widgets::MessageText(error);
            }
            expectedResults = ReadBytes(oracle.File("r"));
        }
        QFile::remove(Path("results.txt"));
        testing::Button(form_, "CalcButton")->click();
        if (expectedMessage.isEmpty()) {
            QVERIFY(seams_.messages.Shown().isEmpty());
        } else {
            // The message, with a score's the line that names its cell after it.
            QCOMPARE(seams_.messages.Shown().size(), 1);
            const QString& shown = seams_.messages.Shown().front();
            QVERIFY2(shown == expectedMessage || shown.startsWith(expectedMessage + "\n"), qPrintable(shown));
        }
        if (parsed && choice >= 2) {
            QCOMPARE(ReadBytes(dir_.File("results.txt")), expectedResults);
            ++written_;
        }
        if (!parsed || choice < 2) QVERIFY(!QFile::exists(Path("results.txt")));
        QCOMPARE(seams_.dialogs.Pending(), std::size_t{0});
        if (!parsed) {
            // The bad score is shown: its level's tab (another level is loaded
            // as a tab change loads it), its cell the current one.
            if (badA != model_.shown) {
                model_.shown = badA;
                model_.LoadGrid();
            }
            QCOMPARE(testing::Grid(form_, "StringGrid1")->Col(), badB);
            QCOMPARE(testing::Grid(form_, "StringGrid1")->Row(), badS);
        }
    }

    void Print() {
        ++commands_;
        testing::Button(form_, "PButton")->click();
        model_.WriteBack();
        std::vector<std::string> expected;
        for (int a = 1; a <= model_.na; ++a)
            for (int s = 1; s <= model_.n; ++s)
                for (int b = 1; b <= model_.nb; ++b) expected.push_back(model_.Text(s, a, b));
        QCOMPARE(seams_.printer.printedTexts, expected);
    }

    // The store, the tab and the grid against the model.
    void Check(int sequence, int step) {
        const QByteArray where =
            QByteArray("sequence ") + QByteArray::number(sequence) + " step " + QByteArray::number(step);
        QVERIFY2(store_.CurrentTabLevel == model_.shown, where);
        QVERIFY2(testing::Tabs(form_, "TabControl1")->currentIndex() + 1 == model_.shown, where);
        for (int a = 1; a <= model_.na; ++a)
            for (int b = 1; b <= model_.nb; ++b)
                for (int s = 1; s <= model_.n; ++s) {
                    QVERIFY2(store_.CellText(s, a, b) == model_.Text(s, a, b), where + " text");
                    const Extended value = store_.CellValue(s, a, b), expected = model_.Value(s, a, b);
                    QVERIFY2(value == expected && std::signbit(value) == std::signbit(expected),
                             where + " value");
                }
        for (int s = 1; s <= model_.n; ++s)
            for (int b = 1; b <= model_.nb; ++b)
                QVERIFY2(testing::Grid(form_, "StringGrid1")->Cells().Cell(b, s) == model_.Cell(s, b),
                         where + " grid");
    }

private slots:
    void RandomSequencesKeepEveryTypedText() {
        Random random(31);
        const int kSequences = 40, kSteps = 40;
        for (int sequence = 0; sequence < kSequences; ++sequence) {
            Start(random);
            QVERIFY(testing::ShowActive(form_.get()));
            QVERIFY2(seams_.messages.Shown().isEmpty(), qPrintable(seams_.messages.Shown().join(" | ")));
            for (int step = 0; step < kSteps; ++step) {
                seams_.messages.Clear();
                const int action = random.Between(0, 9);
                if (action <= 4)
                    Type(random);
                else if (action <= 6)
                    ChangeTab(random);
                else if (action == 7)
                    Save(random);
                else if (action == 8)
                    Calculate(random);
                else
                    Print();
                if (QTest::currentTestFailed()) {
                    qWarning("sequence %d step %d (action %d)", sequence, step, action);
                    return;
                }
                ++actions_;
                Check(sequence, step);
                if (QTest::currentTestFailed()) return;
            }
            // Close: asked first when the study changed, then the store
            // released. Not asked when nothing was typed since the last save;
            // asked whenever the texts differ from those saved.
            model_.WriteBack();
            seams_.messages.Clear();
            seams_.messages.Answer(widgets::SaveAnswer::Discard);
            testing::Button(form_, "ExitButton")->click();
            const bool asked = !seams_.messages.Asked().isEmpty();
            if (model_.DiffersFromSaved()) QVERIFY2(asked, "closed without asking");
            if (!model_.typedSinceSaved) QVERIFY2(!asked, "asked with nothing typed");
            asked_ += asked ? 1 : 0;
            QVERIFY(store_.CellText.Empty());
            QVERIFY(store_.LevelNamesA.empty());
            form_.reset();
        }
        std::printf(
            "[ stats ] %d sequences, %d actions, %d commands (%d cancelled, %d failing to create their "
            "file), %d results files, %d closes asked first\n",
            kSequences, actions_, commands_, cancels_, failures_, written_, asked_);
    }
};

QTEST_MAIN(RandomActionsTest)
#include "RandomActionsTest.moc"
