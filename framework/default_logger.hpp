#pragma once
// The default logger: collects lines in memory until its file is opened, then writes every line
// at or below the threshold (2 at start) to the file, flushing each.
#include "framework/kordo_logger.hpp"

#include <ctime>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace Kordo {

class DefaultLogger : public Logger {
  public:
    using Clock = std::time_t (*)();

    DefaultLogger();
    // Takes the time of each line from `clock` instead of the system clock.
    explicit DefaultLogger(Clock clock);
    ~DefaultLogger() override;
    DefaultLogger(const DefaultLogger&) = delete;
    DefaultLogger& operator=(const DefaultLogger&) = delete;

    void log(const char* text, int level) override;
    void setLogFilename(const char* path, bool append) override;

  private:
    void Write(const std::string& line);

    Clock mClock;
    std::ofstream mFile;
    std::string mLine;
    std::vector<std::pair<std::string, int>> mPending;
    bool mBuffering = true;
};

} // namespace Kordo
