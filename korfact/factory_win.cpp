// The library's entry: CreateComponent(361) gives the factory, which makes the UI library (186).
// Scripts (785) are not run by this library, so that id gives null like every unknown one.
#include "korfact/ui_lib_win.hpp"

namespace {

class Factory final : public Kordo::IComponentFactory {
  public:
    Kordo::IComponent* Create(unsigned id, int) override
    {
        if (id == Kordo::kUILibId)
            return new KorFact::UILib;
        return nullptr;
    }
    // Keeps nothing: every component made here is the caller's, so TKordoPtr destroys it.
    int ReleaseComponent(Kordo::IComponent*) override { return 0; }
};

} // namespace

extern "C" __declspec(dllexport) Kordo::IComponentFactory* CreateComponent(unsigned id, int)
{
    static Factory factory;
    return id == Kordo::kComponentFactoryId ? &factory : nullptr;
}
