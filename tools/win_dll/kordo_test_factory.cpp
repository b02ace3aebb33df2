// A stand-in UI component library for the loader tests under Wine. Its factory makes only the
// script manager (785), one instance that it keeps. With VXM_TEST_FACTORY_NULL set in the
// environment, CreateComponent gives no factory.
#include "framework/kordo_services.hpp"

#include <cstdlib>

namespace {

class ScriptManager final : public Kordo::IUILuaScriptManager {
  public:
    unsigned GetComponentId() const override { return Kordo::kUILuaScriptManagerId; }
    int GetVersion() const override { return 1; }
    // The factory keeps the one instance: destroying it would be a caller's mistake, made
    // visible by refusing every script afterwards.
    void Destroy(int) override { mUsable = false; }
    int IsSingleton() const override { return 1; }
    void Initialize(int) override { mUsable = true; }
    void Activate() override {}
    void Deactivate() override {}
    void Tick() override {}
    int RunFile(const char* path) override { return mUsable && path ? 1 : 0; }
    int RunString(const char* source) override { return mUsable && source ? 1 : 0; }

  private:
    bool mUsable = false;
};

class Factory final : public Kordo::IComponentFactory {
  public:
    Kordo::IComponent* Create(unsigned id, int) override
    {
        return id == Kordo::kUILuaScriptManagerId ? &mScriptManager : nullptr;
    }
    int ReleaseComponent(Kordo::IComponent* component) override
    {
        return component == &mScriptManager;
    }

  private:
    ScriptManager mScriptManager;
};

} // namespace

extern "C" __declspec(dllexport) Kordo::IComponentFactory* CreateComponent(unsigned id, int)
{
    static Factory factory;
    if (id != Kordo::kComponentFactoryId || std::getenv("VXM_TEST_FACTORY_NULL"))
        return nullptr;
    return &factory;
}
