// The program's text and faces in Qt: the one conversion between code page 932
// bytes and QString, and the family lists of the faces.

#include <gtest/gtest.h>

#include <QGuiApplication>

#include "qttext/Fonts.h"
#include "qttext/Text.h"
#include "runtime/Cp932.h"
#include "runtime/Faces.h"

namespace morvane {
namespace {

TEST(QtText, ConvertsCodePage932BothWays) {
    const QString text = QString::fromUtf8("要因Ａ＜ a1 ＞");
    EXPECT_EQ(qttext::ToCp932(text), Cp932FromUtf8("要因Ａ＜ a1 ＞"));
    EXPECT_EQ(qttext::FromCp932(Cp932FromUtf8("要因Ａ＜ a1 ＞")), text);
    EXPECT_TRUE(qttext::FromCp932("").isEmpty());
    EXPECT_EQ(qttext::ToCp932(QString()), "");
    // What code page 932 cannot hold becomes "?"; a byte that is not code page
    // 932 shows as the replacement character.
    EXPECT_EQ(qttext::ToCp932(QString::fromUtf8("x😀y")), "x?y");
    EXPECT_EQ(qttext::FromCp932("a\x80"
                                "b"),
              QString::fromUtf8("a\uFFFD"
                                "b"));
}

TEST(QtText, EveryFaceIsItsDesignedNameThenItsStandIn) {
    const std::pair<Face, QStringList> faces[] = {
        {Face::PGothic, {QString::fromUtf8("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic")}},
        {Face::Gothic, {QString::fromUtf8("ＭＳ ゴシック"), QStringLiteral("IPAGothic")}},
        {Face::Mincho, {QString::fromUtf8("ＭＳ 明朝"), QStringLiteral("IPAMincho")}},
    };
    for (const auto& [face, families] : faces) {
        EXPECT_EQ(qttext::Families(face), families);
        // The printer finds the same families from the name the listing gives.
        EXPECT_EQ(qttext::FontFamilies(families.front()), families);
        EXPECT_EQ(FaceNamed(NamesOf(face).program), face);
        const QFont font = qttext::ProgramFont(families.front(), 16);
        EXPECT_EQ(font.families(), families);
        EXPECT_EQ(font.pointSize(), 16);
        EXPECT_EQ(qttext::CharacterFont(face, 12).pixelSize(), 12);
    }
    EXPECT_EQ(qttext::FontFamilies(QStringLiteral("Courier")), QStringList{QStringLiteral("Courier")});
    EXPECT_EQ(FaceNamed("ＭＳ"), std::nullopt);
}

}  // namespace
}  // namespace morvane

int main(int argc, char* argv[]) {
    QGuiApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
