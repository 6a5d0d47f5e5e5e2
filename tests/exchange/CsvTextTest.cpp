// What every CSV reader shares: the one decoding of the bytes (byte-order
// mark, UTF-8 or code page 932, the separator) and the index of a column's
// keys in the order of their first appearance.

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "exchange/ExchangeMessages.h"
#include "exchange/LongCsv.h"
#include "exchange/RoleGuess.h"
#include "exchange/StudyCsv.h"
#include "exchange/detail/CsvText.h"
#include "exchange/detail/KeyIndex.h"
#include "runtime/Cp932.h"

namespace morvane {
namespace {

using Names = std::vector<std::string>;

struct DecodeCase {
    const char* what;
    std::string bytes;
    CsvEncoding given;
    char separator;
    std::size_t skipped;  // bytes of the mark left out
    CsvEncoding encoding;
    char found;
};

// The byte-order mark says UTF-8 unless code page 932 is forced; left to
// detect, anything that is not valid UTF-8 (a lone lead byte, a surrogate,
// an overlong form) is code page 932; the separator is the given one or the
// first line's most frequent outside quotes.
TEST(CsvDecoding, OneDecodingForEveryReader) {
    const std::string mark = "\xEF\xBB\xBF", sjis = Cp932FromUtf8("被験者;得点\n");
    const std::vector<DecodeCase> cases = {
        {"mark, detected", mark + "a,b\n", CsvEncoding::Detect, 0, 3, CsvEncoding::Utf8, ','},
        {"mark before bytes not UTF-8", mark + sjis, CsvEncoding::Detect, 0, 3, CsvEncoding::Utf8, ';'},
        {"mark, code page 932 forced", mark + sjis, CsvEncoding::Cp932, 0, 0, CsvEncoding::Cp932, ';'},
        {"mark, UTF-8 forced", mark + "a\tb\n", CsvEncoding::Utf8, 0, 3, CsvEncoding::Utf8, '\t'},
        {"UTF-8 without a mark", "被験者,得点\n", CsvEncoding::Detect, 0, 0, CsvEncoding::Utf8, ','},
        {"code page 932", sjis, CsvEncoding::Detect, 0, 0, CsvEncoding::Cp932, ';'},
        {"a surrogate", "a;\xED\xA0\x80\n", CsvEncoding::Detect, 0, 0, CsvEncoding::Cp932, ';'},
        {"an overlong form", "a,\xC0\xAF\n", CsvEncoding::Detect, 0, 0, CsvEncoding::Cp932, ','},
        {"UTF-8 forced on bytes that are not", sjis, CsvEncoding::Utf8, ',', 0, CsvEncoding::Utf8, ','},
        {"separators in quotes", "\"a;b;c\",d,e\n", CsvEncoding::Detect, 0, 0, CsvEncoding::Utf8, ','},
    };
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.what);
        const csv::CsvText text = csv::DecodeCsv(c.bytes, c.given, c.separator);
        EXPECT_EQ(text.text.data(), c.bytes.data() + c.skipped);
        EXPECT_EQ(text.encoding, c.encoding);
        EXPECT_EQ(text.separator, c.found);
    }
}

