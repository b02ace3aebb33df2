#pragma once
// What the server answers to a request, knowing nothing of sockets: a parsed request and the
// peer's address in, one response out, its length set (a HEAD's answer has the GET's headers and
// no body, and the body is not made). Answers that need the store come later, from a store
// thread; every other answer comes at once.
#include "server/http/connection_slots.hpp"
#include "server/http/health_check.hpp"
#include "server/http/operator_key.hpp"
#include "server/intake/report_decision.hpp"
#include "server/monitor/server_metrics.hpp"
#include "server/server_settings.hpp"
#include "server/store/report_recorder.hpp"
#include "server/views/page_cache.hpp"

#include <boost/beast/http/file_body.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

using Request = boost::beast::http::request<boost::beast::http::string_body>;
using Response = boost::beast::http::response<boost::beast::http::string_body>;
// The export, sent from a temporary file.
using FileResponse = boost::beast::http::response<boost::beast::http::file_body>;

struct Answer {
    Answer(Response response, std::optional<Decision> decision = std::nullopt)
        : response(std::move(response)), decision(decision)
    {
    }
    // An answer sent only after `delay`, holding `place` until it is sent.
    Answer(Response response, std::chrono::milliseconds delay, std::shared_ptr<void> place)
        : response(std::move(response)), delay(delay), place(std::move(place))
    {
    }
    Answer(FileResponse response, std::chrono::milliseconds sendDeadline)
        : response(std::move(response)), sendDeadline(sendDeadline)
    {
    }
    std::variant<Response, FileResponse> response;
    std::optional<Decision> decision;         // a report's, for the request log
    std::chrono::milliseconds sendDeadline{}; // zero: the request deadline
    std::chrono::milliseconds delay{};        // how long the connection waits before sending
    std::shared_ptr<void> place;              // released once the answer is sent
};

// What the handling of every request shares; lives as long as the server.
struct RequestServices {
    RequestServices(const ServerOptions& options, ReportRecorder& recorder, ServerMetrics& metrics,
                    boost::asio::any_io_executor timers,
                    std::function<std::size_t()> openConnections);
    const std::string operatorKey; // empty: the export is refused to everyone
    ReportRecorder& recorder;
    ServerMetrics& metrics;
    const std::function<std::size_t()> openConnections; // for the metrics
    PageCache page;
    HealthCheck health;
    ConnectionSlots wrongKeysWaiting{kWrongKeysWaiting, kWrongKeysWaitingPerAddress};
};

// Runs once with the answer: on the calling thread, or on a store thread.
using Respond = std::function<void(Answer)>;

void HandleRequest(RequestServices& services, Request request, const std::string& peer,
                   const Respond& respond);

// Whether a request that waits for "100 Continue" may send its body: a report may; anything
// else is answered from its headers (and its connection closed after the answer).
bool MayContinue(const boost::beast::http::request_header<>& header);

// A short text answer with the headers every response carries and its length; `version` 0 (no
// request read yet) answers in HTTP/1.1.
Response PlainResponse(boost::beast::http::status status, unsigned version, std::string_view text);
