#include "server/views/page_cache.hpp"

PageCache::PageCache(std::chrono::milliseconds lifetime) : lifetime_(lifetime) {}

std::string PageCache::Get(const std::function<std::string()>& render)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    if (!filled_ || now - made_ >= lifetime_) {
        page_ = render();
        made_ = now;
        filled_ = true;
    }
    return page_;
}
