#include "tests/app/app_test_support.h"

#include "app/scene.h"

ScriptedCounter Scripted;

static int64_t ScriptedFrequency() { return Scripted.frequency; }

static int64_t ScriptedReading() {
    if (!Scripted.readings.empty()) {
        Scripted.last = Scripted.readings.front();
        Scripted.readings.pop_front();
    }
    return Scripted.last;
}

void InstallScriptedCounter() { HeadlessCounter = {ScriptedFrequency, ScriptedReading}; }

void ResetApplication() {
    static bool initialised = false;
    if (!initialised) {
        InitGraphics(nullptr, {DefaultFrameWidth, DefaultFrameHeight});
        initialised = true;
    }
    Camera = StartCamera;
    ReleaseAllKeys();
    Clock = FrameClock{};
    Headless.windowDestroyed = false;
    Scripted = ScriptedCounter{};
    InstallScriptedCounter();
    for (TriangleRecord &record : SceneTriangles) record.clipFlags = 0;
}

void QueueFrameReadings(int64_t start, int64_t lapStart, int64_t lapEnd) {
    Scripted.readings.push_back(start);
    Scripted.readings.push_back(lapStart);
    Scripted.readings.push_back(lapEnd);
}
