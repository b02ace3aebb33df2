#include "framework/component_library_loader.hpp"

#include "framework/component_library_path.hpp"
#include "framework/error_report.hpp"
#include "framework/kordo_component.hpp"

#include <windows.h>

namespace Kordo {

const std::string& ProgramDirectory()
{
    static const std::string directory = [] {
        char path[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        std::string text = path;
        const std::size_t cut = text.rfind('\\');
        return cut == std::string::npos ? text : text.substr(0, cut);
    }();
    return directory;
}

std::string ReadProfileString(const std::string& file, const char* section, const char* key,
                              const char* fallback, unsigned capacity)
{
    std::string value(capacity, '\0');
    const DWORD length =
        GetPrivateProfileStringA(section, key, fallback, &value[0], capacity, file.c_str());
    value.resize(length);
    return value;
}

std::string FindComponentLibraryPath()
{
    return FindComponentLibraryPath(
        ProgramDirectory(), ReadProfileString,
        [](const std::string& text) { OutputDebugStringA(text.c_str()); });
}

void LoadComponentLibrary()
{
    HMODULE library = GetModuleHandleA("KorFact.dll");
    if (!library)
        library = LoadLibraryA(FindComponentLibraryPath().c_str());
    if (!library) {
        ReportError("[Kordo_Error] Load KorFact.dll Fail.\n");
        return;
    }
    // Through a neutral function type: the export's real type is known to us, not to Windows.
    const auto create = reinterpret_cast<CreateComponentFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(library, "CreateComponent")));
    IComponentFactory* factory = nullptr;
    if (!create) {
        ReportError("[Kordo_Error] Can't find CreateComponent().\n");
    } else {
        factory = create(kComponentFactoryId, 0);
        if (!factory)
            ReportError("[Kordo_Error] CreateComponent(ComponentId=%u) return null.\n",
                        kComponentFactoryId);
    }
    gComponentFactory = factory;
    if (!factory)
        ReportError("[Kordo_Error] Create ComponentFactory in KorFact.dll Fail\n");
}

} // namespace Kordo
