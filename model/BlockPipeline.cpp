#include "model/BlockPipeline.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

struct Shared
{
    std::mutex lock;
    std::condition_variable changed;
    size_t firstDone = 0;
    size_t secondDone = 0;
    bool stopped = false;

    void stop()
    {
        {
            std::lock_guard<std::mutex> hold(lock);
            stopped = true;
        }
        changed.notify_all();
    }
    void finished(size_t *done, size_t block, bool ok)
    {
        {
            std::lock_guard<std::mutex> hold(lock);
            if (ok)
                *done = block + 1;
            else
                stopped = true;
        }
        changed.notify_all();
    }
};

void runFirst(Shared &s, size_t blocks, size_t depth, const BlockPipeline::Stage &first)
{
    for (size_t b = 0; b < blocks; ++b) {
        {
            std::unique_lock<std::mutex> hold(s.lock);
            s.changed.wait(hold, [&] { return s.stopped || b < s.secondDone + depth; });
            if (s.stopped)
                return;
        }
        s.finished(&s.firstDone, b, first(b, b % depth));
    }
}

void runSecond(Shared &s, size_t blocks, size_t depth, const BlockPipeline::Stage &second)
{
    for (size_t b = 0; b < blocks; ++b) {
        {
            std::unique_lock<std::mutex> hold(s.lock);
            s.changed.wait(hold, [&] { return s.stopped || s.firstDone > b; });
            if (s.stopped)
                return;
        }
        s.finished(&s.secondDone, b, second(b, b % depth));
    }
}

} // namespace

bool BlockPipeline::run(size_t blocks, size_t depth, Helper helper, const Stage &first,
                        const Stage &second)
{
    if (depth == 0)
        depth = 1;
    Shared s;
    std::exception_ptr helperError;
    auto helperWork = [&] {
        try {
            if (helper == Helper::RunsFirst)
                runFirst(s, blocks, depth, first);
            else
                runSecond(s, blocks, depth, second);
        } catch (...) {
            helperError = std::current_exception();
            s.stop();
        }
    };
    std::thread thread;
    if (blocks > 1) {
        try {
            thread = std::thread(helperWork);
        } catch (const std::system_error &) {
        }
    }
    if (!thread.joinable()) {
        for (size_t b = 0; b < blocks; ++b)
            if (!first(b, 0) || !second(b, 0))
                return false;
        return true;
    }
    // The helper is stopped and joined whatever ends the calling thread's stage.
    struct Join
    {
        Shared &s;
        std::thread &thread;
        ~Join()
        {
            s.stop();
            thread.join();
        }
    };
    bool complete = false;
    {
        Join join{s, thread};
        if (helper == Helper::RunsFirst) {
            runSecond(s, blocks, depth, second);
        } else {
            runFirst(s, blocks, depth, first);
            std::unique_lock<std::mutex> hold(s.lock);
            s.changed.wait(hold, [&] { return s.stopped || s.secondDone == blocks; });
        }
        std::lock_guard<std::mutex> hold(s.lock);
        complete = s.secondDone == blocks;
    }
    if (helperError)
        std::rethrow_exception(helperError);
    return complete;
}
