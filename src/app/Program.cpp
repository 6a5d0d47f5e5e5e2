#include "app/Program.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDateTime>
#include <QSessionManager>

#include "levelswindow/LevelsWindow.h"
#include "session/Recovery.h"

namespace morvane {

Program::Program(QApplication& application, StudyStore& store, const widgets::Seams& seams,
                 char decimalSeparator)
    : store_(store), seams_(seams) {
    // Only the levels window's closing ends the run: the data window's frame
    // closes it too, and a hidden levels window is not a "last window".
    application.setQuitOnLastWindowClosed(false);
    levels_ = std::make_unique<LevelsWindow>(store_, seams, decimalSeparator);
    QObject::connect(levels_.get(), &LevelsWindow::closed, &application, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    // Before the session ends, the session manager asks each program whether
    // it may; a cancel keeps the session (and the study) as it was.
    QObject::connect(
        &application, &QGuiApplication::commitDataRequest, levels_.get(),
        [this](QSessionManager& manager) {
            if (!MayEndSession([&manager] { return manager.allowsInteraction(); })) manager.cancel();
        },
        Qt::DirectConnection);
}

bool Program::MayEndSession(const std::function<bool()>& askUser) {
    if (levels_ == nullptr || !levels_->Changed() || !askUser()) return true;
    return levels_->MayDiscard();
}

Program::~Program() = default;

bool Program::OfferRecovery() {
    if (seams_.recovery == nullptr) return false;
    for (const auto& left : ClaimLeftRecoveries(seams_.recovery->Folder())) {
        const QString written =
            QDateTime::fromSecsSinceEpoch(left->Written()).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
        if (!seams_.messages->AskYesNo(
                nullptr, QCoreApplication::translate(
                             "morvane::Program",
                             "前回保存されなかったデータがあります。復元しますか?\n\n記録した日時: %1")
                             .arg(written))) {
            left->Remove();
            continue;
        }
        if (!levels_->OpenRecoveredStudy(*left)) return true;  // its failure shown over the levels window
        // Now in this program's own recovery file; the old one is done with.
        if (!seams_.recovery->Path().empty()) left->Remove();
        return true;
    }
    return false;
}

int Program::Run(const std::optional<std::string>& study) {
    if (levels_ == nullptr) return 0;
    // A recovered study takes the place of the one named.
    if (!OfferRecovery()) {
        if (study)
            levels_->OpenStudy(*study);
        else
            levels_->show();
    }
    const int status = QApplication::exec();
    levels_.reset();
    ReleaseStudy(store_);
    return status;
}

}  // namespace morvane
