// A VST 2.4 host for one effect: loads the module, opens the effect as hosts do, answers its
// callback, and offers what the command-line tool needs: identity texts, parameters by name,
// programs, chunks and block processing. Built on our own declarations of the interface.
//
// Order of use: load() (entry point, effOpen, sample rate, block size), then any queries and
// state changes (setChunk, setProgram, setParameter), start(), process() per block, stop(),
// getChunk if wanted, close(). The destructor closes whatever is still open.
//
// Threads: everything runs on the caller's thread. The callback may be reached from threads
// the plug-in starts itself; it only reads fields that do not change while the effect is open.
#pragma once

#include "PluginLoader.h"
#include "vst/VstAbi.h"

#include <cstdint>
#include <string>
#include <vector>

namespace cli {

// What an open editor tells its host, for `orvex edit`. Called on the thread that drives the
// editor (the plug-in calls back from inside our dispatcher calls and its own idle).
class EditorEvents {
public:
    virtual ~EditorEvents() = default;
    virtual void automate(int index, float value) = 0; // audioMasterAutomate
    virtual void beginEdit(int index) = 0;             // audioMasterBeginEdit
    virtual void endEdit(int index) = 0;               // audioMasterEndEdit
    // audioMasterSizeWindow: true when the host window took the new size.
    virtual bool sizeWindow(int width, int height) = 0;
};

class PluginHost {
public:
    // Size of every text buffer handed to the plug-in. The interface's own limits are far
    // smaller (8 to 64 characters) but plug-ins often ignore them, so we offer room, keep a
    // guard area behind it to notice a plug-in that wrote even further, and terminate the
    // text ourselves.
    static constexpr int kTextSize = 256;
    static constexpr int kTextGuard = 256;

    // Limits on the effect's declared channel counts: more than this is a damaged record.
    static constexpr int kMaxChannels = 256;

    // What our callback reports about this host.
    static constexpr vst::IntPtr kHostVstVersion = 2400;
    static constexpr const char* kHostVendor = "Orvex";
    static constexpr const char* kHostProduct = "orvex command-line host";
    static constexpr vst::IntPtr kHostVendorVersion = 1000;

    PluginHost() = default;
    ~PluginHost();
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    // Loads the module at `path`, asks it for an effect through `VSTPluginMain` (or `main`),
    // checks the record and opens it at `sampleRate` and `blockSize`.
    bool load(const std::string& path, double sampleRate, int blockSize, std::string& error);

    // Stops processing if needed, closes the effect and releases the module.
    void close();

    bool isLoaded() const { return m_effect != nullptr; }
    const vst::AEffect& effect() const { return *m_effect; }
    double sampleRate() const { return m_sampleRate; }
    int blockSize() const { return m_blockSize; }
    int numInputs() const { return m_effect ? m_effect->numInputs : 0; }
    int numOutputs() const { return m_effect ? m_effect->numOutputs : 0; }
    int numParameters() const { return m_effect ? m_effect->numParams : 0; }
    int numPrograms() const { return m_effect ? m_effect->numPrograms : 0; }

    // Identity as the effect reports it.
    std::string effectName();
    std::string vendorString();
    std::string productString();
    vst::IntPtr vendorVersion();
    vst::IntPtr vstVersion();
    vst::IntPtr category();

    // Parameters. Indices outside the effect's range read as empty texts and 0 and are not
    // passed to the plug-in.
    std::string parameterName(int index);
    std::string parameterDisplay(int index);
    std::string parameterLabel(int index);
    float parameter(int index);
    void setParameter(int index, float value);

    // The index of the parameter whose name is exactly `nameOrIndex` (case-sensitive; the
    // first one if several share it); otherwise, when `nameOrIndex` is a plain decimal index
    // within range, that index; otherwise -1. A name wins over an index, so a parameter
    // literally named "3" stays reachable.
    int findParameter(const std::string& nameOrIndex);

    // effVendorSpecific with the given arguments; the plug-in's answer.
    vst::IntPtr vendorSpecific(vst::Int32 index, vst::IntPtr value, void* ptr);

    // Programs: names by index, the current one, and switching.
    std::string programName(int index);
    int currentProgram();
    bool setProgram(int index);

    // State as an opaque chunk: a bank (all programs) or a preset (the current program).
    bool setChunk(const std::vector<unsigned char>& data, bool preset, std::string& error);
    bool getChunk(std::vector<unsigned char>& data, bool preset, std::string& error);

    // Resumes the effect (effMainsChanged 1) and prepares the buffer tables for process().
    bool start(std::string& error);

    // Runs `frames` frames through the effect: `inputs` has numInputs() arrays and `outputs`
    // numOutputs() arrays (as they were at start()), each of `frames` floats. More than
    // blockSize() frames are passed in several calls. Allocates nothing.
    void process(float* const* inputs, float* const* outputs, int frames);

    // Suspends the effect (effMainsChanged 0).
    void stop();

    // The editor. While `events` is set (may be null) the callback reports gestures,
    // automation and size requests to it and claims "sizeWindow" in its capability answers.
    void setEditorEvents(EditorEvents* events) { m_editorEvents = events; }
    bool hasEditor() const { return m_effect && (m_effect->flags & vst::effFlagsHasEditor); }
    // effEditGetRect: the editor's size; false when the plug-in gives no usable rectangle.
    bool editorSize(int& width, int& height);
    // effEditOpen with a native parent window; true when the plug-in answered non-zero.
    bool openEditor(void* parent);
    void idleEditor();  // effEditIdle
    void closeEditor(); // effEditClose (only after a successful openEditor)

    // True once the plug-in has written past kTextSize into one of our text buffers.
    bool textOverrun() const { return m_textOverrun; }

private:
    static vst::IntPtr VSTCALLBACK hostCallback(vst::AEffect* effect, vst::Int32 opcode, vst::Int32 index,
                                                vst::IntPtr value, void* ptr, float opt);
    vst::IntPtr answer(vst::Int32 opcode, vst::Int32 index, vst::IntPtr value, void* ptr, float opt);
    vst::IntPtr dispatch(vst::Int32 opcode, vst::Int32 index = 0, vst::IntPtr value = 0, void* ptr = nullptr,
                         float opt = 0.0f);
    std::string queryText(vst::Int32 opcode, vst::Int32 index = 0, vst::IntPtr value = 0, vst::IntPtr* result = nullptr);

    PluginLoader m_loader;               // the loaded module
    vst::AEffect* m_effect = nullptr;    // the effect record, null when none is open
    double m_sampleRate = 44100.0;       // rate given to the effect and reported by the callback
    int m_blockSize = 512;               // largest block given to the effect
    bool m_running = false;              // between start() and stop()
    bool m_replacing = false;            // process through processReplacing (else the accumulating call)
    bool m_textOverrun = false;          // a text query wrote into the guard area
    int m_inputCount = 0;                // inputs declared when start() ran
    int m_outputCount = 0;               // outputs declared when start() ran
    std::vector<float*> m_inputs;        // input table handed to the effect, numInputs entries
    std::vector<float*> m_outputs;       // output table handed to the effect, numOutputs entries
    std::vector<unsigned char> m_chunk;  // the last chunk given to setChunk, kept alive while open
    EditorEvents* m_editorEvents = nullptr; // receiver of editor notices, or null
    bool m_editorOpen = false;           // effEditOpen succeeded and effEditClose is due
};

} // namespace cli
