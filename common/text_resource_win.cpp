#include "common/text_resource.hpp"

#include "common/data_digest.hpp"

#include <windows.h>

namespace {

void (*gDigestMismatchAction)() = nullptr;

} // namespace

void OnDataDigestMismatch(void (*action)())
{
    gDigestMismatchAction = action;
}

std::string LoadTextResource(int resourceId, const char* fileName, const char* resourceType)
{
    std::string text;
    HMODULE self = GetModuleHandleA(nullptr);
    if (HRSRC found = FindResourceA(self, MAKEINTRESOURCEA(resourceId), resourceType)) {
        HGLOBAL loaded = LoadResource(self, found);
        const void* bytes = loaded ? LockResource(loaded) : nullptr;
        if (bytes)
            text.assign(static_cast<const char*>(bytes), SizeofResource(self, found));
    }
    if (DataDigestMatches(fileName, text))
        return text;
    if (gDigestMismatchAction)
        gDigestMismatchAction();
    return "";
}
