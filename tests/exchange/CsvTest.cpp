// The CSV reader and writer on their own: records, quotes, line ends, line
// numbers, separators and the check of UTF-8.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>

#include "exchange/Csv.h"
#include "exchange/ExchangeMessages.h"
#include "runtime/Cp932.h"

namespace morvane {
namespace {

struct Record {
    std::vector<std::string> fields;
    std::vector<std::int64_t> lines;
    bool operator==(const Record&) const = default;
};

void PrintTo(const Record& record, std::ostream* out) {
    for (std::size_t i = 0; i < record.fields.size(); ++i)
        *out << (i > 0 ? " | " : "") << ::testing::PrintToString(record.fields[i])
             << (i < record.lines.size() ? "@" + std::to_string(record.lines[i]) : "");
}

std::vector<Record> ReadAll(std::string text, char separator = ',') {
    csv::Reader reader(text, separator);
    std::vector<Record> records;
    while (reader.Next()) {
        Record record;
        for (std::size_t i = 0; i < reader.Size(); ++i) {
            record.fields.emplace_back(reader.Field(i));
            record.lines.push_back(reader.FieldLine(i));
        }
        EXPECT_EQ(reader.Line(), record.lines[0]);
        EXPECT_EQ(reader.Blank(), std::all_of(record.fields.begin(), record.fields.end(),
                                              [](const std::string& f) { return f.empty(); }));
        records.push_back(record);
    }
    EXPECT_FALSE(reader.Next());  // and stays at the end
    return records;
}

std::string ErrorOf(std::string text, char separator = ',') {
    try {
        ReadAll(std::move(text), separator);
    } catch (const CsvError& error) {
        return Utf8FromCp932(error.message());
    }
    return "";
}

TEST(CsvReader, RecordsFieldsAndTheLinesTheyStartOn) {
    struct Case {
        const char* name;
        std::string text;
        char separator;
        std::vector<Record> records;
    };
    const Case cases[] = {
        {"empty text", "", ',', {}},
        {"one empty line", "\r\n", ',', {{{""}, {1}}}},
        {"no final line end", "a,b\r\nc,d", ',', {{{"a", "b"}, {1, 1}}, {{"c", "d"}, {2, 2}}}},
        {"LF, CR LF and a lone CR",
         "a\nb\r\nc\rd",
         ',',
         {{{"a"}, {1}}, {{"b"}, {2}}, {{"c"}, {3}}, {{"d"}, {4}}}},
        {"empty fields and a separator at the end",
         ",a,,\n,",
         ',',
         {{{"", "a", "", ""}, {1, 1, 1, 1}}, {{"", ""}, {2, 2}}}},
        {"quoted separators, quotes and line ends",
         "\"a,b\",\"say \"\"hi\"\"\",\"x\r\ny\"\r\nz,\"\"\r\n",
         ',',
         {{{"a,b", "say \"hi\"", "x\r\ny"}, {1, 1, 1}}, {{"z", ""}, {3, 3}}}},
        {"a quoted LF and a quoted lone CR count as lines",
         "\"1\n2\r3\",x\nnext",
         ',',
         {{{"1\n2\r3", "x"}, {1, 3}}, {{"next"}, {4}}}},
        {"a quote inside an unquoted field is a byte", "ab\"c,d\"", ',', {{{"ab\"c", "d\""}, {1, 1}}}},
        {"semicolons, commas are bytes", "a;b,c;\"d;e\"", ';', {{{"a", "b,c", "d;e"}, {1, 1, 1}}}},
        {"tabs", "a\tb\t\t\n", '\t', {{{"a", "b", "", ""}, {1, 1, 1, 1}}}},
        {"blank lines are records of one empty field",
         "a\n\n\nb\n\n",
         ',',
         {{{"a"}, {1}}, {{""}, {2}}, {{""}, {3}}, {{"b"}, {4}}, {{""}, {5}}}},
        {"code page 932 trail bytes are never separators",
         "\x82\xa0\x5c,\x83\x7c",
         ',',
         {{{"\x82\xa0\x5c", "\x83\x7c"}, {1, 1}}}},
    };
    for (const Case& c : cases) EXPECT_EQ(ReadAll(c.text, c.separator), c.records) << c.name;
}

TEST(CsvReader, RefusesQuotesThatDoNotCloseOrAreFollowedByText) {
    EXPECT_EQ(ErrorOf("a,b\nc,\"d\ne"), "2 行 2 列: 引用符が閉じていません");
    EXPECT_EQ(ErrorOf("\""), "1 行 1 列: 引用符が閉じていません");
    EXPECT_EQ(ErrorOf("x\n\"a\nb\" c,d"), "3 行 1 列: 閉じた引用符の後に区切り文字でない文字があります");
    EXPECT_EQ(ErrorOf("a;\"b\",c", ';'), "1 行 2 列: 閉じた引用符の後に区切り文字でない文字があります");
    EXPECT_EQ(ErrorOf("\"a\";\"b\"\r\n", ';'), "");
}

TEST(CsvWriter, QuotesWhatNeedsItAndReadsBackEveryField) {
    const std::pair<std::string, std::string> fields[] = {
        {"plain", "plain"},       {"", ""},
        {" spaced ", " spaced "}, {"a,b", "\"a,b\""},
        {"q\"q", "\"q\"\"q\""},   {"cr\r", "\"cr\r\""},
        {"lf\n", "\"lf\n\""},     {"semi;colon", "\"semi;colon\""},
        {"t\tab", "\"t\tab\""},
    };
    for (const auto& [field, written] : fields) {
        std::string out;
        csv::AppendField(out, field);
        EXPECT_EQ(out, written);
    }

    // Random records of troublesome bytes, written and read back.
    std::mt19937_64 engine(20261208);
    const std::string alphabet = std::string("ab ,;\"\r\n\t\x82\xa0", 12);
    for (int round = 0; round < 300; ++round) {
        const char separator = ",;\t"[round % 3];
        std::vector<Record> expected;
        std::string text;
        const auto records = 1 + engine() % 5;
        for (std::size_t r = 0; r < records; ++r) {
            Record record;
            const auto count = 1 + engine() % 6;
            for (std::size_t f = 0; f < count; ++f) {
                std::string field;
                for (auto n = engine() % 7; n > 0; --n) field.push_back(alphabet[engine() % alphabet.size()]);
                if (f > 0) text.push_back(separator);
                csv::AppendField(text, field);
                record.fields.push_back(field);
            }
            // A last record of one empty field exists only with its line end.
            const bool lone = record.fields.size() == 1 && record.fields[0].empty();
            text.append(r + 1 < records || lone || engine() % 2 == 0 ? "\r\n" : "");
            expected.push_back(record);
        }
        std::vector<Record> read = ReadAll(text, separator);
        for (Record& record : read) record.lines.clear();
        ASSERT_EQ(read, expected) << "round " << round;
    }
}

TEST(CsvText, SeparatorsListsAndUtf8) {
    EXPECT_EQ(csv::DetectSeparator("subject;A;B;score\r\n1,5;a;b;2,5"), ';');
    EXPECT_EQ(csv::DetectSeparator("subject\tA\tB\tscore\n"), '\t');
    EXPECT_EQ(csv::DetectSeparator("\"a;b;c\",x\n;;;;"), ',');  // quoted and later lines do not count
    EXPECT_EQ(csv::DetectSeparator("a;b,c\n"), ',');            // the comma first among equals
    EXPECT_EQ(csv::DetectSeparator("single"), ',');
    EXPECT_EQ(csv::DetectSeparator("a\tb;c\n"), ';');

    EXPECT_EQ(csv::SplitRecord("pre,post"), (std::vector<std::string>{"pre", "post"}));
    EXPECT_EQ(csv::SplitRecord("\"a,b\",,\" \""), (std::vector<std::string>{"a,b", "", " "}));
    EXPECT_EQ(csv::SplitRecord(""), (std::vector<std::string>{""}));
    EXPECT_THROW(csv::SplitRecord("a\nb"), CsvError);

    const std::pair<std::string, bool> texts[] = {
        {"", true},
        {"plain ascii text, longer than eight bytes", true},
        {"日本語と ASCII", true},
        {"\xf0\x9f\x98\x80", true},   // U+1F600
        {"\xf4\x8f\xbf\xbf", true},   // U+10FFFF
        {"\xf4\x90\x80\x80", false},  // beyond U+10FFFF
        {"\xed\xa0\x80", false},      // a surrogate
        {"\xc0\xaf", false},          // an overlong slash
        {"\xe0\x80\xaf", false},      // overlong again
        {"\x82\xa0", false},          // code page 932
        {"abcdefgh\xe3\x81", false},  // cut short
        {"\x80", false},              // a lone continuation byte
        {"\xef\xbb\xbfx", true},      // a byte-order mark is a character
    };
    for (const auto& [text, valid] : texts) EXPECT_EQ(csv::IsValidUtf8(text), valid) << text;
}

// NextIf against Next on random texts: a record it takes is the one Next reads,
// with the same fields and lines, and after it either way the two readers go on
// alike; plain records of known fields, as export writes them, it does take.
TEST(CsvReader, PlainRecordsReadAgainstAPatternAreTheRecordsNextReads) {
    const auto fieldsOf = [](const csv::Reader& reader) {
        Record record;
        for (std::size_t i = 0; i < reader.Size(); ++i) {
            record.fields.emplace_back(reader.Field(i));
            record.lines.push_back(reader.FieldLine(i));
        }
        record.lines.push_back(reader.Line());
        return record;
    };

    std::mt19937_64 engine(4);
    const std::string alphabet[] = {"a", "b", "ab", ",", ";", "\"", "\r", "\n", "\r\n", " ", ""};
    int taken = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        for (int k = static_cast<int>(engine() % 40); k > 0; --k)
            text += alphabet[engine() % std::size(alphabet)];
        const char separator = round % 3 == 0 ? ';' : ',';
        csv::Reader plain(text, separator), next(text, separator);
        try {
            for (int record = 0; record < 20; ++record) {
                // A pattern from what Next will read, now and then of another width or with a field changed.
                csv::Reader ahead = next;
                if (!ahead.Next()) {
                    EXPECT_FALSE(plain.NextIf(std::vector<std::optional<std::string_view>>(1)));
                    EXPECT_FALSE(plain.Next());
                    break;
                }
                std::vector<std::string> own;
                for (std::size_t i = 0; i < ahead.Size(); ++i) own.emplace_back(ahead.Field(i));
                std::vector<std::optional<std::string_view>> pattern;
                for (std::size_t i = 0; i < own.size(); ++i)
                    pattern.emplace_back(engine() % 3 == 0 ? std::nullopt
                                                           : std::optional<std::string_view>(own[i]));
                const int twist = static_cast<int>(engine() % 8);
                if (twist == 0) pattern.emplace_back(std::nullopt);
                if (twist == 1 && pattern.size() > 1) pattern.pop_back();
                if (twist == 2) pattern[0] = "zz";
                const bool wider = twist == 0, narrower = twist == 1 && own.size() > 1, changed = twist == 2;
                ASSERT_TRUE(next.Next());
                if (plain.NextIf(pattern)) {
                    ++taken;
                    EXPECT_FALSE(wider || narrower || changed) << testing::PrintToString(text);
                    EXPECT_EQ(fieldsOf(plain), fieldsOf(next)) << testing::PrintToString(text);
                } else {
                    ASSERT_TRUE(plain.Next());
                    EXPECT_EQ(fieldsOf(plain), fieldsOf(next)) << testing::PrintToString(text);
                }
            }
        } catch (const CsvError&) {
            // Next refused a quote; NextIf never reads past one.
        }
    }
    EXPECT_GT(taken, 1000);

