// The probes against the real platform under Wine on a virtual display: Direct3D 9 with its one
// adapter, DirectDraw, D3DX, the registry, the network adapters and the names.
#include "probe/show_info_flag.hpp"
#include "common/text_resource.hpp"
#include "probe/graphics_probe.hpp"
#include "probe/machine_info.hpp"
#include "probe/network_probe.hpp"
#include "probe/probe_library.hpp"
#include "probe/probe_run.hpp"
#include "probe/software_probe.hpp"
#include "tests/win/probe_helper_process.hpp"

#include <winsock2.h>
#include <windows.h>

#include <d3dx9shader.h>
#include <iphlpapi.h>

#include <gtest/gtest.h>

#include <future>
#include <regex>
#include <cstring>

namespace {

const std::regex kMegabytes(R"([1-9]\d*\.\d\d MB)");
const std::regex kDriverVersion(R"(-?\d+\.\d+\.\d+\.\d+)");

class ProbeWinTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite()
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 0), &data); // the program starts it before its entry
    }
    static void TearDownTestSuite() { WSACleanup(); }
    void SetUp() override { MachineInfo().clear(); }
    void TearDown() override
    {
        MachineInfo().clear();
        gShowInfo = false;
    }
    static const std::string& Value(const char* key) { return MachineInfo().at(key); }
    static bool Has(const char* key) { return MachineInfo().count(key) == 1; }
};

// The compiler's own message for a shader text, asked directly.
std::string CompilerMessage(const std::string& source)
{
    ID3DXBuffer* shader = nullptr;
    ID3DXBuffer* errors = nullptr;
    // Through the probe's loader, so this program imports no library a test may take away.
    const auto compile =
        ProbeFunction<decltype(D3DXCompileShader)>("d3dx9_42.dll", "D3DXCompileShader");
    if (!compile)
        return "(no compiler)";
    compile(source.data(), static_cast<UINT>(source.size()), nullptr, nullptr, "MainPS", "ps_3_0",
            D3DXSHADER_OPTIMIZATION_LEVEL3, &shader, &errors, nullptr);
    std::string message;
    if (errors) {
        const auto* text = static_cast<const char*>(errors->GetBufferPointer());
        message.assign(text, strnlen(text, errors->GetBufferSize()));
    }
    if (shader)
        shader->Release();
    if (errors)
        errors->Release();
    return message;
}

// A top-level window of this process (other programs may run on the same Wine server).
HWND OwnWindow(const char* windowClass, const char* caption)
{
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, windowClass, caption));) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == GetCurrentProcessId())
            return window;
    }
    return nullptr;
}

// Waits for a message box of this process with the caption, reads its text and presses OK.
std::string AnswerMessageBox(const char* caption)
{
    for (int attempt = 0; attempt < 400; ++attempt, Sleep(50)) {
        HWND box = OwnWindow(nullptr, caption);
        if (!box)
            continue;
        char text[4096] = {};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        return text;
    }
    return "(no box)";
}

// The first adapter with a non-zero address as the platform lists it, read independently.
const IP_ADAPTER_INFO* FirstAddressedAdapter(std::vector<IP_ADAPTER_INFO>& buffer)
{
    const auto getAdaptersInfo =
        ProbeFunction<decltype(GetAdaptersInfo)>("iphlpapi.dll", "GetAdaptersInfo");
    if (!getAdaptersInfo)
        return nullptr;
    ULONG length = 0;
    getAdaptersInfo(nullptr, &length);
    buffer.resize(length / sizeof(IP_ADAPTER_INFO) + 1);
    length = static_cast<ULONG>(buffer.size() * sizeof(IP_ADAPTER_INFO));
    if (getAdaptersInfo(buffer.data(), &length) != ERROR_SUCCESS)
        return nullptr;
    for (const IP_ADAPTER_INFO* a = buffer.data(); a; a = a->Next)
        for (int i = 0; i < 6; ++i)
            if (a->Address[i])
                return a;
    return nullptr;
}

} // namespace

TEST_F(ProbeWinTest, WineAdapterWithDriverVersionAndVideoMemory)
{
    const std::string list = GetGpuList();
    EXPECT_EQ(list, Value("GPUs"));
    EXPECT_EQ(Value("GPU"), "NVIDIA GeForce GTX 470");
    EXPECT_TRUE(std::regex_match(Value("GPU Driver"), kDriverVersion)) << Value("GPU Driver");
    EXPECT_EQ(list.rfind("NVIDIA GeForce GTX 470 " + Value("GPU Driver") + ";", 0), 0u) << list;
    EXPECT_EQ(list.back(), ';');
    EXPECT_TRUE(std::regex_match(Value("LocalVideoMem"), kMegabytes)) << Value("LocalVideoMem");
    EXPECT_TRUE(std::regex_match(Value("TotalVideoMem"), kMegabytes)) << Value("TotalVideoMem");
}

