#include "levelswindow/LevelsWindow.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <exception>
#include <fstream>
#include <utility>

#include "datawindow/DataWindow.h"
#include "exchange/ExchangeFiles.h"
#include "exchange/StudyCsv.h"
#include "levelswindow/CsvRolesDialog.h"
#include "levelswindow/LevelGrid.h"
#include "levelswindow/LoadProgress.h"
#include "levelswindow/VerifyDialog.h"
#include "qttext/Fonts.h"
#include "qttext/Text.h"
#include "resultswindow/ResultsWindow.h"
#include "runtime/Errors.h"
#include "runtime/Messages.h"
#include "session/Recovery.h"
#include "store/DataFile.h"
#include "ui_LevelsWindow.h"
#include "widgets/Commands.h"
#include "widgets/FileChoice.h"
#include "widgets/LanguageDialog.h"
#include "widgets/OffThread.h"

namespace morvane {

LevelsWindow::LevelsWindow(StudyStore& store, const widgets::Seams& seams, char decimalSeparator,
                           QWidget* parent)
    : FormWindow(parent, {}, store, seams, decimalSeparator), ui_(BuildForm<Ui::LevelsWindow>()) {
    for (QWidget* w : {static_cast<QWidget*>(ui_->Label1), static_cast<QWidget*>(ui_->Label2),
                       static_cast<QWidget*>(ui_->Label3), static_cast<QWidget*>(ui_->NEdit)})
        w->setFont(qttext::CharacterFont(Face::PGothic, 16));
    // A caption longer than its place on the form (an English one) grows to the right.
    for (QLabel* label : {ui_->Label1, ui_->Label2, ui_->Label3})
        if (const int wanted = label->sizeHint().width(); wanted > label->width())
            label->resize(wanted, label->height());

    connect(ui_->GOButton, &QPushButton::clicked, this, &LevelsWindow::StartNewStudy);
    connect(ui_->ReadButton, &QPushButton::clicked, this, &LevelsWindow::LoadStudy);
    connect(ui_->ExitButton, &QPushButton::clicked, this, &LevelsWindow::Exit);
    connect(ui_->AddAButton, &QPushButton::clicked, this, &LevelsWindow::InsertLevelA);
    connect(ui_->AddBButton, &QPushButton::clicked, this, &LevelsWindow::InsertLevelB);
    connect(ui_->DelAButton, &QPushButton::clicked, this, &LevelsWindow::DeleteLevelA);
    connect(ui_->DelBButton, &QPushButton::clicked, this, &LevelsWindow::DeleteLevelB);
    // 検証… is no control of the form: it stands left of 読み込み, out of the
    // form's Tab order (which keyboard users and their habits rely on), and
    // Alt+V presses it.
    auto* verifyButton = new QPushButton(tr("検証(&V)…"), this);
    verifyButton->setObjectName(QStringLiteral("VerifyButton"));
    verifyButton->setFocusPolicy(Qt::ClickFocus);
    // Right of 読み込み it would touch the window's edge.
    verifyButton->setGeometry(ui_->ReadButton->geometry().translated(-ui_->ReadButton->width() - 8, 0));
    connect(verifyButton, &QPushButton::clicked, this, &LevelsWindow::Verify);
    // 言語… stands left of 検証… in the same way, Alt+L pressing it.
    auto* languageButton = new QPushButton(tr("言語(&L)…"), this);
    languageButton->setObjectName(QStringLiteral("LanguageButton"));
    languageButton->setFocusPolicy(Qt::ClickFocus);
    languageButton->setGeometry(verifyButton->geometry().translated(-verifyButton->width() - 8, 0));
    connect(languageButton, &QPushButton::clicked, this, &LevelsWindow::ChooseLanguage);

    SetUpGrids();
    // No control is named to take the focus first: the first in the tab order.
    ui_->GOButton->setFocus();
}

LevelsWindow::~LevelsWindow() = default;

void LevelsWindow::SetUpGrids() {
    Run([this] {
        SetUpLevelGrid(*ui_->StringGridA, 'a');
        SetUpLevelGrid(*ui_->StringGridB, 'b');
        ui_->NEdit->setText(QStringLiteral("1"));
    });
}

void LevelsWindow::InsertLevelA() {
    Run([this] { AddLevel(*ui_->StringGridA, 'a'); });
}

void LevelsWindow::InsertLevelB() {
    Run([this] { AddLevel(*ui_->StringGridB, 'b'); });
}

void LevelsWindow::DeleteLevelA() {
    Run([this] { DeleteLevel(*ui_->StringGridA, 'a'); });
}

void LevelsWindow::DeleteLevelB() {
    Run([this] { DeleteLevel(*ui_->StringGridB, 'b'); });
}

void LevelsWindow::StartNewStudy() {
    Run([this] {
        morvane::StartNewStudy(store_, LevelNames(*ui_->StringGridA), LevelNames(*ui_->StringGridB),
                               qttext::ToCp932(ui_->NEdit->text()));
        HandOver();
    });
}

void LevelsWindow::LoadStudy() {
    Run([this] {
        OpenDialog1.title = tr("入力データファイル");
        const QString csvFilter = tr("CSV ファイル (*.csv)");
        QStringList filters = widgets::DataFileFilters();
        filters.insert(1, csvFilter);
        // The type of the file last read comes first: after a CSV, the CSV files.
        if (csvChosen_) filters.move(1, 0);
        const auto chosen =
            seams_.dialogs->OpenFiltered(this, OpenDialog1.title, OpenDialog1.fileName, filters);
        if (!chosen || chosen->isEmpty()) return;  // cancelled: nothing is read
        OpenDialog1.fileName = *chosen;
        csvChosen_ = IsLongCsv(qttext::FilePath(*chosen));
        if (csvChosen_) return OpenCsv(qttext::FilePath(*chosen));
        if (const auto missing = ReadStudy(qttext::FilePath(*chosen))) HandOver(*missing, *chosen);
    });
}

void LevelsWindow::OpenStudy(const std::string& path) {
    OpenDialog1.fileName = QFile::decodeName(path.c_str());
    if (IsLongCsv(path)) {
        show();
        Run([this, &path] { OpenCsv(path); });
        return;
    }
    // The failure waits until this window is shown, so that its message box
    // stands over it as after a failed Load.
    std::exception_ptr failure;
    std::optional<std::int64_t> missing;
    try {
        missing = ReadStudy(path);
    } catch (...) {
        failure = std::current_exception();
    }
    if (missing) {
        Run([this, missing] { HandOver(*missing, OpenDialog1.fileName); });
        return;
    }
    show();
    if (failure) Run([&failure] { std::rethrow_exception(failure); });
}

bool LevelsWindow::OpenRecoveredStudy(const LeftRecovery& left) {
    std::exception_ptr failure;
    try {
        StudyStore recovered;
        left.Read(recovered);
        store_ = std::move(recovered);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!failure) {
        Run([this] {
            HandOver();
            data_->MarkRecovered();
        });
        return data_ != nullptr;
    }
    show();
    Run([&failure] { std::rethrow_exception(failure); });
    return false;
}

std::optional<std::int64_t> LevelsWindow::ReadStudy(const std::string& path) {
    LoadProgressDialog progress(this, loadProgressAfterMs_);
    StudyStore loaded;
    std::int64_t missing = 0;
    LoadNotes notes;
    try {
        missing = LoadStudyFile(loaded, path, progress, notes);
    } catch (const ReadStopped&) {
        return std::nullopt;
    }
    store_ = std::move(loaded);
    trailingContent_ = notes.trailingContent;
    return missing;
}

bool LevelsWindow::IsLongCsv(const std::string& path) {
    if (QFileInfo(QFile::decodeName(path.c_str()))
            .suffix()
            .compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0)
        return true;
    // A data file's first line is the number of subjects: a separator there is
    // a CSV's header. Only a regular file is looked into, so that a pipe loses nothing.
    const QFileInfo info(QFile::decodeName(path.c_str()));
    if (!info.isFile()) return false;
    std::ifstream in(path, std::ios::binary);
    std::string head(4096, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    const std::size_t start = head.find_first_not_of(" \t\r\n");
    if (start == std::string::npos) return false;
    const std::size_t end = head.find_first_of("\r\n", start);
    const std::string line = head.substr(start, end == std::string::npos ? std::string::npos : end - start);
    return line.find_first_of(",;\t") != std::string::npos;
}

void LevelsWindow::OpenCsv(const std::string& path) {
    // A large file is read, and its columns' roles guessed, off the window's
    // thread; 中止 opens nothing.
    struct FirstRead {
        std::string bytes;
        RoleGuess guess;
    };
    std::optional<FirstRead> read = widgets::ComputeOffThread<FirstRead>(
        this, tr("CSV ファイルを読み込んでいます…"), loadProgressAfterMs_, QStringLiteral("LoadProgress"), [path] {
            FirstRead first{std::string(ReadWholeFile(path, {}, true).View()), {}};
            first.guess = GuessRoles(first.bytes);
            return first;
        });
    if (!read) return;
    auto* dialog = new CsvRolesDialog(this, seams_, path, std::move(read->bytes), read->guess);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->SetProgressDelay(loadProgressAfterMs_);
    dialog->SetStoredDecimalSeparator(decimalSeparator_);
    csvDialog_ = dialog;
    connect(dialog, &QDialog::accepted, this,
            [this, dialog] { Run([this, dialog] { OpenCsvDesign(*dialog); }); });
    dialog->open();
}

void LevelsWindow::OpenCsvDesign(CsvRolesDialog& dialog) {
    const LongCsvRoles roles = dialog.Roles();
    const LongCsvOptions options = dialog.Options();
    // The study was imported on ＯＫ, off the window's thread.
    if (std::optional<StudyStore> imported = dialog.TakeStudy()) {
        store_ = std::move(*imported);
        HandOver();
        return;
    }
    // An analysis that fails leaves no window behind.
    auto window = std::make_unique<ResultsWindow>(this, seams_, decimalSeparator_);
    window->setAttribute(Qt::WA_DeleteOnClose);
    std::optional<anova::Analysis> analysis = dialog.TakeAnalysis();
    if (analysis)
        window->ShowCsv({dialog.Path(), roles, options}, dialog.Bytes(), std::move(*analysis));
    else
        window->ShowCsv({dialog.Path(), roles, options}, dialog.Bytes(), dialog.Design());
    csvResults_ = window.release();
}

void LevelsWindow::Verify() {
    // A second 検証 while one runs does nothing.
    if (widgets::OffThreadRunning()) return;
    Run([this] {
        std::optional<verify::Verification> verification = widgets::ComputeOffThread<verify::Verification>(
            this, tr("公表された分析を計算し直しています…"), loadProgressAfterMs_,
            QStringLiteral("VerifyProgress"), [folder = verify::DataFolder()] { return verify::Verify(folder); });
        if (!verification) return;  // 中止: no dialog
        auto* dialog = new VerifyDialog(this, seams_, std::move(*verification));
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        verifyDialog_ = dialog;
        dialog->open();
    });
}

void LevelsWindow::ChooseLanguage() {
    if (languageDialog_ != nullptr && languageDialog_->isVisible()) return languageDialog_->raise();
    auto* dialog = new widgets::LanguageDialog(this, seams_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    languageDialog_ = dialog;
    dialog->open();
}

void LevelsWindow::Exit() {
    close();
}

void LevelsWindow::HandOver(std::int64_t missingScores, const QString& studyFile) {
    hide();
    data_ = new DataWindow(this, store_, seams_, decimalSeparator_);
    data_->SetProgressDelay(loadProgressAfterMs_);
    if (!studyFile.isEmpty()) data_->SetStudyFile(studyFile);
    data_->show();
    if (missingScores > 0)
        seams_.messages->ShowInformation(
            data_, tr("データファイルが途中で終わっていたため、足りない %1 個の得点は空欄にしました")
                       .arg(missingScores));
    if (std::exchange(trailingContent_, false))
        seams_.messages->ShowInformation(data_, widgets::CoreMessage(messages::TrailingContent()));
}

bool LevelsWindow::MayDiscard() {
    return data_ == nullptr || data_->MayDiscard();
}

bool LevelsWindow::Changed() {
    return data_ != nullptr && data_->Changed();
}

void LevelsWindow::closeEvent(QCloseEvent* event) {
    // Hidden once the data window is open, this window is closed by it (after
    // its question), or otherwise (the end of the program) after the question.
    if (data_ != nullptr && !data_->EndStudy()) {
        event->ignore();
        return;
    }
    event->accept();
    emit closed();
}

}  // namespace morvane
