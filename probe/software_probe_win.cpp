#include "probe/software_probe.hpp"

#include "common/owners_win.hpp"
#include "common/text_resource.hpp"
#include "probe/probe_library.hpp"
#include "probe/show_info_flag.hpp"

#include <windows.h>

#include <d3d9.h>
#include <d3dx9shader.h>

#include <cstring>

namespace {

constexpr char kWindowClass[] = "D3D Tutorial";

// Display names of every program listed under one Uninstall key; unreadable entries give none.
void CollectDisplayNames(const char* keyPath, std::vector<std::string>& names)
{
    HKEY opened = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, keyPath, &opened) != ERROR_SUCCESS)
        return;
    const RegistryKey list(opened);
    char subkeyName[260];
    for (DWORD index = 0;
         RegEnumKeyA(list.get(), index, subkeyName, sizeof subkeyName) == ERROR_SUCCESS; ++index) {
        if (RegOpenKeyA(list.get(), subkeyName, &opened) != ERROR_SUCCESS)
            continue;
        const RegistryKey program(opened);
        char name[256];
        DWORD size = sizeof name;
        DWORD type = 0;
        if (RegQueryValueExA(program.get(), "DisplayName", nullptr, &type,
                             reinterpret_cast<BYTE*>(name), &size) == ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ))
            names.emplace_back(name, strnlen(name, size));
    }
}

// The hidden window the test device is created on; it is never shown and goes with the test.
class TestWindow {
  public:
    TestWindow() : mInstance(GetModuleHandleA(nullptr))
    {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_CLASSDC;
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = mInstance;
        windowClass.lpszClassName = kWindowClass;
        RegisterClassExA(&windowClass); // fails harmlessly if still registered
        mWindow =
            CreateWindowExA(0, kWindowClass, "D3D Tutorial 01: CreateDevice", WS_OVERLAPPEDWINDOW,
                            100, 100, 300, 300, nullptr, nullptr, mInstance, nullptr);
    }
    ~TestWindow()
    {
        if (mWindow)
            DestroyWindow(mWindow);
        UnregisterClassA(kWindowClass, mInstance);
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND Handle() const { return mWindow; }

  private:
    HINSTANCE mInstance;
    HWND mWindow;
};

ComPtr<IDirect3DDevice9> CreateTestDevice(IDirect3D9& d3d, HWND window)
{
    D3DPRESENT_PARAMETERS parameters{};
    parameters.BackBufferWidth = 1024;
    parameters.BackBufferHeight = 768;
    parameters.BackBufferFormat = D3DFMT_X8R8G8B8;
    parameters.BackBufferCount = 1;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.hDeviceWindow = window;
    parameters.Windowed = TRUE;
    parameters.EnableAutoDepthStencil = TRUE;
    parameters.AutoDepthStencilFormat = D3DFMT_D24S8;
    parameters.Flags = D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL;
    parameters.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    IDirect3DDevice9* device = nullptr;
    d3d.CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                     D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters, &device);
    return ComPtr<IDirect3DDevice9>(device);
}

// The compiler's text need not end in a zero byte within its buffer.
std::string BufferText(ID3DXBuffer& buffer)
{
    const auto* text = static_cast<const char*>(buffer.GetBufferPointer());
    return std::string(text, strnlen(text, buffer.GetBufferSize()));
}

} // namespace

std::string GetMsvcRuntimes()
{
    std::vector<std::string> names;
    CollectDisplayNames("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", names);
    CollectDisplayNames("SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                        names);
    return RecordMsvcRuntimes(names);
}

bool CompileTestShader(const std::string& source)
{
    const auto compile =
        ProbeFunction<decltype(D3DXCompileShader)>("d3dx9_42.dll", "D3DXCompileShader");
    if (!compile)
        return false; // no compiler: the test fails quietly, as a missing device does
    ID3DXBuffer* shaderBuffer = nullptr;
    ID3DXBuffer* errorBuffer = nullptr;
    const HRESULT result =
        compile(source.data(), static_cast<UINT>(source.size()), nullptr, nullptr, "MainPS",
                "ps_3_0", D3DXSHADER_OPTIMIZATION_LEVEL3, &shaderBuffer, &errorBuffer, nullptr);
    const ComPtr<ID3DXBuffer> shader(shaderBuffer);
    const ComPtr<ID3DXBuffer> errors(errorBuffer);
    if (FAILED(result) && gShowInfo) {
        const std::string text = ShaderFailureText(
            errors ? std::optional<std::string>(BufferText(*errors)) : std::nullopt, result);
        MessageBoxA(nullptr, text.c_str(), "D3D9 Shader Complie Failed", MB_ICONERROR);
    }
    return SUCCEEDED(result);
}

std::string GetDirectXSupport()
{
    bool compiled = false;
    const TestWindow window;
    const auto create = ProbeFunction<decltype(Direct3DCreate9)>("d3d9.dll", "Direct3DCreate9");
    if (const ComPtr<IDirect3D9> d3d{create ? create(D3D_SDK_VERSION) : nullptr}) {
        if (const ComPtr<IDirect3DDevice9> device = CreateTestDevice(*d3d, window.Handle()))
            compiled =
                CompileTestShader(LoadTextResource(kTestShaderResource, "TestShader.txt", "TEXT"));
    }
    return RecordDirectXSupport(compiled);
}
