#pragma once
// The framework's default services and the settings object that hands them out. The program
// supplies them; the UI library uses them. Slot order is declaration order and part of the
// contract; where no destructor is declared there is no destructor slot.
#include "framework/kordo_component.hpp"
#include "framework/kordo_logger.hpp"

#include <cstddef>
#include <cstdint>

namespace Kordo {

class ISystemApiManager; // Windows calls: framework/kordo_system_api.hpp

// Whole-file reading for the library's resources. A handle is an open file, or -1.
using FileHandle = std::intptr_t;
constexpr FileHandle kNoFile = -1;

class ICommonFileSys {
  public:
    virtual FileHandle Open(const char* path) = 0;
    // Reads the whole file when `capacity` holds it; returns the bytes read, else 0.
    virtual int Read(FileHandle file, void* buffer, int capacity) = 0;
    virtual int GetSize(FileHandle file) = 0;
    virtual void Close(FileHandle file) = 0;

  protected:
    ~ICommonFileSys() = default;
};

class IAlloc {
  public:
    // `size` may be raised to what was actually reserved.
    virtual void* Alloc(std::size_t& size) = 0;
    virtual void Free(void* block, std::size_t size) = 0;

  protected:
    ~IAlloc() = default;
};

class IAudioPlayer {
  public:
    // Nonzero when the sound started.
    virtual int Play(std::uint32_t sound) = 0;
    virtual int IsPlaying(std::uint32_t sound) = 0;
    virtual void Stop(std::uint32_t sound) = 0;

  protected:
    ~IAudioPlayer() = default;
};

// Component 785: runs the scripts that layouts refer to. Nonzero when the script ran.
class IUILuaScriptManager : public IComponent {
  public:
    virtual int RunFile(const char* path) = 0;
    virtual int RunString(const char* source) = 0;

  protected:
    ~IUILuaScriptManager() = default;
};

// Each service is made on first request and kept for the process; null when unavailable.
class ISetting {
  public:
    virtual ILogger* GetLogger() = 0;
    virtual IUILuaScriptManager* GetScriptManager() = 0;
    virtual ICommonFileSys* GetFileSys() = 0;
    virtual IAlloc* GetAlloc() = 0;
    virtual ISystemApiManager* GetSysApiManager() = 0;
    virtual IAudioPlayer* GetAudioPlayer() = 0;

  protected:
    ~ISetting() = default;
};

} // namespace Kordo
