#include "server/http/open_file_limit.hpp"

#include <sys/resource.h>

#include <stdexcept>
#include <string>

std::optional<std::uint64_t> SoftLimitFor(std::uint64_t needed, std::uint64_t soft,
                                          std::uint64_t hard)
{
    if (soft >= needed)
        return soft;
    if (hard >= needed)
        return needed;
    return std::nullopt;
}

std::string OpenFileLimitFault(std::uint64_t maxConnections, std::uint64_t needed,
                               std::uint64_t hard)
{
    return "--max-connections " + std::to_string(maxConnections) + " needs " +
           std::to_string(needed) + " open files, but the hard limit is " + std::to_string(hard) +
           ": lower --max-connections or raise the limit (ulimit -Hn, LimitNOFILE=)";
}

void EnsureOpenFileLimit(std::uint64_t maxConnections, std::uint64_t storeConnections)
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        throw std::runtime_error("cannot read the open-file limit");
    const std::uint64_t needed = maxConnections + storeConnections + kSpareDescriptors;
    const auto soft = SoftLimitFor(needed, limit.rlim_cur, limit.rlim_max);
    if (!soft)
        throw std::runtime_error(OpenFileLimitFault(maxConnections, needed, limit.rlim_max));
    if (*soft != limit.rlim_cur) {
        limit.rlim_cur = *soft;
        if (setrlimit(RLIMIT_NOFILE, &limit) != 0)
            throw std::runtime_error("cannot raise the open-file limit to " +
                                     std::to_string(*soft));
    }
}
