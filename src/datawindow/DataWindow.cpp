#include "datawindow/DataWindow.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QResizeEvent>
#include <QShortcut>
#include <QUndoCommand>
#include <QtGlobal>
#include <algorithm>
#include <climits>
#include <string>
#include <utility>

#include "anova/Analysis.h"
#include "anova/StudyPrecision.h"
#include "datawindow/WriteBack.h"
#include "design/StudyDesign.h"
#include "qttext/Fonts.h"
#include "qttext/Text.h"
#include "report/CalculateCommand.h"
#include "resultswindow/ResultsWindow.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "runtime/Messages.h"
#include "runtime/SameFile.h"
#include "session/Recovery.h"
#include "store/DataFile.h"
#include "store/LevelNames.h"
#include "ui_DataWindow.h"
#include "widgets/Commands.h"
#include "widgets/OffThread.h"
#include "widgets/PrintProgressDialog.h"

namespace morvane {

namespace {

using qttext::FromCp932;

const std::string& NameAt(const NameArray& names, std::int32_t index) {
    static const std::string none;
    return index >= 0 && static_cast<std::size_t>(index) < names.size()
               ? names[static_cast<std::size_t>(index)]
               : none;
}

// A grid extent from a count of the store: count + 1, at least `minimum`.
int GridExtent(std::int32_t count, int minimum) {
    const std::int64_t extent = std::max<std::int64_t>(std::int64_t{count} + 1, minimum);
    if (extent > INT_MAX) throw OutOfMemoryError();
    return static_cast<int>(extent);
}

// A step of the grid: the cells of one level of A that a typing or a paste
// changed. It is pushed once the change is on screen, so its first redo is
// the change itself and does nothing.
class GridStep final : public QUndoCommand {
public:
    using Apply = std::function<void(std::int32_t level, const widgets::CellChanges&, bool after)>;

    GridStep(std::int32_t level, widgets::CellChanges changes, Apply apply)
        : level_(level), changes_(std::move(changes)), apply_(std::move(apply)) {}

    void undo() override { apply_(level_, changes_, false); }
    void redo() override {
        if (std::exchange(onScreen_, false)) return;
        apply_(level_, changes_, true);
    }

private:
    std::int32_t level_;
    widgets::CellChanges changes_;
    Apply apply_;
    bool onScreen_ = true;
};

}  // namespace

DataWindow::DataWindow(QWidget* owner, StudyStore& store, const widgets::Seams& seams, char decimalSeparator)
    : FormWindow(owner, Qt::Window, store, seams, decimalSeparator), ui_(BuildForm<Ui::DataWindow>()) {
    ui_->TabControl1->setFont(qttext::CharacterFont(Face::PGothic, 16));
    ui_->StringGrid1->setFont(qttext::CharacterFont(Face::Gothic, 12));

    connect(ui_->TabControl1, &widgets::TabStrip::changed, this, &DataWindow::ShowSelectedLevel);
    connect(ui_->SaveButton, &QPushButton::clicked, this, [this] { Save(); });
    connect(ui_->CalcButton, &QPushButton::clicked, this, &DataWindow::Calculate);
    connect(ui_->PButton, &QPushButton::clicked, this, &DataWindow::Print);
    connect(ui_->ExitButton, &QPushButton::clicked, this, &DataWindow::Exit);
    connect(ui_->AnalysisButton, &QPushButton::clicked, this, &DataWindow::Analyse);

    // Every change the user makes in the grid is a step, kept across tab changes.
    widgets::StringGrid* grid = ui_->StringGrid1;
    grid->LeaveUndoToWindow(&steps_);
    connect(grid, &widgets::StringGrid::edited, this, [this](const widgets::CellChanges& changes) {
        steps_.push(new GridStep(store_.CurrentTabLevel, changes,
                                 [this](std::int32_t level, const widgets::CellChanges& cells, bool after) {
                                     ApplyStep(level, cells, after);
                                 }));
    });
    connect(&steps_, &QUndoStack::indexChanged, this, [this] {
        ++revision_;
        AnalysisOutOfDate();
    });
    // A study with unsaved changes is kept against a crash a moment after the last step.
    keeping_.setSingleShot(true);
    keeping_.setInterval(3000);
    connect(&keeping_, &QTimer::timeout, this, &DataWindow::KeepForRecovery);
    connect(&steps_, &QUndoStack::indexChanged, this, &DataWindow::StepsChanged);
    connect(&steps_, &QUndoStack::cleanChanged, this, &DataWindow::StepsChanged);
    // The cell being typed in holds the typing already, before it is a step
    // (the last row's Enter leaves the editor in its cell): kept all the same.
    connect(&grid->Cells(), &QAbstractItemModel::dataChanged, this, [this] {
        if (closed_ || !ui_->StringGrid1->Typing()) return;
        if (seams_.recovery != nullptr) keeping_.start();
        AnalysisOutOfDate();
    });
    connect(grid, &widgets::StringGrid::undoRequested, this, &DataWindow::Undo);
    connect(grid, &widgets::StringGrid::redoRequested, this, &DataWindow::Redo);
    const std::pair<QKeySequence, void (DataWindow::*)()> keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_Z), &DataWindow::Undo},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), &DataWindow::Redo},
        {QKeySequence(Qt::CTRL | Qt::Key_Y), &DataWindow::Redo},
    };
    for (const auto& [sequence, command] : keys)
        connect(new QShortcut(sequence, this), &QShortcut::activated, this, command);

    SetUpTabsAndGrid();
    // The focus starts on the first score, so that typing goes into it and
    // Enter moves down; it never presses a button the user did not go to.
    grid->setFocus();
}

