#pragma once
// The fonts of the windows. Each face is a family list: the face the windows
// were designed with, then the Debian font that stands in for it.

#include <QFont>

namespace morvane::widgets {

enum class Face {
    PGothic,  // "ＭＳ Ｐゴシック", then IPAPGothic
    Gothic,   // "ＭＳ ゴシック", then IPAGothic
    Mincho,   // "ＭＳ 明朝", then IPAMincho
};

// `face` with a character (em) height of `pixels`.
QFont CharacterFont(Face face, int pixels);

// `face` whose character cell (em plus internal leading) is `pixels` high. The
// stand-in faces have no internal leading, so the em is the cell.
QFont CellFont(Face face, int pixels);

}  // namespace morvane::widgets
