#pragma once
// One client connection: it reads a request at a time within its deadlines and bounds, hands it
// to HandleRequest and writes the answer. It does the I/O and nothing else: what a request is
// answered (HEAD, 100-continue included) is the handler's, who holds a slot is admission's.
//
// Its states, and what moves it between them:
//
//     accepted, given a slot by admission
//        |
//        v
//   AwaitingRequest ----- nothing, half a header by --header-timeout-ms, ------> closed
//        |   ^            closed for a newcomer, the peer's end
//        |   |
//        |   |            a header refused (Transfer-Encoding, too large, malformed, a proxy's
//        |   |            client over its share, a 100-continue the handler does not allow):
//        |   |            answered at once, closing ---------------------------------+
//        |   |                                                                        |
//        |   +------ kept alive: a well-formed request that asked for it, within      |
//        |           the connection's share of requests and of time                   |
//   headers                                              |                            |
//        v                                               |                            |
//   ReceivingBody --- "100 Continue" first if the client waits and the handler allows |
//        |        --- deadline (--request-timeout-ms from the first byte), closed     |
//        |            for a newcomer (a pace below the honest line), the peer's end --+--> closed
//        |        --- too large, malformed: answered, closing ------------------------+
//   whole request                                        |                            |
//        v                                               |                            |
//   Answering ---- HandleRequest's answer (perhaps after a wait), written ------------+
//        |                                                                            |
//     its last reply written                                                          |
//        v                                                                            v
//   Lingering --- the sending side shut; what the client still sends is read and dropped,
//                 for up to 2 s or 1 MiB, so the reply is not lost to a reset --> closed
//
// A body that arrived with its headers (most do) is parsed from the read buffer at once, and the
// request goes from AwaitingRequest straight to Answering.
//
// The phases admission knows mirror these (AwaitingRequest is AwaitingFirst or AwaitingNext,
// and a closing reply is Closing), so it can choose a victim without asking the connection.
#include "server/http/admission.hpp"
#include "server/http/forwarded_client.hpp"
#include "server/http/request_handler.hpp"
#include "server/monitor/request_log.hpp"

#include <boost/asio/ip/tcp.hpp>

#include <memory>

// What every connection shares with the server; lives as long as the last connection.
struct ConnectionServices {
    ConnectionServices(ServerOptions options, TrustedProxies trustedProxies,
                       ReportRecorder& recorder, ServerMetrics& metrics,
                       boost::asio::any_io_executor timers);
    const ServerOptions options;
    const TrustedProxies trustedProxies;
    ServerMetrics& metrics;
    Admission admission;
    RequestLogWriter log; // the request lines
    RequestServices requests;
};

// Counts a reply and writes its log line.
void LogReply(ConnectionServices& services, const RequestLogEntry& entry);

// Makes a connection of the accepted socket (on `executor`) and puts it before admission, which
// starts it, or (no slot to be had) answers it 503.
void AdmitConnection(boost::asio::ip::tcp::socket socket,
                     const std::shared_ptr<ConnectionServices>& services);
