#include "designwindow/DesignWindow.h"

#include <QCloseEvent>
#include <QFile>
#include <exception>

#include "datawindow/DataWindow.h"
#include "designwindow/LevelGrid.h"
#include "designwindow/LoadProgress.h"
#include "qttext/Fonts.h"
#include "qttext/Text.h"
#include "runtime/Errors.h"
#include "store/DataFile.h"
#include "ui_DesignWindow.h"

namespace morvane {

DesignWindow::DesignWindow(StudyStore& store, const widgets::Seams& seams, char decimalSeparator,
                           QWidget* parent)
    : FormWindow(parent, {}, store, seams, decimalSeparator), ui_(BuildForm<Ui::DesignWindow>()) {
    for (QWidget* w : {static_cast<QWidget*>(ui_->Label1), static_cast<QWidget*>(ui_->Label2),
                       static_cast<QWidget*>(ui_->Label3), static_cast<QWidget*>(ui_->NEdit)})
        w->setFont(qttext::CharacterFont(Face::PGothic, 16));

    connect(ui_->GOButton, &QPushButton::clicked, this, &DesignWindow::StartNewStudy);
    connect(ui_->ReadButton, &QPushButton::clicked, this, &DesignWindow::LoadStudy);
    connect(ui_->ExitButton, &QPushButton::clicked, this, &DesignWindow::Exit);
    connect(ui_->AddAButton, &QPushButton::clicked, this, &DesignWindow::InsertLevelA);
    connect(ui_->AddBButton, &QPushButton::clicked, this, &DesignWindow::InsertLevelB);
    connect(ui_->DelAButton, &QPushButton::clicked, this, &DesignWindow::DeleteLevelA);
    connect(ui_->DelBButton, &QPushButton::clicked, this, &DesignWindow::DeleteLevelB);

    SetUpGrids();
    // No control is named to take the focus first: the first in the tab order.
    ui_->GOButton->setFocus();
}

DesignWindow::~DesignWindow() = default;

void DesignWindow::SetUpGrids() {
    Run([this] {
        SetUpLevelGrid(*ui_->StringGridA, 'a');
        SetUpLevelGrid(*ui_->StringGridB, 'b');
        ui_->NEdit->setText(QStringLiteral("1"));
    });
}

void DesignWindow::InsertLevelA() {
    Run([this] { AddLevel(*ui_->StringGridA, 'a'); });
}

void DesignWindow::InsertLevelB() {
    Run([this] { AddLevel(*ui_->StringGridB, 'b'); });
}

void DesignWindow::DeleteLevelA() {
    Run([this] { DeleteLevel(*ui_->StringGridA, 'a'); });
}

void DesignWindow::DeleteLevelB() {
    Run([this] { DeleteLevel(*ui_->StringGridB, 'b'); });
}

void DesignWindow::StartNewStudy() {
    Run([this] {
        morvane::StartNewStudy(store_, LevelNames(*ui_->StringGridA), LevelNames(*ui_->StringGridB),
                               qttext::ToCp932(ui_->NEdit->text()));
        HandOver();
    });
}

void DesignWindow::LoadStudy() {
    Run([this] {
        OpenDialog1.title = QStringLiteral(u"入力データファイル");
        const auto chosen = seams_.dialogs->Open(this, OpenDialog1.title, OpenDialog1.fileName);
        if (!chosen || chosen->isEmpty()) return;  // cancelled: nothing is read
        OpenDialog1.fileName = *chosen;
        if (ReadStudy(qttext::FilePath(*chosen))) HandOver();
    });
}

void DesignWindow::OpenStudy(const std::string& path) {
    OpenDialog1.fileName = QFile::decodeName(path.c_str());
    // The failure waits until this window is shown, so that its message box
    // stands over it as after a failed Load.
    std::exception_ptr failure;
    bool loaded = false;
    try {
        loaded = ReadStudy(path);
    } catch (...) {
        failure = std::current_exception();
    }
    if (loaded) {
        Run([this] { HandOver(); });
        return;
    }
    show();
    if (failure) Run([&failure] { std::rethrow_exception(failure); });
}

bool DesignWindow::ReadStudy(const std::string& path) {
    LoadProgressDialog progress(this, loadProgressAfterMs_);
    StudyStore loaded;
    try {
        LoadStudyFile(loaded, path, progress);
    } catch (const ReadStopped&) {
        return false;
    }
    store_ = std::move(loaded);
    return true;
}

void DesignWindow::Exit() {
    close();
}

void DesignWindow::HandOver() {
    hide();
    data_ = new DataWindow(this, store_, seams_, decimalSeparator_);
    data_->show();
}

void DesignWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    emit closed();
}

}  // namespace morvane
