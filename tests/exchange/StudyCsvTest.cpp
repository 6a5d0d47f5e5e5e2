// Studies to CSV and back: the exact text written, round trips of random
// studies with Japanese names, the CSV a spreadsheet saves, and every refusal.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <functional>
#include <random>

#include "exchange/Csv.h"
#include "exchange/ExchangeMessages.h"
#include "exchange/RandomStudy.h"
#include "exchange/StudyCsv.h"
#include "properties/MemoryFile.h"
#include "runtime/Cp932.h"
#include "scores/ScoreSyntax.h"
#include "store/DataFile.h"

namespace morvane {
namespace {

std::string Sjis(const std::string& utf8) {
    return Cp932FromUtf8(utf8);
}

// A study of N subjects with the given names; score(s, a, b) gives each text.
StudyStore MakeStudy(std::int32_t n, const std::vector<std::string>& namesA,
                     const std::vector<std::string>& namesB,
                     const std::function<std::string(std::int32_t, std::int32_t, std::int32_t)>& score) {
    StudyStore store;
    StartNewStudy(store, namesA, namesB, std::to_string(n));
    for (std::int32_t s = 1; s <= n; ++s)
        for (std::int32_t a = 1; a <= store.LevelCountA; ++a)
            for (std::int32_t b = 1; b <= store.LevelCountB; ++b) store.CellText(s, a, b) = score(s, a, b);
    return store;
}

std::string CsvOf(const StudyStore& store, CsvLayout layout) {
    std::string csv;
    WriteStudyCsv(store, layout, [&](std::string_view piece) { csv.append(piece); });
    return csv;
}

// The bytes Save writes for the store.
std::string DataFileBytes(const StudyStore& store) {
    properties::MemoryFile file;
    WriteDataFile(store, file.Path());
    return file.Get();
}

std::string Imported(std::string csv, const CsvImportOptions& options = {}) {
    StudyStore store;
    ReadStudyCsv(csv, options, store);
    return DataFileBytes(store);
}

// The message of the refusal, as UTF-8, or "" when there is none.
std::string Refusal(std::string csv, const CsvImportOptions& options = {}) {
    try {
        StudyStore store;
        ReadStudyCsv(csv, options, store);
    } catch (const Error& error) {
        return Utf8FromCp932(error.message());
    }
    return "";
}

CsvImportOptions Wide(std::vector<std::string> levelsA, std::vector<std::string> levelsB) {
    CsvImportOptions options;
    options.layout = CsvLayout::Wide;
    options.levelsA = std::move(levelsA);
    options.levelsB = std::move(levelsB);
    return options;
}

TEST(StudyCsv, WritesLongAndWideExactly) {
    StudyStore prePost;
    LoadStudyFile(prePost, MORVANE_EXAMPLES "/pre-post.dat");
    EXPECT_EQ(CsvOf(prePost, CsvLayout::Long),
              "subject,A,B,score\r\n"
              "1,pre,easy,12\r\n1,pre,hard,15\r\n1,post,easy,9\r\n1,post,hard,11\r\n"
              "2,pre,easy,14\r\n2,pre,hard,18\r\n2,post,easy,10\r\n2,post,hard,13\r\n");
    EXPECT_EQ(CsvOf(prePost, CsvLayout::Wide),
              "subject,pre_easy,pre_hard,post_easy,post_hard\r\n1,12,15,9,11\r\n2,14,18,10,13\r\n");

    // Names quoted where they must be, converted to UTF-8; scores without their
    // spaces, other blanks kept; an empty name and an empty score.
    const StudyStore odd =
        MakeStudy(1, {Sjis("前, 後"), ""}, {Sjis("\"難\""), " "}, [](auto, auto a, auto b) {
            return a == 1 ? (b == 1 ? "  12 " : "\t3") : (b == 1 ? "" : Sjis("４"));
        });
    EXPECT_EQ(
        CsvOf(odd, CsvLayout::Long),
        "subject,A,B,score\r\n"
        "1,\"前, 後\",\"\"\"難\"\"\",12\r\n1,\"前, 後\", ,\"\t3\"\r\n1,,\"\"\"難\"\"\",\r\n1,, ,４\r\n");
    EXPECT_EQ(CsvOf(odd, CsvLayout::Wide),
              "subject,\"前, 後_\"\"難\"\"\",\"前, 後_ \",\"_\"\"難\"\"\",_ \r\n1,12,\"\t3\",,４\r\n");

    // No subjects: the header alone.
    EXPECT_EQ(CsvOf(MakeStudy(0, {"a"}, {"b"}, {}), CsvLayout::Long), "subject,A,B,score\r\n");
    EXPECT_EQ(CsvOf(MakeStudy(0, {"a"}, {"b"}, {}), CsvLayout::Wide), "subject,a_b\r\n");

    // Many rows come in pieces that join up to the whole.
    const StudyStore big = MakeStudy(3000, {"a1", "a2"}, {"b1", "b2", "b3"}, [](auto s, auto a, auto b) {
        return std::to_string(s * 7 + a * 3 + b);
    });
    std::size_t pieces = 0;
    std::string joined;
    WriteStudyCsv(big, CsvLayout::Long, [&](std::string_view piece) {
        ++pieces;
        joined.append(piece);
    });
    EXPECT_GT(pieces, 2u);
    EXPECT_EQ(joined.substr(0, 40), "subject,A,B,score\r\n1,a1,b1,11\r\n1,a1,b2,1");
    EXPECT_EQ(Imported(joined), DataFileBytes(big));
}

TEST(StudyCsv, WideHeadersAreMadeUnique) {
    EXPECT_EQ(WideHeader({"x_y", "x"}, {"z", "y_z"}),
              (std::vector<std::string>{"subject", "x_y_z", "x_y_y_z", "x_z", "x_y_z_2"}));
    // "_2" is taken by a later column's own name, so the repeat gets "_3".
    EXPECT_EQ(WideHeader({"a", "a"}, {"b", "b_2"}),
              (std::vector<std::string>{"subject", "a_b", "a_b_2", "a_b_3", "a_b_2_2"}));
    EXPECT_EQ(WideHeader({""}, {""}), (std::vector<std::string>{"subject", "_"}));
}

// The header as its rule reads: each repeat takes the first "_k" from 2 that
// is no column's own name and not taken before it.
std::vector<std::string> UniqueByFirstFreeSuffix(std::vector<std::string> header) {
    const std::vector<std::string> plain = header;
    std::vector<std::string> used;
    const auto taken = [&](const std::string& name) {
        return std::find(plain.begin(), plain.end(), name) != plain.end() ||
               std::find(used.begin(), used.end(), name) != used.end();
    };
    for (std::string& name : header) {
        if (std::find(used.begin(), used.end(), name) != used.end())
            for (std::size_t k = 2;; ++k)
                if (!taken(name + "_" + std::to_string(k))) {
                    name += "_" + std::to_string(k);
                    break;
                }
        used.push_back(name);
    }
    return header;
}

TEST(StudyCsv, WideHeadersOfManyRepeatedNames) {
    // Names that collide with each other's suffixes, in random designs.
    std::mt19937_64 random(17);
    const std::array<const char*, 7> names = {"a", "a_2", "a_3", "", "_2", "a_2_2", "b"};
    for (int round = 0; round < 300; ++round) {
        std::vector<std::string> a(random() % 5 + 1), b(random() % 5 + 1);
        for (auto& name : a) name = names[random() % names.size()];
        for (auto& name : b) name = names[random() % names.size()];
        std::vector<std::string> joined{"subject"};
        for (const auto& x : a)
            for (const auto& y : b) joined.push_back(x + "_" + y);
        ASSERT_EQ(WideHeader(a, b), UniqueByFirstFreeSuffix(joined)) << round;
    }
    // 300 x 200 levels left unnamed: 60,000 columns "_", "__2", ... at once,
    // where a search from 2 for each would take minutes.
    const auto start = std::chrono::steady_clock::now();
    const auto header = WideHeader(std::vector<std::string>(300), std::vector<std::string>(200));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    ASSERT_EQ(header.size(), 60001u);
    EXPECT_EQ(header[1], "_");
    EXPECT_EQ(header[2], "__2");
    EXPECT_EQ(header.back(), "__60000");
}

TEST(StudyCsv, RefusesToWriteTextsThatAreNotCodePage932) {
    const std::pair<StudyStore, std::string> cases[] = {
        {MakeStudy(1, {"a", "\x82"}, {"b"}, [](auto...) { return "1"; }),
         "A の水準 2 の名前がシフト JIS として正しくありません"},
        {MakeStudy(1, {"a"}, {"b", "x\xff"}, [](auto...) { return "1"; }),
         "B の水準 2 の名前がシフト JIS として正しくありません"},
        {MakeStudy(3, {"a"}, {"b", "c"},
                   [](auto s, auto, auto b) { return s == 2 && b == 2 ? std::string("1\x81") : "1"; }),
         "被験者 2、A の水準 1、B の水準 2 の得点がシフト JIS として正しくありません"},
        // Two: the first of the rows is named, though the store holds the other first.
        {MakeStudy(2, {"a"}, {"b", "c"},
                   [](auto s, auto, auto b) { return s + b == 3 ? std::string("\x81") : "1"; }),
         "被験者 1、A の水準 1、B の水準 2 の得点がシフト JIS として正しくありません"},
    };
    for (const auto& [store, message] : cases)
        for (CsvLayout layout : {CsvLayout::Long, CsvLayout::Wide}) {
            bool written = false;
            try {
                WriteStudyCsv(store, layout, [&](std::string_view) { written = true; });
                ADD_FAILURE() << "no refusal: " << message;
            } catch (const CsvError& error) {
                EXPECT_EQ(Utf8FromCp932(error.message()), message);
            }
            EXPECT_FALSE(written) << message;  // checked before anything goes out
        }
}

TEST(StudyCsv, RandomStudiesComeBackByteForByte) {
    std::mt19937_64 engine(14);
    int japanese = 0;
    for (int i = 0; i < 200; ++i) {
        const char separator = i % 3 == 0 ? ',' : '.';
        // Long levels are told apart by their names; wide ones by their place.
        const bool wide = i % 2 == 1;
        const auto n = static_cast<std::int32_t>(wide ? engine() % 15 : 1 + engine() % 15);
        const StudyStore store = testing::RandomStudy(engine, n, !wide, separator);
        CsvImportOptions options;
        if (wide)
            options = Wide(testing::NamesUtf8(store.LevelNamesA), testing::NamesUtf8(store.LevelNamesB));
        options.decimalSeparator = separator;
        const std::string csv = CsvOf(store, wide ? CsvLayout::Wide : CsvLayout::Long);
        ASSERT_TRUE(csv::IsValidUtf8(csv));
        ASSERT_EQ(Imported(csv, options), DataFileBytes(store)) << "study " << i << ":\n" << csv;
        japanese += csv.find('\xe3') != std::string::npos;
    }
    EXPECT_GT(japanese, 100);
}

// The long CSV of a study with its rows in the order that `order` gives them
// (subject, A, B from 0), lines ended by `end`, a quoted note with a line end in
// the first row and blank lines after every `blankEvery` rows.
std::string LongCsv(const StudyStore& store,
                    const std::function<bool(const std::array<int, 4>&, const std::array<int, 4>&)>& order,
                    const std::string& end, std::size_t blankEvery) {
    std::vector<std::array<int, 4>> rows;  // s, a, b, and a number to shuffle by
    std::mt19937_64 engine(7);
    for (int s = 1; s <= store.SubjectCount; ++s)
        for (int a = 1; a <= store.LevelCountA; ++a)
            for (int b = 1; b <= store.LevelCountB; ++b)
                rows.push_back({s, a, b, static_cast<int>(engine() % 1000)});
    std::stable_sort(rows.begin(), rows.end(), order);
    std::string csv = "note,subject,A,B,score" + end;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto [s, a, b, ignored] = rows[i];
        std::string row = i == 0 ? "\"first\r\nrow\"," : ",";
        row += "s" + std::to_string(s) + ",";
        csv::AppendField(row, Utf8FromCp932(store.LevelNamesA[static_cast<std::size_t>(a)]));
        row += ",";
        csv::AppendField(row, Utf8FromCp932(store.LevelNamesB[static_cast<std::size_t>(b)]));
        csv += row + "," + std::string(store.CellText(s, a, b)) + end;
        if (blankEvery > 0 && i % blankEvery == blankEvery - 1) csv += ",,,," + end + end;
    }
    return csv;
}

TEST(StudyCsv, RowsInAnyOrderGiveTheStudyOfTheirFirstAppearance) {
    std::mt19937_64 engine(2026);
    using Row = std::array<int, 4>;
    const auto inOrder = [](const Row& x, const Row& y) { return x < y; };
    // The first subject in order, the others shuffled within themselves.
    const auto laterShuffled = [](const Row& x, const Row& y) {
        if (x[0] != y[0]) return x[0] < y[0];
        return x[0] == 1 ? x < y : x[3] < y[3];
    };
    // Subjects innermost, as the data file has them.
    const auto subjectsInnermost = [](const Row& x, const Row& y) {
        return std::tie(x[1], x[2], x[0]) < std::tie(y[1], y[2], y[0]);
    };
    // Subject 2 ahead of subject 1 from its second row on.
    const auto interleaved = [](const Row& x, const Row& y) {
        const auto key = [](const Row& r) {
            return r[0] == 1 ? std::pair(0, r[1] * 100 + r[2]) : std::pair(r[0], r[1] * 100 + r[2]);
        };
        return key(x) < key(y);
    };
    for (int i = 0; i < 24; ++i) {
        const StudyStore store =
            testing::RandomStudy(engine, static_cast<std::int32_t>(2 + engine() % 6), true, '.');
        const std::string expected = DataFileBytes(store);
        const std::pair<const char*, std::string> variants[] = {
            {"in order", LongCsv(store, inOrder, "\r\n", 0)},
            {"later subjects shuffled", LongCsv(store, laterShuffled, "\n", 0)},
            {"subjects innermost", LongCsv(store, subjectsInnermost, "\r\n", 0)},
            {"blank lines", LongCsv(store, inOrder, "\r\n", 3)},
            {"lines ended by CR", LongCsv(store, inOrder, "\r", 0)},
            {"interleaved", LongCsv(store, interleaved, "\n", 0)},
        };
        for (const auto& [name, csv] : variants) {
            CsvImportOptions options;
            EXPECT_EQ(Imported(csv, options), expected) << name << ":\n" << csv;
        }
        // A row missing (of a subject with more than one) or repeated is found whatever the order.
        if (store.LevelCountA * store.LevelCountB == 1) continue;
        const std::string csv = LongCsv(store, laterShuffled, "\n", 0);
        const std::string cut = csv.substr(0, csv.rfind('\n', csv.size() - 2) + 1);
        EXPECT_NE(Refusal(cut).find("の得点がありません"), std::string::npos) << cut;
        const std::string last = csv.substr(cut.size());
        EXPECT_NE(Refusal(csv + last).find("にもあります"), std::string::npos) << csv + last;
    }
}

TEST(StudyCsv, ReadsWhatSpreadsheetsSave) {
    // Byte-order mark, semicolons, decimal commas, CR LF, a quoted name with a
    // comma, columns in another order and one more, blank rows at the end.
    const std::string saved =
        "\xEF\xBB\xBFnote;score;B;A;subject\r\n"
        "x;12,5;easy;\"pre, early\";P1\r\n"
        ";\" 15 \";hard;\"pre, early\";P1\r\n"
        ";9;easy;post;P1\r\n"
        ";11;hard;post;P1\r\n"
        ";14;easy;\"pre, early\";P2\r\n"
        ";18;hard;\"pre, early\";P2\r\n"
        ";10;easy;post;P2\r\n"
        ";13;hard;post;P2\r\n"
        ";;;;\r\n\r\n";
    CsvImportOptions options;
    options.decimalSeparator = ',';
    const std::string expected =
        "2\r\n2\r\n2\r\npre, "
        "early\r\npost\r\neasy\r\nhard\r\n12,5\r\n14\r\n15\r\n18\r\n9\r\n10\r\n11\r\n13\r\n";
    EXPECT_EQ(Imported(saved, options), expected);
    // Stored with the program's decimal point, long and wide, and back.
    options.storedDecimalSeparator = '.';
    EXPECT_EQ(Imported(saved, options), std::string(expected).replace(expected.find("12,5"), 4, "12.5"));
    CsvImportOptions wideComma = Wide({"a"}, {"x", "y"});
    wideComma.header = false;
    wideComma.separator = ';';
    wideComma.decimalSeparator = ',';
    wideComma.storedDecimalSeparator = '.';
    EXPECT_EQ(Imported("s1;1,25;-2\ns2;3;4,\n", wideComma),
              "2\r\n1\r\n2\r\na\r\nx\r\ny\r\n1.25\r\n3\r\n-2\r\n4.\r\n");
    wideComma.separator = ',';
    wideComma.decimalSeparator = '.';
    wideComma.storedDecimalSeparator = ',';
    EXPECT_EQ(Imported("s1,1.25,-2\ns2,3,.5\n", wideComma),
              "2\r\n1\r\n2\r\na\r\nx\r\ny\r\n1,25\r\n3\r\n-2\r\n,5\r\n");

    // The same as code page 932 with Japanese names, found or named, and tabs.
    std::string sjis = Sjis(
        "被験者\t要因A\t要因B\t得点\n山田\t前\t易\t1\n山田\t前\t難\t2\n山田\t後\t易\t3\n山田\t後\t難\t4\n");
    CsvImportOptions named;
    named.subjectColumn = "被験者";
    named.aColumn = "要因A";
    named.bColumn = "要因B";
    named.scoreColumn = "得点";
    const std::string japanese = Sjis("1\r\n2\r\n2\r\n前\r\n後\r\n易\r\n難\r\n1\r\n2\r\n3\r\n4\r\n");
    EXPECT_EQ(Imported(sjis, named), japanese);
    named.encoding = CsvEncoding::Cp932;
    named.separator = '\t';
    EXPECT_EQ(Imported(sjis, named), japanese);
    // Said to be UTF-8, its header has none of the names.
    named.encoding = CsvEncoding::Utf8;
    EXPECT_EQ(Refusal(sjis, named), "1 行: 列 '被験者' がありません");

    // Wide, without a header, with levels named in the options.
    EXPECT_EQ(Imported("s1,1,2\ns2,3,4\n\n",
                       [] {
                           auto wide = Wide({"a"}, {"x", "y"});
                           wide.header = false;
                           return wide;
                       }()),
              "2\r\n1\r\n2\r\na\r\nx\r\ny\r\n1\r\n3\r\n2\r\n4\r\n");
    // A header of any names; no subjects at all.
    EXPECT_EQ(Imported("id;whatever;else\r\n", Wide({"a"}, {"x", "y"})), "0\r\n1\r\n2\r\na\r\nx\r\ny\r\n");
}

TEST(StudyCsv, EveryScoreTextIsTakenExactlyWhenTheScoreSyntaxTakesIt) {
    const std::string texts[] = {"1",
                                 "-1",
                                 "+1",
                                 "1.",
                                 ".5",
                                 "-.5",
                                 "+5.25",
                                 ".",
                                 "-",
                                 "+",
                                 "1.2.3",
                                 "12a",
                                 "1e5",
                                 "1E-3",
                                 " 1 ",
                                 "  -2.5",
                                 "1,5",
                                 "1;5",
                                 "--1",
                                 "+-1",
                                 "0.0",
                                 std::string(64, '9'),
                                 std::string(65, '9') + ".5",
                                 "1 2",
                                 "1.5 ",
                                 "\t1",
                                 "１",
                                 "1\xc2\xa0",
                                 "0x1"};
    for (const char separator : {'.', ','})
        for (const std::string& text : texts) {
            const auto first = text.find_first_not_of(' ');
            const std::string trimmed =
                first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(' ') - first + 1);
            const bool score = IsScore(trimmed, separator);
            // Twice in one subject's rows, and once in a wide row.
            std::string field;
            csv::AppendField(field, text);
            CsvImportOptions options;
            options.decimalSeparator = separator;
            options.separator = '\t';
            for (const auto& [csv, layout] :
                 {std::pair{"subject\tA\tB\tscore\n1\ta\tx\t" + field + "\n1\ta\ty\t" + field + "\n",
                            CsvLayout::Long},
                  std::pair{"subject\tc\n1\t" + field + "\n", CsvLayout::Wide}}) {
                options.layout = layout;
                options.levelsA = {"a"};
                options.levelsB = {"x"};
                StudyStore store;
                try {
                    ReadStudyCsv(csv, options, store);
                    EXPECT_TRUE(score) << "taken: " << ::testing::PrintToString(text) << " " << separator;
                    EXPECT_EQ(store.CellText(1, 1, 1), trimmed);
                    if (layout == CsvLayout::Long) {
                        EXPECT_EQ(store.CellText(1, 1, 2), trimmed);
                    }
                } catch (const CsvError&) {
                    EXPECT_FALSE(score) << "refused: " << ::testing::PrintToString(text) << " " << separator;
                }
            }
        }
}