DataWindow::~DataWindow() {
    // The grid goes after the steps, with the window's base: what it tells then
    // is of no use.
    disconnect(ui_->StringGrid1, nullptr, this, nullptr);
    disconnect(&ui_->StringGrid1->Cells(), nullptr, this, nullptr);
    disconnect(&steps_, nullptr, this, nullptr);
}

std::int32_t DataWindow::SelectedLevel() const {
    return ui_->TabControl1->currentIndex() + 1;
}

void DataWindow::WriteBack(std::int32_t level) {
    WriteBackGrid(store_, level, ui_->StringGrid1->Cells());
}

void DataWindow::SetUpTabsAndGrid() {
    Run([this] {
        StudyStore& study = store_;
        SizeStudy(study, StudyArrays::Values);

        // One row of tabs in the tab style is what TabStrip is; the design-time
        // tab takes the first level's name and the other levels follow.
        // A blank name would give a tab with nothing to click: it shows its number.
        ui_->TabControl1->SetCaption(0, FromCp932(LevelLabel(NameAt(study.LevelNamesA, 1), 'a', 1)));
        for (std::int32_t a = 2; a <= study.LevelCountA; ++a)
            ui_->TabControl1->AppendTab(FromCp932(LevelLabel(NameAt(study.LevelNamesA, a), 'a', a)));
        ui_->TabControl1->Select(0);

        // Without subjects the grid keeps its one row, the names of B.
        ui_->StringGrid1->SetColCount(GridExtent(study.LevelCountB, 1));
        ui_->StringGrid1->SetRowCount(GridExtent(study.SubjectCount, 1));
        ui_->StringGrid1->setFont(qttext::CellFont(Face::Gothic, 16));

        widgets::StringGridModel& cells = ui_->StringGrid1->Cells();
        const int cols = cells.ColCount(), rows = cells.RowCount();
        for (int b = 1; b < cols; ++b) cells.CellRef(b, 0) = NameAt(study.LevelNamesB, b);
        // The subject's row heading: "%1番目", the number before the Japanese suffix.
        const QString ordinal = tr("%1番目");
        for (int s = 1; s < rows; ++s) cells.CellRef(0, s) = qttext::ToCp932(ordinal.arg(s));
        cells.CellsChanged(0, 0, cols - 1, rows - 1);
        LoadGrid(study, ui_->TabControl1->currentIndex() + 1, cells);
        study.CurrentTabLevel = 1;

        ui_->StringGrid1->SelectCell(1, 1);
    });
}

void DataWindow::ShowLevel(std::int32_t level) {
    ui_->StringGrid1->CommitEdit();
    WriteBack(store_.CurrentTabLevel);
    store_.CurrentTabLevel = level;
    ui_->TabControl1->Select(level - 1);
    LoadGrid(store_, store_.CurrentTabLevel, ui_->StringGrid1->Cells());
}

void DataWindow::ShowSelectedLevel() {
    Run([this] { ShowLevel(SelectedLevel()); });
}

