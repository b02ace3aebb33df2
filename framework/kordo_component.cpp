#include "framework/kordo_component.hpp"

namespace Kordo {

IComponentFactory* gComponentFactory = nullptr;

} // namespace Kordo
