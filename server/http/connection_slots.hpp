#pragma once
// Open connections, counted in all and per client address, so that one address cannot take
// every slot.
#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>

class ConnectionSlots {
  public:
    ConnectionSlots(std::size_t total, std::size_t perAddress);
    // Takes a slot for a connection from `address`; false when all slots or that address's
    // share are taken.
    bool Take(const std::string& address);
    void Give(const std::string& address);
    std::size_t Open() const;

  private:
    const std::size_t total_, perAddress_;
    mutable std::mutex mutex_;
    std::size_t open_ = 0;
    std::unordered_map<std::string, std::size_t> byAddress_;
};