TEST(StudyCsv, RefusesEachFaultWithItsPlace) {
    const std::string head = "subject,A,B,score\n";
    CsvImportOptions utf8, cp932, comma;
    utf8.encoding = CsvEncoding::Utf8;
    cp932.encoding = CsvEncoding::Cp932;
    comma.separator = ',';
    struct Case {
        std::string csv;
        CsvImportOptions options;
        std::string message;
    };
    const Case cases[] = {
        {head + "1,a,x,12x\n", {}, "2 行 4 列: '12x' は浮動小数点数ではありません"},
        {head + "1,a,x,1\n1,a,y,  \n", {}, "3 行 4 列: '' は浮動小数点数ではありません"},
        {head + "1,a,x,1\n1,a,y,2\n2,a,y,3\n", {}, "被験者 '2'、A 'a'、B 'x' の得点がありません"},
        {head + "1,a,x,1\n1,a,y,2\n2,a,x,3\n", {}, "被験者 '2'、A 'a'、B 'y' の得点がありません"},
        {head + "1,a,x,1\n1,a,x,2\n", {}, "3 行: 被験者 '1'、A 'a'、B 'x' の得点は 2 行にもあります"},
        // As many rows as cells, one of them twice and one missing.
        {head + "1,a,x,1\n1,a,y,2\n2,a,x,3\n1,a,x,4\n",
         {},
         "5 行: 被験者 '1'、A 'a'、B 'x' の得点は 2 行にもあります"},
        {head + "1,a,x,1\n1,a,y,2\n1,a,x,3\n1,a,y,4\n1,a,y,5\n",
         {},
         "4 行: 被験者 '1'、A 'a'、B 'x' の得点は 2 行にもあります"},
        {head + "1,a,x,1\n1,a,y\n", {}, "3 行: 値が 3 個あります (4 個のはずです)"},
        {"A,B,score,subject\n1\n", {}, "2 行: 値が 1 個あります (4 個のはずです)"},
        {"A,B,score,subject\na,x,1,s1\na,y,2\n", {}, "3 行: 値が 3 個あります (4 個のはずです)"},
        {"A,B,score,subject\na,x,1,s1\na,y,2,s1\na,x\n", {}, "4 行: 値が 2 個あります (4 個のはずです)"},
        {head + "1,a,x,1,\n", {}, "2 行: 値が 5 個あります (4 個のはずです)"},
        {head + "1,a\xf0\x9f\x98\x80,x,1\n", {}, "2 行 2 列: 'a?' にはシフト JIS で表せない文字があります"},
        {head + "1,a,x,\xe2\x91\xa0\xf0\x9f\x98\x80\n",
         {},
         "2 行 4 列: '①?' にはシフト JIS で表せない文字があります"},
        {head + "1,a,x,１２\n", {}, "2 行 4 列: '１２' は浮動小数点数ではありません"},
        {head + "1,\"a\r\nb\",x,1\n", {}, "2 行 2 列: 水準名に改行があります"},
        {head + "1,a,\"\n\nx\",1\n", {}, "2 行 3 列: 水準名に改行があります"},
        {head + "1,a,x,\"1\n", {}, "2 行 4 列: 引用符が閉じていません"},
        {head + "1,\xe3\x81,x,1\n", utf8, "2 行 2 列: UTF-8 として正しくないバイトがあります"},
        {head + "1,a,\x82,1\n", cp932, "2 行 3 列: シフト JIS として正しくないバイトがあります"},
        {Sjis("subject,A,B,score\n山田,a,x,1\n山田,a,x,2\n"),
         {},
         "3 行: 被験者 '山田'、A 'a'、B 'x' の得点は 2 行にもあります"},
        {"subject,A,B\n1,a,x\n", {}, "1 行: 列 'score' がありません"},
        {"\n\nsubject,A,B,A,score\n", {}, "3 行: 列 'A' が 2 つ以上あります"},
        {"subject;A;B;score\n", comma, "1 行: 列 'subject' がありません"},
        {"", {}, "CSV が空です"},
        {"\xEF\xBB\xBF\r\n,,,\r\n", {}, "CSV が空です"},
        {head + "\n,,,\n", {}, "CSV に得点の行がありません"},
        {"a,x,y\n1,2\n", Wide({"a"}, {"x", "y"}), "2 行: 値が 2 個あります (3 個のはずです)"},
        {"a,x\n1,2\n", Wide({"a"}, {"x", "y"}), "1 行: 値が 2 個あります (3 個のはずです)"},
        {"s,a,b\n1,2,3\n2,3,4\n1,5,6\n", Wide({"a"}, {"x", "y"}),
         "4 行 1 列: 被験者 '1' は 2 行にもあります"},
        {"s,a,b\n1,2,?\n", Wide({"a"}, {"x", "y"}), "2 行 3 列: '?' は浮動小数点数ではありません"},
        {"s,a,b\n", Wide({"a", "\xf0\x9f\x98\x80"}, {"x"}),
         "A の水準 2 の名前 '?' にはシフト JIS で表せない文字があります"},
        {"s,a,b\n", Wide({"a"}, {"x\ny"}), "B の水準 1 の名前に改行があります"},
        {"s,a,b\n", Wide({}, {"x"}), "要因の水準数が 1 未満です"},
        {"", Wide({"a"}, {"x"}), "CSV が空です"},
    };
    for (const Case& c : cases) EXPECT_EQ(Refusal(c.csv, c.options), c.message) << c.csv;
}

}  // namespace
}  // namespace morvane
