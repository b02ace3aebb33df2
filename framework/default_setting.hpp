#pragma once
// The settings object the program publishes for the UI library: it makes each default service
// on first request and keeps it for the rest of the process (services are never destroyed).
#include "framework/kordo_services.hpp"

namespace Kordo {

class DefaultSetting final : public ISetting {
  public:
    DefaultSetting() = default;
    DefaultSetting(const DefaultSetting&) = delete;
    DefaultSetting& operator=(const DefaultSetting&) = delete;

    // The log file is NewKordoLog.txt in the current directory. When it cannot be opened the
    // logger's const char* exception passes through; the logger is kept and buffers in memory.
    ILogger* GetLogger() override;
    // Component 785 of the UI library, loading the library when there is no factory yet; null
    // (and tried again next time) when there is none.
    IUILuaScriptManager* GetScriptManager() override;
    ICommonFileSys* GetFileSys() override;
    IAlloc* GetAlloc() override;
    ISystemApiManager* GetSysApiManager() override;
    IAudioPlayer* GetAudioPlayer() override;

  private:
    ILogger* mLogger = nullptr;
    IUILuaScriptManager* mScriptManager = nullptr;
    ICommonFileSys* mFileSys = nullptr;
    IAlloc* mAlloc = nullptr;
    ISystemApiManager* mSysApiManager = nullptr;
    IAudioPlayer* mAudioPlayer = nullptr;
};

} // namespace Kordo
