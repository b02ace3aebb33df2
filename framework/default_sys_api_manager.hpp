#pragma once
// Default system calls for the UI library: straight to Win32.
#include "framework/kordo_system_api.hpp"

namespace Kordo {

class CDefaultSysAPIManager final : public ISystemApiManager {
  public:
    BOOL ClipCursor(const RECT* rect) override;
    HCURSOR SetCursor(HCURSOR cursor, int reserved) override;
};

} // namespace Kordo
