// The request handler without sockets: a request in, the response out.
#include "server/http/request_handler.hpp"
#include "tests/server/report_samples.hpp"
#include "tests/server/server_fixture.hpp"

#include <gtest/gtest.h>

#include <future>

namespace http = boost::beast::http;

namespace {

const std::string kKey = "0123456789abcdef0123456789abcdef";

class RequestHandler : public ::testing::Test {
  protected:
    RequestHandler()
        : mRecorder([folder = FreshSqliteFolder()] { return OpenReportStore(folder); }, 1,
                    Settings{}.maxBatch, mMetrics),
          mServices(WithKey(), mRecorder, mMetrics, mIo.get_executor(), [] { return 0; })
    {
    }

    // The answer, however long the store takes; the status and headers of a file answer alike.
    Answer Handle(http::verb method, const std::string& target, const std::string& body = "",
                  const std::string& authorization = "")
    {
        Request request(method, target, 10);
        request.body() = body;
        if (!authorization.empty())
            request.set(http::field::authorization, authorization);
        request.prepare_payload();
        std::promise<Answer> answered;
        HandleRequest(mServices, std::move(request), "192.0.2.7",
                      [&](Answer answer) { answered.set_value(std::move(answer)); });
        return answered.get_future().get();
    }

  private:
    static ServerOptions WithKey()
    {
        ServerOptions options;
        options.operatorKey = kKey;
        return options;
    }
    ServerMetrics mMetrics;
    ReportRecorder mRecorder;
    boost::asio::io_context mIo; // the health check's deadline; the store answers first here

  protected:
    RequestServices mServices;
};

template <typename Visit> auto Visited(Answer& answer, Visit visit)
{
    return std::visit(visit, answer.response);
}

} // namespace

TEST_F(RequestHandler, AnswersEachRouteWithItsStatusTypeAndBody)
{
    const struct {
        http::verb method;
        std::string target, body, authorization;
        unsigned status;
        std::string type, bodyStart, header, headerValue;
    } cases[] = {
        {http::verb::get, "/", "", "", 200, "text/html; charset=utf-8", "<!DOCTYPE html>", "", ""},
        {http::verb::get, "http://example.org/healthz", "", "", 200, "text/plain; charset=utf-8",
         "ok\n", "", ""},
        {http::verb::get, "/metrics", "", "", 200, "text/plain; version=0.0.4; charset=utf-8",
         "# HELP", "", ""},
        {http::verb::post, kReportPath, "u=1", "", 200, "application/json", "{\"ret_code\":-3", "",
         ""},
        {http::verb::get, "/export.csv", "", "", 401, "text/plain; charset=utf-8",
         "operator key required", "WWW-Authenticate", "Bearer"},
        {http::verb::get, "/export.csv?after=x", "", "Bearer " + kKey, 400,
         "text/plain; charset=utf-8", "raw=1 or after=<id> expected", "", ""},
        // The raw form is in the senders' code pages: no character set is claimed.
        {http::verb::get, "/export.csv?raw=1", "", "Bearer " + kKey, 200, "text/csv", "", "", ""},
        {http::verb::get, "/export.csv", "", "Bearer " + kKey, 200, "text/csv; charset=utf-8", "",
         "", ""},
        {http::verb::delete_, "/", "", "", 405, "text/plain; charset=utf-8", "method not allowed",
         "Allow", "GET, HEAD"},
        {http::verb::get, "/nothing", "", "", 404, "text/plain; charset=utf-8", "not found", "",
         ""},
        // Absolute forms are read by their path, in either scheme and any case; the authority
        // ends at the query too.
        {http::verb::get, "HTTPS://example.org/healthz", "", "", 200, "text/plain; charset=utf-8",
         "ok\n", "", ""},
        {http::verb::get, "HtTp://h?x=/metrics", "", "", 200, "text/html; charset=utf-8",
         "<!DOCTYPE html>", "", ""},
        {http::verb::get, "ftp://h/metrics", "", "", 400, "text/plain; charset=utf-8",
         "malformed request target", "", ""},
        {http::verb::get, "metrics", "", "", 400, "text/plain; charset=utf-8",
         "malformed request target", "", ""},
    };
    for (const auto& c : cases) {
        Answer answer = Handle(c.method, c.target, c.body, c.authorization);
        Visited(answer, [&](auto& response) {
            EXPECT_EQ(response.result_int(), c.status) << c.target;
            EXPECT_EQ(response[http::field::content_type], c.type) << c.target;
            EXPECT_EQ(response[http::field::server], "VxmCheck report server") << c.target;
            EXPECT_EQ(response["X-Content-Type-Options"], "nosniff") << c.target;
            if (!c.header.empty()) {
                EXPECT_EQ(response[c.header], c.headerValue) << c.target;
            }
        });
        if (auto* text = std::get_if<Response>(&answer.response)) {
            EXPECT_EQ(text->body().substr(0, c.bodyStart.size()), c.bodyStart) << c.target;
        }
    }
}

