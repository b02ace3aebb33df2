#pragma once
// The framework's logger interface and the base that keeps the level threshold. Slot order is
// declaration order and part of the contract, the destructor included.
namespace Kordo {

// Levels: 0 error, 1 warning, 2 standard, 3 information, 4 everything.
class ILogger {
  public:
    virtual void setLevel(int level) = 0;
    virtual int getLevel() const = 0;
    virtual void log(const char* text, int level) = 0;
    virtual ~ILogger() = default;
    // Throws a const char* when the file cannot be opened.
    virtual void setLogFilename(const char* path, bool append) = 0;
};

// Lines above the threshold level are not written.
class Logger : public ILogger {
  public:
    explicit Logger(int level) : mLevel(level) {}
    void setLevel(int level) override { mLevel = level; }
    int getLevel() const override { return mLevel; }
    ~Logger() override = default;

  private:
    int mLevel;
};

} // namespace Kordo
