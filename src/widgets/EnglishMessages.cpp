#include "widgets/EnglishMessages.h"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <vector>

namespace morvane::widgets {
namespace {

// A fixed text as a pattern of the whole line (its quoted names and numbers
// captured) and its English, %1, %2, ... for the captures in their order.
struct Rendering {
    const char16_t* japanese;
    const char* english;
};

constexpr Rendering kRenderings[] = {
    // The runtime's messages.
    {u"範囲チェックエラー", "Range check error"},
    {u"メモリが足りません", "Not enough memory"},
    {u"不正な浮動小数点数演算命令", "Invalid floating-point operation"},
    {u"0 による浮動小数点数除算", "Floating-point division by zero"},
    {u"浮動小数点数のオーバーフロー", "Floating-point overflow"},
    {u"デフォルト プリンタが存在しません", "There is no default printer"},
    {u"選択したプリンタは有効ではありません", "The printer chosen is not valid"},
    {u"現在印刷中です", "Printing is in progress"},
    {u"要因の水準数が 1 未満です", "A factor has fewer than one level"},
    {u"改行を含む文字列はデータファイルに書き込めません",
     "A text with a line break cannot be written to the data file"},
    {u"出力ファイルが入力ファイルと同じです", "The output file is the same as the input file"},
    {u"データファイルの最後の得点の後に余分な内容があります。読み込みでは無視し、保存すると失われます",
     "The data file has more after its last score. It was ignored on reading and a save loses it"},
    {u"データファイルが途中で終わっています \\(被験者数と水準数が求める得点がありません\\)",
     "The data file ends early (it lacks scores its counts of subjects and levels ask for)"},
    {u"データファイルの行末を認識できません \\(CR だけの行末は使えません\\)",
     "The data file's line ends are not recognised (a CR alone cannot end a line)"},
    {u"データファイルではありません \\(NUL バイトしかありません\\)",
     "Not a data file (it holds NUL bytes only)"},
    {u"'(.*)' は浮動小数点数ではありません", "'%1' is not a number"},
    {u"'(.*)' は整数ではありません", "'%1' is not an integer"},
    {u"ファイルが見つかりません", "File not found"},
    {u"不正なファイル名です", "Invalid file name"},
    {u"オープンしたファイルが多すぎます", "Too many open files"},
    {u"ファイルへのアクセスが拒否されました", "Access to the file was denied"},
    {u"ファイルの末尾以降を読み込みました", "Read beyond the end of the file"},
    {u"ディスクがいっぱいです", "The disk is full"},
    {u"入力値が数値ではありません", "The input is not a number"},
    {u"I/O エラー \\((-?\\d+)\\)", "I/O error (%1)"},
    // Where a bad score of the data window stands.
    {u"場所: タブ '(.*)'、被験者 (\\d+)、水準 '(.*)'", "Where: tab '%1', subject %2, level '%3'"},
    // Reading a CSV.
    {u"引用符が閉じていません", "a quote is not closed"},
    {u"閉じた引用符の後に区切り文字でない文字があります",
     "a character other than a separator follows a closing quote"},
    {u"名前の並びに改行があります", "The list of names has a line break"},
    {u"CSV が空です", "The CSV is empty"},
    {u"見出しの行がありません \\(空の行か、ファイルの終わりの後か、前の行からの続きです\\)",
     "no heading row (a blank line, past the end of the file, or the rest of the line before)"},
    {u"NUL バイトが続いています \\(テキストの CSV ではありません\\)", "a run of NUL bytes (not a text CSV)"},
    {u"メモリが足りません \\((\\d+) バイト、(\\d+) 行を読んだところで、CSV がメモリの上限を超えました\\)",
     "Not enough memory (after %1 bytes, %2 lines the CSV went beyond the memory limit)"},
    {u"CSV に得点の行がありません", "The CSV has no rows of scores"},
    {u"値が (\\d+) 個あります \\((\\d+) 個のはずです\\)", "%1 values (there should be %2)"},
    {u"列 '(.*)' がありません", "no column '%1'"},
    {u"列 '(.*)' が 2 つ以上あります", "more than one column '%1'"},
    {u"'(.*)' にはシフト JIS で表せない文字があります", "'%1' has a character Shift-JIS cannot hold"},
    {u"UTF-8 として正しくないバイトがあります", "bytes that are not valid UTF-8"},
    {u"シフト JIS として正しくないバイトがあります", "bytes that are not valid Shift-JIS"},
    {u"水準名に改行があります", "a level name has a line break"},
    {u"被験者が多すぎます \\(2147483647 人まで\\)", "too many subjects (2147483647 at most)"},
    {u"被験者 '(.*)'、A '(.*)'、B '(.*)' の得点は (\\d+) 行にもあります",
     "the score of subject '%1', A '%2', B '%3' is on line %4 too"},
    {u"被験者 '(.*)'、A '(.*)'、B '(.*)' の得点がありません", "Subject '%1', A '%2', B '%3' has no score"},
    {u"被験者 '(.*)' は (\\d+) 行にもあります", "subject '%1' is on line %2 too"},
    // A level name given with the design, and a study's texts on their way to a CSV.
    {u"([AB]) の水準 (\\d+) の名前 '(.*)' にはシフト JIS で表せない文字があります",
     "The name of level %2 of %1, '%3', has a character Shift-JIS cannot hold"},
    {u"([AB]) の水準 (\\d+) の名前に改行があります", "The name of level %2 of %1 has a line break"},
    {u"([AB]) の水準 (\\d+) の名前がシフト JIS として正しくありません",
     "The name of level %2 of %1 is not valid Shift-JIS"},
    {u"被験者 (\\d+)、A の水準 (\\d+)、B の水準 (\\d+) の得点がシフト JIS として正しくありません",
     "The score of subject %1 at level %2 of A and level %3 of B is not valid Shift-JIS"},
    {u"([AB]) の水準 (\\d+) の名前の '(.*)' \\(([0-9A-F ]+)\\) は CSV から読み込むと ([0-9A-F ]+) になります",
     "In the name of level %2 of %1, '%3' (%4) reads back from the CSV as %5"},
    {u"([AB]) の水準 (\\d+) の名前の NUL は CSV では U\\+FFFD になり、読み込めません",
     "The NUL in the name of level %2 of %1 is U+FFFD in the CSV, which cannot be read back"},
    {u"被験者 (\\d+)、A の水準 (\\d+)、B の水準 (\\d+) の得点の '(.*)' \\(([0-9A-F ]+)\\) "
     u"は CSV から読み込むと ([0-9A-F ]+) になります \\(ほかに (\\d+) "
     u"個の得点にもこのような文字があります\\)",
     "In the score of subject %1 at level %2 of A and level %3 of B, '%4' (%5) reads back from the CSV "
     "as %6 (other scores with such a character: %7)"},
    {u"被験者 (\\d+)、A の水準 (\\d+)、B の水準 (\\d+) の得点の '(.*)' \\(([0-9A-F ]+)\\) "
     u"は CSV から読み込むと ([0-9A-F ]+) になります",
     "In the score of subject %1 at level %2 of A and level %3 of B, '%4' (%5) reads back from the CSV "
     "as %6"},
    // A long CSV's design and its roles.
    {u"列 '(.*)' が 2 度指定されています", "Column '%1' is given twice"},
    {u"被験者内要因の列も被験者間要因の列も指定されていません",
     "No column of a within or a between factor is chosen"},
    {u"被験者内要因は (\\d+) つまでです", "At most %1 within factors"},
    {u"被験者間要因は (\\d+) つまでです", "At most %1 between factors"},
    {u"被験者の ID が空です", "the subject's id is empty"},
    {u"被験者の ID に改行があります", "the subject's id has a line break"},
    {u"水準名が空です", "the level name is empty"},
    {u"要因 '(.*)' の水準が多すぎます \\(2147483647 個まで\\)",
     "factor '%1' has too many levels (2147483647 at most)"},
    {u"被験者 '(.*)' の行が被験者間要因 '(.*)' の 2 つの水準を示しています: (\\d+) 行は '(.*)'、(\\d+) 行は "
     u"'(.*)'",
     "The rows of subject '%1' give two levels of the between factor '%2': line %3 '%4', line %5 '%6'"},
    {u"要因 '(.*)' の水準が '(.*)' の 1 つしかありません", "Factor '%1' has one level only, '%2'"},
    {u"被験者間の組 (.*) に被験者がいません \\(どの被験者も得点が欠けているため除かれました\\)",
     "No subject in the between cell %1 (every one was removed for a missing score)"},
    {u"被験者間の組 (.*) に被験者がいません", "No subject in the between cell %1"},
    {u"すべての被験者に得点の欠けたセルがあります \\((\\d+) 人\\)",
     "Every subject lacks a score in some cell (%1 subjects)"},
    {u"書き出す形式が分かりません: ファイル名の末尾を (.*) のどれかにしてください",
     "Unknown type to write: end the file name in one of %1"},
    // The windows' own.
    {u"被験者の列と得点の列を 1 つずつ選んでください", "Choose one column of subjects and one of scores"},
    {u"データ ウィンドウで開けるのは、どの被験者もどのセルにもちょうど 1 つの得点があるデータだけです",
     "The data window opens only data with exactly one score of every subject in every cell"},
};

struct Compiled {
    QRegularExpression pattern;
    QString english;
};

const std::vector<Compiled>& Patterns() {
    static const std::vector<Compiled> patterns = [] {
        std::vector<Compiled> out;
        for (const Rendering& r : kRenderings)
            out.push_back(
                {QRegularExpression(QRegularExpression::anchoredPattern(QString::fromUtf16(r.japanese)),
                                    QRegularExpression::DotMatchesEverythingOption),
                 QString::fromUtf8(r.english)});
        return out;
    }();
    return patterns;
}

// One line's fixed text in English; empty when it is none of them.
QString EnglishText(const QString& text) {
    for (const Compiled& c : Patterns()) {
        const QRegularExpressionMatch m = c.pattern.match(text);
        if (!m.hasMatch()) continue;
        QString english = c.english;
        for (int i = m.lastCapturedIndex(); i >= 1; --i) {
            QString captured = m.captured(i);
            // A list ("'g' = 'x'、'h' = 'y'", ".md、.csv"): the Japanese comma in English.
            if (c.english.contains(QStringLiteral("between cell")) ||
                c.english.contains(QStringLiteral("one of")))
                captured.replace(u'、', QStringLiteral(", "));
            english.replace(QStringLiteral("%") + QString::number(i), captured);
        }
        return english;
    }
    return {};
}

// One line with its place, "3 行 2 列: " or "3 行: ", said first.
QString EnglishLine(const QString& line) {
    static const QRegularExpression place(QStringLiteral(u"^(\\d+) 行(?: (\\d+) 列)?: (.*)$"),
                                          QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = place.match(line);
    if (!m.hasMatch()) return EnglishText(line);
    const QString rest = EnglishText(m.captured(3));
    if (rest.isEmpty()) return {};
    const QString where = m.captured(2).isEmpty()
                              ? QStringLiteral("Line %1: ").arg(m.captured(1))
                              : QStringLiteral("Line %1, column %2: ").arg(m.captured(1), m.captured(2));
    return where + rest;
}

// Whether `text` holds a character of the Japanese scripts: kana, the
// ideographs, the full-width forms and the ideographic punctuation.
bool HoldsJapanese(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= 0x3000 && u <= 0x30FF) || (u >= 0x4E00 && u <= 0x9FFF) || (u >= 0xFF00 && u <= 0xFFEF);
    });
}

