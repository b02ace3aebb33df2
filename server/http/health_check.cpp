#include "server/http/health_check.hpp"

#include "server/monitor/event_log.hpp"

#include <boost/asio/steady_timer.hpp>

#include <atomic>
#include <utility>

// A check's answer, given once: by the store or by its deadline, whichever comes first.
struct HealthCheck::Waiting {
    explicit Waiting(Answered answered) : answered(std::move(answered)) {}
    void Give(bool up)
    {
        if (!given.exchange(true))
            answered(up);
    }
    Answered answered;
    std::atomic<bool> given{false};
};

HealthCheck::HealthCheck(ReportRecorder& recorder, ServerMetrics& metrics,
                         boost::asio::any_io_executor timers, std::chrono::milliseconds deadline)
    : mRecorder(recorder), mMetrics(metrics), mTimers(std::move(timers)), mDeadline(deadline)
{
}

void HealthCheck::Ask(Answered answered)
{
    auto waiting = std::make_shared<Waiting>(std::move(answered));
    auto timer = std::make_shared<boost::asio::steady_timer>(mTimers, mDeadline);
    timer->async_wait([timer, waiting](const boost::system::error_code&) { waiting->Give(false); });
    {
        std::lock_guard<std::mutex> lock(mAsking->mutex);
        mAsking->waiting.push_back(std::move(waiting));
        if (std::exchange(mAsking->asking, true))
            return;
    }
    mRecorder.Submit([asking = mAsking, &metrics = mMetrics](ReportStore& store) {
        bool up = false;
        try {
            store.Ping();
            up = true;
        } catch (const std::exception& e) {
            ++metrics.storeFailures;
            LogStoreFailure("health check", e.what());
        }
        std::vector<std::shared_ptr<Waiting>> answered;
        {
            std::lock_guard<std::mutex> lock(asking->mutex);
            answered.swap(asking->waiting);
            asking->asking = false;
        }
        for (const auto& waiting : answered)
            waiting->Give(up);
    });
}
