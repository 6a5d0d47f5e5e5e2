#pragma once
// The faces the program draws its texts in: each is the face the program was
// designed with, then the Debian font installed to stand in for it. The windows,
// the printed listing and the printer all take their faces from here.

#include <optional>
#include <string_view>

namespace morvane {

enum class Face {
    PGothic,  // "ＭＳ Ｐゴシック", then IPAPGothic
    Gothic,   // "ＭＳ ゴシック", then IPAGothic
    Mincho,   // "ＭＳ 明朝", then IPAMincho
};

struct FaceNames {
    std::string_view program;  // the designed face's name, in UTF-8
    std::string_view standIn;  // the family of the Debian font
};

FaceNames NamesOf(Face face);

// The face whose designed name is `utf8`, or nothing.
std::optional<Face> FaceNamed(std::string_view utf8);

}  // namespace morvane
