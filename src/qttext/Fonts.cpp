#include "widgets/Fonts.h"

#include <QStringList>

namespace morvane::widgets {
namespace {

QStringList Families(Face face) {
    switch (face) {
        case Face::PGothic:
            return {QStringLiteral(u"ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic")};
        case Face::Gothic:
            return {QStringLiteral(u"ＭＳ ゴシック"), QStringLiteral("IPAGothic")};
        case Face::Mincho:
            return {QStringLiteral(u"ＭＳ 明朝"), QStringLiteral("IPAMincho")};
    }
    return {};
}

}  // namespace

QFont CharacterFont(Face face, int pixels) {
    QFont font;
    font.setFamilies(Families(face));
    font.setPixelSize(pixels);
    return font;
}

QFont CellFont(Face face, int pixels) {
    return CharacterFont(face, pixels);
}

}  // namespace morvane::widgets
