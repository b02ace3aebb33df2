// Admission without sockets: which connection is closed for a newcomer, and how slots and
// shares move between connections.
#include "server/http/admission.hpp"

#include <gtest/gtest.h>

#include <map>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(EvictionRank, SparesWhatAnHonestClientIsDoing)
{
    const auto now = Clock::now();
    const struct {
        const char* name;
        ConnectionPhase phase;
        Clock::duration in;
        std::size_t bodyBytes;
        std::optional<int> rank;
        std::size_t addressSlots = 1, newcomerSlots = 0;
    } cases[] = {
        {"lingering after its last reply", ConnectionPhase::Lingering, 0s, 0, 0},
        {"silent past the first request's grace", ConnectionPhase::AwaitingFirst,
         kFirstRequestGrace, 0, 1},
        {"just connected", ConnectionPhase::AwaitingFirst, kFirstRequestGrace - 1ms, 0, {}},
        {"kept alive and idle", ConnectionPhase::AwaitingNext, 0s, 0, 2},
        {"a body below the line", ConnectionPhase::ReceivingBody, 4s, 4 * kHonestBodyPace - 1, 3},
        {"a body at the line", ConnectionPhase::ReceivingBody, 4s, 4 * kHonestBodyPace, {}},
        {"a body at 1 KB/s", ConnectionPhase::ReceivingBody, 2500ms, 2500, {}},
        {"a body not yet judged", ConnectionPhase::ReceivingBody, kPaceGrace - 1ms, 0, {}},
        {"being answered", ConnectionPhase::Answering, 60s, 0, {}},
        {"writing its last reply", ConnectionPhase::Closing, 60s, 0, {}},
        {"just connected from an address holding more than the newcomer's would",
         ConnectionPhase::AwaitingFirst, 0s, 0, 4, 8, 6},
        {"just connected from an address holding as many",
         ConnectionPhase::AwaitingFirst,
         0s,
         0,
         {},
         8,
         7},
    };
    for (const auto& c : cases) {
        EvictionCandidate candidate;
        candidate.phase = c.phase;
        candidate.since = now - c.in;
        candidate.bodyBytes = c.bodyBytes;
        candidate.addressSlots = c.addressSlots;
        EXPECT_EQ(EvictionRank(candidate, c.newcomerSlots, now), c.rank) << c.name;
    }
}

