// The stop callback and the play button it resets.
#include "playback/StopCallback.h"

std::atomic<StopCallBackType> StopCallBackFunc{nullptr};
std::atomic<void*> StopButton{nullptr};

namespace {
std::atomic<StopButtonTitleHook> title_hook{nullptr};
}  // namespace

void SetStopCallback(StopCallBackType func, void* button) {
    StopButton.store(button);
    StopCallBackFunc.store(func);
}

void CallStopFunc() {
    if (StopCallBackType func = StopCallBackFunc.load()) func();
}

void CallbackStop() {
    if (StopButtonTitleHook hook = title_hook.load()) hook(StopButton.load(), "Play");
}

StopButtonTitleHook SetStopButtonTitleHook(StopButtonTitleHook hook) {
    return title_hook.exchange(hook);
}
