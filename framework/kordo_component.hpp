#pragma once
// Components of the UI library: what every component offers, the factory that makes them, and
// the holder that gives a component back to the factory. VxmCheck.exe and KorFact.dll compile
// against these declarations, so the order of the virtual operations is part of the contract
// (GCC lays the slots out in declaration order, overloads included).
#include <type_traits>

namespace Kordo {

// Component ids handed to IComponentFactory::Create.
constexpr unsigned kComponentFactoryId = 361;
constexpr unsigned kUILibId = 186;
constexpr unsigned kVariableParamId = 282;
constexpr unsigned kUILuaScriptManagerId = 785;

class IComponent {
  public:
    virtual unsigned GetComponentId() const = 0;
    virtual int GetVersion() const = 0;
    virtual void Destroy(int reserved) = 0;
    // Nonzero when one instance serves the whole process and the factory keeps it.
    virtual int IsSingleton() const = 0;
    // Called with 0 right after every Create.
    virtual void Initialize(int reserved) = 0;
    virtual void Activate() = 0;
    virtual void Deactivate() = 0;
    virtual void Tick() = 0;

  protected:
    // Components end through Destroy or the factory, never through delete on the interface.
    ~IComponent() = default;
};

class IComponentFactory {
  public:
    // A new component, or null for an unknown id.
    virtual IComponent* Create(unsigned id, int reserved) = 0;
    // Nonzero when the factory keeps the component; 0 when the caller must destroy it.
    virtual int ReleaseComponent(IComponent* component) = 0;

  protected:
    ~IComponentFactory() = default;
};

// The library's export "CreateComponent", C calling convention, called with (361, 0).
using CreateComponentFunction = IComponentFactory* (*)(unsigned id, int reserved);

// The factory of the loaded UI library; null until the loader got one. Never released.
extern IComponentFactory* gComponentFactory;

// Holds one component interface and gives it back when it goes: to the factory, and when the
// factory does not keep it, to the component's own Destroy.
template <class T, int Count> class TKordoPtr {
    static_assert(Count == 1, "a holder keeps exactly one interface");
    static_assert(std::is_base_of<IComponent, T>::value, "only components can be held");

  public:
    TKordoPtr() = default;
    explicit TKordoPtr(T* component) : mComponent(component) {}
    ~TKordoPtr() { Release(); }
    TKordoPtr(const TKordoPtr&) = delete;
    TKordoPtr& operator=(const TKordoPtr&) = delete;

    TKordoPtr& operator=(T* component)
    {
        if (component != mComponent) {
            Release();
            mComponent = component;
        }
        return *this;
    }

    T* Get() const { return mComponent; }
    T* operator->() const { return mComponent; }
    explicit operator bool() const { return mComponent != nullptr; }

    void Release()
    {
        if (!mComponent)
            return;
        IComponent* component = mComponent;
        if (!gComponentFactory || !gComponentFactory->ReleaseComponent(component))
            component->Destroy(0);
        mComponent = nullptr;
    }

  private:
    T* mComponent = nullptr;
};

} // namespace Kordo
