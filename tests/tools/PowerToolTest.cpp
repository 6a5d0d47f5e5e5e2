// morvane power: the power at N, the smallest N and the smallest effect in
// text and JSON, both conventions, and the refusals of what cannot be planned.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <utility>

#include "tools/RunTool.h"

namespace morvane {
namespace {

using testing::RunTool;
using Json = nlohmann::json;

TEST(PowerTool, TheThreeQuestionsInJsonAndText) {
    // The within factor of three measures at partial eta squared .05, power .8:
    // N 33 in the power programs' convention, 95 in the packages' (R:
    // 1 - pf(qf(.95, 2, 64), 2, 64, ncp = .05 / .95 * 33 * 3 / .5) = .8129807).
    const std::string within = "power --effect within --levels 3 --eta2p .05 --power .8 --format json";
    const auto programs = RunTool(within);
    ASSERT_EQ(programs.status, 0) << programs.err;
    const Json g = Json::parse(programs.out);
    EXPECT_EQ(g["n"], 33);
    EXPECT_EQ(g["convention"], "gpower");
    EXPECT_EQ(g["solvedFor"], "n");
    EXPECT_NEAR(g["power"].get<double>(), 0.8129807, 1e-7);
    EXPECT_NEAR(g["lambda"].get<double>(), 0.05 / 0.95 * 33 * 3 / 0.5, 1e-12);
    EXPECT_EQ(g["df1"], 2);
    EXPECT_EQ(g["df2"], 64);
    EXPECT_EQ(g["rho"], 0.5);
    EXPECT_EQ(g["partialEtaSquared"], 0.05);
    const auto packages = RunTool(within + " --convention spss");
    ASSERT_EQ(packages.status, 0) << packages.err;
    const Json s = Json::parse(packages.out);
    EXPECT_EQ(s["n"], 95);
    EXPECT_TRUE(s["rho"].is_null());
    EXPECT_EQ(s["lambdaFormula"], "f^2 (N - K)(M - 1) epsilon");

    // The power at N of a between effect: R's
    // 1 - pf(qf(.95, 1, 38), 1, 38, ncp = .25^2 * 40 * 3 / 1.5) = 0.47116693216781208 (by the beta series).
    const auto between = RunTool("power --effect between --levels 3 --groups 2 --f .25 --n 40 --format json");
    ASSERT_EQ(between.status, 0) << between.err;
    const Json b = Json::parse(between.out);
    EXPECT_NEAR(b["power"].get<double>(), 0.47116693216781208, 1e-13);
    EXPECT_TRUE(b["epsilon"].is_null());
    EXPECT_TRUE(b["targetPower"].is_null());

    // The smallest f of an interaction at N 40 and power .9, whose N search gives 40 back.
    const auto smallest =
        RunTool("power --effect interaction --levels 3 --groups 2 --n 40 --power .9 --format json");
    ASSERT_EQ(smallest.status, 0) << smallest.err;
    const Json f = Json::parse(smallest.out);
    EXPECT_EQ(f["solvedFor"], "f");
    EXPECT_NEAR(f["power"].get<double>(), 0.9, 1e-12);
    const auto back = RunTool("power --effect interaction --levels 3 --groups 2 --power .9 --format json --f " +
                              f["f"].dump());
    ASSERT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(Json::parse(back.out)["n"], 40);

    // Unequal groups allowed: three groups reach the power at N and the equal groups at the next multiple.
    const auto groups = RunTool("power --effect between --levels 2 --groups 3 --f .4 --power .8 --format json");
    ASSERT_EQ(groups.status, 0) << groups.err;
    const Json k = Json::parse(groups.out);
    const int n = k["n"].get<int>();
    EXPECT_EQ(k["nEqualGroups"], (n + 2) / 3 * 3);

    // The text states the convention and its lambda.
    const auto text = RunTool("power --effect within --levels 3 --eta2p .05 --power .8");
    ASSERT_EQ(text.status, 0) << text.err;
    for (const char* line : {"Power of the F test of a within effect\n", "Convention: the power programs' (gpower)",
                             "  lambda = f^2 N M epsilon / (1 - rho)\n",
                             "Design: M = 3 measures, K = 1 group, rho = 0.5, epsilon = 1, alpha = 0.05\n",
                             "Smallest total N for power 0.8: 33 (the groups need not be equal)\n",
                             "Power: 0.8129807\n"})
        EXPECT_NE(text.out.find(line), std::string::npos) << line << "\n" << text.out;
    const auto spss = RunTool("power --effect between --levels 3 --groups 2 --f .25 --n 40 --convention spss");
    EXPECT_NE(spss.out.find("Convention: the statistics packages' (spss)"), std::string::npos);
    EXPECT_NE(spss.out.find("  lambda = f^2 (N - K)\n"), std::string::npos);
    EXPECT_EQ(spss.out.find("rho"), std::string::npos);
}

TEST(PowerTool, WhatCannotBePlannedIsRefused) {
    const std::string w = "power --effect within --levels 3 ";
    const std::pair<std::string, std::string> refused[] = {
        {"power --levels 3 --f .2 --n 20", "morvane power needs --effect and --levels"},
        {"power --effect sideways --levels 3 --f .2 --n 20", "unknown effect sideways"},
        {w + "--f .2 --eta2p .1 --n 20", "--f and --eta2p are two ways to give one effect size"},
        {w + "--f .2 --n 20 --power .8", "give --n for the power at N or --power for the smallest N"},
        {w + "--f .2", "morvane power needs --n, --power or both"},
        {w + "--n 20", "morvane power needs --f or --eta2p, or both --n and --power"},
        {w + "--f -1 --n 20", "--f is at least 0: -1"},
        {w + "--eta2p 1 --n 20", "--eta2p is at least 0 and below 1: 1"},
        {w + "--f x --n 20", "--f is a number: x"},
        {w + "--f .2 --n 20.5", "--n is a whole number from 2 to 1000000000: 20.5"},
        {w + "--f .2 --n 20 --rho .3 --convention spss", "--rho is for the gpower convention"},
        {"power --effect between --levels 3 --groups 2 --f .2 --n 20 --epsilon .5",
         "--epsilon is for a within or interaction effect"},
        {"power --effect interaction --levels 3 --f .2 --n 20",
         "a between or interaction effect needs at least 2 groups"},
        {"power --effect within --levels 1 --f .2 --n 20", "a within or interaction effect needs at least 2 measures"},
        {w + "--f .2 --n 20 --rho 1", "rho is a correlation above -1 and below 1"},
        {w + "--f .2 --n 20 --epsilon .4", "epsilon is between 1/(M - 1) and 1"},
        {w + "--f .2 --n 20 --alpha 0", "alpha is a number between 0 and 1"},
        {w + "--f .2 --power .04", "--power is above alpha and below 1"},
        {w + "--groups 4 --f .2 --n 4", "--n is at least the groups and one more (5)"},
        {w + "--f .2 --n 20 --format csv", "unknown format csv"},
        {w + "--f .2 --n 20 --convention cohen", "unknown convention cohen"},
        {w + "--f .2 --n 20 out.txt", "morvane power takes no file names: out.txt"},
        {w + "--f .2 --n 20 --n 30", "--n is given twice"},
        // No N reaches a power for an effect of 0.
        {w + "--f 0 --power .8", "no total N up to 1000000000 reaches the power 0.8"},
    };
    for (const auto& [arguments, message] : refused) {
        const auto r = RunTool(arguments);
        EXPECT_EQ(r.status, 2) << arguments;
        EXPECT_TRUE(r.err.starts_with("morvane: " + message)) << arguments << "\n" << r.err;
        EXPECT_EQ(r.out, "") << arguments;
    }
    const auto help = RunTool("power --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("usage: morvane power --effect within|between|interaction")) << help.out;
    EXPECT_NE(RunTool("--help").out.find("morvane power --effect"), std::string::npos);
}

}  // namespace
}  // namespace morvane
