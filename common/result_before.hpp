#pragma once
// Calls that cannot be interrupted (the system resolver, proxy detection, a WinHTTP handshake
// under Wine) run on a thread of their own, and the caller waits for them until a deadline only.
#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

// Runs `work` on a thread of its own and says whether it ended before `deadline`; when it did
// not, the thread is left to finish alone, so `work` must own all it touches. `work` must not
// throw.
bool FinishedBefore(std::chrono::steady_clock::time_point deadline, std::function<void()> work);

// The result of `work`, run as FinishedBefore runs it, or nothing when the deadline came first.
// What `work` throws is thrown here.
template <class Work>
std::optional<std::invoke_result_t<Work&>>
ResultBefore(std::chrono::steady_clock::time_point deadline, Work work)
{
    struct Outcome {
        std::optional<std::invoke_result_t<Work&>> value;
        std::exception_ptr failure;
    };
    const auto outcome = std::make_shared<Outcome>();
    const bool finished = FinishedBefore(deadline, [outcome, work = std::move(work)]() mutable {
        try {
            outcome->value.emplace(work());
        } catch (...) {
            outcome->failure = std::current_exception();
        }
    });
    if (!finished)
        return std::nullopt;
    if (outcome->failure)
        std::rethrow_exception(outcome->failure);
    return std::move(outcome->value);
}
