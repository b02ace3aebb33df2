#include "server/store/report_recorder.hpp"

#include "server/monitor/event_log.hpp"
#include "server/store/rating_upkeep.hpp"

#include <algorithm>

#include <future>

namespace {

// Opens connection `index` of `count`, saying on standard error every few seconds while it
// waits: a pool in front of the database (PgBouncer) with fewer connections than the server
// holds lets the last ones wait for a free one, which in session mode never comes.
std::unique_ptr<ReportStore> OpenSaying(const std::function<std::unique_ptr<ReportStore>()>& open,
                                        int index, int count)
{
    auto opened = std::async(std::launch::async, open);
    for (int waited = 5; opened.wait_for(std::chrono::seconds(5)) != std::future_status::ready;
         waited += 5)
        LogNotice("store wait",
                  "opening store connection " + std::to_string(index) + " of " +
                      std::to_string(count),
                  "no answer for " + std::to_string(waited) +
                      " s; the server holds writers + 2 connections to the database at once (2 "
                      "more to a read database): is a pool in front of it smaller?");
    return opened.get();
}

} // namespace

ReportRecorder::ReportRecorder(const std::function<std::unique_ptr<ReportStore>()>& open,
                               int writers, std::size_t maxBatch, ServerMetrics& metrics,
                               const OpenReader& openReader)
    : mMaxBatch(maxBatch), mMetrics(metrics), mPageApart(static_cast<bool>(openReader))
{
    // All connections open before any thread starts, so a failure leaves nothing running. The
    // writers' come first: the first brings the schema up to date.
    std::vector<Lane> lanes = {Lane::Short, Lane::Export};
    if (mPageApart)
        lanes.push_back(Lane::Page);
    const int count = writers + static_cast<int>(lanes.size());
    for (int i = 0; i < writers; ++i)
        mStores.push_back(OpenSaying(open, i + 1, count));
    for (const Lane lane : lanes) {
        const bool reader = mPageApart && lane != Lane::Short;
        mStores.push_back(OpenSaying(reader ? [&] { return openReader(lane); } : open,
                                     static_cast<int>(mStores.size()) + 1, count));
    }
    for (int i = 0; i < writers; ++i)
        mThreads.emplace_back([this, i] { WriteLoop(*mStores[i], i == 0); });
    for (const Lane lane : lanes)
        mThreads.emplace_back([this, lane, &store = *mStores[writers + static_cast<int>(lane)]] {
            ReadLoop(store, lane);
        });
}

std::size_t ReportRecorder::QueueOf(Lane lane) const
{
    return lane == Lane::Page && !mPageApart ? static_cast<std::size_t>(Lane::Short)
                                             : static_cast<std::size_t>(lane);
}

ReportRecorder::~ReportRecorder()
{
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mStopping = true;
    }
    mWriterWake.notify_all();
    for (std::condition_variable& wake : mLaneWake)
        wake.notify_all();
    for (std::thread& thread : mThreads)
        thread.join();
}

void ReportRecorder::Record(StoredReport report, Done done)
{
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mPending.push_back({std::move(report), std::move(done), std::chrono::steady_clock::now()});
    }
    mWriterWake.notify_one();
}

void ReportRecorder::Submit(Read read, Lane lane)
{
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mReads[QueueOf(lane)].push_back(std::move(read));
    }
    mLaneWake[QueueOf(lane)].notify_one();
}

