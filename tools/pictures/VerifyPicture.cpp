// verify_picture FOLDER: runs the shipped published analyses as morvane verify
// does, lays out its HTML report of the first set (both its readings) as a
// page 1100 pixels wide with Qt's rich text, and saves it as
// verify-report.png in FOLDER.

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextDocument>
#include <algorithm>
#include <cstdio>
#include <string>

#include "verify/Verify.h"

using namespace morvane;

namespace {

// The report of the first set alone (SiRstv: its paired rows, then its rows
// between subjects), so that both readings fit in one picture.
verify::Verification FirstSet(verify::Verification all) {
    all.sets.resize(std::min<std::size_t>(all.sets.size(), 1));
    return all;
}

}  // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: verify_picture FOLDER\n", stderr);
        return 2;
    }
    const verify::Verification verification = FirstSet(verify::Verify(verify::DataFolder()));
    const std::string html = verify::VerificationHtml(verification, verify::ThisBuild());
    QTextDocument page;
    page.setDefaultStyleSheet(QStringLiteral("table { border-collapse: collapse; } th, td { border: 1px solid #999; "
                                             "padding: 2px 6px; } td.no { background: #fdd; }"));
    page.setHtml(QString::fromStdString(html));
    page.setTextWidth(1100);
    const QSizeF size = page.documentLayout()->documentSize();
    QImage image(QSize(1100, static_cast<int>(size.height())), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    page.drawContents(&painter);
    painter.end();
    const QString path = QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("verify-report.png"));
    return image.save(path) ? 0 : 1;
}
