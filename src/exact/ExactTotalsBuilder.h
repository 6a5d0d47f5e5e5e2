#pragma once
// The exact totals gathered while the scores are parsed, a block of subjects
// at a time, so that the exact partition needs no pass of its own over the
// texts. Scores it cannot take in 128-bit integers (too many digits, or a
// span of decimal places too wide) make it give up, and Finish then computes
// the partition from the texts instead.

#include <memory>

#include "exact/ExactPartition.h"
#include "scores/ParsedBlock.h"
#include "store/StudyStore.h"

namespace morvane {

class ExactTotalsBuilder final : public ParsedBlockSink {
public:
    // KeepOffsets::Yes: Finish will be asked for the offsets, which the
    // builder then takes from the digits the parse read rather than from the texts.
    explicit ExactTotalsBuilder(const StudyStore& store, KeepOffsets forOffsets = KeepOffsets::No);
    ~ExactTotalsBuilder() override;
    ExactTotalsBuilder(const ExactTotalsBuilder&) = delete;
    ExactTotalsBuilder& operator=(const ExactTotalsBuilder&) = delete;

    // The blocks of the store's subjects, in order.
    void Take(const ParsedBlock& block) override;

    // After every block: ComputeExactPartition of the same store.
    ExactPartition Finish(const StudyStore& store, char decimalSeparator, KeepOffsets keep);

private:
    class Accumulator;
    std::unique_ptr<Accumulator> accumulator_;
};

}  // namespace morvane
