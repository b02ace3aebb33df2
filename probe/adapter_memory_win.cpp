#include "probe/adapter_memory.hpp"

#include "common/owners_win.hpp"

#include <windows.h>

#include <cstring>

namespace {

// The display adapters' class: each adapter's driver key is a numbered subkey.
const char kDisplayClass[] =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4d36e968-e325-11ce-bfc1-08002be10318}";

bool IsAdapterKeyName(const char* name)
{
    if (std::strlen(name) != 4)
        return false;
    for (const char* c = name; *c; ++c)
        if (*c < '0' || *c > '9')
            return false;
    return true;
}

AdapterDriverKey ReadDriverKey(HKEY key)
{
    AdapterDriverKey facts;
    char description[512] = {};
    DWORD type = 0, size = sizeof description - 1;
    if (RegQueryValueExA(key, "DriverDesc", nullptr, &type, reinterpret_cast<BYTE*>(description),
                         &size) == ERROR_SUCCESS &&
        type == REG_SZ)
        facts.description.assign(description, strnlen(description, sizeof description));
    std::uint64_t bytes = 0;
    size = sizeof bytes;
    if (RegQueryValueExA(key, "HardwareInformation.qwMemorySize", nullptr, &type,
                         reinterpret_cast<BYTE*>(&bytes), &size) == ERROR_SUCCESS &&
        type == REG_QWORD && size == sizeof bytes)
        facts.memoryBytes = bytes;
    return facts;
}

} // namespace

std::uint64_t AdapterMemoryBytes(const std::string& description)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDisplayClass, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return 0;
    const RegistryKey displayClass(opened);
    std::vector<AdapterDriverKey> keys;
    char name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        const LONG status = RegEnumKeyExA(displayClass.get(), index, name, &length, nullptr,
                                          nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS || !IsAdapterKeyName(name) ||
            RegOpenKeyExA(displayClass.get(), name, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
            continue;
        const RegistryKey adapter(opened);
        keys.push_back(ReadDriverKey(adapter.get()));
    }
    const int chosen = AdapterKeyIndex(keys, description);
    return chosen < 0 ? 0 : keys[chosen].memoryBytes;
}
