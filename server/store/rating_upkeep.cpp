#include "server/store/rating_upkeep.hpp"

#include "server/intake/step_up.hpp"
#include "server/monitor/event_log.hpp"

bool KeepRatingsUp(ReportStore& store, RatingUpkeep& upkeep, ServerMetrics& metrics)
{
    const std::shared_ptr<const ServerTables> tables = CurrentServerTables();
    const auto now = std::chrono::steady_clock::now();
    if (now < upkeep.retryAt)
        return false;
    try {
        if (tables->digest != upkeep.passDigest)
            upkeep = {tables->digest, 0, false, upkeep.nextRead, upkeep.retryAt};
        if (!upkeep.passDone) {
            if (const auto last = store.Rerate(*tables, upkeep.cursor, kRerateBatch)) {
                upkeep.cursor = *last;
            } else {
                upkeep.passDone = true;
                upkeep.nextRead = now; // the suggestions and counts of the new ratings at once
            }
        }
        if (now >= upkeep.nextRead) {
            const ReportedNames names = store.MostReported(kSuggestedNames);
            UsePopularParts(std::make_shared<const PopularParts>(
                PopularPartsIn(*tables, names.processors, names.adapters)));
            const UnratedCounts unrated = store.Unrated();
            metrics.unratedProcessors = unrated.processors;
            metrics.unratedAdapters = unrated.adapters;
            upkeep.nextRead = now + kUpkeepPeriod;
        }
    } catch (const StoreRetry& e) {
        // The store has dealt with what it met: the step is taken again at once, not counted.
        LogFailure("store retry", "rating the stored reports", e.what());
        return true;
    } catch (const std::exception& e) {
        ++metrics.storeFailures;
        LogStoreFailure("rating the stored reports", e.what());
        upkeep.retryAt = now + kUpkeepPeriod;
        return false;
    }
    return !upkeep.passDone;
}
