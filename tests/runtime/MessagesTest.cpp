#include <gtest/gtest.h>

#include <cerrno>
#include <map>

#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "runtime/IoCodes.h"
#include "runtime/Messages.h"

namespace morvane {
namespace {

std::string Sjis(const char* utf8) {
    return Cp932FromUtf8(utf8);
}

TEST(Messages, AreCodePage932Bytes) {
    EXPECT_EQ(messages::RangeCheck(),
              "\x94\xcd\x88\xcd\x83\x60\x83\x46\x83\x62\x83\x4e\x83\x47\x83\x89\x81\x5b");
    EXPECT_EQ(Utf8FromCp932(messages::OutOfMemory()), "メモリが足りません");
    EXPECT_EQ(Utf8FromCp932(messages::NotAFloat(Sjis("１２"))), "'１２' は浮動小数点数ではありません");
    EXPECT_EQ(messages::NotAnInteger(""), Sjis("'' は整数ではありません"));
}

// A message quotes at most 100 bytes of a text, cut between characters,
// with "…" after them: a huge field gives a message of a line.
TEST(Messages, QuoteAtMostAHundredBytesOfAText) {
    EXPECT_EQ(Utf8FromCp932(messages::NotAFloat(std::string(100, '7'))),
              "'" + std::string(100, '7') + "' は浮動小数点数ではありません");
    EXPECT_EQ(Utf8FromCp932(messages::NotAnInteger(std::string(100'000'000, 'x'))),
              "'" + std::string(100, 'x') + "…' は整数ではありません");
    // 99 single bytes and a double-byte character that would end at byte 101: it is left out whole.
    EXPECT_EQ(Utf8FromCp932(messages::NotAFloat(std::string(99, '1') + Sjis("２３"))),
              "'" + std::string(99, '1') + "…' は浮動小数点数ではありません");
    EXPECT_EQ(Utf8FromCp932(CutCp932(Sjis("あいう"), 4)), "あい…");
    EXPECT_EQ(CutCp932("abc", 3), "abc");
}

TEST(Messages, InOutCodesHaveTheirTexts) {
    EXPECT_EQ(InOutError(2).message(), Sjis("ファイルが見つかりません"));
    EXPECT_EQ(InOutError(3).message(), Sjis("不正なファイル名です"));
    EXPECT_EQ(InOutError(4).message(), Sjis("オープンしたファイルが多すぎます"));
    EXPECT_EQ(InOutError(5).message(), Sjis("ファイルへのアクセスが拒否されました"));
    EXPECT_EQ(InOutError(100).message(), Sjis("ファイルの末尾以降を読み込みました"));
    EXPECT_EQ(InOutError(101).message(), Sjis("ディスクがいっぱいです"));
    EXPECT_EQ(InOutError(106).message(), Sjis("入力値が数値ではありません"));
    EXPECT_EQ(InOutError(105).message(), "I/O \x83\x47\x83\x89\x81\x5b (105)");
    EXPECT_EQ(InOutError(105).code(), 105);
}

// Only the error numbers listed here take one of the codes with a message of
// their own; every other one is shown as itself, even EIO (5), EINTR (4),
// ENETDOWN (100), ENETUNREACH (101) or EISCONN (106), which equal our codes.
TEST(Messages, OnlyTheListedErrnoValuesTakeOurCodes) {
    const std::map<int, std::string> listed = {
        {ENOENT, "ファイルが見つかりません"},
        {ENOTDIR, "不正なファイル名です"},
        {ENAMETOOLONG, "不正なファイル名です"},
        {ELOOP, "不正なファイル名です"},
        {EMFILE, "オープンしたファイルが多すぎます"},
        {ENFILE, "オープンしたファイルが多すぎます"},
        {EACCES, "ファイルへのアクセスが拒否されました"},
        {EPERM, "ファイルへのアクセスが拒否されました"},
        {EISDIR, "ファイルへのアクセスが拒否されました"},
        {EROFS, "ファイルへのアクセスが拒否されました"},
        {ETXTBSY, "ファイルへのアクセスが拒否されました"},
        {ENOSPC, "ディスクがいっぱいです"},
        {EDQUOT, "ディスクがいっぱいです"},
    };
    int passedOn = 0;
    for (int err = 1; err <= 200; ++err) {
        const InOutError error(io::CodeFromErrno(err, "file"));
        const auto it = listed.find(err);
        if (it != listed.end()) {
            EXPECT_EQ(Utf8FromCp932(error.message()), it->second) << err;
        } else {
            EXPECT_EQ(Utf8FromCp932(error.message()), "I/O エラー (" + std::to_string(err) + ")") << err;
            EXPECT_EQ(error.code(), err);
            ++passedOn;
        }
    }
    EXPECT_EQ(passedOn, 200 - static_cast<int>(listed.size()));
    // A missing file in a missing folder is a bad name; our own codes keep their texts.
    EXPECT_EQ(InOutError(io::CodeFromErrno(ENOENT, "/nonexistent-folder/file")).code(), io::kPathNotFound);
    EXPECT_EQ(InOutError(io::kAccessDenied).message(), Sjis("ファイルへのアクセスが拒否されました"));
    EXPECT_EQ(InOutError(io::kInvalidHandle).message(), "I/O \x83\x47\x83\x89\x81\x5b (6)");
}

TEST(Messages, FullStopFollowsTheLastByte) {
    EXPECT_EQ(messages::WithFullStop(Sjis("ファイルが見つかりません")), Sjis("ファイルが見つかりません."));
    EXPECT_EQ(messages::WithFullStop("I/O (105)"), "I/O (105)");
    EXPECT_EQ(messages::WithFullStop("done."), "done.");
    EXPECT_EQ(messages::WithFullStop("x-"), "x-");
    EXPECT_EQ(messages::WithFullStop("x/"), "x/.");
    EXPECT_EQ(messages::WithFullStop(""), "");
}

TEST(Cp932, ConvertsBothWaysAndReplacesWhatItCannotHold) {
    EXPECT_EQ(Sjis("被験者内要因：Ａ、Ｂ "),
              "\x94\xed\x8c\xb1\x8e\xd2\x93\xe0\x97\x76\x88\xf6\x81\x46\x82\x60\x81\x41\x82\x61 ");
    EXPECT_EQ(Sjis("\xe3\x80\x80"), "\x81\x40");   // the full-width space
    EXPECT_EQ(Sjis("a\xf0\x9f\x98\x80z"), "a?z");  // an emoji has no code page 932 form
    EXPECT_EQ(Utf8FromCp932("\x82\x60x"), "Ａx");
    EXPECT_EQ(Utf8FromCp932("\xff"
                            "a"),
              "\xef\xbf\xbd"
              "a");
    EXPECT_EQ(Utf8FromCp932("\x82"), "\xef\xbf\xbd");  // a lead byte without its trail byte
}

// A NUL is a byte of the text, kept where the text is stored, but shown as
// U+FFFD wherever it goes out as UTF-8 (a message, an output for other
// programs), so that nothing after it is cut off.
TEST(Cp932, ANulGoesOutAsTheReplacementCharacter) {
    using namespace std::string_literals;
    EXPECT_EQ(Utf8FromCp932("a\0b"s), "a\uFFFDb");
    EXPECT_EQ(Utf8FromCp932("\0"s), "\uFFFD");
    EXPECT_EQ(Utf8FromCp932("\x82\x60\0\xff\0\0z"s), "Ａ\uFFFD\uFFFD\uFFFD\uFFFDz");
    EXPECT_EQ(Utf8FromCp932("plain"), "plain");
    const std::string message = messages::NotAFloat("1\0 2"s);
    EXPECT_EQ(message, "'1\0 2"s + Sjis("' は浮動小数点数ではありません"));
    EXPECT_EQ(Utf8FromCp932(message), "'1\uFFFD 2' は浮動小数点数ではありません");
    EXPECT_EQ(Utf8FromCp932(ConvertError(message).message()), "'1\uFFFD 2' は浮動小数点数ではありません");
    // The exact conversion is the bytes' own: a NUL stays one.
    EXPECT_EQ(Utf8FromCp932Exact("a\0b"s), "a\0b"s);
}

}  // namespace
}  // namespace morvane
