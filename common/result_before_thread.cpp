// The native build's thread, for the core tests.
#ifndef _WIN32
#include "common/result_before.hpp"

#include <future>
#include <thread>

bool FinishedBefore(std::chrono::steady_clock::time_point deadline, std::function<void()> work)
{
    std::packaged_task<void()> task(std::move(work));
    std::future<void> ended = task.get_future();
    std::thread(std::move(task)).detach();
    return ended.wait_until(deadline) == std::future_status::ready;
}
#endif
