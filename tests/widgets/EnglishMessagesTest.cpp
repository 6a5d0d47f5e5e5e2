// The core's messages in the English windows: each one the core gives, raised
// through the paths that give it, has its English; a code page 932 text added
// to the sources without one is found; one the table lacks is led in English.

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QTranslator>
#include <functional>
#include <string>
#include <vector>

#include "exchange/ExchangeMessages.h"
#include "exchange/LongCsv.h"
#include "exchange/StudyCsv.h"
#include "exchange/detail/LongCsvMessages.h"
#include "qttext/Text.h"
#include "runtime/Cp932.h"
#include "runtime/Errors.h"
#include "runtime/Messages.h"
#include "store/DataFile.h"
#include "store/StudyStore.h"
#include "support/TempDir.h"
#include "widgets/Commands.h"
#include "widgets/EnglishMessages.h"
#include "widgets/QtTranslation.h"

using namespace morvane;

namespace {

bool HoldsJapanese(const QString& text) {
    static const QRegularExpression japanese(QStringLiteral(u"[\u3000-\u30FF\u4E00-\u9FFF\uFF00-\uFFEF]"));
    return text.contains(japanese);
}

// The message of the morvane::Error that `run` raises; "(none)" when it raises none.
std::string Raised(const std::function<void()>& run) {
    try {
        run();
    } catch (const Error& error) {
        return error.message();
    }
    return "(none)";
}

// The messages of a data file's load, a CSV's import, a study's CSV and a long CSV's design.
std::vector<std::string> MessagesOfTheReads(const testing::TempDir& dir) {
    std::vector<std::string> got;
    const auto load = [&](const std::string& bytes) {
        testing::WriteBytes(dir.File("f.dat"), bytes);
        StudyStore store;
        LoadNotes notes;
        got.push_back(Raised([&] { LoadStudyFile(store, dir.File("f.dat"), notes); }));
        if (notes.trailingContent) got.back() = messages::TrailingContent();
    };
    for (const char* bytes :
         {"\0\0\0\0\0\0\0\0", "2\r2\r2\rp\rq\re\rh\r1\r2\r3\r4\r", "2\r\n0\r\n2\r\n", "x\r\n2\r\n2\r\n",
          "2000000000\r\n2000\r\n2000\r\na\r\n", "1\r\n1\r\n1\r\na\r\nb\r\n1\r\nmore\r\n"})
        load(std::string(bytes, bytes[0] == 0 ? 8 : std::char_traits<char>::length(bytes)));
    StudyStore store;
    for (const std::string& path : {dir.File("none.dat"), dir.File("none/f.dat"), dir.Path().string()})
        got.push_back(Raised([&] { LoadStudyFile(store, path); }));

    const std::string head = "subject,A,B,score\n";
    CsvImportOptions utf8, cp932, wide;
    utf8.encoding = CsvEncoding::Utf8;
    cp932.encoding = CsvEncoding::Cp932;
    wide.layout = CsvLayout::Wide;
    const auto import = [&](const std::string& text, const CsvImportOptions& options = {}) {
        got.push_back(Raised([&] { ReadStudyCsv(text, options, store); }));
    };
    for (const std::string& rows :
         std::vector<std::string>{"1,a,b,\"1", "1,a,b,\"1\"x", "1,a,b,1,2", "1,a,b,x", "1,a,b,1\n1,a,b,2",
                                  "1,a,b,1\n1,a,c,1\n2,a,b,1", "1,a,b,\"1\n2\"", "1,\"a\nb\",b,1",
                                  "1,\xF0\x9F\x98\x80,b,1", std::string(9000, '\0')})
        import(head + rows + "\n");
    import(head + "1,a\xFF,b,1\n", utf8);
    import(head + "1,a\x82,b,1\n", cp932);
    for (const char* text : {"", "subject,A,B,score\n", "subject,A,B\n1,a,b\n", "subject,A,A,B,score\n"})
        import(text);
    for (const std::string level : {"a\nb", "\xF0\x9F\x98\x80"}) {
        wide.levelsA = {level};
        wide.levelsB = {"b"};
        import("subject,x\n1,1\n", wide);
    }

    // A study's CSV: second codes and a NUL told, texts that are not code page 932 refused.
    StartNewStudy(store, {"\xFA\x4A", std::string("a\0 2", 4)}, {"b"}, "2");
    store.CellText(1, 1, 1) = "1\xFA\x4A", store.CellText(2, 1, 1) = "\xFA\x4A";
    WriteStudyCsv(
        store, CsvLayout::Long, [](std::string_view) {}, [&](const std::string& n) { got.push_back(n); });
    StartNewStudy(store, {"\x82"}, {"b"}, "1");
    got.push_back(Raised([&] { WriteStudyCsv(store, CsvLayout::Long, [](std::string_view) {}); }));
    StartNewStudy(store, {"a"}, {"b"}, "1");
    store.CellText(1, 1, 1) = "\xFF";
    got.push_back(Raised([&] { WriteStudyCsv(store, CsvLayout::Long, [](std::string_view) {}); }));

    using Names = std::vector<std::string>;
    const auto design = [&](const std::string& text, Names within, Names between = {},
                            std::string dv = "score") {
        got.push_back(Raised([&] { ReadLongCsv(text, {"id", dv, within, between}); }));
    };
    const std::string csv = "id,g,A,B,score\ns1,p,x,u,1\ns1,p,y,u,2\ns2,q,x,u,3\ns2,q,y,u,4\n";
    design(csv, {"A", "g"}, {"g"});
    design(csv, {});
    design(csv, {"a", "b", "c", "d", "e"});
    design(csv, {"A"}, {"a", "b", "c", "d"});
    design(csv, {"A", "B"});
    design(csv + "s1,q,x,v,5\n", {"A"}, {"g"});
    design("id,g,h,A,score\ns1,p,m,x,1\ns1,p,m,y,1\ns2,q,f,x,1\ns2,q,f,y,1\n", {"A"}, {"g", "h"});
    design("id,g,A,score\ns1,p,x,1\ns1,p,y,2\ns2,c,x,3\ns2,c,y,\n", {"A"}, {"g"});
    design("id,A,score\ns1,x,1\ns2,y,2\n", {"A"});
    for (const char* row : {"s3,p,,u,5\n", ",p,x,u,5\n", "\"s\n3\",p,x,u,5\n"})
        design(csv + row, {"A"}, {"g"});
    return got;
}

// The messages raised where a real path is out of reach in a test: the
// machine's arithmetic, memory and printers, limits too large to reach.
std::vector<std::string> MessagesOfTheRest() {
    using namespace messages;
    std::vector<std::string> got = {RangeCheck(),
                                    OutOfMemory(),
                                    InvalidOperation(),
                                    ZeroDivide(),
                                    Overflow(),
                                    NoDefaultPrinter(),
                                    PrinterNotValid(),
                                    PrintingInProgress(),
                                    LineEndInText(),
                                    SameFileAsInput(),
                                    InOutNumber(28),
                                    TooManySubjects(3),
                                    CsvBeyondMemory(1 << 20, 9),
                                    NoHeaderOnLine(4),
                                    LineEndInList(),
                                    DuplicateSubject(5, "s1", 2),
                                    TooManyLevels(7, "A")};
    for (const int code : {4, 5, 100, 101, 106}) got.push_back(InOut(code));
    return got;
}

}  // namespace

