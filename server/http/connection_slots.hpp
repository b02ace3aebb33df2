#pragma once
// Places counted in all and per client address, so that one address cannot take them all (the
// wrong operator keys waiting for their answer).
#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>

class ConnectionSlots {
  public:
    ConnectionSlots(std::size_t total, std::size_t perAddress);
    // Takes a place for `address`; false when all places or that address's share are taken.
    bool Take(const std::string& address);
    void Give(const std::string& address);
    std::size_t Open() const;

  private:
    bool AddressFull(const std::string& address) const;

    const std::size_t mTotal, mPerAddress;
    mutable std::mutex mMutex;
    std::size_t mOpen = 0;
    std::unordered_map<std::string, std::size_t> mByAddress;
};
