#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exchange/RoleGuess.h"
#include "exchange/ExchangeMessages.h"
#include "runtime/Cp932.h"

namespace morvane {
namespace {

using Names = std::vector<std::string>;

struct GuessCase {
    const char* what;
    std::string csv;
    std::string id, dv;
    Names within, between, unassigned;
    char separator, decimal;
};

// Six subjects' rows: `row(s, group, a, b, score)` for every cell of 2 x 2 (or trials of it).
std::string Rows(const std::string& header, char sep, bool trials, bool decimalComma) {
    std::string out = header + "\n";
    for (int s = 1; s <= 6; ++s)
        for (int a = 1; a <= 2; ++a)
            for (int b = 1; b <= 3; ++b)
                for (int t = 1; t <= (trials ? 4 : 1); ++t) {
                    std::string score = std::to_string(s * 10 + a * 3 + b) + (decimalComma ? ",5" : ".5");
                    std::string row = "p" + std::to_string(s) + sep + (s <= 3 ? "ctl" : "pat") + sep + "a" +
                                      std::to_string(a) + sep + "b" + std::to_string(b);
                    if (trials) row += sep + std::to_string((a - 1) * 12 + (b - 1) * 4 + t);
                    out += row + sep + score + "\n";
                }
    return out;
}

TEST(RoleGuess, GuessesEachRoleFromNamesAndContents) {
    const std::vector<GuessCase> cases = {
        {"tidy, group column",
         Rows("participant,group,cond,time,rt", ',', false, false),
         "participant",
         "rt",
         {"cond", "time"},
         {"group"},
         {},
         ',',
         '.'},
        {"trial rows with a trial number",
         Rows("id,group,cond,time,trial,rt", ',', true, false),
         "id",
         "rt",
         {"cond", "time"},
         {"group"},
         {"trial"},
         ',',
         '.'},
        {"semicolons and a decimal comma",
         Rows("Subject;Gruppe;A;B;Wert", ';', false, true),
         "Subject",
         "Wert",
         {"A", "B"},
         {"Gruppe"},
         {},
         ';',
         ','},
        {"no subject name: the first column",
         Rows("who\tg\tx\ty\tscore", '\t', false, false),
         "who",
         "score",
         {"x", "y"},
         {"g"},
         {},
         '\t',
         '.'},
        {"Japanese names",
         Rows("被験者,群,条件,時期,得点", ',', false, false),
         "被験者",
         "得点",
         {"条件", "時期"},
         {"群"},
         {},
         ',',
         '.'},
    };
    for (const GuessCase& c : cases) {
        SCOPED_TRACE(c.what);
        const RoleGuess g = GuessRoles(c.csv);
        EXPECT_EQ(g.roles.id, c.id);
        EXPECT_EQ(g.roles.dv, c.dv);
        EXPECT_EQ(g.roles.within, c.within);
        EXPECT_EQ(g.roles.between, c.between);
        EXPECT_EQ(g.unassigned, c.unassigned);
        EXPECT_EQ(g.options.separator, c.separator);
        EXPECT_EQ(g.options.decimalSeparator, c.decimal);
        EXPECT_EQ(g.rows.size(), 20u);
    }
    // R's NA among the scores leaves the column numeric.
    EXPECT_EQ(GuessRoles("id,A,score\ns1,x,1.5\ns1,y,NA\ns2,x,3\ns2,y,4\n").roles.dv, "score");
}

TEST(RoleGuess, ReadsCodePage932AndKeepsWhatTheUserFixed) {
    const std::string utf8 = Rows("被験者,群,条件,時期,得点", ',', false, false);
    const RoleGuess g = GuessRoles(Cp932FromUtf8(utf8));
    EXPECT_EQ(g.options.encoding, CsvEncoding::Cp932);
    EXPECT_EQ(g.header, (Names{"被験者", "群", "条件", "時期", "得点"}));
    EXPECT_EQ(g.rows[0][1], "ctl");

    LongCsvOptions fixed;
    fixed.separator = ';';  // the user's choice stands: one column only
    const RoleGuess one = GuessRoles(utf8, fixed);
    EXPECT_EQ(one.header.size(), 1u);
    EXPECT_THROW(GuessRoles("\n\n"), CsvError);

    // A title and a note above the header: skipped by the guess and by the reading.
    const std::string titled = "Experiment 3\n\"recorded 2026-05-01, lab B\"\n" + utf8;
    const RoleGuess t = GuessRoles(titled);
    EXPECT_EQ(t.options.recordsBeforeHeader, 2u);
    EXPECT_EQ(t.header, (Names{"被験者", "群", "条件", "時期", "得点"}));
    EXPECT_EQ(t.roles.between, Names{"群"});
    const DesignData read = ReadLongCsv(titled, t.roles, t.options);
    EXPECT_EQ(read.Subjects(), 6u);
    EXPECT_EQ(read.Cells(), 6u);
    EXPECT_EQ(GuessRoles(utf8).options.recordsBeforeHeader, 0u);
}

}  // namespace
}  // namespace morvane