TEST(ChooseVictim, RankThenTheBusiestAddressThenTheOldest)
{
    const auto now = Clock::now();
    const std::string a = "192.0.2.1", b = "192.0.2.2";
    const auto idle = [&](std::uint64_t id, const std::string* address, std::size_t slots,
                          Clock::duration in) {
        return EvictionCandidate{id, ConnectionPhase::AwaitingNext, address, slots, now - in, 0};
    };
    const auto lingering = [&](std::uint64_t id, const std::string* address) {
        return EvictionCandidate{id, ConnectionPhase::Lingering, address, 0, now, 0};
    };
    const auto answering = [&](std::uint64_t id, const std::string* address) {
        return EvictionCandidate{id, ConnectionPhase::Answering, address, 9, now - 60s, 0};
    };
    const struct {
        const char* name;
        std::vector<EvictionCandidate> candidates;
        const std::string* from;
        std::optional<std::uint64_t> victim;
    } cases[] = {
        {"nothing to close", {}, nullptr, {}},
        {"a lingering socket before an older idle one",
         {idle(1, &a, 1, 9s), lingering(2, nullptr)},
         nullptr,
         2},
        {"the address holding more slots", {idle(1, &a, 1, 9s), idle(2, &b, 5, 1s)}, nullptr, 2},
        {"the oldest of one address", {idle(1, &a, 2, 1s), idle(2, &a, 2, 3s)}, nullptr, 2},
        {"only the newcomer's address helps when its share is full",
         {idle(1, &b, 5, 9s), idle(2, &a, 1, 1s)},
         &a,
         2},
        {"none of the newcomer's address can go", {idle(1, &b, 5, 9s), answering(2, &a)}, &a, {}},
        {"a proxy's connection counts for no address", {lingering(1, nullptr)}, &a, {}},
        {"being answered is never closed", {answering(1, &a)}, nullptr, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseVictim(c.candidates, c.from, 0, now), c.victim) << c.name;
}

// A register of two slots, one per address, whose newcomers say what became of them.
class AdmissionTest : public ::testing::Test {
  protected:
    // The newcomer's id once started, 0 while waiting, -1 when refused.
    std::int64_t Arrive(const std::string& address, bool viaProxy = false)
    {
        const int n = mArrivals++;
        mOutcome[n] = 0;
        Admission::Newcomer newcomer;
        newcomer.address = address;
        newcomer.viaProxy = viaProxy;
        newcomer.evict = [this, n] { mEvicted.push_back(n); };
        newcomer.start = [this, n](Admission::Id id) { mOutcome[n] = std::int64_t(id); };
        newcomer.refuse = [this, n] { mOutcome[n] = -1; };
        mAdmission.Admit(std::move(newcomer));
        return mOutcome[n];
    }
    Admission mAdmission{2, 1};
    int mArrivals = 0;
    std::map<int, std::int64_t> mOutcome; // by arrival
    std::vector<int> mEvicted;            // arrivals closed for a newcomer
};

TEST_F(AdmissionTest, TheFreedSlotIsKeptForTheNewcomer)
{
    const auto first = Arrive("a");
    ASSERT_GT(first, 0);
    ASSERT_GT(Arrive("b"), 0);
    mAdmission.Enter(first, ConnectionPhase::AwaitingNext);
    EXPECT_EQ(Arrive("c"), 0) << "waits for the idle connection to let go";
    EXPECT_EQ(mEvicted, std::vector<int>{0});
    EXPECT_EQ(Arrive("d"), -1) << "the slot being freed is promised already";
    mAdmission.Release(first);
    EXPECT_GT(mOutcome[2], 0) << "started once the victim let go";
    EXPECT_EQ(mAdmission.Open(), 2u);
    EXPECT_EQ(mAdmission.HeldBy("a"), 0u);
    EXPECT_EQ(mAdmission.HeldBy("c"), 1u);
}

TEST_F(AdmissionTest, NoOneIsClosedForANewcomerItCannotHelp)
{
    const auto first = Arrive("a");
    const auto second = Arrive("b");
    mAdmission.Enter(first, ConnectionPhase::Answering);
    mAdmission.Enter(second, ConnectionPhase::AwaitingNext);
    // a's share is full and its one connection is being answered: b's idle one frees nothing a
    // can use.
    EXPECT_EQ(Arrive("a"), -1);
    EXPECT_TRUE(mEvicted.empty());
    EXPECT_EQ(mAdmission.Open(), 2u);
}

TEST_F(AdmissionTest, AClosingConnectionNoLongerCountsAgainstItsAddress)
{
    Admission roomy(4, 1);
    std::vector<Admission::Id> started;
    const auto arrive = [&] {
        Admission::Newcomer one;
        one.address = "a";
        one.evict = [] {};
        one.start = [&](Admission::Id id) { started.push_back(id); };
        one.refuse = [] {};
        roomy.Admit(std::move(one));
    };
    arrive();
    ASSERT_EQ(started.size(), 1u);
    arrive();
    EXPECT_EQ(started.size(), 1u) << "a's share is one";
    for (const ConnectionPhase phase : {ConnectionPhase::Closing, ConnectionPhase::Lingering}) {
        roomy.Enter(started.back(), phase);
        EXPECT_EQ(roomy.HeldBy("a"), 0u);
        arrive();
        EXPECT_EQ(started.size(), phase == ConnectionPhase::Closing ? 2u : 3u);
    }
    EXPECT_EQ(roomy.Open(), 3u) << "each still holds a slot in all until it has closed";
}

TEST_F(AdmissionTest, AProxysClientsCountWhileTheirRequestsAreAnswered)
{
    const auto proxy = Arrive("127.0.0.1", true);
    ASSERT_GT(proxy, 0);
    EXPECT_EQ(mAdmission.HeldBy("127.0.0.1"), 0u) << "the proxy counts in all only";
    EXPECT_TRUE(mAdmission.TakeClient(proxy, "203.0.113.5"));
    const auto direct = Arrive("203.0.113.5");
    EXPECT_EQ(direct, -1) << "the forwarded client holds its address's share";
    mAdmission.GiveClient(proxy);
    EXPECT_EQ(mAdmission.HeldBy("203.0.113.5"), 0u);
    EXPECT_GT(Arrive("203.0.113.5"), 0);
}

} // namespace
