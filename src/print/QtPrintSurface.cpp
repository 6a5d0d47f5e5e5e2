#include "print/QtPrintSurface.h"

#include <QFontMetrics>
#include <QPrinter>
#include <QString>

#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "runtime/Messages.h"

namespace morvane {
namespace {

QString FromCp932(std::string_view text) {
    return QString::fromStdString(Utf8FromCp932(text));
}

}  // namespace

QStringList FontFamilies(const QString& name) {
    static const std::pair<const char*, const char*> installed[] = {
        {"ＭＳ 明朝", "IPAMincho"},
        {"ＭＳ ゴシック", "IPAGothic"},
        {"ＭＳ Ｐゴシック", "IPAPGothic"},
    };
    QStringList families{name};
    for (const auto& [program, debian] : installed)
        if (name == QString::fromUtf8(program)) families.append(QString::fromUtf8(debian));
    return families;
}

QFont ProgramFont(const QString& name, int points) {
    QFont font;
    font.setFamilies(FontFamilies(name));
    font.setPointSize(points);
    font.setWeight(QFont::Normal);
    font.setStyle(QFont::StyleNormal);
    return font;
}

QtPrintSurface::QtPrintSurface(std::unique_ptr<QPrinter> printer) : printer_(std::move(printer)) {
    if (!painter_.begin(printer_.get())) throw PrinterError(messages::PrinterNotValid());
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
    painter_.end();
}

}  // namespace morvane
