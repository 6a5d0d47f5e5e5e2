#include "scores/BlockPipeline.h"

#include <system_error>
#include <utility>

namespace morvane {

BlockPipeline::BlockPipeline(std::span<ParsedBlockSink* const> sinks, std::size_t blockValues,
                             std::int64_t blocks)
    : sinks_(sinks.begin(), sinks.end()), blockValues_(blockValues) {
    if (!sinks_.empty() && blocks > static_cast<std::int64_t>(kBatchBlocks) &&
        blockValues <= kWorkerBlockValues)
        try {
            worker_.emplace();
            slots_ = 2 * kBatchBlocks;
        } catch (const std::system_error&) {  // no thread: the sinks take each block on this one
        }
    pairs_.resize(slots_ * blockValues_);
    digits_.resize(slots_ * blockValues_);
}

BlockPipeline::~BlockPipeline() {
    worker_.reset();
}

BlockPipeline::Buffers BlockPipeline::Next() {
    const std::size_t at = next_ % slots_ * blockValues_;
    return {&pairs_[at], &digits_[at]};
}

Extended* BlockPipeline::ExtendedValues() {
    if (values_.empty()) values_.resize(pairs_.size());
    return &values_[next_ % slots_ * blockValues_];
}

void BlockPipeline::Deliver(const ParsedBlock& block) {
    ++next_;
    if (!worker_) return SendToSinks(block);
    batch_.push_back(block);
    if (batch_.size() < kBatchBlocks) return;
    // The worker is done with the last batch, whose buffers the next blocks
    // are parsed into, before it starts on this one.
    worker_->Enqueue([this, blocks = std::exchange(batch_, {})] {
        for (const ParsedBlock& parsed : blocks) SendToSinks(parsed);
    });
}

void BlockPipeline::Finish() {
    if (!worker_) return;
    if (!batch_.empty())
        worker_->Enqueue([this, blocks = std::exchange(batch_, {})] {
            for (const ParsedBlock& parsed : blocks) SendToSinks(parsed);
        });
    worker_->Wait();
}

void BlockPipeline::SendToSinks(const ParsedBlock& block) const {
    for (ParsedBlockSink* sink : sinks_) sink->Take(block);
}

}  // namespace morvane