void DataWindow::ApplyStep(std::int32_t level, const widgets::CellChanges& changes, bool after) {
    if (changes.empty()) return;
    if (level != store_.CurrentTabLevel) ShowLevel(level);
    widgets::StringGrid* grid = ui_->StringGrid1;
    widgets::StringGridModel& cells = grid->Cells();
    int col0 = INT_MAX, row0 = INT_MAX, col1 = 0, row1 = 0;
    for (const widgets::CellChange& change : changes) {
        if (change.col >= cells.ColCount() || change.row >= cells.RowCount()) continue;
        cells.CellRef(change.col, change.row) = after ? change.after : change.before;
        col0 = std::min(col0, change.col), row0 = std::min(row0, change.row);
        col1 = std::max(col1, change.col), row1 = std::max(row1, change.row);
    }
    cells.CellsChanged(col0, row0, col1, row1);
    grid->SelectCell(changes.front().col, changes.front().row);
}

void DataWindow::Undo() {
    if (closed_) return;
    Run([this] {
        // What is being typed is a step of its own, the first to go.
        ui_->StringGrid1->CommitEdit();
        steps_.undo();
    });
}

void DataWindow::Redo() {
    if (closed_) return;
    Run([this] {
        ui_->StringGrid1->CommitEdit();
        steps_.redo();
    });
}

namespace {

// Where a score stands, as a message's second line (code page 932): its tab, subject and level.
std::string ScoreCellPlace(const StudyStore& store, const ScoreCell& cell) {
    const auto name = [](const NameArray& names, std::int32_t level) {
        return level >= 0 && static_cast<std::size_t>(level) < names.size()
                   ? names[static_cast<std::size_t>(level)]
                   : std::to_string(level);
    };
    return Cp932FromUtf8("場所: タブ '") + name(store.LevelNamesA, cell.levelA) +
           Cp932FromUtf8("'、被験者 ") + std::to_string(cell.subject) + Cp932FromUtf8("、水準 '") +
           name(store.LevelNamesB, cell.levelB) + "'";
}

}  // namespace

void DataWindow::ShowingBadScore(const std::function<void()>& parse) {
    try {
        parse();
    } catch (const ConvertError& error) {
        const std::optional<ScoreCell>& cell = error.cell();
        if (!cell || cell->levelA < 1 || cell->levelA > ui_->TabControl1->count()) throw;
        if (cell->levelA != store_.CurrentTabLevel) ShowLevel(cell->levelA);
        ui_->StringGrid1->SelectCell(cell->levelB, cell->subject);
        ui_->StringGrid1->setFocus();
        // The cell's editor opens with its text selected; an empty one, with
        // nothing to select, is coloured as a selection until typed in.
        const std::string& text = store_.CellText(cell->subject, cell->levelA, cell->levelB);
        auto* editor =
            qobject_cast<QLineEdit*>(ui_->StringGrid1->indexWidget(ui_->StringGrid1->currentIndex()));
        if (editor != nullptr && text.find_first_not_of(' ') == std::string::npos) {
            QPalette marked = editor->palette();
            marked.setColor(QPalette::Base, marked.color(QPalette::Highlight));
            editor->setPalette(marked);
            connect(editor, &QLineEdit::textEdited, editor, [editor] { editor->setPalette(QPalette()); });
        }
        // The message says where the cell is, on a line of its own.
        throw ConvertError(messages::WithFullStop(error.message()) + "\n" + ScoreCellPlace(store_, *cell),
                           *cell);
    }
}

void DataWindow::SetStudyFile(const QString& path) {
    SaveDialog1.fileName = path;
    studyFiles_.SetOnly(path);
    loadedFrom_ = path;
    studyFile_ = qttext::FilePath(path);
}

bool DataWindow::Save() {
    bool written = false;
    Run([this, &written] {
        // What is being typed is saved, and is a step before the saved state.
        ui_->StringGrid1->CommitEdit();
        SaveDialog1.title = tr("ファイル名");
        const auto chosen = widgets::ChooseFileToWrite(
            *seams_.messages, this, studyFiles_,
            [this](const QString& start) {
                return seams_.dialogs->SaveFiltered(this, SaveDialog1.title, start,
                                                    widgets::DataFileFilters());
            },
            SaveDialog1.fileName);
        if (!chosen) return;  // cancelled: nothing is written
        SaveDialog1.fileName = *chosen;
        // The file is created first, so a name that cannot be created leaves
        // the store as it was.
        const std::string path = qttext::FilePath(*chosen);
        WriteDataFile(store_, path, [this](StudyStore& study) {
            WriteBackGrid(study, SelectedLevel(), ui_->StringGrid1->Cells());
        });
        studyFile_ = path;
        steps_.setClean();
        studyFiles_.SetOnly(*chosen);
        loadedFrom_.clear();
        written = true;
    });
    return written;
}

