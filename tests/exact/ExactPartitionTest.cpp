// The exact partition: gathered by the totals builder while the parse hands
// it blocks, on the parse's thread or the pipeline's, against its definition
// in rational arithmetic of the test's own; scores whose places span too much
// for 128 bits take big integers, and beyond, the centred method.

#include <gtest/gtest.h>

#include <random>
#include <utility>

#include "exact/ExactPartition.h"
#include "exact/ExactTotalsBuilder.h"
#include "scores/ParseScores.h"
#include "support/RandomScores.h"
#include "support/RationalArithmetic.h"

namespace morvane {
namespace {

using testing::SameBits;

class CountingSink final : public ParsedBlockSink {
public:
    void Take(const ParsedBlock& block) override { subjects += block.count; }
    std::int64_t subjects = 0;
};

void ExpectSameSource(const PartitionSource& x, const PartitionSource& y, const char* name) {
    EXPECT_TRUE(SameBits(x.ss, y.ss)) << name;
    EXPECT_EQ(x.df, y.df) << name;
    EXPECT_EQ(x.ms.has_value(), y.ms.has_value()) << name;
    if (x.ms && y.ms) {
        EXPECT_TRUE(SameBits(*x.ms, *y.ms)) << name;
    }
    EXPECT_EQ(x.zero, y.zero) << name;
}

// Each sum of squares and mean square of the partition is the exact one
// correctly rounded, and each F the exact ratio; or, centred, within 10^-15.
void ExpectDefinition(const ExactPartition& p, const StudyStore& store) {
    const testing::ExactSums e = testing::Definition(store);
    const std::pair<const PartitionSource*, const mpq_class*> sources[] = {
        {&p.Total, &e.total}, {&p.A, &e.a},   {&p.B, &e.b},   {&p.S, &e.s},
        {&p.AB, &e.ab},       {&p.AS, &e.as}, {&p.BS, &e.bs}, {&p.ABS, &e.abs}};
    for (const auto& [source, exact] : sources) {
        if (p.method == PartitionMethod::Centred) {
            const mpq_class difference = abs(testing::Exactly(source->ss) - *exact);
            EXPECT_TRUE(difference <= abs(*exact) / mpq_class(mpz_class("1000000000000000")));
            continue;
        }
        EXPECT_TRUE(testing::CorrectlyRounded(source->ss, *exact));
        EXPECT_EQ(source->zero, *exact == 0);
        if (source->ms) {
            EXPECT_TRUE(testing::CorrectlyRounded(*source->ms, *exact / mpq_class(source->df)));
        }
    }
    const std::tuple<const std::optional<Extended>*, const mpq_class*, std::int64_t, const mpq_class*,
                     std::int64_t>
        ratios[] = {{&p.fA, &e.a, p.A.df, &e.as, p.AS.df},
                    {&p.fB, &e.b, p.B.df, &e.bs, p.BS.df},
                    {&p.fAB, &e.ab, p.AB.df, &e.abs, p.ABS.df}};
    for (const auto& [f, effect, df, error, errorDf] : ratios) {
        if (!*f || p.method == PartitionMethod::Centred) continue;
        EXPECT_TRUE(testing::CorrectlyRounded(**f, (*effect / df) / (*error / errorDf)));
    }
}

TEST(ExactPartition, TheBuilderFedByTheParseAgreesWithTheDefinition) {
    std::mt19937_64 random(8);
    for (const auto& c : testing::kRandomStudies) {
        SCOPED_TRACE(::testing::Message() << c.n << " x " << c.na << " x " << c.nb << ", kind " << c.kind);
        const StudyStore store = testing::RandomStudy(random, c.n, c.na, c.nb, c.kind);
        // Fed as the analysis feeds it, beside another sink, and alone.
        ExactTotalsBuilder exact(store);
        CountingSink other;
        ParsedBlockSink* const sinks[] = {&other, &exact};
        ParseAllScores(store, '.', sinks);
        const ExactPartition one = exact.Finish(store, '.', KeepOffsets::Yes);
        const ExactPartition apart = ComputeExactPartition(store, '.', KeepOffsets::Yes);
        EXPECT_EQ(one.method, c.kind == 4 ? PartitionMethod::Centred : PartitionMethod::Exact);
        ExpectDefinition(one, store);
        EXPECT_EQ(one.method, apart.method);
        ExpectSameSource(one.S, apart.S, "S");
        ExpectSameSource(one.ABS, apart.ABS, "ABS");
        ExpectSameSource(one.Within, apart.Within, "Within");
        EXPECT_TRUE(SameBits(one.reference, apart.reference));
        // The offsets from the texts (one) and from the digits the parse kept (apart) alike.
        ASSERT_EQ(one.offsets.size(), apart.offsets.size());
        for (std::size_t i = 0; i < one.offsets.size(); ++i)
            ASSERT_TRUE(SameBits(one.offsets[i], apart.offsets[i])) << i;
        EXPECT_EQ(one.integerOffsets, apart.integerOffsets);
        EXPECT_EQ(one.offsetScale, apart.offsetScale);
        EXPECT_EQ(one.offsetBound, apart.offsetBound);
        // The offsets the analysis reads are the scores less the reference.
        const std::vector<Extended> offsets = one.ExtendedOffsets();
        ASSERT_EQ(offsets.size(), static_cast<std::size_t>(c.n * c.na * c.nb));
        const std::size_t last = offsets.size() - 1;
        const mpq_class expected =
            testing::Rational(std::string(store.CellText(c.n, c.na, c.nb))) - testing::Exactly(one.reference);
        // Within the rounding of the reference (the truncated grand mean) and of the offset.
        const mpq_class tolerance = abs(testing::Exactly(one.reference)) / mpq_class(mpz_class(1) << 62) +
                                    abs(expected) / mpq_class(mpz_class("1000000000000000")) +
                                    mpq_class(1, 1000000000);
        EXPECT_LE(abs(testing::Exactly(offsets[last]) - expected), tolerance)
            << static_cast<double>(offsets[last]);
        EXPECT_EQ(other.subjects, c.n);
    }
}

}  // namespace
}  // namespace morvane
