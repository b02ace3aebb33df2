#include "framework/default_logger.hpp"

#include "framework/log_line.hpp"

namespace Kordo {

namespace {

constexpr int kStandardLevel = 2;

std::time_t SystemClock()
{
    return std::time(nullptr);
}

constexpr char kRule[] =
    "+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+-+";

} // namespace

DefaultLogger::DefaultLogger() : DefaultLogger(SystemClock) {}

DefaultLogger::DefaultLogger(Clock clock) : Logger(kStandardLevel), mClock(clock)
{
    log(kRule, kStandardLevel);
    log("+                     Kordo Presentation Foundation - Event log               +",
        kStandardLevel);
    log((std::string(kRule) + "\n").c_str(), kStandardLevel);
    log("Kordo::ILogger singleton created. ", kStandardLevel);
}

DefaultLogger::~DefaultLogger()
{
    if (!mFile.is_open())
        return;
    log("Kordo::ILogger singleton destroyed. ", kStandardLevel);
    mFile.close();
}

void DefaultLogger::log(const char* text, int level)
{
    if (!text)
        return;
    const std::time_t now = mClock();
    const std::tm* when = std::localtime(&now);
    if (!when)
        return;
    FormatLogLine(mLine, *when, level, text);
    if (mBuffering)
        mPending.emplace_back(mLine, level);
    else if (level <= getLevel())
        Write(mLine);
}

void DefaultLogger::setLogFilename(const char* path, bool append)
{
    if (!path)
        return;
    if (mFile.is_open())
        mFile.close();
    mFile.open(path, std::ios::out | (append ? std::ios::app : std::ios::trunc));
    if (mFile.fail())
        throw "Logger::setLogFilename - Failed to open file.";
    if (!mBuffering)
        return;
    mBuffering = false;
    for (const auto& pending : mPending)
        if (pending.second <= getLevel())
            Write(pending.first);
    mPending.clear();
}

void DefaultLogger::Write(const std::string& line)
{
    mFile << line;
    mFile.flush();
}

} // namespace Kordo
