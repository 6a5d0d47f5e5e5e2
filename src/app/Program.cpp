#include "app/Program.h"

#include <QApplication>
#include <QSessionManager>

#include "designwindow/DesignWindow.h"

namespace morvane {

Program::Program(QApplication& application, StudyStore& store, const widgets::Seams& seams,
                 char decimalSeparator)
    : store_(store) {
    // Only the design window's closing ends the run: the data window's frame
    // closes it too, and a hidden design window is not a "last window".
    application.setQuitOnLastWindowClosed(false);
    design_ = std::make_unique<DesignWindow>(store_, seams, decimalSeparator);
    QObject::connect(design_.get(), &DesignWindow::closed, &application, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    // Before the session ends, the session manager asks each program whether
    // it may; a cancel keeps the session (and the study) as it was.
    QObject::connect(
        &application, &QGuiApplication::commitDataRequest, design_.get(),
        [this](QSessionManager& manager) {
            if (!MayEndSession([&manager] { return manager.allowsInteraction(); })) manager.cancel();
        },
        Qt::DirectConnection);
}

bool Program::MayEndSession(const std::function<bool()>& askUser) {
    if (design_ == nullptr || !design_->Changed() || !askUser()) return true;
    return design_->MayDiscard();
}

Program::~Program() = default;

int Program::Run(const std::optional<std::string>& study) {
    if (design_ == nullptr) return 0;
    if (study)
        design_->OpenStudy(*study);
    else
        design_->show();
    const int status = QApplication::exec();
    design_.reset();
    ReleaseStudy(store_);
    return status;
}

}  // namespace morvane
