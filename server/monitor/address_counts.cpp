#include "server/monitor/address_counts.hpp"

#include <algorithm>

void AddressCounts::Add(const std::string& address, Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (now - hourStart_ >= std::chrono::hours(1)) {
        counts_.clear();
        hourStart_ = now;
    }
    if (const auto found = counts_.find(address); found != counts_.end())
        ++found->second;
    else if (counts_.size() < maxAddresses_)
        counts_.emplace(address, 1);
}

AddressCounts::Reading AddressCounts::Read(std::size_t top) const
{
    Reading reading;
    std::lock_guard<std::mutex> lock(mutex_);
    reading.addresses = counts_.size();
    reading.most.assign(counts_.begin(), counts_.end());
    const auto end = reading.most.begin() + std::min(top, reading.most.size());
    std::partial_sort(reading.most.begin(), end, reading.most.end(),
                      [](const auto& a, const auto& b) { return a.second > b.second; });
    reading.most.erase(end, reading.most.end());
    return reading;
}
