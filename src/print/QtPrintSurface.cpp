#include "print/QtPrintSurface.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPrinter>
#include <QString>
#include <climits>
#include <cstdlib>
#include <set>

#include "qttext/Fonts.h"
#include "qttext/Text.h"
#include "runtime/Errors.h"
#include "runtime/Messages.h"

namespace morvane {
using qttext::FromCp932;
using qttext::ProgramFont;

namespace {

// The file descriptors of the process now.
std::set<int> OpenDescriptors() {
    std::set<int> open;
    if (DIR* folder = opendir("/proc/self/fd")) {
        const int own = dirfd(folder);
        while (const dirent* entry = readdir(folder))
            if (entry->d_name[0] != '.' && std::atoi(entry->d_name) != own)
                open.insert(std::atoi(entry->d_name));
        closedir(folder);
    }
    return open;
}

// Whether `path` lies directly in a folder for temporary files, where print
// systems spool their jobs. Only such a file is ever removed on an abort, so
// that a font or any other file that Qt happened to open cannot be.
bool InTemporaryFolder(const std::string& path) {
    const QString folder = QFileInfo(QString::fromLocal8Bit(path)).canonicalPath();
    if (folder.isEmpty()) return false;
    for (const QString& temporary : {QDir::tempPath(), QStringLiteral("/tmp"), QStringLiteral("/var/tmp")})
        if (QFileInfo(temporary).canonicalFilePath() == folder) return true;
    return false;
}

}  // namespace

QtPrintSurface::QtPrintSurface(std::unique_ptr<QPrinter> printer) : printer_(std::move(printer)) {
    const std::set<int> before = OpenDescriptors();
    if (!painter_.begin(printer_.get())) throw PrinterError(messages::PrinterNotValid());
    // The files that beginning the job opened: where the job is spooled.
    for (const int fd : OpenDescriptors()) {
        struct stat status {};
        if (before.count(fd) != 0 || fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) continue;
        char path[PATH_MAX];
        const std::string link = "/proc/self/fd/" + std::to_string(fd);
        const ssize_t length = readlink(link.c_str(), path, sizeof path - 1);
        if (length <= 0) continue;
        std::string name(path, static_cast<std::size_t>(length));
        if (!InTemporaryFolder(name)) continue;
        spool_.push_back({fd, status.st_dev, status.st_ino, std::move(name)});
    }
}

QtPrintSurface::~QtPrintSurface() {
    AbortJob();
}

void QtPrintSurface::SetFont(std::string_view nameCp932, int points) {
    // The size in points is converted with the printer's own resolution.
    painter_.setFont(ProgramFont(FromCp932(nameCp932), points));
}

TextExtent QtPrintSurface::Measure(std::string_view textCp932) {
    const QFontMetrics metrics = painter_.fontMetrics();
    return {metrics.horizontalAdvance(FromCp932(textCp932)), metrics.height()};
}

int QtPrintSurface::FontHeight() {
    return painter_.fontMetrics().height();
}

int QtPrintSurface::PageWidth() {
    return printer_->width();
}

int QtPrintSurface::PageHeight() {
    return printer_->height();
}

void QtPrintSurface::Draw(int x, int y, std::string_view textCp932) {
    painter_.drawText(QPoint(x, y + painter_.fontMetrics().ascent()), FromCp932(textCp932));
}

void QtPrintSurface::NewPage() {
    printer_->newPage();
}

void QtPrintSurface::EndJob() {
    // Ending the painter hands the document to the print system.
    if (!painter_.end()) throw PrinterError(messages::PrinterNotValid());
}

void QtPrintSurface::AbortJob() noexcept {
    if (!painter_.isActive()) return;
    printer_->abort();
    // Qt's CUPS printer cannot abort a job: it hands its spool file to the
    // print system when the painting ends. With that file gone first there is
    // nothing to hand over, and nothing is printed.
    for (const SpoolFile& file : spool_) {
        struct stat byDescriptor {
        }, byPath{};
        if (fstat(file.fd, &byDescriptor) == 0 && stat(file.path.c_str(), &byPath) == 0 &&
            byDescriptor.st_dev == byPath.st_dev && byDescriptor.st_ino == byPath.st_ino &&
            byPath.st_dev == file.device && byPath.st_ino == file.inode)
            unlink(file.path.c_str());
    }
    painter_.end();
}

}  // namespace morvane