class EnglishMessagesTest : public QObject {
    Q_OBJECT

private slots:
    // Every message in English with no Japanese left, none of them led as unknown;
    // the quoted texts and numbers in their places.
    void EveryMessageOfTheCoreHasItsEnglish() {
        testing::TempDir dir;
        std::vector<std::string> all = MessagesOfTheReads(dir);
        QCOMPARE(all.size(), 44u);
        for (const std::string& message : MessagesOfTheRest()) all.push_back(message);
        QStringList english;
        for (const std::string& message : all) {
            english << widgets::EnglishMessage(qttext::FromCp932(message));
            QVERIFY2(message != "(none)", qPrintable(english.join(QLatin1Char('|'))));
            QVERIFY2(!english.back().isEmpty() && !HoldsJapanese(english.back()) &&
                         !english.back().contains(QStringLiteral("The program said")),
                     qPrintable(qttext::FromCp932(message) + QStringLiteral(" -> ") + english.back()));
        }
        // A quoted score with a line break is one message, not two lines.
        QVERIFY(english.contains(QStringLiteral("Line 2, column 4: '1\n2' is not a number.")));
        QVERIFY(
            english.contains(QStringLiteral("In the score of subject 1 at level 1 of A and level 1 of B, "
                                            "'\u2160' (FA 4A) reads back from the CSV as 87 54 "
                                            "(other scores with such a character: 1)")));
        QVERIFY(
            english.contains(QStringLiteral("The NUL in the name of level 2 of A is U+FFFD in the CSV, "
                                            "which cannot be read back.")));
        QVERIFY(
            english.contains(QStringLiteral("The rows of subject 's1' give two levels of the between "
                                            "factor 'g': line 2 'p', line 6 'q'")));
    }

