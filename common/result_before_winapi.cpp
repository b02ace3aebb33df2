// The program's thread. It lives in the core library because the uploads that need it are core
// code. Its thread and its wait are Windows' own, not std::thread and std::future: under Wine a
// thread started through them sometimes stalled between its start and the work (3 of 25 https
// Starts under load waited out the whole 20 s bound, the reply long arrived; waiting on the future
// in short slices still left 1 of 25).
#ifdef _WIN32
#include "common/owners_win.hpp"
#include "common/result_before.hpp"

#include <windows.h>

#include <memory>
#include <system_error>

namespace {

struct Job {
    std::function<void()> work;
    KernelHandle done;
};

DWORD WINAPI RunJob(void* parameter)
{
    const std::unique_ptr<std::shared_ptr<Job>> job(static_cast<std::shared_ptr<Job>*>(parameter));
    (*job)->work();
    SetEvent((*job)->done.get());
    return 0;
}

} // namespace

bool FinishedBefore(std::chrono::steady_clock::time_point deadline, std::function<void()> work)
{
    // The job belongs to the caller and the thread together: a thread given up on may end last.
    auto job = std::make_shared<Job>(
        Job{std::move(work), KernelHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr))});
    if (!job->done)
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "CreateEvent");
    auto* shared = new std::shared_ptr<Job>(job);
    const KernelHandle thread(CreateThread(nullptr, 0, RunJob, shared, 0, nullptr));
    if (!thread) {
        delete shared;
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "CreateThread");
    }
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const DWORD wait = left.count() <= 0 ? 0 : static_cast<DWORD>(left.count());
        if (WaitForSingleObject(job->done.get(), wait) == WAIT_OBJECT_0)
            return true;
        if (wait == 0)
            return false;
    }
}
#endif
