#pragma once

#include <cstddef>
#include <functional>

// Two stages over numbered blocks: the first stage can work on the next blocks while the
// second works on earlier ones. Each stage sees the blocks in order, and the first is at most
// `depth` blocks ahead, so block b may use buffer b % depth. One stage runs on a helper
// thread, the other on the calling thread (keep a device's calls there).
class BlockPipeline
{
public:
    enum class Helper
    {
        RunsFirst,
        RunsSecond
    };
    // A stage returns false to stop: no later block enters either stage.
    using Stage = std::function<bool(size_t block, size_t buffer)>;

    // Whether every block passed both stages. Without a thread to be had the stages alternate
    // on the calling thread. An exception from a stage stops the other and is passed on here.
    static bool run(size_t blocks, size_t depth, Helper helper, const Stage &first,
                    const Stage &second);
};
