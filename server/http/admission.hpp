#pragma once
// Who holds the server's connection slots. There are --max-connections in all, and a client
// address holds at most --max-per-address of them (a trusted proxy's connections count in all
// only; each request through one counts against its client's address while it is received and
// answered). A newcomer that finds its address's share or the server full is not simply refused:
// a connection that costs an honest client nothing is closed for it, in this order:
//   1. a lingering socket (its last reply sent, waiting for the client to close);
//   2. a connection that has sent nothing of its first request for kFirstRequestGrace;
//   3. a kept-alive connection idle between requests;
//   4. one receiving its request's body below kHonestBodyPace (judged after kPaceGrace);
//   5. one that has just connected, from an address holding more slots than the newcomer's
//      would (a flood of fresh sockets gives way; a client behind the newcomer's own address
//      does not, so honest clients sharing an address never close each other's uploads);
// within a rank from the address that holds the most slots, then the one that has been in its
// state longest. A connection receiving its body at an honest pace, or being answered, is never
// closed. The victim must free what the newcomer lacks (a slot of its own address when that
// share is what is full), and its slot is kept for the newcomer, who starts once the victim has
// let go; with no such victim the newcomer gets 503. A connection whose last reply is on its way
// no longer counts against its address.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// Where a connection is in its life, as far as admission cares.
enum class ConnectionPhase {
    AwaitingFirst, // accepted; its first request's headers have not arrived
    AwaitingNext,  // kept alive after a reply; the next request's headers have not arrived
    ReceivingBody, // the headers arrived; the body is arriving
    Answering,     // the whole request arrived; it is being handled and its reply written
    Closing,       // its last reply is being written
    Lingering,     // its last reply is sent; it waits briefly for the client to close
};

// The slowest body still taken for an honest upload. The program's report is 2 to 3 KB and must
// arrive within the 10 s request deadline, so below some 256 bytes a second it cannot arrive in
// time whoever sends it; an old modem or a congested mobile link sends a kilobyte a second or
// more. A hoarder that keeps above the line pays for its slot with bytes and still meets the
// whole request's deadline.
constexpr std::size_t kHonestBodyPace = 256; // bytes a second
// The pace is judged only after this much of the body's time (a client that waited for
// 100 Continue, or a body's first segment lost once, must not look slow).
constexpr std::chrono::milliseconds kPaceGrace{1000};
// A new connection's first request gets this long before it counts as having sent nothing: the
// request follows the handshake within one round trip.
constexpr std::chrono::milliseconds kFirstRequestGrace{500};

// A connection as the choice of a victim sees it.
struct EvictionCandidate {
    std::uint64_t id = 0;
    ConnectionPhase phase = ConnectionPhase::AwaitingFirst;
    const std::string* address = nullptr; // what it counts against; null: nothing (a proxy's)
    std::size_t addressSlots = 0;         // held by that address
    std::chrono::steady_clock::time_point since; // entered its phase
    std::size_t bodyBytes = 0;                   // received of the body, when receiving it
};

// 0 (evicted first) to 4, or nullopt when the connection must not be closed for this newcomer,
// whose address holds `newcomerSlots`.
std::optional<int> EvictionRank(const EvictionCandidate& candidate, std::size_t newcomerSlots,
                                std::chrono::steady_clock::time_point now);

// The id of the connection to close for a newcomer, or nullopt; `from` (when not null) is the
// only address whose connections help.
std::optional<std::uint64_t> ChooseVictim(const std::vector<EvictionCandidate>& candidates,
                                          const std::string* from, std::size_t newcomerSlots,
                                          std::chrono::steady_clock::time_point now);

class Admission {
  public:
    using Id = std::uint64_t;
    struct Newcomer {
        std::string address;
        bool viaProxy = false;         // a trusted proxy: counts in all only
        std::function<void()> evict;   // closes the connection (from any thread, any time)
        std::function<void(Id)> start; // it holds a slot now (perhaps later, on a victim's thread)
        std::function<void()> refuse;  // no slot for it: the 503
    };

    Admission(std::size_t total, std::size_t perAddress);

    // Starts, refuses or (once a victim has let go) starts the newcomer; calls none of its
    // functions while holding the register.
    void Admit(Newcomer newcomer);
    void Enter(Id id, ConnectionPhase phase);
    // Of the body being received: the bytes so far.
    void Received(Id id, std::size_t bodyBytes);
    // A place in the share of the client a proxy names, while its request is received and
    // answered; false when that share is full.
    bool TakeClient(Id id, const std::string& client);
    void GiveClient(Id id);
    // The connection has closed: its slot goes to a newcomer waiting for it, or is free.
    void Release(Id id);

    std::size_t Open() const;
    // Held against one address (tests and metrics).
    std::size_t HeldBy(const std::string& address) const;

  private:
    struct Entry {
        std::string address;
        bool counted = false; // against `address`
        std::string client;   // a forwarded client whose place it holds, or empty
        ConnectionPhase phase = ConnectionPhase::AwaitingFirst;
        std::chrono::steady_clock::time_point since;
        std::size_t bodyBytes = 0;
        std::function<void()> evict;
        bool evicted = false;
        std::optional<Newcomer> heir; // waits for this slot
    };
    void Count(const std::string& address);
    void Uncount(const std::string& address);
    void StopCounting(Entry& entry);
    std::size_t SlotsOf(const std::string& address) const;
    // Under the lock: a victim for `newcomer`, marked and given its heir; its evict function.
    std::function<void()> EvictFor(Newcomer& newcomer, bool addressFull);
    Id Insert(Newcomer& newcomer, bool alreadyCounted);

    const std::size_t mTotal, mPerAddress;
    mutable std::mutex mMutex;
    Id mNext = 1;
    std::size_t mOpen = 0; // slots held, those of closed-for-a-newcomer connections included
    std::unordered_map<Id, Entry> mEntries;
    std::unordered_map<std::string, std::size_t> mByAddress;
};
