#include "server/http/connection_slots.hpp"

ConnectionSlots::ConnectionSlots(std::size_t total, std::size_t perAddress)
    : mTotal(total), mPerAddress(perAddress)
{
}

bool ConnectionSlots::AddressFull(const std::string& address) const
{
    const auto found = mByAddress.find(address);
    return (found == mByAddress.end() ? 0 : found->second) >= mPerAddress;
}

bool ConnectionSlots::Take(const std::string& address)
{
    std::lock_guard<std::mutex> lock(mMutex);
    if (mOpen >= mTotal || AddressFull(address))
        return false;
    ++mByAddress[address];
    ++mOpen;
    return true;
}

void ConnectionSlots::Give(const std::string& address)
{
    std::lock_guard<std::mutex> lock(mMutex);
    const auto found = mByAddress.find(address);
    if (found == mByAddress.end())
        return;
    --mOpen;
    if (--found->second == 0)
        mByAddress.erase(found);
}

std::size_t ConnectionSlots::Open() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mOpen;
}
