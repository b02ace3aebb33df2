// The owners of Windows resources give each resource back when their scope ends, however it ends.
#include "common/owners_win.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

// Opens a resource, hands it to `Owner` and leaves the owner's scope, normally and then by an
// exception; the resource must be open inside and given back after.
template <class Owner, class Open, class IsOpen>
void ExpectGivenBack(const char* name, Open open, IsOpen isOpen)
{
    for (const bool thrown : {false, true}) {
        const std::string label =
            std::string(name) + (thrown ? ", scope left by an exception" : "");
        const auto resource = open();
        ASSERT_TRUE(resource) << label;
        try {
            const Owner owner(resource);
            EXPECT_TRUE(isOpen(resource)) << label;
            if (thrown)
                throw std::runtime_error("leaving");
        } catch (const std::runtime_error&) {
        }
        EXPECT_FALSE(isOpen(resource)) << label;
    }
}

// A COM object that counts its references, as Direct3D's do.
class CountedObject : public IUnknown {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override
    {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++mReferences; }
    ULONG STDMETHODCALLTYPE Release() override { return --mReferences; }
    ULONG References() const { return mReferences; }

  private:
    ULONG mReferences = 1;
};

std::string MutexName()
{
    return "VxmCheck.OwnersTest." + std::to_string(GetCurrentProcessId());
}

} // namespace

TEST(Owners, EachGivesItsResourceBack)
{
    ExpectGivenBack<KernelHandle>(
        "kernel handle", [] { return CreateMutexA(nullptr, FALSE, MutexName().c_str()); },
        [](HANDLE) {
            // A named object lives while one handle to it is open.
            const KernelHandle again(OpenMutexA(SYNCHRONIZE, FALSE, MutexName().c_str()));
            return again != nullptr;
        });

    const KernelHandle mapping(
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, nullptr));
    ASSERT_TRUE(mapping);
    ExpectGivenBack<MappedView>(
        "mapped view", [&] { return MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0); },
        [](void* view) {
            MEMORY_BASIC_INFORMATION region{};
            return VirtualQuery(view, &region, sizeof region) == sizeof region &&
                   region.State == MEM_COMMIT;
        });

    ExpectGivenBack<RegistryKey>(
        "registry key",
        [] {
            HKEY key = nullptr;
            RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key);
            return key;
        },
        [](HKEY key) {
            DWORD subkeys = 0;
            return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                    nullptr, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
        });

    ExpectGivenBack<InternetHandle>(
        "WinHTTP session",
        [] {
            return WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                               WINHTTP_NO_PROXY_BYPASS, 0);
        },
        [](HINTERNET session) {
            DWORD timeout = 0;
            DWORD size = sizeof timeout;
            return WinHttpQueryOption(session, WINHTTP_OPTION_CONNECT_TIMEOUT, &timeout, &size) !=
                   FALSE;
        });

    CountedObject object;
    ExpectGivenBack<ComPtr<CountedObject>>(
        "COM object",
        [&] {
            object.AddRef();
            return &object;
        },
        [](CountedObject* counted) { return counted->References() > 1; });
    EXPECT_EQ(object.References(), 1u);
}
