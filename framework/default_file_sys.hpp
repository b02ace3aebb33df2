#pragma once
// Default file access for the UI library: C streams, read whole.
#include "framework/kordo_services.hpp"

namespace Kordo {

class CDefaultFileSys final : public ICommonFileSys {
  public:
    FileHandle Open(const char* path) override;
    int Read(FileHandle file, void* buffer, int capacity) override;
    int GetSize(FileHandle file) override;
    void Close(FileHandle file) override;
};

} // namespace Kordo
