#pragma once
// Default memory for the UI library: the C heap.
#include "framework/kordo_services.hpp"

#include <cstdlib>

namespace Kordo {

class CDefaultAllocImpl final : public IAlloc {
  public:
    void* Alloc(std::size_t& size) override { return std::malloc(size); }
    void Free(void* block, std::size_t) override { std::free(block); }
};

} // namespace Kordo