void ReportRecorder::WriteLoop(ReportStore& store, bool keepsRatingsUp)
{
    std::vector<Pending> batch;
    std::vector<StoredReport> reports;
    RatingUpkeep upkeep;
    bool upkeepDue = keepsRatingsUp;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mMutex);
            const auto ready = [this] { return mStopping || !mPending.empty(); };
            if (!keepsRatingsUp)
                mWriterWake.wait(lock, ready);
            else if (!upkeepDue)
                mWriterWake.wait_for(lock, kTablesCheckPeriod, ready);
            if (mStopping && mPending.empty())
                return;
            // Whatever queued while the last transaction ran goes into the next one.
            while (!mPending.empty() && batch.size() < mMaxBatch) {
                batch.push_back(std::move(mPending.front()));
                mPending.pop_front();
            }
        }
        // Reports that waited out a stalled store are answered now, not stored: their senders
        // would give up before another try could answer.
        const auto late = std::chrono::steady_clock::now() - kLongestQueueWait;
        const auto fresh = std::stable_partition(
            batch.begin(), batch.end(), [late](const Pending& p) { return p.queuedAt < late; });
        if (fresh != batch.begin()) {
            LogStoreFailure("storing " + std::to_string(fresh - batch.begin()) + " reports",
                            "they waited too long for the store");
            for (auto p = batch.begin(); p != fresh; ++p)
                p->done(std::nullopt);
            batch.erase(batch.begin(), fresh);
        }
        if (!batch.empty()) {
            reports.clear();
            for (Pending& pending : batch)
                reports.push_back(std::move(pending.report));
            const auto outcomes = StoreBatch(store, reports, mMetrics);
            for (std::size_t i = 0; i < batch.size(); ++i)
                batch[i].done(outcomes[i]);
            batch.clear();
        }
        // Between batches, so that a report waits for one step of the upkeep at most.
        if (keepsRatingsUp)
            upkeepDue = KeepRatingsUp(store, upkeep, mMetrics);
    }
}

std::vector<std::optional<RecordOutcome>>
StoreBatch(ReportStore& store, const std::vector<StoredReport>& reports, ServerMetrics& metrics)
{
    std::vector<std::optional<RecordOutcome>> outcomes(reports.size());
    bool unavailable = false; // the store did not answer: no report is tried again
    // `last`: no other try follows, so a failure leaves the reports unstored.
    const auto transaction = [&](const std::vector<StoredReport>& part, bool last) {
        const auto start = std::chrono::steady_clock::now();
        try {
            std::vector<RecordOutcome> stored = store.Record(part);
            CountCommit(metrics, std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::steady_clock::now() - start));
            return std::optional(std::move(stored));
        } catch (const StoreUnavailable& e) {
            unavailable = true;
            ++metrics.storeFailures;
            LogStoreFailure("storing " + std::to_string(part.size()) + " reports", e.what());
            return std::optional<std::vector<RecordOutcome>>();
        } catch (const std::exception& e) {
            const std::string what = "storing " + std::to_string(part.size()) + " reports";
            // Only a failure that loses reports is one to alert on; one retried is a warning.
            if (last) {
                ++metrics.storeFailures;
                LogStoreFailure(what, e.what());
            } else {
                LogFailure("store retry", what, e.what());
            }
            return std::optional<std::vector<RecordOutcome>>();
        }
    };
    if (const auto together = transaction(reports, false)) {
        std::copy(together->begin(), together->end(), outcomes.begin());
        return outcomes;
    }
    // A lost race (two batches that take the same rows in another order deadlock, and the
    // database aborts one) or one report the database refuses fails only itself this way; and a
    // batch of one that met a passing failure (a connection the database closed) has its second
    // chance like any other.
    for (std::size_t i = 0; i < reports.size() && !unavailable; ++i) {
        if (const auto alone = transaction({reports[i]}, true))
            outcomes[i] = alone->at(0);
    }
    return outcomes;
}

void ReportRecorder::ReadLoop(ReportStore& store, Lane lane)
{
    std::deque<Read>& reads = mReads[QueueOf(lane)];
    for (;;) {
        Read read;
        {
            std::unique_lock<std::mutex> lock(mMutex);
            mLaneWake[QueueOf(lane)].wait(lock, [&] { return mStopping || !reads.empty(); });
            if (reads.empty())
                return;
            read = std::move(reads.front());
            reads.pop_front();
        }
        // A failed read ends that request only; the thread goes on with the next.
        try {
            read(store);
        } catch (const std::exception& e) {
            LogFailure("store failure", "reading", e.what());
        }
    }
}