// The guess and the readers decode alike, so that what the guess offers
// reads: a mark before code page 932 bytes is UTF-8 to all of them (the bad
// bytes named by their place), and with code page 932 forced the mark's bytes
// are the first header name's for all of them.
TEST(CsvDecoding, TheGuessAndTheReadersDecodeAlike) {
    const std::string mark = "\xEF\xBB\xBF";
    const std::string rows = Cp932FromUtf8("id,A,score\ns1,前,1\ns1,後,2\ns2,前,3\ns2,後,4\n");
    const RoleGuess marked = GuessRoles(mark + rows);
    EXPECT_EQ(marked.options.encoding, CsvEncoding::Utf8);
    try {
        ReadLongCsv(mark + rows, marked.roles, marked.options);
        ADD_FAILURE() << "code page 932 bytes read as UTF-8";
    } catch (const CsvError& error) {
        EXPECT_EQ(Utf8FromCp932(error.message()), "2 行 2 列: UTF-8 として正しくないバイトがあります");
    }
    StudyStore store;
    try {
        ReadStudyCsv(mark + Cp932FromUtf8("subject,A,B,score\n1,前,x,1\n"), CsvImportOptions{}, store);
        ADD_FAILURE() << "code page 932 bytes imported as UTF-8";
    } catch (const CsvError& error) {
        EXPECT_EQ(Utf8FromCp932(error.message()), "2 行 2 列: UTF-8 として正しくないバイトがあります");
    }

    LongCsvOptions forced;
    forced.encoding = CsvEncoding::Cp932;
    const RoleGuess guess = GuessRoles(mark + rows, forced);
    EXPECT_EQ(guess.options.encoding, CsvEncoding::Cp932);
    EXPECT_EQ(guess.header[0], Utf8FromCp932(mark + "id"));
    EXPECT_EQ(guess.roles.id, guess.header[0]);
    const DesignData design = ReadLongCsv(mark + rows, guess.roles, guess.options);
    EXPECT_EQ(design.subjects, (Names{"s1", "s2"}));
    EXPECT_EQ(design.within[0].levels, (Names{"前", "後"}));
}

// Keys of every length from none to 24 bytes, NUL bytes, texts alike in
// their first eight bytes or differing in length alone, found in runs (as
// sorted rows give them) and at random: each index is the one of its first
// appearance, as a map of the texts gives it; another spelling of a key
// finds its index.
TEST(KeyIndex, FindsKeysInTheOrderTheyCame) {
    std::vector<std::string> texts = {"",
                                      std::string(1, '\0'),
                                      std::string(2, '\0'),
                                      "a",
                                      "ab",
                                      "ab" + std::string(1, '\0'),
                                      "abcdefgh",
                                      "abcdefghi",
                                      "abcdefghj",
                                      "abcdefgh" + std::string(16, 'x'),
                                      "abcdefgh" + std::string(15, 'x') + "y"};
    std::mt19937 random(5);
    for (int i = 0; i < 3000; ++i) {
        std::string key(random() % 25, 'k');
        for (char& c : key) c = "0ab\x80\xFF"[random() % 5];
        texts.push_back(key);
    }
    csv::KeyIndex<std::string_view> index;
    std::map<std::string, std::int64_t> reference;
    const auto find = [&](const std::string& key) {
        std::int64_t found = index.Find(key);
        if (found < 0) found = index.Add(key);
        const auto [known, added] = reference.emplace(key, static_cast<std::int64_t>(reference.size()));
        ASSERT_EQ(found, known->second) << key;
        ASSERT_EQ(index.Look(key), known->second);
        ASSERT_EQ(index[static_cast<std::size_t>(found)], known->first);
    };
    for (int pass = 0; pass < 3; ++pass)
        for (const std::string& key : texts) find(key);  // runs through the keys in order
    for (int i = 0; i < 20000; ++i) find(texts[random() % texts.size()]);
    EXPECT_EQ(index.Size(), reference.size());
    const std::string twin = "another spelling";
    index.Alias(twin, 3);
    EXPECT_EQ(index.Find(twin), 3);
    EXPECT_EQ(index.Size(), reference.size());

    // Combinations of within levels: 32 bits a factor, the high ones too.
    csv::KeyIndex<UInt128> combinations;
    std::map<UInt128, std::int64_t> known;
    for (std::uint32_t k = 0; k < 500; ++k) {
        const UInt128 key = static_cast<UInt128>(k % 7) << 96 | static_cast<UInt128>(k % 5) << 64 | k % 3;
        std::int64_t found = combinations.Find(key);
        if (found < 0) found = combinations.Add(key);
        EXPECT_EQ(found, known.emplace(key, static_cast<std::int64_t>(known.size())).first->second) << k;
    }
    EXPECT_EQ(combinations.Size(), 105u);
}

}  // namespace
}  // namespace morvane
