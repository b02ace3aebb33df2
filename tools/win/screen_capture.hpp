#pragma once
// Screen pixels of a window (BitBlt from the screen, which works under Xvfb) and a PNG writer
// with stored (uncompressed) deflate blocks, so no image library is needed.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace ScreenCapture {

struct Image {
    int width = 0, height = 0;
    std::vector<std::uint8_t> bgr; // rows top down, 3 bytes a pixel
};

inline Image Capture(HWND window)
{
    RECT area;
    GetWindowRect(window, &area);
    Image image;
    image.width = area.right - area.left;
    image.height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, image.width, image.height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, image.width, image.height, screen, area.left, area.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    const int stride = (image.width * 3 + 3) & ~3;
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(stride) * image.height);
    GetDIBits(memory, bitmap, 0, image.height, rows.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    for (int y = 0; y < image.height; ++y)
        image.bgr.insert(image.bgr.end(), rows.begin() + y * stride,
                         rows.begin() + y * stride + image.width * 3);
    return image;
}

// Pixels of exactly this COLORREF.
inline int CountColour(const Image& image, COLORREF colour)
{
    int count = 0;
    for (std::size_t i = 0; i + 2 < image.bgr.size(); i += 3)
        if (image.bgr[i] == GetBValue(colour) && image.bgr[i + 1] == GetGValue(colour) &&
            image.bgr[i + 2] == GetRValue(colour))
            ++count;
    return count;
}

inline std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0)
{
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

inline void Put32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

inline void Chunk(std::vector<std::uint8_t>& png, const char* type,
                  const std::vector<std::uint8_t>& data)
{
    Put32(png, static_cast<std::uint32_t>(data.size()));
    std::vector<std::uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    Put32(png, Crc32(body.data(), body.size()));
}

inline bool SavePng(const Image& image, const std::string& path)
{
    std::vector<std::uint8_t> raw; // filter byte 0, then RGB
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t* p = &image.bgr[(static_cast<std::size_t>(y) * image.width + x) * 3];
            raw.insert(raw.end(), {p[2], p[1], p[0]});
        }
    }
    std::vector<std::uint8_t> zlib{0x78, 0x01};
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    for (std::size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const std::size_t length = std::min<std::size_t>(65535, raw.size() - at);
        const bool last = at + length >= raw.size();
        zlib.push_back(last ? 1 : 0);
        zlib.insert(zlib.end(),
                    {static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
                     static_cast<std::uint8_t>(~length), static_cast<std::uint8_t>(~length >> 8)});
        zlib.insert(zlib.end(), raw.begin() + at, raw.begin() + at + length);
        if (last)
            break;
    }
    Put32(zlib, b << 16 | a);
    std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    Put32(header, image.width);
    Put32(header, image.height);
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8-bit RGB
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", zlib);
    Chunk(png, "IEND", {});
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    return static_cast<bool>(out);
}

} // namespace ScreenCapture
