#include "server/store/private_files.hpp"

#include "server/monitor/event_log.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace {

std::string Octal(mode_t mode)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode));
    return text;
}

// Takes every permission of the group and others from `path`, when it exists.
void KeepPrivate(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        if (errno == ENOENT)
            return;
        throw std::runtime_error("cannot read the mode of " + path + ": " + std::strerror(errno));
    }
    const mode_t mode = status.st_mode & 07777;
    if ((mode & 077) == 0)
        return;
    if (::chmod(path.c_str(), mode & ~static_cast<mode_t>(077)) != 0)
        throw std::runtime_error("cannot make " + path + " private: " + std::strerror(errno));
    LogNotice("store files", path,
              "was mode " + Octal(mode) + ", open to others; now " +
                  Octal(mode & ~static_cast<mode_t>(077)));
}

} // namespace

void KeepStorePrivate(const std::string& folder, const std::string& database)
{
    if (std::filesystem::create_directories(folder))
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
    KeepPrivate(folder);
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        KeepPrivate(database + suffix);
}