    // Export's rows are taken; anything that is not plain is left to Next.
    const std::string rows = "1,a,b,4.5\r\n1,a,c,5\n1,\"a\",b,6\n1,a\r2\n1,a,b,7,8\n,,\n1,a,b,9";
    csv::Reader reader(rows, ',');
    const std::optional<std::string_view> any;
    using Pattern = std::vector<std::optional<std::string_view>>;
    ASSERT_TRUE(reader.NextIf(Pattern{"1", "a", "b", any}));
    EXPECT_EQ(reader.Field(3), "4.5");
    EXPECT_FALSE(reader.NextIf(Pattern{"1", "a", "b", any}));  // c is not b
    ASSERT_TRUE(reader.NextIf(Pattern{"1", any, "c", any}));
    EXPECT_EQ(reader.Line(), 2);
    EXPECT_FALSE(reader.NextIf(Pattern{"1", "a", "b", any}));  // quoted
    ASSERT_TRUE(reader.Next());
    EXPECT_FALSE(reader.NextIf(Pattern{"1", "a"}));  // a CR alone ends the line
    ASSERT_TRUE(reader.Next());
    EXPECT_FALSE(reader.NextIf(Pattern{"2", any, any, any}));  // "2" ends at the LF, but it is one field
    ASSERT_TRUE(reader.Next());
    EXPECT_FALSE(reader.NextIf(Pattern{"1", "a", "b", any}));  // five fields
    ASSERT_TRUE(reader.Next());
    EXPECT_FALSE(reader.NextIf(Pattern{any, any, any}));  // blank
    ASSERT_TRUE(reader.Next());
    ASSERT_TRUE(reader.NextIf(Pattern{"1", "a", "b", any}));  // ended by the end of the text
    EXPECT_EQ(reader.Field(3), "9");
    EXPECT_EQ(reader.Line(), 8);
    EXPECT_FALSE(reader.NextIf(Pattern{any}));
    EXPECT_FALSE(reader.Next());

