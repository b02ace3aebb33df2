#include "server/monitor/address_counts.hpp"

#include <algorithm>

void AddressCounts::Add(const std::string& address, Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(mMutex);
    if (now - mHourStart >= std::chrono::hours(1)) {
        mCounts.clear();
        mHourStart = now;
    }
    if (const auto found = mCounts.find(address); found != mCounts.end())
        ++found->second;
    else if (mCounts.size() < mMaxAddresses)
        mCounts.emplace(address, 1);
}

AddressCounts::Reading AddressCounts::Read(std::size_t top) const
{
    Reading reading;
    std::lock_guard<std::mutex> lock(mMutex);
    reading.addresses = mCounts.size();
    reading.most.assign(mCounts.begin(), mCounts.end());
    const auto end = reading.most.begin() + std::min(top, reading.most.size());
    std::partial_sort(reading.most.begin(), end, reading.most.end(),
                      [](const auto& a, const auto& b) { return a.second > b.second; });
    reading.most.erase(end, reading.most.end());
    return reading;
}
