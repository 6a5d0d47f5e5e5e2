#include "runtime/Messages.h"

#include "runtime/Cp932.h"

// Each message is converted from its literal once and kept for the rest of the run.
#define MORVANE_MESSAGE(name, utf8)                          \
    const std::string& name() {                              \
        static const std::string text = Cp932FromUtf8(utf8); \
        return text;                                         \
    }

namespace morvane::messages {

MORVANE_MESSAGE(RangeCheck, "範囲チェックエラー")
MORVANE_MESSAGE(OutOfMemory, "メモリが足りません")
MORVANE_MESSAGE(InvalidOperation, "不正な浮動小数点数演算命令")
MORVANE_MESSAGE(ZeroDivide, "0 による浮動小数点数除算")
MORVANE_MESSAGE(Overflow, "浮動小数点数のオーバーフロー")
MORVANE_MESSAGE(NoDefaultPrinter, "デフォルト プリンタが存在しません")
MORVANE_MESSAGE(PrinterNotValid, "選択したプリンタは有効ではありません")
MORVANE_MESSAGE(PrintingInProgress, "現在印刷中です")
MORVANE_MESSAGE(TooFewLevels, "要因の水準数が 1 未満です")
MORVANE_MESSAGE(LineEndInText, "改行を含む文字列はデータファイルに書き込めません")
MORVANE_MESSAGE(SameFileAsInput, "出力ファイルが入力ファイルと同じです")
MORVANE_MESSAGE(
    TrailingContent,
    "データファイルの最後の得点の後に余分な内容があります。読み込みでは無視し、保存すると失われます")
MORVANE_MESSAGE(FileEndsEarly,
                "データファイルが途中で終わっています (被験者数と水準数が求める得点がありません)")
MORVANE_MESSAGE(LineEndsNotRecognised, "データファイルの行末を認識できません (CR だけの行末は使えません)")
MORVANE_MESSAGE(NotADataFile, "データファイルではありません (NUL バイトしかありません)")

#undef MORVANE_MESSAGE

std::string NotAFloat(std::string_view textCp932) {
    static const std::string tail = Cp932FromUtf8("' は浮動小数点数ではありません");
    std::string message = "'";
    message.append(CutCp932(textCp932, kQuotedBytes));
    message.append(tail);
    return message;
}

std::string NotAnInteger(std::string_view textCp932) {
    static const std::string tail = Cp932FromUtf8("' は整数ではありません");
    std::string message = "'";
    message.append(CutCp932(textCp932, kQuotedBytes));
    message.append(tail);
    return message;
}

std::string InOut(int code) {
    using Text = const std::string;
    static Text fileNotFound = Cp932FromUtf8("ファイルが見つかりません");
    static Text pathNotFound = Cp932FromUtf8("不正なファイル名です");
    static Text tooManyOpenFiles = Cp932FromUtf8("オープンしたファイルが多すぎます");
    static Text accessDenied = Cp932FromUtf8("ファイルへのアクセスが拒否されました");
    static Text readBeyondEnd = Cp932FromUtf8("ファイルの末尾以降を読み込みました");
    static Text diskFull = Cp932FromUtf8("ディスクがいっぱいです");
    static Text invalidNumber = Cp932FromUtf8("入力値が数値ではありません");
    switch (code) {
    case 2: return fileNotFound;
    case 3: return pathNotFound;
    case 4: return tooManyOpenFiles;
    case 5: return accessDenied;
    case 100: return readBeyondEnd;
    case 101: return diskFull;
    case 106: return invalidNumber;
    default: return InOutNumber(code);
    }
}

std::string InOutNumber(int number) {
    static const std::string other = Cp932FromUtf8("I/O エラー (");
    return other + std::to_string(number) + ")";
}

std::string WithFullStop(std::string_view messageCp932) {
    std::string text(messageCp932);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text.push_back('.');
    return text;
}

namespace {

// Every message is converted while the program starts, with descriptors and
// memory to spare, and the converter back to UTF-8 (with which the morvane tool
// prints them) is opened then too. An error raised later needs no conversion,
// which would have to load the converter's module and could fail for the very
// reason being reported: too many open files, too little memory.
[[maybe_unused]] const bool kConvertedAtStart = [] {
    for (auto message :
         {&RangeCheck, &OutOfMemory, &InvalidOperation, &ZeroDivide, &Overflow, &NoDefaultPrinter,
          &PrinterNotValid, &PrintingInProgress, &TooFewLevels, &LineEndInText, &TrailingContent,
          &FileEndsEarly, &LineEndsNotRecognised, &NotADataFile, &SameFileAsInput})
        message();
    NotAFloat({});
    NotAnInteger({});
    InOut(2);
    InOutNumber(0);
    Utf8FromCp932(OutOfMemory());
    return true;
}();

}  // namespace

}  // namespace morvane::messages
