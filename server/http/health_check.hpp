#pragma once
// The health check's answer within its own deadline: a load balancer must hear "unavailable"
// from a server whose store has stalled, not wait with it. One question to the store at a time;
// every check that arrives meanwhile waits for that answer.
#include "server/monitor/server_metrics.hpp"
#include "server/store/report_recorder.hpp"

#include <boost/asio/any_io_executor.hpp>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

constexpr std::chrono::milliseconds kHealthDeadline{900};

class HealthCheck {
  public:
    // Whether the store answered in time; called once, from a store or a network thread.
    using Answered = std::function<void(bool up)>;

    HealthCheck(ReportRecorder& recorder, ServerMetrics& metrics,
                boost::asio::any_io_executor timers,
                std::chrono::milliseconds deadline = kHealthDeadline);
    void Ask(Answered answered);

  private:
    struct Waiting;
    // What the store's thread reaches: it may answer after the server has gone.
    struct Asking {
        std::mutex mutex;
        bool asking = false;
        std::vector<std::shared_ptr<Waiting>> waiting;
    };

    ReportRecorder& mRecorder;
    ServerMetrics& mMetrics;
    boost::asio::any_io_executor mTimers;
    const std::chrono::milliseconds mDeadline;
    std::shared_ptr<Asking> mAsking = std::make_shared<Asking>();
};
