// The long CSV read into a design: cells, order, exact means, listwise
// removal, encodings and every refusal with its text.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "exchange/ExchangeMessages.h"
#include "exchange/LongCsv.h"
#include "runtime/Cp932.h"
#include "runtime/MemoryBudget.h"

namespace morvane {
namespace {

using Names = std::vector<std::string>;

LongCsvRoles Roles(Names within, Names between = {}, std::string id = "id", std::string dv = "score") {
    return {std::move(id), std::move(dv), std::move(within), std::move(between)};
}

// The UTF-8 message of the CsvError the CSV raises, or "" when it reads.
std::string Refusal(std::string_view text, const LongCsvRoles& roles, const LongCsvOptions& options = {}) {
    try {
        ReadLongCsv(text, roles, options);
    } catch (const CsvError& error) {
        return Utf8FromCp932(error.message());
    }
    return "";
}

Extended Value(const DesignData& d, std::size_t s, std::size_t c) {
    return d.values[s * d.Cells() + c];
}

// Rows in no particular order: subjects, between levels and within levels
// come out in the order they first appear, the cell index with the last
// within factor fastest, the group with the last between factor fastest.
TEST(LongCsv, CellsSubjectsAndLevelsInTheOrderTheyAppear) {
    const std::string text =
        "\xEF\xBB\xBF"
        "score,B,id,sex,A,grp\r\n"
        "1,b1,s2,f,a2,ctl\r\n"
        "2,b2,s2,f,a2,ctl\r\n"
        "3,b2,s1,m,a1,pat\r\n"
        "\r\n"
        "4,b1,s1,m,a1,pat\r\n"
        "5,b1,s1,m,a2,pat\r\n"
        "6,b2,s1,m,a2,pat\r\n"
        "7,b1,s2,f,a1,ctl\r\n"
        "8,b2,s2,f,a1,ctl\r\n"
        "9,b1,s3,m,a1,ctl\r\n"
        "10,b2,s3,m,a1,ctl\r\n"
        "11,b1,s3,m,a2,ctl\r\n"
        "12.5,b2,s3,m,a2,ctl\r\n"
        "-1,b1,s4,f,a1,pat\r\n"
        "-2,b2,s4,f,a1,pat\r\n"
        "-3,b1,s4,f,a2,pat\r\n"
        "-4e1,b2,s4,f,a2,pat\r\n";
    const DesignData d = ReadLongCsv(text, Roles({"A", "B"}, {"grp", "sex"}));
    ASSERT_EQ(d.within.size(), 2u);
    EXPECT_EQ(d.within[0].name, "A");
    EXPECT_EQ(d.within[0].levels, (Names{"a2", "a1"}));
    EXPECT_EQ(d.within[1].levels, (Names{"b1", "b2"}));
    EXPECT_EQ(d.between[0].levels, (Names{"ctl", "pat"}));
    EXPECT_EQ(d.between[1].levels, (Names{"f", "m"}));
    EXPECT_EQ(d.subjects, (Names{"s2", "s1", "s3", "s4"}));
    EXPECT_EQ(d.group, (std::vector<std::int32_t>{0, 3, 1, 2}));  // ctl-f, pat-m, ctl-m, pat-f
    EXPECT_EQ(d.Cells(), 4u);
    EXPECT_EQ(d.Groups(), 4u);
    // s1: (a2,b1)=5 (a2,b2)=6 (a1,b1)=4 (a1,b2)=3
    EXPECT_EQ(Value(d, 1, 0), 5);
    EXPECT_EQ(Value(d, 1, 1), 6);
    EXPECT_EQ(Value(d, 1, 2), 4);
    EXPECT_EQ(Value(d, 1, 3), 3);
    EXPECT_EQ(Value(d, 2, 1), 12.5L);
    EXPECT_EQ(Value(d, 3, 1), -40);
    ASSERT_TRUE(d.exact);
    EXPECT_EQ(d.scale, 1);
    EXPECT_TRUE(d.units[2 * 4 + 1] == 125);
    EXPECT_TRUE(d.units[3 * 4 + 1] == -400);
    EXPECT_EQ(d.rows, std::vector<std::int32_t>(16, 1));
    EXPECT_EQ(d.subjectsRead, 4);
    EXPECT_TRUE(d.removed.empty());
    EXPECT_EQ(d.averagedCells, 0);
    EXPECT_EQ(d.averagedRows, 0);
}

// Several rows of a cell give their exact mean rounded once: 0.001 and 0.002
// give 0.0015 correctly rounded, which (0.001L + 0.002L) / 2 is not. Where one score's
// units cannot fit (a power of ten beyond 10^-38, 40 digits) the means are
// still the exact ones rounded once, without the units.
TEST(LongCsv, TrialRowsAveragedExactly) {
    const std::string text =
        "id,A,score\n"
        "s1,x,0.1\ns1,x,0.2\ns1,y,1\ns1,y,2\ns1,y,2\n"
        "s2,x,1e1\ns2,y,0.05\n"
        "s3,x,\"7\"\ns3,y,7\ns3,y,0.3\ns3,y,0.6\n";
    DesignData d = ReadLongCsv(text, Roles({"A"}));
    ASSERT_TRUE(d.exact);
    EXPECT_EQ(d.scale, 2);
    EXPECT_EQ(Value(d, 0, 0), 0.15L);
    EXPECT_EQ(Value(d, 0, 1), 5.0L / 3.0L);
    EXPECT_EQ(Value(d, 1, 0), 10);
    EXPECT_EQ(Value(d, 1, 1), 0.05L);
    EXPECT_EQ(Value(d, 2, 1), 79.0L / 30.0L);
    EXPECT_TRUE(d.units[0] == 30 && d.units[1] == 500 && d.units[5] == 790);
    EXPECT_EQ(d.rows, (std::vector<std::int32_t>{2, 3, 1, 1, 1, 3}));
    EXPECT_EQ(d.averagedCells, 3);
    EXPECT_EQ(d.averagedRows, 8);
    const DesignData small = ReadLongCsv("id,A,score\ns1,x,0.001\ns1,x,0.002\ns1,y,1\n", Roles({"A"}));
    EXPECT_EQ(small.values[0], 0.0015L);
    EXPECT_NE(small.values[0], (0.001L + 0.002L) / 2);

    const std::string wide =
        text + "s4,x,1e-45\ns4,y,1234567890123456789012345678901234567890.5\ns4,y,-0.5\n";
    d = ReadLongCsv(wide, Roles({"A"}));
    // Beyond 128 bits: exact still, the sums in GMP integers of 10^-45.
    EXPECT_TRUE(d.exact);
    EXPECT_EQ(d.scale, 45);
    EXPECT_TRUE(d.units.empty());
    ASSERT_EQ(d.wideUnits.size(), 8u);
    EXPECT_EQ(d.wideUnits[6], 1);
    EXPECT_EQ(d.wideUnits[7],
              mpz_class("1234567890123456789012345678901234567890") * mpz_class("1" + std::string(45, '0')));
    EXPECT_EQ(d.wideUnits[0], mpz_class("3" + std::string(44, '0')));
    EXPECT_EQ(d.rows, (std::vector<std::int32_t>{2, 3, 1, 1, 1, 3, 1, 2}));
    EXPECT_EQ(Value(d, 0, 0), 0.15L);
    EXPECT_EQ(Value(d, 0, 1), 5.0L / 3.0L);
    EXPECT_EQ(Value(d, 2, 1), 79.0L / 30.0L);
    EXPECT_EQ(Value(d, 3, 0), 1e-45L);
    EXPECT_EQ(Value(d, 3, 1), 617283945061728394506172839450617283945.0L);
    EXPECT_EQ(d.averagedCells, 4);
    EXPECT_EQ(d.averagedRows, 10);
}

// Without a within factor each subject has one cell: its rows averaged into
// its one score, its group from the between columns, a subject split across
// two groups refused as in a mixed design.
TEST(LongCsv, BetweenFactorsAlone) {
    const std::string text =
        "id,g,h,score\n"
        "s1,p,m,1\ns2,q,m,4\ns1,p,m,2\ns3,p,f,5\ns4,q,f,0.5\ns2,q,m,\ns3,p,f,6\ns3,p,f,10\n";
    const DesignData d = ReadLongCsv(text, Roles({}, {"g", "h"}));
    EXPECT_TRUE(d.within.empty());
    EXPECT_EQ(d.Cells(), 1u);
    ASSERT_EQ(d.Subjects(), 4u);
    EXPECT_EQ(d.subjects, (std::vector<std::string>{"s1", "s2", "s3", "s4"}));
    EXPECT_EQ(d.group, (std::vector<std::int32_t>{0, 2, 1, 3}));  // p-m, q-m, p-f, q-f: g then h
    EXPECT_EQ(Value(d, 0, 0), 1.5L);
    EXPECT_EQ(Value(d, 1, 0), 4);
    EXPECT_EQ(Value(d, 2, 0), 7);
    EXPECT_EQ(Value(d, 3, 0), 0.5L);
    EXPECT_EQ(d.averagedCells, 2);
    EXPECT_EQ(d.averagedRows, 5);
    EXPECT_EQ(d.rowsWithoutScore, 1);
    EXPECT_EQ(Refusal(text + "s1,q,m,3\n", Roles({}, {"g", "h"})).rfind("被験者 's1' の行", 0), 0u);
}

// A subject without a score in some within cell (no row, only empty scores)
// is removed from the whole design and named, in the order subjects appear;
// an empty score beside a number in the same cell removes nothing.
TEST(LongCsv, MissingScoresRemoveSubjectsListwise) {
    const std::string text =
        "id,g,A,score\n"
        "s1,p,x,1\ns1,p,y,2\n"
        "s2,p,x,3\n"             // no row for y
        "s3,c,x,4\ns3,c,y,\n"    // an empty score
        "s4,c,x,5\ns4,c,y,  \n"  // spaces alone
        "s5,c,x,6\ns5,c,y,\ns5,c,y,8\n"
        "s6,p,x,\ns6,p,y,\n"
        "s7,c,x,NA\ns7,c,y,9\n";  // R's missing value
    const DesignData d = ReadLongCsv(text, Roles({"A"}, {"g"}));
    EXPECT_EQ(d.subjects, (Names{"s1", "s5"}));
    EXPECT_EQ(d.removed, (Names{"s2", "s3", "s4", "s6", "s7"}));
    EXPECT_EQ(d.subjectsRead, 7);
    EXPECT_EQ(d.group, (std::vector<std::int32_t>{0, 1}));
    EXPECT_EQ(d.values, (std::vector<Extended>{1, 2, 6, 8}));
    EXPECT_EQ(d.rows, (std::vector<std::int32_t>{1, 1, 1, 1}));
    EXPECT_EQ(d.averagedCells, 0);

    // A group whose every subject was removed is refused, saying why.
    EXPECT_EQ(Refusal("id,g,A,score\ns1,p,x,1\ns1,p,y,2\ns2,c,x,3\ns2,c,y,\n", Roles({"A"}, {"g"})),
              "被験者間の組 'g' = 'c' に被験者がいません (どの被験者も得点が欠けているため除かれました)");
    EXPECT_EQ(Refusal("id,A,score\ns1,x,1\ns2,y,2\n", Roles({"A"})),
              "すべての被験者に得点の欠けたセルがあります (2 人)");

    // The units are at the analysed scores' scale: a removed subject's finer
    // decimals leave it; a power of ten 10^38 beyond the finest leaves the
    // 128-bit units for GMP integers.
    const DesignData finer = ReadLongCsv("id,A,score\ns1,x,1.5\ns1,y,-2\ns2,x,0.001\n", Roles({"A"}));
    ASSERT_TRUE(finer.exact);
    EXPECT_EQ(finer.scale, 1);
    EXPECT_TRUE(finer.units[0] == 15 && finer.units[1] == -20);
    const DesignData apart = ReadLongCsv("id,A,score\ns1,x,1e30\ns1,y,0.000000001\n", Roles({"A"}));
    EXPECT_TRUE(apart.exact);
    EXPECT_TRUE(apart.units.empty());
    EXPECT_EQ(apart.wideUnits, (std::vector<mpz_class>{mpz_class("1" + std::string(39, '0')), 1}));
    EXPECT_EQ(apart.values, (std::vector<Extended>{1e30L, 1e-9L}));
}

// Rows without a score are counted, whichever way the sums are formed (the
// common 128-bit tally, or a score too wide for it): the removed subjects'
// rows among them, and the analysed cells left below the most common count.
TEST(LongCsv, RowsWithoutAScoreAreCounted) {
    // Four trials a cell; s1 lost one in x and two in y, s3 every trial in y.
    const auto trials = [](const std::string& wide) {
        return "id,A,score\n"
               "s1,x,1\ns1,x,NA\ns1,x,3\ns1,x,4\ns1,y,\ns1,y,6\ns1,y,NA\ns1,y,8\n"
               "s2,x,1\ns2,x,2\ns2,x,3\ns2,x,4\ns2,y,5\ns2,y,6\ns2,y,7\ns2,y," +
               wide +
               "\n"
               "s3,x,1\ns3,x,2\ns3,x,3\ns3,x,4\ns3,y,NA\ns3,y,NA\ns3,y,NA\ns3,y,NA\n"
               "s4,x,1\ns4,x,2\ns4,x,3\ns4,x,4\ns4,y,5\ns4,y,6\ns4,y,7\ns4,y,8\n";
    };
    for (const std::string wide :
         {"8", "123456789012345678901234567890123456789", "0.000000000000000000000000000000000000001"}) {
        const DesignData d = ReadLongCsv(trials(wide), Roles({"A"}));
        EXPECT_EQ(d.subjects, (Names{"s1", "s2", "s4"})) << wide;
        EXPECT_EQ(d.removed, (Names{"s3"})) << wide;
        EXPECT_EQ(d.rows, (std::vector<std::int32_t>{3, 2, 4, 4, 4, 4})) << wide;
        EXPECT_EQ(d.rowsWithoutScore, 7) << wide;
        EXPECT_EQ(d.commonRowsPerCell, 4) << wide;
        EXPECT_EQ(d.cellsWithFewerRows, 2) << wide;
        EXPECT_EQ(Value(d, 0, 0), Extended(8) / 3) << wide;
    }
    // Equally common counts: the larger is taken, so one cell is below it.
    const DesignData tie = ReadLongCsv("id,A,score\ns1,x,1\ns1,x,2\ns1,y,3\ns1,y,NA\n", Roles({"A"}));
    EXPECT_EQ(tie.rowsWithoutScore, 1);
    EXPECT_EQ(tie.commonRowsPerCell, 2);
    EXPECT_EQ(tie.cellsWithFewerRows, 1);
    // Every row scored: nothing said.
    const DesignData full = ReadLongCsv("id,A,score\ns1,x,1\ns1,x,2\ns1,y,3\n", Roles({"A"}));
    EXPECT_EQ(full.rowsWithoutScore, 0);
    EXPECT_EQ(full.commonRowsPerCell, 0);
    EXPECT_EQ(full.cellsWithFewerRows, 0);
}

// Semicolons and the decimal comma, quoted fields, and code page 932 names
// (found or given), which come out as UTF-8.
TEST(LongCsv, DecimalCommaSemicolonsAndCodePage932) {
    const std::string utf8 =
        "被験者;条件;群;得点\n"
        "太郎;前;統制;\"1,5\"\n太郎;後;統制;2,25\n"
        "花子;前;実験;-0,5\n花子;後;実験;\" 3 \"\n"
        "\"次郎\";\"前\";実験;1e1\n次郎;後;実験;0,0\n";
    const LongCsvRoles roles = Roles({"条件"}, {"群"}, "被験者", "得点");
    for (const CsvEncoding encoding : {CsvEncoding::Detect, CsvEncoding::Cp932}) {
        LongCsvOptions options;
        options.encoding = encoding;
        options.decimalSeparator = ',';
        const DesignData d = ReadLongCsv(Cp932FromUtf8(utf8), roles, options);
        EXPECT_EQ(d.subjects, (Names{"太郎", "花子", "次郎"}));
        EXPECT_EQ(d.within[0].levels, (Names{"前", "後"}));
        EXPECT_EQ(d.between[0].name, "群");
        EXPECT_EQ(d.between[0].levels, (Names{"統制", "実験"}));
        EXPECT_EQ(d.values, (std::vector<Extended>{1.5L, 2.25L, -0.5L, 3, 10, 0}));
        EXPECT_EQ(d.scale, 2);
    }
    LongCsvOptions options;
    options.decimalSeparator = ',';
    EXPECT_EQ(ReadLongCsv(utf8, roles, options).subjects, (Names{"太郎", "花子", "次郎"}));
    // Code page 932 holds Roman numeral one under two codes: one name, one subject.
    options.encoding = CsvEncoding::Cp932;
    const DesignData twins =
        ReadLongCsv("id;A;score\n\x87\x54;x;1\n\x87\x54;\x87\x55;2\n\xFA\x4A;x;3\n\xFA\x4A;\xFA\x4B;4\n",
                    Roles({"A"}), options);
    EXPECT_EQ(twins.subjects, (Names{"Ⅰ"}));
    EXPECT_EQ(twins.within[0].levels, (Names{"x", "Ⅱ"}));
    EXPECT_EQ(twins.values, (std::vector<Extended>{2, 3}));
    EXPECT_EQ(twins.averagedRows, 4);
    // Bytes that are not valid in the encoding, in a name.
    options.encoding = CsvEncoding::Utf8;
    EXPECT_EQ(Refusal("id;A;score\ns\xFF;x;1\n", Roles({"A"}), options),
              "2 行 1 列: UTF-8 として正しくないバイトがあります");
    options.encoding = CsvEncoding::Cp932;
    EXPECT_EQ(Refusal("id;A;score\ns1;\x82;1\n", Roles({"A"}), options),
              "2 行 2 列: シフト JIS として正しくないバイトがあります");
}

// Every refusal, with its place in the CSV where it has one.
TEST(LongCsv, RefusalsSayWhatAndWhere) {
    const std::string csv = "id,g,A,B,score\ns1,p,x,u,1\ns1,p,y,u,2\ns2,q,x,u,3\ns2,q,y,u,4\n";
    const LongCsvRoles mixed = Roles({"A"}, {"g"});
    EXPECT_EQ(Refusal(csv, Roles({"A"}, {}, "id", "dv")), "1 行: 列 'dv' がありません");
    EXPECT_EQ(Refusal("id,A,A,score\n", Roles({"A"})), "1 行: 列 'A' が 2 つ以上あります");
    EXPECT_EQ(Refusal(csv, Roles({"A", "g"}, {"g"})), "列 'g' が 2 度指定されています");
    EXPECT_EQ(Refusal(csv, Roles({"A", "A"})), "列 'A' が 2 度指定されています");
    EXPECT_EQ(Refusal(csv, Roles({"A"}, {}, "id", "id")), "列 'id' が 2 度指定されています");
    EXPECT_EQ(Refusal(csv, Roles({}, {})), "被験者内要因の列も被験者間要因の列も指定されていません");
    EXPECT_EQ(Refusal(csv, Roles({"a", "b", "c", "d", "e"})), "被験者内要因は 4 つまでです");
    EXPECT_EQ(Refusal(csv, Roles({"A"}, {"a", "b", "c", "d"})), "被験者間要因は 3 つまでです");
    EXPECT_EQ(Refusal(csv, Roles({"A", "B"})), "要因 'B' の水準が 'u' の 1 つしかありません");
    EXPECT_EQ(Refusal(csv + "s1,q,x,v,5\n", mixed),
              "被験者 's1' の行が被験者間要因 'g' の 2 つの水準を示しています: 2 行は 'p'、6 行は 'q'");
    EXPECT_EQ(
        Refusal("id,g,h,A,score\ns1,p,m,x,1\ns1,p,m,y,1\ns2,q,f,x,1\ns2,q,f,y,1\n", Roles({"A"}, {"g", "h"})),
        "被験者間の組 'g' = 'p'、'h' = 'f' に被験者がいません");
    EXPECT_EQ(Refusal(csv + "s3,p,,u,5\n", mixed), "6 行 3 列: 水準名が空です");
    EXPECT_EQ(Refusal(csv + "s3,,x,u,5\n", mixed), "6 行 2 列: 水準名が空です");
    EXPECT_EQ(Refusal(csv + ",p,x,u,5\n", mixed), "6 行 1 列: 被験者の ID が空です");
    EXPECT_EQ(Refusal(csv + "\"s\n3\",p,x,u,5\n", mixed), "6 行 1 列: 被験者の ID に改行があります");
    EXPECT_EQ(Refusal(csv + "s3,p,x,u,N/A\n", mixed), "6 行 5 列: 'N/A' は浮動小数点数ではありません");
    EXPECT_EQ(Refusal(csv + "s3,p,x,u,1,5\n", mixed), "6 行: 値が 6 個あります (5 個のはずです)");
    EXPECT_EQ(Refusal(csv + "s3,p,x,u,\"1\"x\n", mixed),
              "6 行 5 列: 閉じた引用符の後に区切り文字でない文字があります");
    EXPECT_EQ(Refusal("", mixed), "CSV が空です");
    EXPECT_EQ(Refusal("id,g,A,B,score\n\n", mixed), "CSV に得点の行がありません");
    // A quoted score, and one after rows read the quick way, still say where they are.
    EXPECT_EQ(Refusal(csv + "s2,q,x,u,\"1\n2\"\n", mixed), "6 行 5 列: '1\n2' は浮動小数点数ではありません");
}

// Beyond the memory budget the read is refused with the memory message, never
// by exhausting the machine; within it the same CSV reads.
TEST(LongCsv, ArraysWithinTheMemoryBudget) {
    std::string text = "id,A,B,score\n";
    for (int s = 0; s < 200; ++s)
        for (int a = 0; a < 20; ++a)
            for (int b = 0; b < 20; ++b)
                text +=
                    "s" + std::to_string(s) + ",a" + std::to_string(a) + ",b" + std::to_string(b) + ",1.5\n";
    const std::uint64_t saved = MemoryBudget();
    SetMemoryBudget(64 * 1024);
    EXPECT_THROW(ReadLongCsv(text, Roles({"A", "B"})), OutOfMemoryError);
    SetMemoryBudget(saved);
    const DesignData d = ReadLongCsv(text, Roles({"A", "B"}));
    EXPECT_EQ(d.Subjects(), 200u);
    EXPECT_EQ(d.Cells(), 400u);
    EXPECT_EQ(d.values.size(), 80000u);
}

std::string ReadExample(const char* name) {
    std::ifstream in(std::string(MORVANE_EXAMPLES) + "/" + name, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The bundled examples: a mixed design with a subject removed, and trial rows.
TEST(LongCsv, BundledExamples) {
    const DesignData mixed =
        ReadLongCsv(ReadExample("mixed-design.csv"), Roles({"time"}, {"group"}, "subject", "score"));
    EXPECT_EQ(mixed.between[0].levels.size(), 2u);
    EXPECT_EQ(mixed.within[0].levels.size(), 3u);
    EXPECT_EQ(mixed.removed.size(), 1u);
    EXPECT_EQ(mixed.subjectsRead, static_cast<std::int64_t>(mixed.Subjects() + 1));
    EXPECT_TRUE(mixed.exact);
    const DesignData trials =
        ReadLongCsv(ReadExample("trials.csv"), Roles({"cue", "load"}, {}, "subject", "rt"));
    EXPECT_GT(trials.averagedCells, 0);
    EXPECT_EQ(trials.averagedCells, static_cast<std::int64_t>(trials.values.size()));
    EXPECT_TRUE(trials.removed.empty());
}

}  // namespace
}  // namespace morvane

namespace morvane {
namespace {

// Names of any length are read whole (levels that differ only far in stay
// apart) and shown cut: to 64 columns with "…", a character beyond ASCII two
// columns but a half-width katakana one, on a character boundary.
TEST(LongCsv, LongNamesReadWholeAndShownCut) {
    const std::string longA(30000, 'x'), wide = "\xE6\x9D\xA1\xE4\xBB\xB6";  // 条件, 4 columns
    std::string wideName, kana;
    for (int i = 0; i < 20; ++i) wideName += wide;       // 80 columns
    for (int i = 0; i < 64; ++i) kana += "\xEF\xBD\xB1";  // ｱ x 64: 64 columns
    std::string text = "id,cond,score\n";
    for (const std::string s : {"s1", "s2"})
        for (const std::string& level : {longA + "1", longA + "2", wideName})
            text += s + "," + level + ",1" + std::to_string(text.size() % 7) + "\n";
    const DesignData d = ReadLongCsv(text, Roles({"cond"}));
    ASSERT_EQ(d.within.size(), 1u);
    ASSERT_EQ(d.within[0].levels.size(), 3u);
    EXPECT_EQ(d.within[0].levels[1], longA + "2");
    EXPECT_EQ(ShownName(longA), std::string(64, 'x') + "\u2026");
    std::string cutWide;
    for (int i = 0; i < 16; ++i) cutWide += wide;
    EXPECT_EQ(ShownName(wideName), cutWide + "\u2026");
    EXPECT_EQ(ShownName(kana), kana);
    EXPECT_EQ(ShownName(kana + "x"), kana + "\u2026");
    EXPECT_EQ(ShownName(std::string(64, 'y')), std::string(64, 'y'));
}

}  // namespace
}  // namespace morvane