TEST_F(ProbeWinTest, EmbeddedShaderCompilesAndTheTestWindowIsGone)
{
    const std::string shader = LoadTextResource(kTestShaderResource, "TestShader.txt", "TEXT");
    ASSERT_TRUE(CompileTestShader(shader)) << CompilerMessage(shader);
    EXPECT_EQ(GetDirectXSupport(), "D3D9;");
    EXPECT_EQ(Value("DirectX"), "D3D9;");
    EXPECT_EQ(Value("D3D9"), "supported");
    // The hidden window and its class went with the test, so the next run registers afresh.
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    EXPECT_FALSE(GetClassInfoExA(GetModuleHandleA(nullptr), "D3D Tutorial", &windowClass));
    EXPECT_EQ(OwnWindow("D3D Tutorial", nullptr), nullptr);
    EXPECT_EQ(GetDirectXSupport(), "D3D9;");
}

TEST_F(ProbeWinTest, FailedCompileShowsTheCompilerMessageInShowInfoMode)
{
    const std::string broken = "float4 MainPS() : COLOR0 { return undefinedName; }";
    const std::string expected = CompilerMessage(broken);
    ASSERT_NE(expected, "");

    gShowInfo = true;
    auto shown = std::async(std::launch::async, AnswerMessageBox, "D3D9 Shader Complie Failed");
    EXPECT_FALSE(CompileTestShader(broken)); // returns once the box is closed
    EXPECT_EQ(shown.get(), expected);

    // Without show_info nothing is shown: a box would keep the call from returning.
    gShowInfo = false;
    EXPECT_FALSE(CompileTestShader(broken));
    EXPECT_FALSE(CompileTestShader("float4 OtherPS() : COLOR0 { return 0; }"));
}

TEST_F(ProbeWinTest, NetworkIdentityOfTheFirstAddressedAdapter)
{
    std::vector<IP_ADAPTER_INFO> buffer;
    const IP_ADAPTER_INFO* expected = FirstAddressedAdapter(buffer);
    ASSERT_NE(expected, nullptr) << "the machine lists no adapter with an address";
    MacBytes address;
    std::copy(expected->Address, expected->Address + 6, address.begin());

    char user[256] = {};
    DWORD userSize = sizeof user;
    ASSERT_TRUE(GetUserNameA(user, &userSize));
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host), 0);

    const std::string mac = GetMacAddress();
    EXPECT_EQ(mac, MacText(address));
    EXPECT_NE(mac, "00-00-00-00-00-00");
    EXPECT_EQ(Value("Mac"), mac);
    EXPECT_EQ(Value("AdapterName"), std::string(expected->AdapterName) + expected->Description);
    EXPECT_EQ(Value("HostName"), std::string(user) + "@" + host);

    // Later calls are lookups: what was recorded stays, even if it differs from the machine.
    MachineInfo()["Mac"] = "recorded";
    MachineInfo()["HostName"] = "someone@elsewhere";
    EXPECT_EQ(GetMacAddress(), "recorded");
    EXPECT_EQ(Value("HostName"), "someone@elsewhere");
}

TEST_F(ProbeWinTest, SecondRunKeepsTheNetworkKeysAndRebuildsTheAdapterList)
{
    const std::string first = GetProbeSummary();
    const std::string mac = Value("Mac");
    ASSERT_NE(Value("GPUs"), "");
    const std::string adapters = Value("GPUs");
    MachineInfo()["AdapterName"] = "kept from the first run";
    MachineInfo()["GPUs"] += "stale;";

    const std::string second = GetProbeSummary();
    EXPECT_EQ(Value("Mac"), mac);
    EXPECT_EQ(Value("AdapterName"), "kept from the first run");
    EXPECT_EQ(Value("GPUs"), adapters);
    EXPECT_NE(second.find("\n\nAdapter:\tkept from the first run\n\n"), std::string::npos);
    EXPECT_EQ(second.find("stale;"), std::string::npos);
    EXPECT_EQ(first.substr(0, first.find("\n\nAdapter:")),
              second.substr(0, second.find("\n\nAdapter:")));
}
