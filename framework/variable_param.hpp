#pragma once
// The program's own parameter bag (component 282): one ordered map per value type, each made on
// first store, plus flag words. Made, filled, handed to a control and destroyed at once.
#include "framework/kordo_component.hpp"
#include "framework/kordo_variable_param.hpp"

#include <map>
#include <memory>
#include <string>

namespace Kordo {

class CVariableParam2 : public IVariableParam, public IComponent {
  public:
    CVariableParam2();
    // Virtual past the interface slots so that a bag made as a derived class is destroyed whole.
    virtual ~CVariableParam2();
    CVariableParam2(const CVariableParam2&) = delete;
    CVariableParam2& operator=(const CVariableParam2&) = delete;

    int SetFloat(unsigned key, float value) override;
    int SetBool(unsigned key, bool value) override;
    int SetUInt(unsigned key, unsigned value) override;
    int SetString(unsigned key, const char* text) override;
    int SetInt(unsigned key, int value) override;
    int GetInt(unsigned key, bool remove) override;
    bool GetBool(unsigned key, bool remove) override;
    unsigned GetUInt(unsigned key, bool remove) override;
    float GetFloat(unsigned key, bool remove) override;
    int GetString(unsigned key, char* buffer, unsigned capacity, bool remove) override;
    unsigned GetStringLength(unsigned key) override;
    int HasInt(unsigned key) override;
    int HasString(unsigned key) override;
    int HasUInt(unsigned key) override;
    int HasBool(unsigned key) override;
    int HasFloat(unsigned key) override;
    void Clear() override;
    void RemoveInt(unsigned key) override;
    void RemoveBool(unsigned key) override;
    void RemoveUInt(unsigned key) override;
    void RemoveFloat(unsigned key) override;
    void RemoveString(unsigned key) override;
    void CopyTo(IVariableParam* target, bool clearFirst) override;
    int CopyIntTo(IVariableParam* target, unsigned key) override;
    int CopyBoolTo(IVariableParam* target, unsigned key) override;
    int CopyUIntTo(IVariableParam* target, unsigned key) override;
    int CopyFloatTo(IVariableParam* target, unsigned key) override;
    int CopyStringTo(IVariableParam* target, unsigned key) override;
    int Set(unsigned key, int value) override;
    int Set(unsigned key, const char* text) override;
    int Set(unsigned key, unsigned value) override;
    int Set(unsigned key, bool value) override;
    int Set(unsigned key, float value) override;
    void SetFlag(unsigned key, unsigned word, bool combine) override;
    unsigned GetFlag(unsigned key, bool remove) override;
    void ClearFlags() override;
    void RemoveFlag(unsigned key) override;
    int HasFlag(unsigned key) override;
    int CopyFlagTo(IVariableParam* target, unsigned key) override;
    int FirstInt(unsigned& key, int& value) override;
    int NextInt(unsigned& key, int& value) override;
    int FirstString(unsigned& key, char* buffer, unsigned capacity) override;
    int NextString(unsigned& key, char* buffer, unsigned capacity) override;
    int FirstUInt(unsigned& key, unsigned& value) override;
    int NextUInt(unsigned& key, unsigned& value) override;
    int FirstBool(unsigned& key, bool& value) override;
    int NextBool(unsigned& key, bool& value) override;
    int FirstFloat(unsigned& key, float& value) override;
    int NextFloat(unsigned& key, float& value) override;
    const char* GetStringPtr(unsigned key) override;

    unsigned GetComponentId() const override { return kVariableParamId; }
    int GetVersion() const override { return 1; }
    void Destroy(int) override { delete this; }
    int IsSingleton() const override { return 0; }
    void Initialize(int) override {}
    void Activate() override {}
    void Deactivate() override {}
    void Tick() override {}

  private:
    template <class V> using MapPtr = std::unique_ptr<std::map<unsigned, V>>;

    template <class Ptr, class Accept> int Walk(const Ptr& map, bool first, Accept accept);

    MapPtr<int> mInts;
    MapPtr<std::string> mStrings;
    MapPtr<unsigned> mUInts;
    MapPtr<bool> mBools;
    MapPtr<float> mFloats;
    int mPosition = 0; // shared by every First/Next pair
    std::map<unsigned, unsigned> mFlags;
};

} // namespace Kordo