// A HEAD has the GET's status and headers and no body; where only the body needs the store or
// the export, none is made (and no length is claimed).
TEST_F(RequestHandler, HeadIsAnsweredWithoutMakingTheBody)
{
    const struct {
        std::string target, authorization;
        unsigned status;
        std::string type, length;
    } cases[] = {
        {"/", "", 200, "text/html; charset=utf-8", ""},
        {"/healthz", "", 200, "text/plain; charset=utf-8", "3"},
        {"/metrics", "", 200, "text/plain; version=0.0.4; charset=utf-8", ""},
        {"/export.csv", "Bearer " + kKey, 200, "text/csv; charset=utf-8", ""},
        {"/export.csv", "", 401, "text/plain; charset=utf-8", "22"},
        {"/unknown.csv?raw=1", "Bearer " + kKey, 200, "text/csv", ""},
        {"/nothing", "", 404, "text/plain; charset=utf-8", "10"},
    };
    for (const auto& c : cases) {
        Answer answer = Handle(http::verb::head, c.target, "", c.authorization);
        const Response* response = std::get_if<Response>(&answer.response);
        ASSERT_NE(response, nullptr) << c.target << ": no export file is written";
        EXPECT_EQ(response->result_int(), c.status) << c.target;
        EXPECT_EQ((*response)[http::field::content_type], c.type) << c.target;
        EXPECT_EQ((*response)[http::field::content_length], c.length) << c.target;
        EXPECT_EQ(response->body(), "") << c.target;
    }
}

// Only a report may send its body after "100 Continue"; anything else is answered from its
// headers.
TEST(MayContinue, OnlyAReport)
{
    const struct {
        http::verb method;
        std::string target;
        bool allowed;
    } cases[] = {
        {http::verb::post, kReportPath, true},
        {http::verb::post, std::string("http://h") + kReportPath, true},
        {http::verb::post, "/nothing", false},
        {http::verb::put, kReportPath, false},
        {http::verb::get, "/export.csv", false},
    };
    for (const auto& c : cases) {
        http::request_header<> header;
        header.method(c.method);
        header.target(c.target);
        EXPECT_EQ(MayContinue(header), c.allowed) << c.target;
    }
}

TEST_F(RequestHandler, AWrongKeyIsAnsweredOnlyAfterItsWait)
{
    Answer answer = Handle(http::verb::get, "/export.csv", "", "Bearer wrong");
    EXPECT_EQ(std::get<Response>(answer.response).result_int(), 401u);
    EXPECT_EQ(answer.delay, kWrongKeyWait);
    // Its place among the waiting is held until the answer is sent.
    EXPECT_EQ(mServices.wrongKeysWaiting.Open(), 1u);
    answer.place.reset();
    EXPECT_EQ(mServices.wrongKeysWaiting.Open(), 0u);
}

TEST_F(RequestHandler, AReportIsRecordedOnceAndItsDecisionKept)
{
    // The same report again is answered as the first; another of the account and machine is a
    // repeat.
    const std::pair<std::string, Decision> expected[] = {
        {SampleForm(), Decision::Recorded},
        {SampleForm(), Decision::Recorded},
        {SampleForm("123456", "00-1A-2B-3C-4D-5E", "840"), Decision::Repeated}};
    for (const auto& [form, decision] : expected) {
        Answer answer = Handle(http::verb::post, kReportPath, form);
        EXPECT_EQ(answer.decision, decision);
        EXPECT_EQ(std::get<Response>(answer.response).body().rfind("{\"ret_code\":", 0), 0u);
    }
    Answer exported = Handle(http::verb::get, "/export.csv?raw=1", "", "Bearer " + kKey);
    EXPECT_GT(std::get<FileResponse>(exported.response).body().size(), 0u);
}
