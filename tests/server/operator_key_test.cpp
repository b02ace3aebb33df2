#include "server/http/operator_key.hpp"
#include "tests/server/server_fixture.hpp"

namespace {

using namespace std::chrono_literals;

TEST(BearerToken, TakesTheSchemeInAnyCase)
{
    const struct {
        const char* header;
        const char* token;
    } cases[] = {
        {"Bearer abc", "abc"}, {"bearer abc", "abc"}, {"BEARER  abc ", "abc"}, {"Basic YWJj", ""},
        {"Bearerabc", ""},     {"Bearer", ""},        {"Bearer a b", "a b"},   {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BearerToken(c.header), c.token) << c.header;
}

TEST(OperatorKey, ComparesWholeKeysAndReadsTheFilesFirstLine)
{
    EXPECT_TRUE(SameKey("0123456789abcdef", "0123456789abcdef"));
    EXPECT_FALSE(SameKey("0123456789abcdeF", "0123456789abcdef"));
    EXPECT_FALSE(SameKey("0123456789abcde", "0123456789abcdef"));
    EXPECT_FALSE(SameKey("", "")) << "no key opens nothing";
    EXPECT_EQ(KeyFromFileText("key-of-the-operator\n"), "key-of-the-operator");
    EXPECT_EQ(KeyFromFileText("key\r\nsecond line\n"), "key");
    EXPECT_EQ(KeyFromFileText("key"), "key");
}

TEST(KeyAttempts, EachWrongKeyDoublesTheWaitOfItsAddressUpToAMinute)
{
    KeyAttempts attempts;
    const auto start = KeyAttempts::Clock::now();
    EXPECT_EQ(attempts.Wait("a", start), KeyAttempts::Clock::duration::zero());
    attempts.Failed("a", start);
    EXPECT_EQ(attempts.Wait("a", start), std::chrono::seconds(1));
    EXPECT_EQ(attempts.Wait("b", start), KeyAttempts::Clock::duration::zero()) << "per address";
    EXPECT_EQ(attempts.Wait("a", start + 1s), KeyAttempts::Clock::duration::zero());
    attempts.Failed("a", start + 1s);
    EXPECT_EQ(attempts.Wait("a", start + 1s), std::chrono::seconds(2));
    for (int i = 0; i < 10; ++i)
        attempts.Failed("a", start + 1s);
    EXPECT_EQ(attempts.Wait("a", start + 1s), std::chrono::seconds(60));
    attempts.Succeeded("a");
    EXPECT_EQ(attempts.Wait("a", start + 1s), KeyAttempts::Clock::duration::zero());
}

TEST(KeyAttempts, ManyAddressesFailingAtOnceAreRememberedUpToTheBound)
{
    KeyAttempts attempts(3);
    const auto start = KeyAttempts::Clock::now();
    for (int i = 0; i < 3; ++i)
        attempts.Failed("a", start);
    int waiting = 0;
    for (int i = 0; i < 100; ++i)
        attempts.Failed("x" + std::to_string(i), start);
    for (int i = 0; i < 100; ++i)
        waiting +=
            attempts.Wait("x" + std::to_string(i), start) > KeyAttempts::Clock::duration::zero();
    EXPECT_EQ(waiting, 2);
    EXPECT_EQ(attempts.Wait("a", start), std::chrono::seconds(4)) << "the longest wait is kept";
}

// What every reply carries so that a browser runs nothing and frames nothing of it.
TEST(ProtectiveHeaders, OnThePageTheExportAndRefusals)
{
    const std::string folder = FreshSqliteFolder();
    {
        ServerOptions options;
        options.operatorKey = "0123456789abcdef";
        RunningServer server(folder, options);
        for (const std::string& target :
             {std::string("/"), std::string("/export.csv?key=0123456789abcdef"),
              std::string("/nothing")}) {
            const std::string reply = Get(server.Port(), target);
            EXPECT_NE(reply.find("Content-Security-Policy: default-src 'none'; style-src "
                                 "'unsafe-inline'; frame-ancestors 'none'\r\n"),
                      std::string::npos)
                << target;
            EXPECT_NE(reply.find("X-Content-Type-Options: nosniff\r\n"), std::string::npos)
                << target;
        }
    }
    // The data folder and the database are the server's own.
    EXPECT_EQ(std::filesystem::status(folder).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
    EXPECT_EQ(std::filesystem::status(folder + "/reports.sqlite3").permissions() &
                  std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    std::filesystem::remove_all(folder);
}

} // namespace