void DataWindow::Calculate() {
    Run([this] {
        WriteBack(SelectedLevel());
        std::optional<PrecisionCheck> check;
        CalculationOutcome outcome = CalculationOutcome::Cancelled;
        QString written;
        ShowingBadScore([&] {
            outcome = RunCheckedCalculation(
                store_, decimalSeparator_,
                [this, &written]() -> std::optional<std::string> {
                    OpenDialog1.title = tr("計算結果の出力用ファイル");
                    OpenDialog1.fileName.clear();
                    // The file is written, not read: a save dialog, which asks nothing of its own.
                    const auto chosen = widgets::ChooseFileToWrite(
                        *seams_.messages, this, resultsFiles_,
                        [this](const QString& start) {
                            return seams_.dialogs->Save(this, OpenDialog1.title, start);
                        },
                        OpenDialog1.fileName);
                    if (!chosen) return std::nullopt;
                    std::string path = qttext::FilePath(*chosen);
                    RefuseInputAsOutput(path, {studyFile_});
                    written = *chosen;
                    return path;
                },
                check);
        });
        if (outcome != CalculationOutcome::Written) return;
        resultsFiles_.Add(written);
        ui_->ExitButton->setFocus();
        // Say when the file's summary table lost digits.
        if (check && !check->summaryTableExact)
            seams_.messages->ShowInformation(
                this, tr("計算結果ファイルの要約表には、桁落ちのため正確でない値があります。"
                         "正確な値は「分  析」で開く分析結果のウィンドウに示します。"));
    });
}

void DataWindow::Analyse() {
    // A second 分析 while one runs does nothing.
    if (widgets::OffThreadRunning()) return;
    Run([this] {
        // What is being typed is analysed, and is a step before the analysis.
        ui_->StringGrid1->CommitEdit();
        WriteBack(SelectedLevel());
        // The worker reads a copy of the study, so that the window may go on.
        using Analysed = std::pair<anova::Analysis, PrecisionCheck>;
        std::optional<Analysed> analysed;
        try {
            ShowingBadScore([&] {
                analysed = widgets::ComputeOffThread<Analysed>(
                    this, QStringLiteral(u"分析しています…"), progressAfterMs_,
                    QStringLiteral("AnalysisProgress"),
                    [study = store_, separator = decimalSeparator_,
                     options = results_ != nullptr ? results_->ChosenOptions() : anova::Options()] {
                        anova::Analysis analysis = anova::Analyse(DesignFromStudy(study, separator), options);
                        PrecisionCheck precision = anova::CheckStudyResultsFile(study, separator, analysis);
                        return Analysed(std::move(analysis), std::move(precision));
                    });
            });
        } catch (...) {
            if (results_ != nullptr) results_->MarkOutOfDate(ResultsWindow::Staleness::AnalysisStopped);
            throw;
        }
        if (!analysed) return;  // 中止: the windows stay as they were
        Provenance provenance = AnalysedProvenance();
        if (results_ == nullptr) {
            results_ = new ResultsWindow(this, seams_, decimalSeparator_);
            // Its 分析の設定… analyses the study as it is now, as 分析 does.
            connect(results_, &ResultsWindow::studyAnalysisRequested, this, &DataWindow::Analyse);
        }
        results_->SetStudyFile(studyFile_);
        results_->ShowStudy(std::move(analysed->first), std::move(analysed->second), std::move(provenance));
    });
}

Provenance DataWindow::AnalysedProvenance() {
    if (!loadedFrom_.isEmpty() && steps_.isClean()) {
        Provenance fromFile = ProvenanceOfFile(qttext::FilePath(loadedFrom_));
        if (fromFile.dataSha256) return fromFile;
    }
    try {
        return ProvenanceOfBytes(DataFileBytesOf(store_));
    } catch (const LineEndInTextError&) {
        // No data file holds such a study: its figures name no file's bytes.
        Provenance version = ProvenanceOfFile({});
        return version;
    }
}

