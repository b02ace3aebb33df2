#include "korfact/gdi_win.hpp"
#include "korfact/text_win.hpp"
#include "korfact/ui_lib_win.hpp"

namespace KorFact {
namespace {

int CALLBACK NoteFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found)
{
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool IsInstalled(const std::wstring& face)
{
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(wanted.lfFaceName, face.c_str(), LF_FACESIZE);
    bool found = false;
    const WindowDc screen(nullptr);
    EnumFontFamiliesExW(screen.get(), &wanted, NoteFound, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

} // namespace

HFONT CreateLayoutFont(const std::vector<std::string>& faces, int pixelHeight, bool bold,
                       bool underline)
{
    std::wstring face = faces.empty() ? L"Microsoft YaHei" : Widen(faces.front());
    for (const std::string& each : faces)
        if (IsInstalled(Widen(each))) {
            face = Widen(each);
            break;
        }
    // GB2312_CHARSET: where the face lacks Chinese glyphs the system takes one that has them.
    return CreateFontW(-pixelHeight, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, underline, FALSE,
                       GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, face.c_str());
}

} // namespace KorFact
