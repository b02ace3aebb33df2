#pragma once
// The typed key/value bag through which the UI library and the program exchange event data and
// control properties. Each value type has its own entries, so one key may hold several types.
// Slot order is declaration order and part of the contract.
namespace Kordo {

class IVariableParam {
  public:
    // Setters return 1 when stored.
    virtual int SetFloat(unsigned key, float value) = 0;
    virtual int SetBool(unsigned key, bool value) = 0;
    virtual int SetUInt(unsigned key, unsigned value) = 0;
    // Stores a copy; a null text stores nothing and returns 0.
    virtual int SetString(unsigned key, const char* text) = 0;
    virtual int SetInt(unsigned key, int value) = 0;

    // Getters return 0 / false / 0.0 when absent; `remove` erases the entry after reading it.
    virtual int GetInt(unsigned key, bool remove) = 0;
    virtual bool GetBool(unsigned key, bool remove) = 0;
    virtual unsigned GetUInt(unsigned key, bool remove) = 0;
    virtual float GetFloat(unsigned key, bool remove) = 0;
    // Copies the text with its terminator only when `capacity` exceeds its length (then returns
    // 1, and removes the entry if asked).
    virtual int GetString(unsigned key, char* buffer, unsigned capacity, bool remove) = 0;
    virtual unsigned GetStringLength(unsigned key) = 0;

    virtual int HasInt(unsigned key) = 0;
    virtual int HasString(unsigned key) = 0;
    virtual int HasUInt(unsigned key) = 0;
    virtual int HasBool(unsigned key) = 0;
    virtual int HasFloat(unsigned key) = 0;

    // Empties every value type and the flags.
    virtual void Clear() = 0;
    virtual void RemoveInt(unsigned key) = 0;
    virtual void RemoveBool(unsigned key) = 0;
    virtual void RemoveUInt(unsigned key) = 0;
    virtual void RemoveFloat(unsigned key) = 0;
    virtual void RemoveString(unsigned key) = 0;

    // Stores every entry into `target` (emptied first when `clearFirst`).
    virtual void CopyTo(IVariableParam* target, bool clearFirst) = 0;
    // Store one entry into `target`; 0 when there is no target or no such entry.
    virtual int CopyIntTo(IVariableParam* target, unsigned key) = 0;
    virtual int CopyBoolTo(IVariableParam* target, unsigned key) = 0;
    virtual int CopyUIntTo(IVariableParam* target, unsigned key) = 0;
    virtual int CopyFloatTo(IVariableParam* target, unsigned key) = 0;
    virtual int CopyStringTo(IVariableParam* target, unsigned key) = 0;

    virtual int Set(unsigned key, int value) = 0;
    virtual int Set(unsigned key, const char* text) = 0;
    virtual int Set(unsigned key, unsigned value) = 0;
    virtual int Set(unsigned key, bool value) = 0;
    virtual int Set(unsigned key, float value) = 0;

    // An absent key takes `word`; a present one ORs it in when `combine`, ANDs it in otherwise.
    virtual void SetFlag(unsigned key, unsigned word, bool combine) = 0;
    virtual unsigned GetFlag(unsigned key, bool remove) = 0;
    virtual void ClearFlags() = 0;
    virtual void RemoveFlag(unsigned key) = 0;
    virtual int HasFlag(unsigned key) = 0;
    virtual int CopyFlagTo(IVariableParam* target, unsigned key) = 0;

    // Iteration in ascending key order. All value types share one position, so walks over two
    // types must not be interleaved. First/Next return 1 with an entry, 0 at the end.
    virtual int FirstInt(unsigned& key, int& value) = 0;
    virtual int NextInt(unsigned& key, int& value) = 0;
    // Returns 0 without copying or advancing when the text does not fit.
    virtual int FirstString(unsigned& key, char* buffer, unsigned capacity) = 0;
    virtual int NextString(unsigned& key, char* buffer, unsigned capacity) = 0;
    virtual int FirstUInt(unsigned& key, unsigned& value) = 0;
    virtual int NextUInt(unsigned& key, unsigned& value) = 0;
    virtual int FirstBool(unsigned& key, bool& value) = 0;
    virtual int NextBool(unsigned& key, bool& value) = 0;
    virtual int FirstFloat(unsigned& key, float& value) = 0;
    virtual int NextFloat(unsigned& key, float& value) = 0;

    // The stored text, valid until its entry changes or goes; null when absent.
    virtual const char* GetStringPtr(unsigned key) = 0;

  protected:
    ~IVariableParam() = default;
};

} // namespace Kordo
