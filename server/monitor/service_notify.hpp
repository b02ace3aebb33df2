#pragma once
// Tells the service manager how the server is doing, as a Type=notify unit expects: one datagram
// of "NAME=VALUE" lines ("READY=1", "STOPPING=1") to the socket NOTIFY_SOCKET names.
#include <string>
#include <string_view>

// The socket address NOTIFY_SOCKET names: a path, or an abstract name ("@name", sent with a
// leading NUL); empty when it is unset or cannot be an address.
std::string NotifySocketAddress(const char* variable);

// Sends `state` when NOTIFY_SOCKET is set; false when it is set and the datagram could not go
// (the reason is logged). Without it (not run by systemd) there is nothing to tell: true.
bool NotifyService(std::string_view state);
