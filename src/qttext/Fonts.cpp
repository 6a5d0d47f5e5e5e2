#include "qttext/Fonts.h"

namespace morvane::qttext {
namespace {

QString FromUtf8(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace

QStringList Families(Face face) {
    const FaceNames names = NamesOf(face);
    return {FromUtf8(names.program), FromUtf8(names.standIn)};
}

QStringList FontFamilies(const QString& name) {
    const QByteArray utf8 = name.toUtf8();
    if (const auto face =
            FaceNamed(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size()))))
        return {name, FromUtf8(NamesOf(*face).standIn)};
    return {name};
}

QFont CharacterFont(Face face, int pixels) {
    QFont font;
    font.setFamilies(Families(face));
    font.setPixelSize(pixels);
    return font;
}

QFont CellFont(Face face, int pixels) {
    return CharacterFont(face, pixels);
}

QFont ProgramFont(const QString& name, int points) {
    QFont font;
    font.setFamilies(FontFamilies(name));
    font.setPointSize(points);
    font.setWeight(QFont::Normal);
    font.setStyle(QFont::StyleNormal);
    return font;
}

}  // namespace morvane::qttext
