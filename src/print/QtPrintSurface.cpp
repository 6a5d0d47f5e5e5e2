#include "print/QtPrintSurface.h"

#include <QFontMetrics>
#include <QPrinter>
#include <QString>

#include "qttext/Fonts.h"
#include "qttext/Text.h"
#include "runtime/Errors.h"
#include "runtime/Messages.h"

namespace morvane {
using qttext::FromCp932;
using qttext::ProgramFont;

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