void DataWindow::AnalysisOutOfDate() {
    if (results_ != nullptr && !closed_) results_->MarkOutOfDate(ResultsWindow::Staleness::StudyChanged);
}

void DataWindow::Print() {
    Run([this] {
        WriteBack(SelectedLevel());
        if (seams_.printer == nullptr) throw PrinterError(messages::NoDefaultPrinter());
        // The job is done (or stopped by the user, then nothing is printed)
        // before the command returns.
        widgets::PrintProgressDialog progress(this);
        seams_.printer->Print(store_, progress);
    });
}

bool DataWindow::Changed() {
    if (closed_) return false;
    ui_->StringGrid1->CommitEdit();
    return !steps_.isClean();
}

bool DataWindow::MayDiscard() {
    if (!Changed() || revision_ == revisionLetGo_) return true;
    switch (seams_.messages->AskToSave(this, tr("変更を保存しますか?"))) {
        case widgets::SaveAnswer::Save:
            return Save();
        case widgets::SaveAnswer::Discard:
            revisionLetGo_ = revision_;
            ForgetRecovery();
            return true;
        case widgets::SaveAnswer::Cancel:
            break;
    }
    return false;
}

bool DataWindow::EndStudy() {
    if (closed_) return true;
    if (!MayDiscard()) return false;
    closed_ = true;
    ForgetRecovery();
    if (results_ != nullptr) results_->close();
    ReleaseStudy(store_);
    return true;
}

void DataWindow::MarkRecovered() {
    steps_.resetClean();
    KeepForRecovery();
}

void DataWindow::StepsChanged() {
    if (closed_ || seams_.recovery == nullptr) return;
    if (steps_.isClean())
        ForgetRecovery();
    else
        keeping_.start();
}

void DataWindow::KeepForRecovery() {
    keeping_.stop();
    if (closed_ || seams_.recovery == nullptr || (steps_.isClean() && !ui_->StringGrid1->Typing())) return;
    try {
        seams_.recovery->Keep(store_, [this](StudyStore& study) {
            WriteBackGrid(study, SelectedLevel(), ui_->StringGrid1->Cells());
        });
    } catch (const Error& error) {
        RecoveryFailed(widgets::CoreMessage(error.message()));
    } catch (const std::bad_alloc&) {
        RecoveryFailed(widgets::CoreMessage(messages::OutOfMemory()));
    }
}

void DataWindow::RecoveryFailed(const QString& reason) {
    if (std::exchange(keepFailed_, true)) return;
    seams_.messages->ShowWarning(this, tr("復元用のコピーを書き込めません (%1)。"
                                          "異常終了したときは、保存していない変更を復元できません。")
                                           .arg(reason));
}

void DataWindow::ForgetRecovery() {
    keeping_.stop();
    if (seams_.recovery != nullptr) seams_.recovery->Forget();
}

void DataWindow::Exit() {
    if (EndStudy()) CloseOwner();
}

void DataWindow::CloseOwner() {
    // Closing the owner, the levels window and main window, ends the program.
    if (QWidget* owner = parentWidget())
        owner->close();
    else
        close();
}

void DataWindow::resizeEvent(QResizeEvent* event) {
    FormWindow::resizeEvent(event);
    // The form's margins: the buttons stand this far from the right edge, the
    // tabs and grid reach this close to them and to the bottom.
    constexpr int kButtonsFromRight = 92, kGridToButtons = 23, kGridFromBottom = 12;
    const int buttonsLeft = width() - kButtonsFromRight;
    for (QPushButton* button :
         {ui_->SaveButton, ui_->CalcButton, ui_->PButton, ui_->AnalysisButton, ui_->ExitButton})
        button->move(buttonsLeft, button->y());
    widgets::TabStrip* tabs = ui_->TabControl1;
    tabs->resize(std::max(1, buttonsLeft - kGridToButtons - tabs->x()),
                 std::max(1, height() - kGridFromBottom - tabs->y()));
    widgets::StringGrid* grid = ui_->StringGrid1;
    grid->resize(tabs->width() - grid->x(), std::max(1, tabs->height() - grid->y()));
}

void DataWindow::closeEvent(QCloseEvent* event) {
    if (!EndStudy()) {
        event->ignore();
        return;
    }
    event->accept();
    if (QWidget* owner = parentWidget()) owner->close();
}

}  // namespace morvane
