// The follow-up options in words: what OptionWordsOf writes reads back, by
// the reader the tool and the window share, as the same options; the reader's
// refusals; and the fit of the contrasts to a design's factors.

#include <gtest/gtest.h>

#include <algorithm>

#include "output/AnalysisOptionWords.h"

namespace morvane {
namespace {

anova::Options ReadBack(const std::vector<OptionWord>& words) {
    anova::Options read;
    AnalysisOptionReader reader(read);
    for (const OptionWord& w : words) EXPECT_TRUE(reader.Read(w.name, w.value)) << w.name;
    reader.Finish();
    return read;
}

void ExpectSame(const anova::Options& a, const anova::Options& b) {
    EXPECT_EQ(a.observed, b.observed);
    EXPECT_EQ(a.effectSizeLevel, b.effectSizeLevel);
    EXPECT_EQ(a.alpha, b.alpha);
    EXPECT_TRUE(a.adjustments == b.adjustments);
    EXPECT_TRUE(a.effectSizes == b.effectSizes);
    ASSERT_EQ(a.trends.size(), b.trends.size());
    for (std::size_t i = 0; i < a.trends.size(); ++i) {
        EXPECT_EQ(a.trends[i].factor, b.trends[i].factor);
        EXPECT_EQ(a.trends[i].scores, b.trends[i].scores);
    }
    ASSERT_EQ(a.contrasts.size(), b.contrasts.size());
    for (std::size_t i = 0; i < a.contrasts.size(); ++i) {
        EXPECT_EQ(a.contrasts[i].name, b.contrasts[i].name);
        ASSERT_EQ(a.contrasts[i].parts.size(), b.contrasts[i].parts.size());
        for (std::size_t j = 0; j < a.contrasts[i].parts.size(); ++j) {
            EXPECT_EQ(a.contrasts[i].parts[j].factor, b.contrasts[i].parts[j].factor);
            EXPECT_EQ(a.contrasts[i].parts[j].weights, b.contrasts[i].parts[j].weights);
        }
    }
    EXPECT_EQ(a.cellInteractions, b.cellInteractions);
    EXPECT_EQ(a.allCellInteractions, b.allCellInteractions);
    EXPECT_EQ(a.simpleInteractions, b.simpleInteractions);
}

TEST(OptionWordsTest, WhatIsWrittenReadsBackAndTheDefaultsWriteNothing) {
    EXPECT_TRUE(OptionWordsOf(anova::Options()).empty());

    anova::Options rich;
    rich.observed = {"age, years", "sex"};
    rich.effectSizeLevel = 0.95L;
    rich.alpha = 0.01L;
    rich.adjustments = AdjustmentsNamed("sidak,bh,tukey");
    rich.effectSizes = EffectSizesNamed("omega2,fconv");
    rich.trends = {{"dose", {0, mpq_class(1, 3), 2, 4}}, {"time", {}}};
    rich.contrasts = {ContrastOf("first vs rest:time=2,-1,-1"), ContrastOf("dose=1,-1,0,0*time=1,0,-1")};
    rich.cellInteractions = {{"dose", "time"}, {"group", "dose", "time"}};
    rich.allCellInteractions = true;
    rich.simpleInteractions = true;
    const std::vector<OptionWord> words = OptionWordsOf(rich);
    ExpectSame(ReadBack(words), rich);
    // Each valued option once but --contrast, as the tool's strict reading wants.
    const std::vector<std::string> command = CommandWordsOf(rich);
    EXPECT_EQ(std::count(command.begin(), command.end(), "--contrast"), 2);
    EXPECT_EQ(std::count(command.begin(), command.end(), "--trend"), 1);
    EXPECT_NE(std::find(command.begin(), command.end(), "dose=0,1/3,2,4"), command.end());
    EXPECT_NE(std::find(command.begin(), command.end(), "--alpha"), command.end());
    EXPECT_EQ(*(std::find(command.begin(), command.end(), "--alpha") + 1), "0.01");
    // A contrast given without a name keeps its text as its name.
    EXPECT_EQ(ReadBack(words).contrasts[1].name, "dose=1,-1,0,0*time=1,0,-1");
}

TEST(OptionWordsTest, TheReaderRefusesAsTheToolDoesAndChecksTheFitToTheFactors) {
    const auto refusal = [](std::string_view name, const std::string& value) {
        anova::Options options;
        try {
            AnalysisOptionReader reader(options);
            reader.Read(name, value);
            reader.Finish();
        } catch (const OptionValueError& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    EXPECT_EQ(refusal("--spacing", "time=0,1"), "--spacing gives time, which --trend does not name");
    EXPECT_EQ(refusal("--spacing", "time=0,x"), "--spacing takes decimals or fractions, not \"x\": time=0,x");
    EXPECT_EQ(refusal("--contrast", ":time=1,-1"), "--contrast has an empty name: :time=1,-1");
    EXPECT_EQ(refusal("--cells", "time"), "--cells time: an interaction of two or more factors");
    EXPECT_EQ(refusal("--alpha", "1"), "--alpha is a number between 0 and 1: 1");
    EXPECT_EQ(refusal("--adjust", "holm,tukee").substr(0, 29), "unknown adjustment \"tukee\": -");
    EXPECT_EQ(refusal("--effect-sizes", "eta2,omega"), refusal("--effect-sizes", "omega"));
    EXPECT_EQ(ExactNumber("-.5"), mpq_class(-1, 2));
    EXPECT_FALSE(ExactNumber("1/0"));
    EXPECT_FALSE(ExactNumber(" 1"));

    const std::vector<DesignFactor> between{{"group", {"a", "b"}}},
        within{{"time", {"pre", "post", "later"}}};
    anova::Options options;
    options.contrasts = {ContrastOf("time=1,-1")};
    EXPECT_EQ(OptionsRefused(between, within, options),
              "--contrast time=1,-1 gives 2 weights for time, which has 3 levels");
    options.contrasts = {ContrastOf("x:time=1,1,-1")};
    EXPECT_EQ(OptionsRefused(between, within, options), "--contrast x: the weights of time do not sum to 0");
    options.contrasts = {ContrastOf("x:group=1,-1*time=1,0,-1")};
    options.trends = {{"time", {0, 1, 1}}};
    EXPECT_EQ(OptionsRefused(between, within, options), "--spacing repeats a value for time");
    options.trends.clear();
    options.cellInteractions = {{"group", "dose"}};
    EXPECT_EQ(OptionsRefused(between, within, options), "--cells names dose, which the design does not have");
    options.cellInteractions = {{"group", "time"}};
    EXPECT_EQ(OptionsRefused(between, within, options), "");
}

}  // namespace
}  // namespace morvane
