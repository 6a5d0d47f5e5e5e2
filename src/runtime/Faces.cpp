#include "runtime/Faces.h"

namespace morvane {
namespace {

constexpr Face kFaces[] = {Face::PGothic, Face::Gothic, Face::Mincho};

}  // namespace

FaceNames NamesOf(Face face) {
    switch (face) {
        case Face::PGothic:
            return {"ＭＳ Ｐゴシック", "IPAPGothic"};
        case Face::Gothic:
            return {"ＭＳ ゴシック", "IPAGothic"};
        case Face::Mincho:
            return {"ＭＳ 明朝", "IPAMincho"};
    }
    return {};
}

std::optional<Face> FaceNamed(std::string_view utf8) {
    for (const Face face : kFaces)
        if (NamesOf(face).program == utf8) return face;
    return std::nullopt;
}

}  // namespace morvane
