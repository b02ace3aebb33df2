#pragma once
// The program plays no sound: the default player starts nothing and has nothing to stop.
#include "framework/kordo_services.hpp"

namespace Kordo {

class CDefaultAudioPlayer final : public IAudioPlayer {
  public:
    int Play(std::uint32_t) override { return 0; }
    int IsPlaying(std::uint32_t) override { return 0; }
    void Stop(std::uint32_t) override {}
};

} // namespace Kordo
