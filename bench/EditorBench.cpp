// Cost of the editor's drawing on the headless platform: one full redraw of the 850 x 520
// panel (everything dirty, drawn into the frame's image and copied to the window), one idle
// with nothing changed (what a host pays 30 times a second while nobody touches the panel),
// and one idle after a single parameter change (the knob and its label redrawn over what
// lies beneath them). The pictures are the shipped skin, linked in as the plug-in links it.
// Numbers are printed, never asserted.
#include "OrvexPlugin.h"
#include "editor/SDEditor.h"
#include "effect/ParameterTable.h"
#include "gui/CFrame.h"
#include "platform/Headless.h"

#include <benchmark/benchmark.h>

namespace {

vst::IntPtr VSTCALLBACK host(vst::AEffect*, vst::Int32 opcode, vst::Int32, vst::IntPtr, void*, float)
{
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

// The plug-in's effect with its editor open in a fake host window, painted once.
struct OpenEditor {
    OpenEditor()
    {
        platform::setBackend(platform::Backend::headless);
        plugin = new OrvexPlugin(&host);
        effect = plugin->getAeffect();
        editor = dynamic_cast<editor::SDEditor*>(plugin->getEditor());
        parent = platform::headless::createHostWindow(900, 600);
        effect->dispatcher(effect, vst::effEditOpen, 0, 0, parent, 0.0f);
        platform::headless::sendPaint(editor->getFrame()->getWindow(), platform::Rect{0, 0, 850, 520});
    }
    ~OpenEditor()
    {
        effect->dispatcher(effect, vst::effEditClose, 0, 0, nullptr, 0.0f);
        effect->dispatcher(effect, vst::effClose, 0, 0, nullptr, 0.0f);
        platform::headless::destroyHostWindow(parent);
    }
    OrvexPlugin* plugin = nullptr;           // deleted by effClose
    vst::AEffect* effect = nullptr;          // its record
    editor::SDEditor* editor = nullptr;      // its editor
    platform::NativeHandle parent = nullptr; // the fake host window
};

void fullRedraw(benchmark::State& state)
{
    OpenEditor open;
    for (auto _ : state) {
        open.editor->getFrame()->setDirty(true);
        open.effect->dispatcher(open.effect, vst::effEditIdle, 0, 0, nullptr, 0.0f);
    }
    state.SetLabel("850 x 520, all 137 views");
}

void idleWithNothingChanged(benchmark::State& state)
{
    OpenEditor open;
    open.effect->dispatcher(open.effect, vst::effEditIdle, 0, 0, nullptr, 0.0f);
    for (auto _ : state)
        open.effect->dispatcher(open.effect, vst::effEditIdle, 0, 0, nullptr, 0.0f);
    state.SetLabel("nothing dirty");
}

void idleAfterOneParameterChange(benchmark::State& state)
{
    OpenEditor open;
    float value = 0.0f;
    for (auto _ : state) {
        value = value > 0.5f ? 0.1f : 0.9f;
        open.effect->setParameter(open.effect, orvex::kVolume + 2, value);
        open.effect->dispatcher(open.effect, vst::effEditIdle, 0, 0, nullptr, 0.0f);
    }
    state.SetLabel("Volume3: knob and value label");
}

} // namespace

BENCHMARK(fullRedraw)->Unit(benchmark::kMillisecond);
BENCHMARK(idleWithNothingChanged)->Unit(benchmark::kMicrosecond);
BENCHMARK(idleAfterOneParameterChange)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
