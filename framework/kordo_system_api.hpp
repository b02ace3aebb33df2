#pragma once
// System calls the UI library makes through the program. Windows only.
#include <windows.h>

namespace Kordo {

class ISystemApiManager {
  public:
    virtual ~ISystemApiManager() = default;
    virtual BOOL ClipCursor(const RECT* rect) = 0;
    // Returns the previous cursor; `reserved` is not read.
    virtual HCURSOR SetCursor(HCURSOR cursor, int reserved) = 0;
};

} // namespace Kordo
