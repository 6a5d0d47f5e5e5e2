#include "designwindow/UMorvane.h"

#include <QCloseEvent>
#include <QFile>
#include <exception>

#include "datawindow/UMorvaneCalc.h"
#include "designwindow/LevelGrid.h"
#include "qttext/Fonts.h"
#include "qttext/Text.h"
#include "store/DataFile.h"
#include "ui_UMorvane.h"

namespace morvane {

TForm1* Form1 = nullptr;

TForm1::TForm1(StudyStore& store, const widgets::Seams& seams, char decimalSeparator, QWidget* parent)
    : FormWindow(parent, {}, store, seams, decimalSeparator), ui_(BuildForm<Ui::TForm1>()) {
    for (QWidget* w : {static_cast<QWidget*>(ui_->Label1), static_cast<QWidget*>(ui_->Label2),
                       static_cast<QWidget*>(ui_->Label3), static_cast<QWidget*>(ui_->NEdit)})
        w->setFont(qttext::CharacterFont(Face::PGothic, 16));

    connect(ui_->GOButton, &QPushButton::clicked, this, &TForm1::GOButtonClick);
    connect(ui_->ReadButton, &QPushButton::clicked, this, &TForm1::ReadButtonClick);
    connect(ui_->ExitButton, &QPushButton::clicked, this, &TForm1::ExitButtonClick);
    connect(ui_->AddAButton, &QPushButton::clicked, this, &TForm1::AddAButtonClick);
    connect(ui_->AddBButton, &QPushButton::clicked, this, &TForm1::AddBButtonClick);
    connect(ui_->DelAButton, &QPushButton::clicked, this, &TForm1::DelAButtonClick);
    connect(ui_->DelBButton, &QPushButton::clicked, this, &TForm1::DelBButtonClick);

    FormCreate();
    // No control is named to take the focus first: the first in the tab order.
    ui_->GOButton->setFocus();
}

TForm1::~TForm1() = default;

void TForm1::FormCreate() {
    Run([this] {
        SetUpLevelGrid(*ui_->StringGridA, 'a');
        SetUpLevelGrid(*ui_->StringGridB, 'b');
        ui_->NEdit->setText(QStringLiteral("1"));
    });
}

void TForm1::AddAButtonClick() {
    Run([this] { AddLevel(*ui_->StringGridA, 'a'); });
}

void TForm1::AddBButtonClick() {
    Run([this] { AddLevel(*ui_->StringGridB, 'b'); });
}

void TForm1::DelAButtonClick() {
    Run([this] { DeleteLevel(*ui_->StringGridA, 'a'); });
}

void TForm1::DelBButtonClick() {
    Run([this] { DeleteLevel(*ui_->StringGridB, 'b'); });
}

void TForm1::GOButtonClick() {
    Run([this] {
        StartNewStudy(store_, LevelNames(*ui_->StringGridA), LevelNames(*ui_->StringGridB),
                      qttext::ToCp932(ui_->NEdit->text()));
        HandOver();
    });
}

void TForm1::ReadButtonClick() {
    Run([this] {
        OpenDialog1.title = QStringLiteral(u"入力データファイル");
        const auto chosen = seams_.dialogs->Open(this, OpenDialog1.title, OpenDialog1.fileName);
        if (!chosen || chosen->isEmpty()) return;  // cancelled: nothing is read
        OpenDialog1.fileName = *chosen;
        LoadStudyFile(store_, qttext::FilePath(*chosen));
        HandOver();
    });
}

void TForm1::OpenStudy(const std::string& path) {
    OpenDialog1.fileName = QFile::decodeName(path.c_str());
    // The failure waits until this window is shown, so that its message box
    // stands over it as after a failed Load.
    std::exception_ptr failure;
    try {
        LoadStudyFile(store_, path);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!failure) {
        Run([this] { HandOver(); });
        return;
    }
    show();
    Run([&failure] { std::rethrow_exception(failure); });
}

void TForm1::ExitButtonClick() {
    close();
}

void TForm1::HandOver() {
    hide();
    CalcForm = new TCalcForm(this, store_, seams_, decimalSeparator_);
    CalcForm->show();
}

void TForm1::closeEvent(QCloseEvent* event) {
    event->accept();
    emit closed();
}

}  // namespace morvane
