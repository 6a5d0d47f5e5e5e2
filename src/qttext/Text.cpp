#include "qttext/Text.h"

#include <QFile>

#include "runtime/Cp932.h"

namespace morvane::qttext {

QString FromCp932(std::string_view cp932) {
    if (cp932.empty()) return {};
    std::string utf8 = Utf8FromCp932(cp932);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToCp932(const QString& text) {
    if (text.isEmpty()) return {};
    QByteArray utf8 = text.toUtf8();
    return Cp932FromUtf8(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

std::string FilePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace morvane::qttext
