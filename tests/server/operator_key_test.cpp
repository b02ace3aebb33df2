#include "server/http/operator_key.hpp"
#include "tests/server/server_fixture.hpp"

namespace {

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

// A key carries 128 bits at least, counted over the smallest alphabet that holds it.
TEST(OperatorKey, MustCarry128Bits)
{
    const struct {
        std::string key;
        bool accepted;
    } cases[] = {
        {std::string(32, 'f'), true},
        {std::string(31, 'f'), false},
        {std::string(39, '7'), true},
        {std::string(38, '7'), false},
        {"k3y" + std::string(22, 'q'), true},
        {"k3y" + std::string(21, 'q'), false},
        {"Ab3" + std::string(19, 'z'), true},
        {"Ab3" + std::string(18, 'z'), false},
        // What the README's recipe makes, and plain base64 with its padding.
        {"q-8_ZxT0aLw2Rk9vNc4uYe1iGh7jBm5s", true},
        {"a+b/" + std::string(18, 'Q') + "==", true},
        {"a+b/" + std::string(17, 'Q') + "==", false},
        {"local-operator-key", false},
        {std::string(40, 'a') + " b", false},
        {std::string(20, 'a') + "=" + std::string(20, 'b'), false},
        {std::string(40, 'a') + "\xc3\xa9", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OperatorKeyFault(c.key).empty(), c.accepted) << c.key << OperatorKeyFault(c.key);
    EXPECT_NE(OperatorKeyFault(std::string(31, 'f')).find("hex digits needs 32 characters"),
              std::string::npos);
}

// What every reply carries so that a browser runs nothing and frames nothing of it.
TEST(ProtectiveHeaders, OnThePageTheExportAndRefusals)
{
    const std::string folder = FreshSqliteFolder();
    {
        ServerOptions options;
        options.operatorKey = std::string(32, 'e');
        RunningServer server(folder, options);
        const std::pair<std::string, std::string> requests[] = {
            {"/", ""},
            {"/export.csv", "Authorization: Bearer " + options.operatorKey + "\r\n"},
            {"/export.csv", ""},
            {"/nothing", ""}};
        for (const auto& [target, headers] : requests) {
            const std::string reply = Get(server.Port(), target, headers);
            EXPECT_NE(reply.find("Content-Security-Policy: default-src 'none'; style-src "
                                 "'unsafe-inline'; frame-ancestors 'none'\r\n"),
                      std::string::npos)
                << target << headers;
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
