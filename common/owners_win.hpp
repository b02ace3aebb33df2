#pragma once
// Owners of the Windows resources the program opens outside the UI library (which keeps its own
// GDI owners): each gives its resource back however its scope ends, an exception included.
#include <windows.h>

#include <unknwn.h>
#include <wincrypt.h>
#include <winhttp.h>

#include <memory>
#include <type_traits>

// Hands a resource to the system call that gives it back.
template <auto Free> struct FreeWith {
    template <class Resource> void operator()(Resource resource) const { Free(resource); }
};

// A kernel object this code opened (mutex, file mapping).
using KernelHandle = std::unique_ptr<void, FreeWith<CloseHandle>>;
// A view of a file mapping.
using MappedView = std::unique_ptr<void, FreeWith<UnmapViewOfFile>>;
// A registry key this code opened, never one of the predefined roots.
using RegistryKey = std::unique_ptr<std::remove_pointer_t<HKEY>, FreeWith<RegCloseKey>>;
// Memory the system allocated for the caller with GlobalAlloc.
template <class Item> using GlobalMemory = std::unique_ptr<Item, FreeWith<GlobalFree>>;
// A WinHTTP session, connection or request.
using InternetHandle = std::unique_ptr<void, FreeWith<WinHttpCloseHandle>>;

using CertificateContext =
    std::unique_ptr<const CERT_CONTEXT, FreeWith<CertFreeCertificateContext>>;
using CertificateChain =
    std::unique_ptr<const CERT_CHAIN_CONTEXT, FreeWith<CertFreeCertificateChain>>;
using CertificateEngine = std::unique_ptr<std::remove_pointer_t<HCERTCHAINENGINE>,
                                          FreeWith<CertFreeCertificateChainEngine>>;
struct CertificateStoreClose {
    void operator()(HCERTSTORE store) const { CertCloseStore(store, 0); }
};
using CertificateStore = std::unique_ptr<void, CertificateStoreClose>;

// One reference to a COM object (Direct3D, DirectDraw, the shader compiler's buffers).
struct ComRelease {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <class Interface> using ComPtr = std::unique_ptr<Interface, ComRelease>;
