// The data window's 保存 and 計算, and the results window's exports, onto a
// disk that is full: a tmpfs of its own in a mount namespace of this process's
// own, made before Qt starts any thread. The old study and the old results
// stay as they were, nothing else is left on the disk, and the message is the
// one of a full disk.

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>

#include "anova/Analysis.h"
#include "datawindow/DataWindow.h"
#include "design/StudyDesign.h"
#include "plot/DesignPlot.h"
#include "plot/InteractionPlot.h"
#include "resultswindow/AnalysisExport.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "store/DataFile.h"
#include "support/Components.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"
#include "support/WindowDriving.h"

using namespace morvane;
using morvane::testing::ReadBytes;
using morvane::testing::WriteBytes;

namespace {

namespace fs = std::filesystem;

// Why the disk could not be made, or empty once it is mounted at `disk`.
std::string MountSmallDisk(const std::string& disk) {
    if (::unshare(CLONE_NEWNS) != 0) return std::string("unshare refused: ") + std::strerror(errno);
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return std::string("private mounts refused: ") + std::strerror(errno);
    if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
        return std::string("mounting a tmpfs refused: ") + std::strerror(errno);
    return {};
}

// Fills what is left of the disk with a file of its own.
void Fill(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const std::string block(4096, 'f');
    while (fd >= 0 && ::write(fd, block.data(), block.size()) > 0) {
    }
    while (fd >= 0 && ::write(fd, block.data(), 1) > 0) {
    }
    if (fd >= 0) ::close(fd);
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

class FullDiskWindowTest : public QObject {
    Q_OBJECT

public:
    FullDiskWindowTest(std::string disk, std::string refused)
        : disk_(std::move(disk)), refused_(std::move(refused)) {}

private slots:
    void SavesOntoAFullDiskLeaveTheOldFiles() {
        if (!refused_.empty())
            QSKIP(qPrintable(QStringLiteral("no tmpfs of its own: ") + QString::fromStdString(refused_)));
        const std::string study = disk_ + "/study.dat", results = disk_ + "/results.txt",
                          filler = disk_ + "/filler";
        StudyStore store;
        LoadStudyFile(store, MORVANE_EXAMPLES "/worked-example.dat");
        testing::FakeSeams seams;
        QWidget owner;
        DataWindow form(&owner, store, seams.Seams(), '.');
        QVERIFY(testing::ShowActive(&form));

        // With room on the disk: the study and its results.
        seams.dialogs.Choose(QString::fromStdString(study));
        testing::Button(&form, "SaveButton")->click();
        seams.dialogs.Choose(QString::fromStdString(results));
        testing::Button(&form, "CalcButton")->click();
        QCOMPARE(seams.messages.Shown(), QStringList());
        const std::string savedStudy = ReadBytes(study), savedResults = ReadBytes(results);
        QCOMPARE(savedStudy, ReadBytes(MORVANE_EXAMPLES "/worked-example.dat"));
        QVERIFY(savedResults.size() > 500);
        const anova::Analysis analysis = anova::Analyse(DesignFromStudy(store, '.'));
        const std::string png = disk_ + "/plot.png";
        ExportAnalysis(analysis, nullptr, plot::PlotDataOf(analysis, '.'), QString::fromStdString(png), {});
        const std::string savedPng = ReadBytes(png);

        // A score changed, then the disk filled: every save fails with the
        // message of a full disk and leaves the old file as it was.
        testing::TypeInCell(testing::Grid(&form, "StringGrid1"), 1, 1, QStringLiteral("99"));
        Fill(filler);
        seams.dialogs.Choose(QString::fromStdString(study));
        testing::Button(&form, "SaveButton")->click();
        seams.dialogs.Choose(QString::fromStdString(results));
        testing::Button(&form, "CalcButton")->click();
        QCOMPARE(seams.messages.Shown(), (QStringList{QStringLiteral(u"ディスクがいっぱいです."),
                                                      QStringLiteral(u"ディスクがいっぱいです.")}));
        QCOMPARE(ReadBytes(study), savedStudy);
        QCOMPARE(ReadBytes(results), savedResults);
        for (const char* name : {"plot.png", "plot.svg", "tables.json"}) {
            try {
                ExportAnalysis(analysis, nullptr, plot::PlotDataOf(analysis, '.'),
                               QString::fromStdString(disk_ + "/" + name), {});
                QFAIL(name);
            } catch (const InOutError& error) {
                QCOMPARE(Utf8FromCp932(error.message()), std::string("ディスクがいっぱいです"));
            }
        }
        QCOMPARE(ReadBytes(png), savedPng);
        QCOMPARE(Names(disk_), (std::vector<std::string>{"filler", "plot.png", "results.txt", "study.dat"}));

        // Room again: the changed study is saved whole.
        fs::remove(filler);
        seams.messages.Clear();
        seams.dialogs.Choose(QString::fromStdString(study));
        testing::Button(&form, "SaveButton")->click();
        QCOMPARE(seams.messages.Shown(), QStringList());
        StudyStore reloaded;
        LoadStudyFile(reloaded, study);
        QCOMPARE(reloaded.CellText(1, 1, 1), std::string("99"));
        QCOMPARE(Names(disk_), (std::vector<std::string>{"plot.png", "results.txt", "study.dat"}));
    }

private:
    std::string disk_, refused_;
};

int main(int argc, char** argv) {
    const testing::TempDir dir;
    const std::string disk = dir.File("disk");
    fs::create_directory(disk);
    // Before QApplication: a process with threads may not leave its mount namespace.
    const std::string refused = MountSmallDisk(disk);
    int code = 0;
    {
        QApplication app(argc, argv);
        FullDiskWindowTest test(disk, refused);
        code = QTest::qExec(&test, argc, argv);
    }
    if (refused.empty()) ::umount(disk.c_str());
    return code;
}

#include "FullDiskWindowTest.moc"