    // A known text with a separator in it, as a quoted field gives one, is not
    // two unquoted fields.
    const std::string quoted = "\"a,b\",x\na,b,x\n";
    csv::Reader twice(quoted, ',');
    ASSERT_TRUE(twice.Next());
    const std::string first(twice.Field(0));
    EXPECT_FALSE(twice.NextIf(Pattern{first, any}));
    EXPECT_FALSE(twice.NextIf(Pattern{first, "x"}));
    ASSERT_TRUE(twice.NextIf(Pattern{"a", "b", any}));
    EXPECT_EQ(twice.Field(2), "x");
}

TEST(CsvReader, CountsTheLineEndsLeft) {
    std::mt19937_64 engine(9);
    for (int round = 0; round < 200; ++round) {
        // Up to past two blocks of 255 words, and as dense as all LFs.
        const std::size_t size = engine() % 5000;
        const unsigned density = round % 4 == 0 ? 1 : static_cast<unsigned>(engine() % 10 + 1);
        std::string text;
        for (std::size_t i = 0; i < size; ++i) text += engine() % density == 0 ? '\n' : "x,\r"[engine() % 3];
        if (round % 5 == 0) text += "\n\n,\r\n";  // ends that come to no record
        csv::Reader reader(text, ',');
        const auto count = [&](std::size_t from, std::size_t to) {
            return static_cast<std::size_t>(std::count(text.begin() + static_cast<std::ptrdiff_t>(from),
                                                       text.begin() + static_cast<std::ptrdiff_t>(to), '\n'));
        };
        EXPECT_EQ(reader.LineFeedsLeft(), count(0, text.size())) << size;
        std::size_t end = text.size();
        while (end > 0 && (text[end - 1] == '\r' || text[end - 1] == '\n' || text[end - 1] == ',')) --end;
        EXPECT_EQ(reader.RecordsLeftAtMost(), end == 0 ? 0 : 1 + count(0, end)) << size;
    }
}

TEST(Cp932, ExactConversionsRefuseWhatTheOtherEncodingCannotHold) {
    EXPECT_EQ(Cp932FromUtf8Exact("あ,x"), std::optional<std::string>("\x82\xa0,x"));
    EXPECT_EQ(Cp932FromUtf8Exact("plain"), std::optional<std::string>("plain"));
    EXPECT_EQ(Cp932FromUtf8Exact("a\xf0\x9f\x98\x80"), std::nullopt);  // no emoji in code page 932
    EXPECT_EQ(Cp932FromUtf8Exact("\xe3\x81"), std::nullopt);           // invalid UTF-8
    EXPECT_EQ(Utf8FromCp932Exact("\x82\xa0\x5c"), std::optional<std::string>("あ\\"));
    EXPECT_EQ(Utf8FromCp932Exact("\x82"), std::nullopt);  // a lead byte alone
    EXPECT_EQ(Utf8FromCp932Exact("a\xff"), std::nullopt);
    // The lossy conversions are unchanged.
    EXPECT_EQ(Cp932FromUtf8("a\xf0\x9f\x98\x80"), "a?");
    EXPECT_EQ(Utf8FromCp932("a\xff"), "a\xef\xbf\xbd");
}

}  // namespace
}  // namespace morvane
