#pragma once
// Runs the store's work off the network threads. Reports queue up for the writer threads, and
// each writer stores whatever has queued in one transaction: one disk sync serves many reports.
// Reads for the page and for the export run on a thread each, so a long export does not hold up
// the page. Every store failure is logged with its reason and counted.
#include "server/store/report_store.hpp"
#include "server/monitor/server_metrics.hpp"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Stores the reports in one transaction; when that fails (nothing of it is stored), each report
// in a transaction of its own. nullopt for each report that was not stored. Failures are logged
// and counted, each transaction's time measured.
std::vector<std::optional<RecordOutcome>>
StoreBatch(ReportStore& store, const std::vector<StoredReport>& reports, ServerMetrics& metrics);

// How long a report may wait for its transaction before it is answered as not stored: with the
// store's own bounds its answer comes within some 14 s, before the program gives up at 20 s.
constexpr std::chrono::seconds kLongestQueueWait{8};

class ReportRecorder {
  public:
    // nullopt when the store failed and the report was not stored.
    using Done = std::function<void(std::optional<RecordOutcome>)>;
    using Read = std::function<void(ReportStore&)>;

    // The reading threads: short reads (the health check, tests), exports (and the unknown
    // list), and the page, which takes the short reads' thread unless a read database is given.
    enum class Lane { Short = 0, Export = 1, Page = 2 };
    using OpenReader = std::function<std::unique_ptr<ReportStore>(Lane)>;

    // Opens one connection per writer and one per lane; throws when the store cannot open.
    // `openReader`, when given, opens the export's and the page's connections (to a read
    // database), and the page gets a thread of its own.
    ReportRecorder(const std::function<std::unique_ptr<ReportStore>()>& open, int writers,
                   std::size_t maxBatch, ServerMetrics& metrics, const OpenReader& openReader = {});
    // Finishes what has queued, then stops the threads.
    ~ReportRecorder();
    ReportRecorder(const ReportRecorder&) = delete;
    ReportRecorder& operator=(const ReportRecorder&) = delete;

    // `done` runs on a writer thread once the report's transaction has ended (see StoreBatch).
    void Record(StoredReport report, Done done);
    // `read` runs on the lane's thread, with a connection of its own.
    void Submit(Read read, Lane lane = Lane::Short);

  private:
    struct Pending {
        StoredReport report;
        Done done;
        std::chrono::steady_clock::time_point queuedAt;
    };
    // The first writer also keeps the stored ratings up to the tables (rating_upkeep.hpp).
    void WriteLoop(ReportStore& store, bool keepsRatingsUp);
    void ReadLoop(ReportStore& store, Lane lane);
    // The queue and thread a lane's reads take.
    std::size_t QueueOf(Lane lane) const;

    std::size_t mMaxBatch;
    ServerMetrics& mMetrics;
    std::mutex mMutex;
    // One per kind of waiting thread, so that a report queued wakes one writer and a read its
    // lane's thread alone: waking every thread for every report costs over four futex calls a
    // report (0.3 this way), some 20 % of the reports a second at 16 clients on two cores.
    std::condition_variable mWriterWake;
    std::condition_variable mLaneWake[3];
    bool mStopping = false;
    bool mPageApart = false; // the page has a thread and connection of its own
    std::deque<Pending> mPending;
    std::deque<Read> mReads[3]; // by lane
    std::vector<std::unique_ptr<ReportStore>> mStores;
    std::vector<std::thread> mThreads;
};
