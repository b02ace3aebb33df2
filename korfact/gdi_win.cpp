#include "korfact/gdi_win.hpp"

namespace KorFact {

void PaintBuffered(HWND hwnd, const std::function<void(HDC dc, const RECT& client)>& draw)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    RECT client;
    GetClientRect(hwnd, &client);
    {
        const MemoryDc memory(dc);
        const Bitmap bitmap(CreateCompatibleBitmap(dc, client.right, client.bottom));
        const Selection selected(memory.get(), bitmap.get());
        draw(memory.get(), client);
        BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
    }
    EndPaint(hwnd, &paint);
}

bool RegisterClassOnce(const wchar_t* name, WNDPROC procedure)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (GetClassInfoExW(instance, name, &windowClass))
        return true;
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszClassName = name;
    return RegisterClassExW(&windowClass) != 0;
}

} // namespace KorFact
