#include "server/http/stalled_connections.hpp"

StalledConnections::Id StalledConnections::Add(std::string address, std::function<void()> evict)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const Id id = next_++;
    waiting_.emplace(id,
                     Entry{std::move(address), std::chrono::steady_clock::now(), std::move(evict)});
    return id;
}

void StalledConnections::Remove(Id id)
{
    if (id == 0)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    waiting_.erase(id);
}

bool StalledConnections::EvictOldest(const std::string& address,
                                     std::chrono::steady_clock::time_point now)
{
    std::function<void()> evict;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto entry = waiting_.begin();
             entry != waiting_.end() && now - entry->second.since >= kMinEvictableWait; ++entry) {
            if (address.empty() || entry->second.address == address) {
                evict = std::move(entry->second.evict);
                waiting_.erase(entry);
                break;
            }
        }
    }
    if (!evict)
        return false;
    evict();
    return true;
}
