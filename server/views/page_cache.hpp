#pragma once
// The survey page, kept for a moment once rendered: however many ask for it, the store is read
// once per moment.
#include <chrono>
#include <functional>
#include <mutex>
#include <string>

class PageCache {
  public:
    explicit PageCache(std::chrono::milliseconds lifetime);
    // The page rendered within the lifetime, or a new one from `render`; callers that come
    // meanwhile wait for that one render.
    std::string Get(const std::function<std::string()>& render);

  private:
    const std::chrono::milliseconds mLifetime;
    std::mutex mMutex;
    std::chrono::steady_clock::time_point mMade;
    std::string mPage;
    bool mFilled = false;
};
