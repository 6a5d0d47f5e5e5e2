// Where a long CSV's header is, as the roles dialog and the tool find it: R's
// write.csv with its row names, titles above the header with separators in
// them, and files whose header is on line 1 whatever their first rows hold;
// the header named by its line; and the tool's call that reads a file as the
// dialog did.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exchange/ExchangeMessages.h"
#include "exchange/HeaderRow.h"
#include "exchange/RoleGuess.h"
#include "runtime/Cp932.h"

namespace morvane {
namespace {

using Names = std::vector<std::string>;

// Four subjects by two cues, as R's write.csv(d) writes them: the row names
// first, under an empty name, every text quoted.
std::string RWriteCsv() {
    std::string out = "\"\",\"subject\",\"cue\",\"rt\"\n";
    int row = 0;
    for (int s = 1; s <= 4; ++s)
        for (const char* cue : {"valid", "invalid"})
            out += "\"" + std::to_string(++row) + "\",\"s" + std::to_string(s) + "\",\"" + cue + "\"," +
                   std::to_string(400 + 10 * s + (cue[0] == 'v' ? 0 : 35)) + "\n";
    return out;
}

// The same study with a group column and no row names under `title` lines.
std::string Titled(const std::string& title) {
    std::string out = title + "subject,group,cue,soa,rt\n";
    for (int s = 1; s <= 4; ++s)
        for (const char* cue : {"valid", "invalid"})
            for (const char* soa : {"100", "400"})
                out += "s" + std::to_string(s) + "," + (s <= 2 ? "young" : "old") + "," + cue + "," + soa +
                       "," + std::to_string(400 + 10 * s + (cue[0] == 'v' ? 0 : 35) + (soa[0] == '1' ? 7 : 0)) +
                       "\n";
    return out;
}

TEST(HeaderRow, FoundPastTitlesAndOnLineOneOtherwise) {
    struct Case {
        const char* what;
        std::string csv;
        std::size_t before;
        std::int64_t line;
    };
    const std::string posner = "Experiment 2: Posner cueing, reaction times (ms), collected 2024-05\n";
    const std::vector<Case> cases = {
        {"R's write.csv, row names under an empty name", RWriteCsv(), 0, 1},
        {"a title with two commas over five columns", Titled(posner), 1, 2},
        {"a title, a blank line and a quoted note", Titled(posner + "\n\"lab B, May\"\n"), 2, 4},
        {"the header on line 1", Titled(""), 0, 1},
        {"a first row of text and NA that looks like a header",
         "subject,cue,rt\ns1,valid,NA\ns1,invalid,455\ns2,valid,420\ns2,invalid,NA\n", 0, 1},
        {"a word among the scores of the first row", "id,cond,score\n1,a,x5\n1,b,4\n2,a,5\n2,b,6\n", 0, 1},
        {"one record", "subject,cue,rt\n", 0, 1},
        {"a quote left open", "subject,cue,rt\n\"s1,a,4\n", 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const HeaderRow found = FindHeaderRow(c.csv, {});
        EXPECT_EQ(found.recordsBefore, c.before);
        EXPECT_EQ(found.line, c.line);
    }
    // A title of three fields over a header of three: the header's names over numbers decide.
    const std::string three = "Posner, cueing, 2024\nsubject,cue,rt\ns1,valid,410\ns1,invalid,445\n"
                              "s2,valid,420\ns2,invalid,455\n";
    EXPECT_EQ(FindHeaderRow(three, {}).line, 2);
    // A semicolon file whose title has none: the separator given, the title skipped.
    LongCsvOptions semicolons;
    semicolons.separator = ';';
    const std::string study4 = "Study 4\nsubject;cue;rt\ns1;a;1,5\ns1;b;2,5\ns2;a;3\ns2;b;4,5\n";
    EXPECT_EQ(FindHeaderRow(study4, semicolons).line, 2);
    // Read with commas, its rows of two fields over a header of one: no header but the first line.
    LongCsvOptions commas;
    commas.separator = ',';
    EXPECT_EQ(FindHeaderRow(study4.substr(8), commas).line, 1);
}

TEST(HeaderRow, TheGuessAndTheReadingTakeTheSameRows) {
    // R's row names: shown among the columns, in no role; the subject and the score found beside them.
    const RoleGuess r = GuessRoles(RWriteCsv());
    EXPECT_EQ(r.header, (Names{"", "subject", "cue", "rt"}));
    EXPECT_EQ(r.roles.id, "subject");
    EXPECT_EQ(r.roles.dv, "rt");
    EXPECT_EQ(r.roles.within, Names{"cue"});
    EXPECT_EQ(r.unassigned, Names{""});
    const DesignData rows = ReadLongCsv(RWriteCsv(), r.roles, r.options);
    EXPECT_EQ(rows.Subjects(), 4u);
    EXPECT_EQ(rows.values.size(), 8u);

    // The two-comma title: every column of the real header, no row lost.
    const std::string titled =
        Titled("Experiment 2: Posner cueing, reaction times (ms), collected 2024-05\n");
    const RoleGuess t = GuessRoles(titled);
    EXPECT_EQ(t.headerLine, 2);
    EXPECT_EQ(t.header, (Names{"subject", "group", "cue", "soa", "rt"}));
    EXPECT_EQ(t.rows.size(), 16u);
    EXPECT_EQ(t.rows[0][0], "s1");
    EXPECT_EQ(t.roles.within, (Names{"cue", "soa"}));
    EXPECT_EQ(t.roles.between, Names{"group"});
    const DesignData design = ReadLongCsv(titled, t.roles, t.options);
    EXPECT_EQ(design.Subjects(), 4u);
    EXPECT_EQ(design.Cells(), 4u);

    // The header named by its line: the title read as the header, then back.
    const RoleGuess first = GuessRoles(titled, {}, 20, 1);
    EXPECT_EQ(first.headerLine, 1);
    EXPECT_EQ(first.header.size(), 3u);
    EXPECT_EQ(GuessRoles(titled, {}, 20, 2).header, t.header);
    // A line that holds no header: blank, past the end, or inside a quoted field.
    const std::string noted = "Title\n\n\"a note,\nover two lines\"\n" + Titled("");
    EXPECT_EQ(HeaderRowAtLine(noted, {}, 5).recordsBefore, 2u);
    EXPECT_EQ(FindHeaderRow(noted, {}).line, 5);
    for (std::int64_t line : {2, 4, 400}) {
        SCOPED_TRACE(line);
        try {
            HeaderRowAtLine(noted, {}, line);
            ADD_FAILURE() << "no refusal";
        } catch (const CsvError& error) {
            EXPECT_TRUE(Utf8FromCp932(error.message()).starts_with(std::to_string(line) + " 行: "))
                << Utf8FromCp932(error.message());
        }
    }
    EXPECT_EQ(HeaderRowOf(noted, {}).line, 1);
    LongCsvOptions two;
    two.recordsBeforeHeader = 2;
    EXPECT_EQ(HeaderRowOf(noted, two).line, 5);
}

TEST(HeaderRow, TheCommandReadsTheFileAsTheDialogDid) {
    const std::string titled =
        Titled("Experiment 2: Posner cueing, reaction times (ms), collected 2024-05\n");
    const RoleGuess t = GuessRoles(titled);
    EXPECT_EQ(LongCsvCommand("/data/posner.csv", titled, t.roles, t.options),
              "morvane anova /data/posner.csv --id subject --dv rt --within cue,soa --between group "
              "--encoding utf-8 --separator comma --header-line 2");

    // Names a shell or the list would split or read: quoted for both, a quote within as '\''.
    LongCsvRoles odd{"被験者", "it's", {"a,b", "say \"x\""}, {}};
    LongCsvOptions options;
    options.encoding = CsvEncoding::Cp932;
    options.separator = ';';
    options.decimalSeparator = ',';
    const std::string text = Cp932FromUtf8("被験者;it's;a,b;say \"x\"\np1;1,5;x;y\n");
    EXPECT_EQ(LongCsvCommand("/my data/$x.csv", text, odd, options),
              "morvane anova '/my data/$x.csv' --id '被験者' --dv 'it'\\''s' --within '\"a,b\",\"say \"\"x\"\"\"' "
              "--encoding cp932 --separator semicolon --decimal-comma --header-line 1");
}

}  // namespace
}  // namespace morvane
