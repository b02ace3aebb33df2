#include "server/views/page_cache.hpp"

PageCache::PageCache(std::chrono::milliseconds lifetime) : mLifetime(lifetime) {}

std::string PageCache::Get(const std::function<std::string()>& render)
{
    std::lock_guard<std::mutex> lock(mMutex);
    const auto now = std::chrono::steady_clock::now();
    if (!mFilled || now - mMade >= mLifetime) {
        mPage = render();
        mMade = now;
        mFilled = true;
    }
    return mPage;
}
