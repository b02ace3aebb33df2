#include "server/monitor/service_notify.hpp"

#include "server/monitor/event_log.hpp"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>

std::string NotifySocketAddress(const char* variable)
{
    std::string address = variable ? variable : "";
    // A path is absolute; "@" starts an abstract name. sun_path holds 108 bytes, a path's NUL too.
    if (address.size() < 2 || (address[0] != '/' && address[0] != '@') ||
        address.size() >= sizeof(sockaddr_un::sun_path))
        return {};
    if (address[0] == '@')
        address[0] = '\0';
    return address;
}

bool NotifyService(std::string_view state)
{
    const char* variable = std::getenv("NOTIFY_SOCKET");
    if (!variable)
        return true;
    const std::string address = NotifySocketAddress(variable);
    if (address.empty()) {
        LogFailure("service notify", variable, "NOTIFY_SOCKET is not a socket address");
        return false;
    }
    sockaddr_un target{};
    target.sun_family = AF_UNIX;
    std::memcpy(target.sun_path, address.data(), address.size());
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const bool sent =
        fd >= 0 &&
        ::sendto(fd, state.data(), state.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&target),
                 static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + address.size())) ==
            static_cast<ssize_t>(state.size());
    const int error = errno;
    if (fd >= 0)
        ::close(fd);
    if (!sent)
        LogFailure("service notify", state, std::strerror(error));
    return sent;
}
