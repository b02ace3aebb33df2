#pragma once
// The report upload over https: the same form, path, reply rules and bounds as the plain one,
// through the user's proxy, with the server's certificate checked before the form is written.
#include "report/https_trust.hpp"
#include "report/post_report.hpp"

#include <string>

struct HttpsServer {
    std::string host;
    std::string port;
    HttpsTrust trust;
};

// Throws what the plain upload throws; a certificate that fails the check is a NetworkError
// "handshake: <reason in words>", and the server then has received the request's headers only.
std::string PostReportHttps(const HttpsServer& server, const ReportLimits& limits);
