#pragma once
// Open connections, counted in all and per client address, so that one address cannot take
// every slot. A trusted proxy's connections count in all only; each request through one counts
// against its client's address while it is answered.
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
    // A slot counted in all only (a trusted proxy's connection).
    bool TakeUncounted();
    void GiveUncounted();
    // A place in the address's share alone (a request from a client behind a proxy).
    bool TakeAddress(const std::string& address);
    void GiveAddress(const std::string& address);
    std::size_t Open() const;
    bool Full() const; // every slot is taken

  private:
    bool AddressFull(const std::string& address) const;

    const std::size_t total_, perAddress_;
    mutable std::mutex mutex_;
    std::size_t open_ = 0;
    std::unordered_map<std::string, std::size_t> byAddress_;
};
