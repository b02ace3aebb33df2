#pragma once
// The user's proxy for one URL, as the system's settings give it.
#include <chrono>
#include <string>

struct ProxyChoice {
    std::wstring proxy; // empty: connect directly
    std::wstring bypass;
};

// The manual proxy and its bypass list, or what the automatic configuration script or
// detection gives for `url`. Detection runs until `deadline` at most; when it fails or is late,
// the manual settings stand (a direct connection when there are none).
ProxyChoice UserProxyFor(const std::wstring& url, std::chrono::steady_clock::time_point deadline);
