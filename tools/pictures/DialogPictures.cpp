// dialog_pictures [--english] FOLDER: the windows and dialogs the other
// picture programs leave out, as a user sees them on a desktop, window frame
// and all when a window manager runs (scripts/screenshots runs this under Xvfb
// with openbox): the language dialog, the verification dialog, the power
// calculator and the analysis settings of the bundled mixed design, saved as
// language-dialog.png, verify-dialog.png, power-dialog.png and
// analysis-settings.png. With --english the windows speak English, the names
// end in -en, and the levels window of the worked example, the results window
// of the mixed design and the progress of a listing being printed come too
// (levels-window-en.png, results-window-en.png, print-progress-en.png).

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProgressDialog>
#include <QScreen>
#include <QTest>
#include <cstdio>
#include <cstring>
#include <memory>

#include "exchange/LongCsv.h"
#include "levelswindow/LevelsWindow.h"
#include "levelswindow/VerifyDialog.h"
#include "powerwindow/PowerDialog.h"
#include "resultswindow/AnalysisSettingsDialog.h"
#include "resultswindow/ResultsWindow.h"
#include "support/Components.h"
#include "support/FakeSeams.h"
#include "support/WindowDriving.h"
#include "support/WorkedExampleLevels.h"
#include "widgets/LanguageDialog.h"
#include "widgets/PrintProgressDialog.h"
#include "widgets/QtTranslation.h"

using namespace morvane;

namespace {

// Saves `window`, shown and active, as FOLDER/NAME.png: the screen's pixels
// inside its frame on a real display, the window alone without one.
bool Save(QWidget* window, const QDir& folder, const QString& name) {
    window->show();
    if (!testing::ShowActive(window)) return false;
    // The window manager frames the window and the last paint lands.
    const bool screen = QGuiApplication::platformName() == QLatin1String("xcb");
    if (screen && !QTest::qWaitFor([window] { return window->frameGeometry() != window->geometry(); }, 3000))
        std::fputs("dialog_pictures: a window shown without a frame\n", stderr);
    QTest::qWait(400);
    QPixmap picture;
    if (screen) {
        const QRect frame = window->frameGeometry();
        picture = window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    } else {
        picture = window->grab();
    }
    const QString path = folder.filePath(name + QStringLiteral(".png"));
    std::printf("%s\n", qPrintable(path));
    return picture.save(path);
}

// The results window of examples/mixed-design.csv (group between, time within), as the roles dialog opens it.
ResultsWindow* MixedDesign(QWidget* owner, testing::FakeSeams& seams) {
    const std::string csv = MORVANE_EXAMPLES "/mixed-design.csv";
    QFile file(QString::fromStdString(csv));
    if (!file.open(QIODevice::ReadOnly)) return nullptr;
    const std::string bytes = file.readAll().toStdString();
    // Named as from the repository's folder, where scripts/screenshots runs.
    const CsvSource source{"examples/mixed-design.csv", {"subject", "score", {"time"}, {"group"}}, {}};
    auto* window = new ResultsWindow(owner, seams.Seams(), '.');
    window->ShowCsv(source, bytes, ReadLongCsv(bytes, source.roles, source.options));
    return window;
}

// The pictures of the windows in the language installed; `suffix` ends each name.
bool Pictures(const QDir& folder, const QString& suffix, bool english) {
    testing::FakeSeams seams;
    StudyStore store;
    LevelsWindow levels(store, seams.Seams(), '.');
    testing::ShowActive(&levels);
    testing::TypeWorkedExampleLevels(&levels);
    testing::Button(&levels, "GOButton")->setFocus();
    if (english && !Save(&levels, folder, QStringLiteral("levels-window") + suffix)) return false;

    levels.ChooseLanguage();
    if (!Save(levels.LanguageChoice(), folder, QStringLiteral("language-dialog") + suffix)) return false;
    levels.LanguageChoice()->reject();

    VerifyDialog verify(&levels, seams.Seams(), verify::Verify(verify::DataFolder()));
    if (!Save(&verify, folder, QStringLiteral("verify-dialog") + suffix)) return false;
    verify.reject();

    PowerDialog power(nullptr);
    PowerQuestion question;
    question.design.measures = 3;
    question.design.groups = 2;
    power.Ask(question);
    if (!Save(&power, folder, QStringLiteral("power-dialog") + suffix)) return false;
    power.hide();

    QWidget owner;
    ResultsWindow* results = MixedDesign(&owner, seams);
    if (results == nullptr) return false;
    results->show();
    AnalysisSettingsDialog* settings = results->OpenAnalysisSettings();
    if (settings == nullptr || !Save(settings, folder, QStringLiteral("analysis-settings") + suffix)) return false;
    settings->reject();
    if (english) {
        results->resize(1280, 720);
        if (!Save(results, folder, QStringLiteral("results-window-en"))) return false;
    }
    results->hide();

    if (english) {
        // A listing of 3,000 lines half printed: its dialog shows at once.
        widgets::PrintProgressDialog printing(&levels, 0);
        QTest::qWait(300);  // past the time between two updates
        printing.Continue(1500, 3000, 24);
        if (printing.Dialog() == nullptr || !Save(printing.Dialog(), folder, QStringLiteral("print-progress-en")))
            return false;
    }
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    const bool english = argc == 3 && std::strcmp(argv[1], "--english") == 0;
    if (argc != 2 && !english) {
        std::fputs("usage: dialog_pictures [--english] FOLDER\n", stderr);
        return 2;
    }
    widgets::InstallWindowsLanguage(application,
                                    english ? widgets::Language::English : widgets::Language::Japanese);
    const QDir folder(QString::fromLocal8Bit(argv[argc - 1]));
    return Pictures(folder, english ? QStringLiteral("-en") : QString(), english) ? 0 : 1;
}
