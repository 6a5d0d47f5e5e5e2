#include "designwindow/UMorvane.h"

#include <QCloseEvent>

#include "datawindow/UMorvaneCalc.h"
#include "designwindow/LevelGrid.h"
#include "store/DataFile.h"
#include "widgets/Commands.h"
#include "widgets/Fonts.h"
#include "widgets/Text.h"

namespace morvane {

TForm1* Form1 = nullptr;

TForm1::TForm1(StudyStore& store, const widgets::Seams& seams, char decimalSeparator, QWidget* parent)
    : QWidget(parent), store_(store), seams_(seams), decimalSeparator_(decimalSeparator) {
    setupUi(this);
    move(200, 107);
    setFont(widgets::CharacterFont(widgets::Face::PGothic, 12));
    for (QWidget* w : {static_cast<QWidget*>(Label1), static_cast<QWidget*>(Label2),
                       static_cast<QWidget*>(Label3), static_cast<QWidget*>(NEdit)})
        w->setFont(widgets::CharacterFont(widgets::Face::PGothic, 16));

    connect(GOButton, &QPushButton::clicked, this, &TForm1::GOButtonClick);
    connect(ReadButton, &QPushButton::clicked, this, &TForm1::ReadButtonClick);
    connect(ExitButton, &QPushButton::clicked, this, &TForm1::ExitButtonClick);
    connect(AddAButton, &QPushButton::clicked, this, &TForm1::AddAButtonClick);
    connect(AddBButton, &QPushButton::clicked, this, &TForm1::AddBButtonClick);
    connect(DelAButton, &QPushButton::clicked, this, &TForm1::DelAButtonClick);
    connect(DelBButton, &QPushButton::clicked, this, &TForm1::DelBButtonClick);

    FormCreate();
    // No control is named to take the focus first: the first in the tab order.
    GOButton->setFocus();
}

void TForm1::Run(const std::function<void()>& command) {
    widgets::RunCommand(*seams_.messages, this, command);
}

void TForm1::FormCreate() {
    Run([this] {
        SetUpLevelGrid(*StringGridA, 'a');
        SetUpLevelGrid(*StringGridB, 'b');
        NEdit->setText(QStringLiteral("1"));
    });
}

void TForm1::AddAButtonClick() {
    Run([this] { AddLevel(*StringGridA, 'a'); });
}

void TForm1::AddBButtonClick() {
    Run([this] { AddLevel(*StringGridB, 'b'); });
}

void TForm1::DelAButtonClick() {
    Run([this] { DeleteLevel(*StringGridA, 'a'); });
}

void TForm1::DelBButtonClick() {
    Run([this] { DeleteLevel(*StringGridB, 'b'); });
}

void TForm1::GOButtonClick() {
    Run([this] {
        StartNewStudy(store_, LevelNames(*StringGridA), LevelNames(*StringGridB),
                      widgets::ToCp932(NEdit->text()));
        HandOver();
    });
}

void TForm1::ReadButtonClick() {
    Run([this] {
        OpenDialog1.title = QStringLiteral(u"入力データファイル");
        const auto chosen = seams_.dialogs->Open(this, OpenDialog1.title, OpenDialog1.fileName);
        if (!chosen || chosen->isEmpty()) return;  // cancelled: nothing is read
        OpenDialog1.fileName = *chosen;
        LoadStudyFile(store_, widgets::FilePath(*chosen));
        HandOver();
    });
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
