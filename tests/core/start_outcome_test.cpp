// What a Start shows for each way the upload and the count end.
#include "dialog/start_outcome.hpp"
#include "report/post_report.hpp"

#include <gtest/gtest.h>

#include <boost/asio/error.hpp>

#include <sstream>
#include <stdexcept>
#include <type_traits>

namespace {

constexpr const char* kFailureText = "数据提交失败，请稍后再尝试。";

// Each way a step can end: its message, or the error it raises.
enum class Ends { Returns, Repeated, Refused, Network, LogicFault, RuntimeFault };

void Raise(Ends ends, const char* what)
{
    switch (ends) {
    case Ends::Returns:
        return;
    case Ends::Repeated:
        throw ReplicatedCommit(what);
    case Ends::Refused:
        throw ServerRefusal(what);
    case Ends::Network:
        throw NetworkError("connect", boost::asio::error::connection_refused, what);
    case Ends::LogicFault:
        throw std::out_of_range(what);
    case Ends::RuntimeFault:
        throw std::runtime_error(what);
    }
}

} // namespace

// Callers that catch the refusal's old family keep working.
static_assert(std::is_base_of_v<std::logic_error, ServerRefusal>);

TEST(StartOutcome, MessageHeadingLogAndFaultForEachEnding)
{
    struct Case {
        Ends post;
        Ends count;
        bool showDetail;
        StartOutcome expected;
        bool counted;        // the count was tried
        const char* logged;  // a part of the log, or "" for an empty one
        const char* faulted; // every fault reported, one per line
    };
    const Case cases[] = {
        {Ends::Returns, Ends::Returns, false, {"server says", true}, true, "", ""},
        // Recorded, then not counted: the server's message and heading stand, and the count's
        // failure is reported once, as a fault, not in the log.
        {Ends::Returns,
         Ends::RuntimeFault,
         false,
         {"server says", true},
         true,
         "",
         "run count: boom\n"},
        {Ends::Returns,
         Ends::LogicFault,
         true,
         {"server says", true},
         true,
         "",
         "run count: boom\n"},
        {Ends::Repeated, Ends::Returns, false, {"already", false}, true, "", ""},
        // Not counted after a repeated report: the network-failure text shows it, as any failure
        // of the upload.
        {Ends::Repeated, Ends::RuntimeFault, false, {kFailureText, false}, true, "boom", ""},
        {Ends::Refused, Ends::Returns, false, {"refused", false}, false, "", ""},
        {Ends::Refused, Ends::Returns, true, {"refused", false}, false, "", ""},
        {Ends::Network, Ends::Returns, false, {kFailureText, false}, false, "connect: down", ""},
        {Ends::Network, Ends::Returns, true, {"网络错误:connect: down", false}, false, "down", ""},
        // A fault of the program is no refusal of the server's, whatever its family.
        {Ends::LogicFault, Ends::Returns, false, {kFailureText, false}, false, "bug", ""},
        {Ends::LogicFault, Ends::Returns, true, {"网络错误:bug", false}, false, "bug", ""},
        {Ends::RuntimeFault, Ends::Returns, false, {kFailureText, false}, false, "bug", ""},
    };
    const char* postText[] = {"server says", "already", "refused", "down", "bug", "bug"};
    for (const Case& c : cases) {
        bool counted = false;
        std::ostringstream log;
        std::string faults;
        const StartOutcome got = SubmitReport(
            [&] {
                Raise(c.post, postText[static_cast<int>(c.post)]);
                return std::string("server says");
            },
            [&] {
                counted = true;
                Raise(c.count, "boom");
            },
            c.showDetail, log, [&](const std::string& what) { faults += what + "\n"; });
        const std::string label = std::to_string(static_cast<int>(c.post)) + "/" +
                                  std::to_string(static_cast<int>(c.count));
        EXPECT_EQ(got.message, c.expected.message) << label;
        EXPECT_EQ(got.ok, c.expected.ok) << label;
        EXPECT_EQ(counted, c.counted) << label;
        if (*c.logged)
            EXPECT_NE(log.str().find(c.logged), std::string::npos) << label << ": " << log.str();
        else
            EXPECT_EQ(log.str(), "") << label;
        EXPECT_EQ(faults, c.faulted) << label;
    }
}
