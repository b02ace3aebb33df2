#pragma once
// The shipped layout as the library loads it, and where the library put a control, for tests that
// compare the two.
#include "korfact/geometry.hpp"
#include "korfact/layout_model.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

// The layout the library loads by its bare name: the one beside this program, wherever the test
// is started from.
inline KorFact::Layout ShippedLayout()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string program = path;
    std::ifstream in(KorFact::ResolveLayoutPath("Main.vxm", program.substr(0, program.rfind('\\'))),
                     std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    KorFact::Layout layout;
    KorFact::LayoutError error;
    EXPECT_TRUE(KorFact::ParseLayout(content.str(), layout, error)) << error.reason;
    return layout;
}

// The control of that name, or null.
inline const KorFact::ControlSpec* FindSpec(const KorFact::Layout& layout, const std::string& name)
{
    for (const KorFact::ControlSpec& spec : layout.controls)
        if (spec.name == name)
            return &spec;
    return nullptr;
}

// The window's rectangle in its parent's client area.
inline KorFact::Rect PlacedRect(HWND window)
{
    RECT at;
    GetWindowRect(window, &at);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&at), 2);
    return {at.left, at.top, at.right - at.left, at.bottom - at.top};
}

namespace KorFact {

inline bool operator==(const Rect& a, const Rect& b)
{
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

inline std::ostream& operator<<(std::ostream& out, const Rect& r)
{
    return out << r.x << "," << r.y << " " << r.width << "x" << r.height;
}

} // namespace KorFact
