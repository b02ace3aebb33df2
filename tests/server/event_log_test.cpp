#include "server/monitor/event_log.hpp"
#include "server/monitor/request_log.hpp"
#include "server/monitor/service_notify.hpp"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

const auto kAt = std::chrono::system_clock::time_point(1765000000123456us);

TEST(EventLog, LinesAreLogfmtWithTimeAndLevel)
{
    struct Case {
        const char* kind;
        std::string what, reason, line;
    };
    const Case cases[] = {
        {"store failure", "storing 3 reports", "database is locked",
         "time=2025-12-06T05:46:40.123456Z level=error event=\"store failure\" "
         "what=\"storing 3 reports\" reason=\"database is locked\""},
        {"connection closed", "192.0.2.7", "its request did not arrive within the deadline",
         "time=2025-12-06T05:46:40.123456Z level=info event=\"connection closed\" what=192.0.2.7 "
         "reason=\"its request did not arrive within the deadline\""},
        // A database's message over two lines, with quotes: still one line, one field.
        {"store failure", "reading", "ERROR:  relation \"x\" does not exist\nLINE 1: a\\b",
         "time=2025-12-06T05:46:40.123456Z level=error event=\"store failure\" what=reading "
         "reason=\"ERROR:  relation \\\"x\\\" does not exist LINE 1: a\\\\b\""},
        // A value that would start a field of its own, and an empty one.
        {"operator key refused", "a=b", "",
         "time=2025-12-06T05:46:40.123456Z level=warning event=\"operator key refused\" "
         "what=\"a=b\" reason=\"\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(EventLine(kAt, LevelOf(c.kind), c.kind, c.what, c.reason, false), c.line)
            << c.kind;
}

TEST(EventLog, LevelsAndJournalPriorities)
{
    struct Case {
        const char* kind;
        LogLevel level;
        const char* prefix; // as journald reads it
    };
    const Case cases[] = {
        {"store failure", LogLevel::Error, "<3>time="},
        {"unhandled fault", LogLevel::Error, "<3>time="},
        {"start refused", LogLevel::Error, "<3>time="},
        {"connection fault", LogLevel::Warning, "<4>time="},
        {"store retry", LogLevel::Warning, "<4>time="},
        {"operator key refused", LogLevel::Warning, "<4>time="},
        {"request log", LogLevel::Warning, "<4>time="},
        {"connection closed", LogLevel::Info, "<6>time="},
        {"read database", LogLevel::Notice, "<5>time="},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LevelOf(c.kind), c.level) << c.kind;
        EXPECT_EQ(EventLine(kAt, c.level, c.kind, "w", "r", true).rfind(c.prefix, 0), 0u) << c.kind;
    }
}

// Only the stream JOURNAL_STREAM names is the journal's: a child whose standard error was sent
// elsewhere writes no priorities into a file.
TEST(EventLog, JournalIsStandardErrorOnlyWhenTheVariableNamesIt)
{
    struct stat status {};
    ASSERT_EQ(fstat(STDERR_FILENO, &status), 0);
    const std::string own = std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
    const char* saved = std::getenv("JOURNAL_STREAM");
    const std::string restore = saved ? saved : "";
    struct Case {
        const char* value; // nullptr: unset
        bool journal;
    };
    const Case cases[] = {{nullptr, false},
                          {own.c_str(), true},
                          {"1:2", false},
                          {"garbage", false},
                          {(own + "1").c_str(), false}};
    for (const Case& c : cases) {
        if (c.value)
            setenv("JOURNAL_STREAM", c.value, 1);
        else
            unsetenv("JOURNAL_STREAM");
        EXPECT_EQ(StderrIsJournal(), c.journal) << (c.value ? c.value : "unset");
    }
    if (saved)
        setenv("JOURNAL_STREAM", restore.c_str(), 1);
    else
        unsetenv("JOURNAL_STREAM");
}

TEST(ServiceNotify, SocketAddresses)
{
    const std::string tooLong = "/" + std::string(120, 'x');
    struct Case {
        const char* variable;
        std::string address;
    };
    const Case cases[] = {{"/run/systemd/notify", "/run/systemd/notify"},
                          {"@abstract/name", std::string("\0abstract/name", 14)},
                          {nullptr, ""},
                          {"", ""},
                          {"@", ""},
                          {"relative/path", ""},
                          {tooLong.c_str(), ""}};
    for (const Case& c : cases)
        EXPECT_EQ(NotifySocketAddress(c.variable), c.address) << (c.variable ? c.variable : "null");
}

// READY=1 arrives as one datagram at a path socket and at an abstract one; nothing is sent, and
// nothing fails, without the variable; a socket nobody listens on is a failure.
TEST(ServiceNotify, SendsOneDatagram)
{
    char folder[] = "/tmp/vxm-notify-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/notify";
    const std::string abstract = "@vxm-notify-test-" + std::to_string(getpid());
    for (const std::string& name : {path, abstract}) {
        const int listener = ::socket(AF_UNIX, SOCK_DGRAM, 0);
        ASSERT_GE(listener, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string raw = NotifySocketAddress(name.c_str());
        std::memcpy(address.sun_path, raw.data(), raw.size());
        ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address),
                         static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + raw.size())),
                  0)
            << name;
        setenv("NOTIFY_SOCKET", name.c_str(), 1);
        EXPECT_TRUE(NotifyService("READY=1")) << name;
        char received[64] = {};
        EXPECT_EQ(::recv(listener, received, sizeof received, MSG_DONTWAIT), 7) << name;
        EXPECT_STREQ(received, "READY=1") << name;
        ::close(listener);
    }
    testing::internal::CaptureStderr();
    EXPECT_FALSE(NotifyService("READY=1")) << "the path's socket is closed";
    EXPECT_NE(testing::internal::GetCapturedStderr().find("event=\"service notify\""),
              std::string::npos);
    unsetenv("NOTIFY_SOCKET");
    EXPECT_TRUE(NotifyService("READY=1"));
    unlink(path.c_str());
    rmdir(folder);
}

// A log pipe whose reader is gone: said once on standard error, and later lines are let go.
TEST(RequestLogWriter, ClosedPipeIsSaidOnceAndTheServerGoesOn)
{
    const auto previous = std::signal(SIGPIPE, SIG_IGN); // as the server runs
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    ::close(ends[0]);
    testing::internal::CaptureStderr();
    {
        RequestLogWriter writer(ends[1]);
        for (int round = 0; round < 5; ++round) {
            writer.Write("time=x peer=y");
            std::this_thread::sleep_for(50ms); // past the writer's gathering
        }
    }
    const std::string said = testing::internal::GetCapturedStderr();
    std::signal(SIGPIPE, previous);
    ::close(ends[1]);
    std::size_t lines = 0;
    for (std::size_t at = said.find("event=\"request log\""); at != std::string::npos;
         at = said.find("event=\"request log\"", at + 1))
        ++lines;
    EXPECT_EQ(lines, 1u) << said;
    EXPECT_NE(said.find("level=warning"), std::string::npos) << said;
    EXPECT_NE(said.find("Broken pipe"), std::string::npos) << said;
}

} // namespace
