#include "server/http/connection_slots.hpp"

ConnectionSlots::ConnectionSlots(std::size_t total, std::size_t perAddress)
    : total_(total), perAddress_(perAddress)
{
}

bool ConnectionSlots::AddressFull(const std::string& address) const
{
    const auto found = byAddress_.find(address);
    return (found == byAddress_.end() ? 0 : found->second) >= perAddress_;
}

bool ConnectionSlots::Take(const std::string& address)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (open_ >= total_ || AddressFull(address))
        return false;
    ++byAddress_[address];
    ++open_;
    return true;
}

void ConnectionSlots::Give(const std::string& address)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = byAddress_.find(address);
    if (found == byAddress_.end())
        return;
    --open_;
    if (--found->second == 0)
        byAddress_.erase(found);
}

std::size_t ConnectionSlots::Open() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}
