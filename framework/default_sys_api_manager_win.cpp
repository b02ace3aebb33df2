#include "framework/default_sys_api_manager.hpp"

namespace Kordo {

BOOL CDefaultSysAPIManager::ClipCursor(const RECT* rect)
{
    return ::ClipCursor(rect);
}

HCURSOR CDefaultSysAPIManager::SetCursor(HCURSOR cursor, int)
{
    return ::SetCursor(cursor);
}

} // namespace Kordo
