#pragma once
// Steps run one per timer tick inside whatever modal loop is running. A thread timer fires only
// when the queue is empty, so the input a step sends has been handled when the next one runs.
// A step returns false to be tried again next tick; one that waits too long ends the script
// through `stalled`.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class StepScript {
  public:
    using Step = std::function<bool()>;

    StepScript& Then(const std::string& name, Step step)
    {
        mSteps.push_back({name, std::move(step)});
        return *this;
    }

    void Start(std::function<void(const std::string&)> stalled, UINT interval = 40,
               int patience = 100)
    {
        mStalled = std::move(stalled);
        mPatience = patience;
        sCurrent = this;
        mTimer = SetTimer(nullptr, 0, interval, Tick);
    }

    bool Finished() const { return mNext == mSteps.size(); }

    ~StepScript()
    {
        if (mTimer)
            KillTimer(nullptr, mTimer);
        sCurrent = nullptr;
    }

  private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        StepScript* script = sCurrent;
        if (!script || script->mBusy || script->Finished())
            return;
        // A step may open a modal loop in which ticks go on: those wait for it.
        script->mBusy = true;
        const std::size_t at = script->mNext;
        const bool done = script->mSteps[at].second();
        script->mBusy = false;
        if (done) {
            ++script->mNext;
            script->mWaited = 0;
        } else if (++script->mWaited > script->mPatience) {
            script->mNext = script->mSteps.size();
            script->mStalled(script->mSteps[at].first);
        }
    }

    std::vector<std::pair<std::string, Step>> mSteps;
    std::size_t mNext = 0;
    int mWaited = 0;
    int mPatience = 100;
    bool mBusy = false;
    UINT_PTR mTimer = 0;
    std::function<void(const std::string&)> mStalled;
    static inline StepScript* sCurrent = nullptr;
};
