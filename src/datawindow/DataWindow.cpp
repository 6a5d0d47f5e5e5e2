#include "datawindow/DataWindow.h"

#include <QCloseEvent>
#include <climits>
#include <string>

#include "report/CalculateCommand.h"
#include "anova/FullAnalysis.h"
#include "analysiswindow/AnalysisWindow.h"
#include "datawindow/WriteBack.h"
#include "qttext/Fonts.h"
#include "qttext/Text.h"
#include "runtime/Errors.h"
#include "runtime/Messages.h"
#include "store/DataFile.h"
#include "ui_DataWindow.h"
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

}  // namespace

DataWindow::DataWindow(QWidget* owner, StudyStore& store, const widgets::Seams& seams, char decimalSeparator)
    : FormWindow(owner, Qt::Window, store, seams, decimalSeparator), ui_(BuildForm<Ui::DataWindow>()) {
    ui_->TabControl1->setFont(qttext::CharacterFont(Face::PGothic, 16));
    ui_->StringGrid1->setFont(qttext::CharacterFont(Face::Gothic, 12));

    connect(ui_->TabControl1, &widgets::TabStrip::changed, this, &DataWindow::ShowSelectedLevel);
    connect(ui_->SaveButton, &QPushButton::clicked, this, &DataWindow::Save);
    connect(ui_->CalcButton, &QPushButton::clicked, this, &DataWindow::Calculate);
    connect(ui_->PButton, &QPushButton::clicked, this, &DataWindow::Print);
    connect(ui_->ExitButton, &QPushButton::clicked, this, &DataWindow::Exit);
    connect(ui_->AnalysisButton, &QPushButton::clicked, this, &DataWindow::Analyse);

    SetUpTabsAndGrid();
    // No control is named to take the focus first: the first in the tab order.
    ui_->ExitButton->setFocus();
}

DataWindow::~DataWindow() = default;

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
        ui_->TabControl1->SetCaption(0, FromCp932(NameAt(study.LevelNamesA, 1)));
        for (std::int32_t a = 2; a <= study.LevelCountA; ++a)
            ui_->TabControl1->AppendTab(FromCp932(NameAt(study.LevelNamesA, a)));
        ui_->TabControl1->Select(0);

        // Without subjects the grid keeps its one row, the names of B.
        ui_->StringGrid1->SetColCount(GridExtent(study.LevelCountB, 1));
        ui_->StringGrid1->SetRowCount(GridExtent(study.SubjectCount, 1));
        ui_->StringGrid1->setFont(qttext::CellFont(Face::Gothic, 16));

        widgets::StringGridModel& cells = ui_->StringGrid1->Cells();
        const int cols = cells.ColCount(), rows = cells.RowCount();
        for (int b = 1; b < cols; ++b) cells.CellRef(b, 0) = NameAt(study.LevelNamesB, b);
        const std::string ordinal = qttext::ToCp932(QStringLiteral(u"番目"));
        for (int s = 1; s < rows; ++s) cells.CellRef(0, s) = std::to_string(s) + ordinal;
        cells.CellsChanged(0, 0, cols - 1, rows - 1);
        LoadGrid(study, ui_->TabControl1->currentIndex() + 1, cells);
        study.CurrentTabLevel = 1;

        ui_->StringGrid1->SelectCell(1, 1);
    });
}

void DataWindow::ShowSelectedLevel() {
    Run([this] {
        WriteBack(store_.CurrentTabLevel);
        store_.CurrentTabLevel = SelectedLevel();
        LoadGrid(store_, store_.CurrentTabLevel, ui_->StringGrid1->Cells());
    });
}

void DataWindow::Save() {
    Run([this] {
        SaveDialog1.title = QStringLiteral(u"ファイル名");
        const auto chosen = seams_.dialogs->Save(this, SaveDialog1.title, SaveDialog1.fileName);
        if (!chosen || chosen->isEmpty()) return;  // cancelled: nothing is written
        SaveDialog1.fileName = *chosen;
        // The file is created first, so a name that cannot be created leaves
        // the store as it was.
        WriteDataFile(store_, qttext::FilePath(*chosen), [this](StudyStore& study) {
            WriteBackGrid(study, SelectedLevel(), ui_->StringGrid1->Cells());
        });
    });
}

void DataWindow::Calculate() {
    Run([this] {
        WriteBack(SelectedLevel());
        std::optional<PrecisionCheck> check;
        const auto outcome = RunCheckedCalculation(
            store_, decimalSeparator_,
            [this]() -> std::optional<std::string> {
                OpenDialog1.title = QStringLiteral(u"計算結果の出力用ファイル");
                OpenDialog1.fileName.clear();
                const auto chosen = seams_.dialogs->Open(this, OpenDialog1.title, OpenDialog1.fileName);
                if (!chosen || chosen->isEmpty()) return std::nullopt;
                return qttext::FilePath(*chosen);
            },
            check);
        if (outcome != CalculationOutcome::Written) return;
        ui_->ExitButton->setFocus();
        // Say when the file's summary table lost digits.
        if (check && !check->summaryTableExact)
            seams_.messages->ShowInformation(
                this, QStringLiteral(u"計算結果ファイルの要約表には、桁落ちのため正確でない値があります。"
                                     u"正確な値は「分  析」で開く分析結果のウィンドウに示します。"));
    });
}

void DataWindow::Analyse() {
    Run([this] {
        WriteBack(SelectedLevel());
        FullAnalysis analysis = AnalyseStudy(store_, decimalSeparator_);
        if (analysis_ == nullptr) analysis_ = new AnalysisWindow(this, seams_, decimalSeparator_);
        analysis_->Show(std::move(analysis));
    });
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

void DataWindow::Exit() {
    if (closed_) return;
    closed_ = true;
    if (analysis_ != nullptr) analysis_->close();
    ReleaseStudy(store_);
    // Closing the owner, the design window and main window, ends the program.
    if (QWidget* owner = parentWidget())
        owner->close();
    else
        close();
}

void DataWindow::closeEvent(QCloseEvent* event) {
    Exit();
    event->accept();
}

}  // namespace morvane
