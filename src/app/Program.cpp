#include "app/Program.h"

#include <QApplication>

#include "datawindow/UMorvaneCalc.h"
#include "designwindow/UMorvane.h"

namespace morvane {

int RunPMorvane(QApplication& application, StudyStore& store, const widgets::Seams& seams,
                char decimalSeparator, const std::optional<std::string>& study) {
    // Only the design window's closing ends the run: the data window's frame
    // closes it too, and a hidden design window is not a "last window".
    application.setQuitOnLastWindowClosed(false);
    Form1 = new TForm1(store, seams, decimalSeparator);
    QObject::connect(Form1, &TForm1::closed, &application, &QCoreApplication::quit, Qt::QueuedConnection);
    if (study)
        Form1->OpenStudy(*study);
    else
        Form1->show();
    const int status = application.exec();
    delete Form1;
    Form1 = nullptr;
    CalcForm = nullptr;
    ReleaseStudy(store);
    return status;
}

}  // namespace morvane