// `text` with a full stop after it when its last character sorts after the
// full stop, the rule the Japanese messages follow too.
QString Stopped(const QString& text) {
    return !text.isEmpty() && text.back() > QLatin1Char('.') ? text + QLatin1Char('.') : text;
}

}  // namespace

QString EnglishMessage(const QString& japanese) {
    const QStringList lines = japanese.split(QLatin1Char('\n'));
    QStringList out;
    bool any = false;
    for (qsizetype i = 0; i < lines.size();) {
        // The shortest run of lines from here that is one fixed text: a quoted
        // name may hold a line break. Runs are cut at kLongestRun lines, so a
        // CSV field of many line breaks cannot make this quadratic.
        constexpr qsizetype kLongestRun = 16;
        QString english;
        qsizetype end = i + 1;
        for (; end <= lines.size() && end - i <= kLongestRun; ++end) {
            QString text = lines.mid(i, end - i).join(QLatin1Char('\n'));
            // A line that ended a message before another was put after it keeps its full stop.
            if (text.endsWith(QLatin1Char('.'))) text.chop(1);
            english = EnglishLine(text);
            if (!english.isEmpty()) break;
        }
        if (!english.isEmpty()) {
            out << Stopped(english);
            i = end;
        } else if (HoldsJapanese(lines[i])) {
            // A text the table lacks is shown as it is, said to be the program's.
            out << QStringLiteral("The program said: ") + Stopped(lines[i]);
            ++i;
        } else {
            out << lines[i];
            ++i;
            continue;
        }
        any = true;
    }
    return any ? out.join(QLatin1Char('\n')) : QString();
}

QStringList EnglishMessagePatterns() {
    QStringList patterns;
    for (const Rendering& r : kRenderings) patterns << QString::fromUtf16(r.japanese);
    return patterns;
}

}  // namespace morvane::widgets
