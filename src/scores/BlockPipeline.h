#pragma once
// Private to the parse of the scores: the buffers the blocks are parsed into,
// and their way to the sinks. With many blocks of the usual size a thread of
// the pipeline's own hands a batch of blocks to the sinks while the next
// batch is parsed into the other half of the buffers; otherwise each block
// goes to the sinks on the parse's thread as soon as it is parsed.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "runtime/Extended.h"
#include "runtime/SerialWorker.h"
#include "scores/ParsedBlock.h"

namespace morvane {

class BlockPipeline {
public:
    // For `blocks` blocks of at most `blockValues` values each.
    BlockPipeline(std::span<ParsedBlockSink* const> sinks, std::size_t blockValues, std::int64_t blocks);
    // Waits for the batch at hand, if any, before the buffers it reads go:
    // after an error of the parse, no sink reads freed memory.
    ~BlockPipeline();
    BlockPipeline(const BlockPipeline&) = delete;
    BlockPipeline& operator=(const BlockPipeline&) = delete;

    // Where the next block is parsed to, blockValues of each; free of any
    // sink's reading until that block is handed over.
    struct Buffers {
        SplitExtended* pairs;
        ScoreDigits* digits;
    };
    Buffers Next();
    // Room for the next block's values as extended numbers, for a block with
    // values that two doubles cannot hold.
    Extended* ExtendedValues();
    // The block parsed into the buffers of Next(), to the sinks.
    void Deliver(const ParsedBlock& block);
    // After the last block: returns once every sink has taken every block. A
    // sink's failure is thrown by Finish or by a later Deliver.
    void Finish();

private:
    // Blocks of a batch, handed to the worker at once: waking a thread costs
    // about as much as summing a block.
    static constexpr std::size_t kBatchBlocks = 4;
    // Blocks larger than this keep to the parse's thread and one block's
    // buffers, so that the huge designs need no more memory than that.
    static constexpr std::size_t kWorkerBlockValues = std::size_t{1} << 17;

    void SendToSinks(const ParsedBlock& block) const;

    std::vector<ParsedBlockSink*> sinks_;
    std::size_t blockValues_;
    std::size_t slots_ = 1;  // blocks the buffers hold
    std::size_t next_ = 0;   // blocks handed so far
    std::vector<SplitExtended> pairs_;
    std::vector<ScoreDigits> digits_;
    std::vector<Extended> values_;  // made on first use
    std::vector<ParsedBlock> batch_;
    std::optional<SerialWorker> worker_;
};

}  // namespace morvane
