#include "server/http/operator_key.hpp"

#include <algorithm>
#include <cctype>

namespace {

constexpr std::chrono::seconds kFirstWait{1};
constexpr std::chrono::seconds kLongestWait{60};

} // namespace

std::string BearerToken(std::string_view authorization)
{
    constexpr std::string_view kScheme = "bearer";
    if (authorization.size() <= kScheme.size() ||
        !std::equal(kScheme.begin(), kScheme.end(), authorization.begin(), [](char a, char b) {
            return a == std::tolower(static_cast<unsigned char>(b));
        }))
        return {};
    std::string_view rest = authorization.substr(kScheme.size());
    if (rest.front() != ' ')
        return {};
    rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
    return std::string(rest.substr(0, rest.find_last_not_of(' ') + 1));
}

bool SameKey(const std::string& given, const std::string& key)
{
    if (key.empty() || given.size() != key.size())
        return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < key.size(); ++i)
        difference |= static_cast<unsigned char>(given[i] ^ key[i]);
    return difference == 0;
}

std::string KeyFromFileText(const std::string& text)
{
    std::string key = text.substr(0, text.find('\n'));
    if (!key.empty() && key.back() == '\r')
        key.pop_back();
    return key;
}

KeyAttempts::Clock::duration KeyAttempts::Wait(const std::string& address, Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = records_.find(address);
    if (found == records_.end() || found->second.next <= now)
        return Clock::duration::zero();
    return found->second.next - now;
}

void KeyAttempts::Failed(const std::string& address, Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    // When full, those whose wait has long passed are forgotten; when all still wait (many
    // addresses failing at once), the one whose wait ends first, so the records stay bounded.
    if (records_.size() >= maxRecords_ && !records_.count(address)) {
        for (auto it = records_.begin(); it != records_.end();)
            it = it->second.next + kLongestWait < now ? records_.erase(it) : std::next(it);
        if (records_.size() >= maxRecords_)
            records_.erase(std::min_element(
                records_.begin(), records_.end(),
                [](const auto& a, const auto& b) { return a.second.next < b.second.next; }));
    }
    Record& record = records_[address];
    const int doublings = std::min(record.failures, 6);
    record.next = now + std::min<Clock::duration>(kFirstWait * (1 << doublings), kLongestWait);
    ++record.failures;
}

void KeyAttempts::Succeeded(const std::string& address)
{
    std::lock_guard<std::mutex> lock(mutex_);
    records_.erase(address);
}
