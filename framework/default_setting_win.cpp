#include "framework/default_setting.hpp"

#include "framework/component_library_loader.hpp"
#include "framework/default_alloc.hpp"
#include "framework/default_audio_player.hpp"
#include "framework/default_file_sys.hpp"
#include "framework/default_logger.hpp"
#include "framework/default_sys_api_manager.hpp"

#include <windows.h>

#include <new>
#include <string>

namespace Kordo {

namespace {

// A stateless service, made on first request; null stays null when memory runs out.
template <class Made, class Service> Service* MakeOnce(Service*& slot)
{
    if (!slot)
        slot = new (std::nothrow) Made;
    return slot;
}

} // namespace

ILogger* DefaultSetting::GetLogger()
{
    if (mLogger)
        return mLogger;
    char directory[512] = {};
    GetCurrentDirectoryA(sizeof directory, directory);
    const std::string path = std::string(directory) + "\\NewKordoLog.txt";
    DefaultLogger* logger = new (std::nothrow) DefaultLogger;
    mLogger = logger; // kept before the file is tried, so a failure does not lose it
    if (logger)
        logger->setLogFilename(path.c_str(), false);
    return mLogger;
}

IUILuaScriptManager* DefaultSetting::GetScriptManager()
{
    if (mScriptManager)
        return mScriptManager;
    if (!gComponentFactory)
        LoadComponentLibrary();
    if (!gComponentFactory)
        return nullptr;
    // The factory keeps this component, so the interface stays valid after the holder is done.
    TKordoPtr<IComponent, 1> component(gComponentFactory->Create(kUILuaScriptManagerId, 0));
    if (component) {
        component->Initialize(0);
        mScriptManager = dynamic_cast<IUILuaScriptManager*>(component.Get());
    }
    return mScriptManager;
}

ICommonFileSys* DefaultSetting::GetFileSys()
{
    return MakeOnce<CDefaultFileSys>(mFileSys);
}

IAlloc* DefaultSetting::GetAlloc()
{
    return MakeOnce<CDefaultAllocImpl>(mAlloc);
}

ISystemApiManager* DefaultSetting::GetSysApiManager()
{
    return MakeOnce<CDefaultSysAPIManager>(mSysApiManager);
}

IAudioPlayer* DefaultSetting::GetAudioPlayer()
{
    return MakeOnce<CDefaultAudioPlayer>(mAudioPlayer);
}

} // namespace Kordo
