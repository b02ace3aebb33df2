#include "server/http/admission.hpp"

#include <tuple>

std::optional<int> EvictionRank(const EvictionCandidate& candidate, std::size_t newcomerSlots,
                                std::chrono::steady_clock::time_point now)
{
    const auto in = now - candidate.since;
    switch (candidate.phase) {
    case ConnectionPhase::Lingering:
        return 0;
    case ConnectionPhase::AwaitingFirst:
        if (in >= kFirstRequestGrace)
            return 1;
        return candidate.addressSlots > newcomerSlots + 1 ? std::optional<int>(4) : std::nullopt;
    case ConnectionPhase::AwaitingNext:
        return 2;
    case ConnectionPhase::ReceivingBody: {
        if (in < kPaceGrace)
            return std::nullopt;
        const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(in).count();
        const bool slow = candidate.bodyBytes * 1000 < kHonestBodyPace * std::size_t(millis);
        return slow ? std::optional<int>(3) : std::nullopt;
    }
    case ConnectionPhase::Answering:
    case ConnectionPhase::Closing:
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::uint64_t> ChooseVictim(const std::vector<EvictionCandidate>& candidates,
                                          const std::string* from, std::size_t newcomerSlots,
                                          std::chrono::steady_clock::time_point now)
{
    const EvictionCandidate* best = nullptr;
    // Lower is evicted first: the rank, then more slots held, then longer in the phase.
    std::tuple<int, std::ptrdiff_t, std::chrono::steady_clock::time_point> bestKey;
    for (const EvictionCandidate& candidate : candidates) {
        if (from && (!candidate.address || *candidate.address != *from))
            continue;
        const auto rank = EvictionRank(candidate, newcomerSlots, now);
        if (!rank)
            continue;
        const auto key =
            std::make_tuple(*rank, -std::ptrdiff_t(candidate.addressSlots), candidate.since);
        if (!best || key < bestKey) {
            best = &candidate;
            bestKey = key;
        }
    }
    return best ? std::optional<std::uint64_t>(best->id) : std::nullopt;
}

Admission::Admission(std::size_t total, std::size_t perAddress)
    : mTotal(total), mPerAddress(perAddress)
{
}

void Admission::Count(const std::string& address)
{
    ++mByAddress[address];
}

void Admission::Uncount(const std::string& address)
{
    const auto found = mByAddress.find(address);
    if (found != mByAddress.end() && --found->second == 0)
        mByAddress.erase(found);
}

void Admission::StopCounting(Entry& entry)
{
    if (entry.counted)
        Uncount(entry.address);
    entry.counted = false;
    if (!entry.client.empty())
        Uncount(entry.client);
    entry.client.clear();
}

std::size_t Admission::SlotsOf(const std::string& address) const
{
    const auto found = mByAddress.find(address);
    return found == mByAddress.end() ? 0 : found->second;
}

Admission::Id Admission::Insert(Newcomer& newcomer, bool alreadyCounted)
{
    const Id id = mNext++;
    Entry& entry = mEntries[id];
    entry.address = std::move(newcomer.address);
    entry.counted = !newcomer.viaProxy;
    if (entry.counted && !alreadyCounted)
        Count(entry.address);
    entry.since = std::chrono::steady_clock::now();
    entry.evict = std::move(newcomer.evict);
    return id;
}

std::function<void()> Admission::EvictFor(Newcomer& newcomer, bool addressFull)
{
    std::vector<EvictionCandidate> candidates;
    candidates.reserve(mEntries.size());
    for (const auto& [id, entry] : mEntries) {
        if (entry.evicted)
            continue;
        const std::string* counted = entry.counted           ? &entry.address
                                     : !entry.client.empty() ? &entry.client
                                                             : nullptr;
        candidates.push_back({id, entry.phase, counted, counted ? SlotsOf(*counted) : 0,
                              entry.since, entry.bodyBytes});
    }
    const auto victim = ChooseVictim(candidates, addressFull ? &newcomer.address : nullptr,
                                     newcomer.viaProxy ? 0 : SlotsOf(newcomer.address),
                                     std::chrono::steady_clock::now());
    if (!victim)
        return {};
    Entry& entry = mEntries.at(*victim);
    entry.evicted = true;
    // The victim stops counting now and the newcomer starts: its place is kept for it.
    StopCounting(entry);
    if (!newcomer.viaProxy)
        Count(newcomer.address);
    std::function<void()> evict = std::move(entry.evict);
    entry.heir = std::move(newcomer);
    return evict;
}

void Admission::Admit(Newcomer newcomer)
{
    std::function<void()> evict;
    Id started = 0;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        const bool addressFull = !newcomer.viaProxy && SlotsOf(newcomer.address) >= mPerAddress;
        if (!addressFull && mOpen < mTotal) {
            ++mOpen;
            started = Insert(newcomer, false);
        } else {
            evict = EvictFor(newcomer, addressFull);
        }
    }
    if (started)
        return newcomer.start(started);
    if (evict)
        return evict();
    newcomer.refuse();
}

void Admission::Enter(Id id, ConnectionPhase phase)
{
    std::lock_guard<std::mutex> lock(mMutex);
    const auto found = mEntries.find(id);
    if (found == mEntries.end())
        return;
    Entry& entry = found->second;
    entry.phase = phase;
    entry.since = std::chrono::steady_clock::now();
    entry.bodyBytes = 0;
    if (phase == ConnectionPhase::Closing || phase == ConnectionPhase::Lingering)
        StopCounting(entry);
}

void Admission::Received(Id id, std::size_t bodyBytes)
{
    std::lock_guard<std::mutex> lock(mMutex);
    const auto found = mEntries.find(id);
    if (found != mEntries.end())
        found->second.bodyBytes = bodyBytes;
}

bool Admission::TakeClient(Id id, const std::string& client)
{
    std::lock_guard<std::mutex> lock(mMutex);
    const auto found = mEntries.find(id);
    if (found == mEntries.end() || found->second.evicted || SlotsOf(client) >= mPerAddress)
        return false;
    if (!found->second.client.empty())
        Uncount(found->second.client);
    found->second.client = client;
    Count(client);
    return true;
}

void Admission::GiveClient(Id id)
{
    std::lock_guard<std::mutex> lock(mMutex);
    const auto found = mEntries.find(id);
    if (found == mEntries.end() || found->second.client.empty())
        return;
    Uncount(found->second.client);
    found->second.client.clear();
}

void Admission::Release(Id id)
{
    std::optional<Newcomer> heir;
    Id started = 0;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        const auto found = mEntries.find(id);
        if (found == mEntries.end())
            return;
        StopCounting(found->second);
        heir = std::move(found->second.heir);
        mEntries.erase(found);
        if (heir)
            started = Insert(*heir, true);
        else
            --mOpen;
    }
    if (heir)
        heir->start(started);
}

std::size_t Admission::Open() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mOpen;
}

std::size_t Admission::HeldBy(const std::string& address) const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return SlotsOf(address);
}