    // Every Japanese text the sources convert to code page 932, or put in a
    // message's file, is a whole fixed text of the table or a piece of one; the
    // printed report's own texts are no messages.
    void EveryJapaneseTextOfTheSourcesHasAPattern() {
        QStringList pieces;
        const QStringList patterns = widgets::EnglishMessagePatterns();
        // A capture, "(.*)", "(\\d+)", "([AB])", and not an escaped bracket "\\(".
        static const QRegularExpression capture(
            QStringLiteral("(?<!\\\\)\\((?:\\[[^\\]]*\\]|\\\\.|[^()\\\\])*\\)[+*?]?"));
        for (const QString& pattern : patterns)
            for (QString piece : pattern.split(capture))
                pieces << piece.replace(QRegularExpression(QStringLiteral("\\\\(.)")), QStringLiteral("\\1"));
        // The place before a line, "3 行 2 列: ", said by the table's reader itself.
        pieces << QStringLiteral(u" 行") << QStringLiteral(u" 列");
        // A literal (or literals side by side) converted, or given to a message's
        // file's Text, MORVANE_TEXT or MORVANE_MESSAGE.
        static const QRegularExpression call(
            QStringLiteral("\\b(?:Cp932FromUtf8|(Text|MORVANE_TEXT|MORVANE_MESSAGE))\\(\\s*(?:\\w+,\\s*)?((?:"
                           "\"(?:[^\"\\\\]|\\\\.)*\"\\s*)+)"));
        static const QRegularExpression literal(QStringLiteral("\"((?:[^\"\\\\]|\\\\.)*)\""));
        int seen = 0;
        QDirIterator files(QStringLiteral(MORVANE_SOURCE "/src"),
                           {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            if (path.contains(QStringLiteral("/src/report/")) ||
                path.endsWith(QStringLiteral("EnglishMessages.cpp")))
                continue;
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QString source = QString::fromUtf8(file.readAll());
            const bool messagesFile = path.endsWith(QStringLiteral("Messages.cpp"));
            for (auto m = call.globalMatch(source); m.hasNext();) {
                const QRegularExpressionMatch found = m.next();
                if (!found.captured(1).isEmpty() && !messagesFile) continue;
                QString text;
                for (auto l = literal.globalMatch(found.captured(2)); l.hasNext();)
                    text += l.next().captured(1);
                if (!HoldsJapanese(text)) continue;
                ++seen;
                const bool known =
                    std::any_of(pieces.begin(), pieces.end(),
                                [&](const QString& p) { return p.contains(text); }) ||
                    !widgets::EnglishMessage(text).contains(QStringLiteral("The program said"));
                QVERIFY2(known, qPrintable(path + QStringLiteral(": ") + text));
            }
        }
        QVERIFY2(seen > 80, qPrintable(QString::number(seen)));
    }

    // A message the table lacks: its Japanese led in English, line by line,
    // beside the lines it knows; a text in no Japanese is left to the caller.
    void AMessageWithoutEnglishIsLedInEnglish() {
        QCOMPARE(widgets::EnglishMessage(QStringLiteral(u"新しい知らせです")),
                 QStringLiteral(u"The program said: 新しい知らせです."));
        QCOMPARE(
            widgets::EnglishMessage(QStringLiteral(u"'x' は浮動小数点数ではありません.\n新しい行 (3)\nok")),
            QStringLiteral(u"'x' is not a number.\nThe program said: 新しい行 (3)\nok"));
        QVERIFY(widgets::EnglishMessage(QStringLiteral("plain")).isEmpty());
        const StudyError unknown(Cp932FromUtf8("新しい知らせです"));
        QCOMPARE(widgets::MessageText(unknown), QStringLiteral(u"新しい知らせです."));
        QTranslator* translator =
            widgets::InstallEnglishTranslation(*qApp, widgets::BuiltInEnglishTranslation());
        QVERIFY(translator != nullptr);
        const QString shown = widgets::MessageText(unknown);
        const QString plain = widgets::MessageText(StudyError("plain"));
        QCoreApplication::removeTranslator(translator);
        delete translator;
        QCOMPARE(shown, QStringLiteral(u"The program said: 新しい知らせです."));
        QCOMPARE(plain, QStringLiteral("plain."));
    }
};

QTEST_MAIN(EnglishMessagesTest)
#include "EnglishMessagesTest.moc"
