#pragma once
// Owners of GDI resources for one drawing step: each gives its resource back however the step
// ends, so no path leaks a handle or leaves an object selected.
#include <windows.h>

#include <functional>

namespace KorFact {

// A pen, brush or bitmap this code created; deleted at the end.
template <class Handle> class GdiObject {
  public:
    explicit GdiObject(Handle handle) : mHandle(handle) {}
    ~GdiObject()
    {
        if (mHandle)
            DeleteObject(mHandle);
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    Handle get() const { return mHandle; }

  private:
    Handle mHandle;
};

using Brush = GdiObject<HBRUSH>;
using Pen = GdiObject<HPEN>;
using Bitmap = GdiObject<HBITMAP>;

// `object` selected into `dc`; what was selected before comes back at the end.
class Selection {
  public:
    Selection(HDC dc, HGDIOBJ object) : mDc(dc), mOld(SelectObject(dc, object)) {}
    ~Selection() { SelectObject(mDc, mOld); }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

  private:
    HDC mDc;
    HGDIOBJ mOld;
};

// A memory device context compatible with `dc` (the screen's for null).
class MemoryDc {
  public:
    explicit MemoryDc(HDC dc) : mDc(CreateCompatibleDC(dc)) {}
    ~MemoryDc() { DeleteDC(mDc); }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC get() const { return mDc; }

  private:
    HDC mDc;
};

// The device context of a window (the screen's for null), released at the end.
class WindowDc {
  public:
    explicit WindowDc(HWND hwnd) : mHwnd(hwnd), mDc(GetDC(hwnd)) {}
    ~WindowDc() { ReleaseDC(mHwnd, mDc); }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return mDc; }

  private:
    HWND mHwnd;
    HDC mDc;
};

// Handles WM_PAINT for `hwnd`: `draw` paints the whole client area off screen, which then goes
// to the screen in one copy, so nothing flickers.
void PaintBuffered(HWND hwnd, const std::function<void(HDC dc, const RECT& client)>& draw);

// Registers the window class `name` of this module with `procedure` once; true when it stands.
bool RegisterClassOnce(const wchar_t* name, WNDPROC procedure);

} // namespace KorFact
