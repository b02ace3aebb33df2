#include "server/report_recorder.hpp"

ReportRecorder::ReportRecorder(const std::function<std::unique_ptr<ReportStore>()>& open,
                               int writers, std::size_t maxBatch)
    : maxBatch_(maxBatch)
{
    // All connections open before any thread starts, so a failure leaves nothing running.
    for (int i = 0; i <= writers; ++i)
        stores_.push_back(open());
    for (int i = 0; i < writers; ++i)
        threads_.emplace_back([this, i] { WriteLoop(*stores_[i]); });
    threads_.emplace_back([this, writers] { ReadLoop(*stores_[writers]); });
}

ReportRecorder::~ReportRecorder()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

void ReportRecorder::Record(StoredReport report, Done done)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_.push_back({std::move(report), std::move(done)});
    }
    wake_.notify_all();
}

void ReportRecorder::Submit(Read read)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        reads_.push_back(std::move(read));
    }
    wake_.notify_all();
}

void ReportRecorder::WriteLoop(ReportStore& store)
{
    std::vector<Pending> batch;
    std::vector<StoredReport> reports;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
            if (pending_.empty())
                return;
            // Whatever queued while the last transaction ran goes into the next one.
            while (!pending_.empty() && batch.size() < maxBatch_) {
                batch.push_back(std::move(pending_.front()));
                pending_.pop_front();
            }
        }
        reports.clear();
        for (Pending& pending : batch)
            reports.push_back(std::move(pending.report));
        std::vector<RecordOutcome> outcomes;
        try {
            outcomes = store.Record(reports);
        } catch (const std::exception&) {
            outcomes.clear();
        }
        for (std::size_t i = 0; i < batch.size(); ++i)
            batch[i].done(outcomes.empty() ? std::nullopt : std::optional(outcomes[i]));
        batch.clear();
    }
}

void ReportRecorder::ReadLoop(ReportStore& store)
{
    for (;;) {
        Read read;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !reads_.empty(); });
            if (reads_.empty())
                return;
            read = std::move(reads_.front());
            reads_.pop_front();
        }
        read(store);
    }
}
