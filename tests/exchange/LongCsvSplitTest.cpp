// The long CSV read on two threads: split at any byte, the design (or the
// refusal) that one thread reads, keys in the same order of first appearance.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "exchange/ExchangeMessages.h"
#include "exchange/LongCsv.h"
#include "exchange/detail/LongCsvRows.h"
#include "properties/LongCsvProperties.h"
#include "runtime/Cp932.h"

namespace morvane {
namespace {

using Names = std::vector<std::string>;

// What reading gives: a design, or the message of its refusal.
struct Outcome {
    std::optional<DesignData> design;
    std::string refusal;
};

Outcome Read(std::string_view text, const LongCsvRoles& roles, const LongCsvOptions& options,
             std::optional<std::size_t> splitAt) {
    try {
        return {csv::ReadLongCsvSplitAt(text, roles, options, splitAt), {}};
    } catch (const CsvError& error) {
        return {std::nullopt, Utf8FromCp932(error.message())};
    }
}

void ExpectSame(const Outcome& one, const Outcome& two) {
    ASSERT_EQ(one.design.has_value(), two.design.has_value()) << one.refusal << two.refusal;
    if (!one.design) {
        EXPECT_EQ(one.refusal, two.refusal);
        return;
    }
    const auto difference = properties::DesignDifference(*one.design, *two.design);
    EXPECT_FALSE(difference.has_value()) << *difference;
}

struct SplitCase {
    const char* what;
    std::string text;
    LongCsvRoles roles;
    LongCsvOptions options;
    std::string refusal;  // of one thread: "" when it reads
};

LongCsvOptions Options(CsvEncoding encoding = CsvEncoding::Detect, char decimal = '.') {
    LongCsvOptions options;
    options.encoding = encoding;
    options.decimalSeparator = decimal;
    return options;
}

std::vector<SplitCase> SplitCases() {
    const LongCsvRoles mixed{"id", "score", {"A", "B"}, {"g"}};
    const std::string keys =
        "id,g,A,B,score\n"
        "s1,p,a1,b1,1\ns1,p,a1,b2,2\ns1,p,a2,b1,3\ns1,p,a2,b2,4\n"
        "s2,q,a2,b2,5\ns2,q,a1,b1,NA\ns2,q,a1,b1,6.25\n"
        "s3,p,a1,b1,12345678901234567890123.5\ns3,p,a1,b2,7\n\n,,,,\n"
        "s2,q,a1,b2,8\ns2,q,a2,b1,9\ns4,q,a1,b3,1e2\ns1,p,a1,b3,-2\n"
        "s5,r,a2,b3,0.5\ns3,p,a2,b1,3\ns3,p,a2,b2,\ns5,r,a1,b1,1\ns5,r,a1,b2,2\ns5,r,a2,b1,3\n"
        "s5,r,a2,b2,4\ns5,r,a1,b3,5\n"
        "s1,p,a2,b3,98765432109876543210987\ns2,q,a1,b3,10\ns2,q,a2,b3,11\ns3,p,a1,b3,1\n";
    const std::string cp932 = Cp932FromUtf8("被験者;条件;得点\n") + "\x87\x54;x;1\n\x87\x54;\x87\x55;2\n" +
                              Cp932FromUtf8("花子;x;3\n花子;") + "\x87\x55;4\n" +
                              "\xFA\x4A;x;3\n\xFA\x4A;\xFA\x4B;5\n";
    const std::string bad = "id,g,A,score\ns1,p,x,1\ns1,p,y,2\ns2,q,x,3\ns2,q,y,4\ns3,q,x,5\ns3,q,y,6\n";
    return {
        {"quoted line ends in a column of no role, CR LF",
         "id,note,A,score\r\ns1,\"one\r\ntwo\",x,1\r\ns1,,y,2\r\ns2,\"a\nb\nc\",x,3\r\ns2,\"\"\"q\"\"\r\n\","
         "y,4\r\n"
         "s3,\"\r\n\r\n\",x,5\r\ns3,plain,y,6\r\n",
         {"id", "score", {"A"}, {}},
         {},
         ""},
        {"subjects and levels first seen in either half, trials, NA, long scores", keys, mixed, {}, ""},
        {"UTF-8 names split inside characters, a byte-order mark, the decimal comma",
         "\xEF\xBB\xBF被験者;群;条件;得点\n太郎;統制;前;1,5\n太郎;統制;後;2\n花子;実験;前;\"3,25\"\n"
         "花子;実験;後;4\n次郎;実験;前;-0,5\n次郎;実験;後;6\n太郎;統制;前;7,75\n",
         {"被験者", "得点", {"条件"}, {"群"}},
         Options(CsvEncoding::Detect, ','),
         ""},
        {"code page 932 twin codes of one name in both halves",
         cp932,
         {"被験者", "得点", {"条件"}, {}},
         {},
         ""},
        {"lines ended by CR alone",
         "id,A,score\rs1,x,1\rs1,y,2\rs2,x,3\rs2,y,4\r",
         {"id", "score", {"A"}, {}},
         {},
         ""},
        {"a subject's between level differs across the halves",
         bad + "s1,q,x,7\n",
         {"id", "score", {"A"}, {"g"}},
         {},
         "被験者 's1' の行が被験者間要因 'g' の 2 つの水準を示しています: 2 行は 'p'、8 行は 'q'"},
        {"a refusal late, another later",
         bad + "s4,q,x,N/A\ns4,q,,1\n",
         {"id", "score", {"A"}, {"g"}},
         {},
         "8 行 4 列: 'N/A' は浮動小数点数ではありません"},
        {"a row too wide late",
         bad + "s4,q,x,1,2\n",
         {"id", "score", {"A"}, {"g"}},
         {},
         "8 行: 値が 5 個あります (4 個のはずです)"},
        {"a quote left open at the end",
         bad + "s4,q,x,\"1\n",
         {"id", "score", {"A"}, {"g"}},
         {},
         "8 行 4 列: 引用符が閉じていません"},
        {"an empty id in the first half and a bad score in the second",
         "id,A,score\ns1,x,1\n,y,2\ns2,x,3\ns2,y,4\ns3,x,5\ns3,y,x\n",
         {"id", "score", {"A"}, {}},
         {},
         "3 行 1 列: 被験者の ID が空です"},
    };
}

// Every byte of every case as the start of the second half: the design or
// refusal of one thread, whether the split falls inside a quoted field, a
// CR LF, a multibyte character or a run of blank records.
TEST(LongCsvSplit, AtEveryByteReadsAsOneThread) {
    for (const SplitCase& c : SplitCases()) {
        SCOPED_TRACE(c.what);
        const Outcome one = Read(c.text, c.roles, c.options, std::nullopt);
        EXPECT_EQ(one.refusal, c.refusal);
        for (std::size_t at = 0; at <= c.text.size(); ++at) {
            SCOPED_TRACE(at);
            ExpectSame(one, Read(c.text, c.roles, c.options, at));
        }
    }
    // The keys in the order of their first appearance over both halves.
    const Outcome keys = Read(SplitCases()[1].text, SplitCases()[1].roles, {}, 60);
    ASSERT_TRUE(keys.design);
    EXPECT_EQ(keys.design->subjects, (Names{"s1", "s2", "s5"}));
    EXPECT_EQ(keys.design->removed, (Names{"s3", "s4"}));
    EXPECT_EQ(keys.design->within[1].levels, (Names{"b1", "b2", "b3"}));
    EXPECT_EQ(keys.design->between[0].levels, (Names{"p", "q", "r"}));
}

// A CSV of a MiB or more, as experiment software writes it and shuffled, with
// a quoted note of line ends about its middle: ReadLongCsv splits it (on a
// machine of two processors) and reads what one thread reads.
TEST(LongCsvSplit, LongTextsReadAsOneThread) {
    std::vector<std::string> rows;
    for (int s = 0; s < 2000; ++s)
        for (int a = 1; a <= 4; ++a)
            for (int b = 1; b <= 5; ++b)
                rows.push_back("subject" + std::to_string(s) + ",g" + std::to_string(s % 3) + ",a" +
                               std::to_string(a) + ",b" + std::to_string(b) + ",," +
                               std::to_string((s * 7 + a * 13 + b) % 1000) + "." + std::to_string(s % 10) +
                               "\r\n");
    const LongCsvRoles roles{"id", "score", {"A", "B"}, {"group"}};
    std::mt19937 random(11);
    for (bool shuffled : {false, true}) {
        if (shuffled) std::shuffle(rows.begin(), rows.end(), random);
        std::string text = "id,group,A,B,note,score\r\n";
        for (std::size_t r = 0; r < rows.size(); ++r) {
            if (r == rows.size() / 2) text += "subject1,g1,a1,b1,\"" + std::string(40, '\n') + "\",1\r\n";
            text += rows[r];
        }
        ASSERT_GT(text.size(), std::size_t{1} << 20);
        const auto chosen = csv::ChosenSplit(text);
        if (std::thread::hardware_concurrency() >= 2) {
            EXPECT_TRUE(chosen.has_value());
        }
        const DesignData two = ReadLongCsv(text, roles);
        const Outcome one = Read(text, roles, {}, std::nullopt);
        ExpectSame(one, {two, {}});
        EXPECT_EQ(two.Subjects(), 2000u);
        EXPECT_EQ(two.averagedCells, 1);
    }
}

}  // namespace
}  // namespace morvane
