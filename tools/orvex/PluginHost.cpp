#include "PluginHost.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace cli {

namespace {

// The host being loaded on this thread: the entry point may call back before it has handed
// us its record, and the record's user field cannot point to us yet.
thread_local PluginHost* t_loading = nullptr;

// Program category "all" for effGetProgramNameIndexed.
constexpr vst::IntPtr kAnyCategory = -1;

void copyText(void* destination, const char* text, std::size_t limit)
{
    if (!destination || limit == 0)
        return;
    char* out = static_cast<char*>(destination);
    std::size_t i = 0;
    for (; i + 1 < limit && text[i]; ++i)
        out[i] = text[i];
    out[i] = 0;
}

} // namespace

PluginHost::~PluginHost()
{
    close();
}

bool PluginHost::load(const std::string& path, double sampleRate, int blockSize, std::string& error)
{
    close();
    if (!(sampleRate > 0.0) || sampleRate > 10000000.0) {
        error = "implausible sample rate " + std::to_string(sampleRate);
        return false;
    }
    if (blockSize < 1) {
        error = "block size must be at least 1";
        return false;
    }
    m_sampleRate = sampleRate;
    m_blockSize = blockSize;
    m_textOverrun = false;

    std::string reason;
    if (!m_loader.open(path, reason)) {
        error = "cannot load " + path + ": " + reason;
        return false;
    }
    void* entry = m_loader.symbol("VSTPluginMain");
    if (!entry)
        entry = m_loader.symbol("main");
    if (!entry) {
        error = path + " exports neither VSTPluginMain nor main: not a VST 2 plug-in";
        m_loader.close();
        return false;
    }
    const auto main = reinterpret_cast<vst::MainProc>(entry);
    t_loading = this;
    vst::AEffect* effect = main(&PluginHost::hostCallback);
    t_loading = nullptr;
    if (!effect) {
        error = path + ": the entry point returned no effect";
        m_loader.close();
        return false;
    }
    if (effect->magic != vst::kEffectMagic) {
        // Without the magic nothing else in the record can be trusted, not even its dispatcher.
        error = path + ": the entry point returned a record without the VstP magic";
        m_loader.close();
        return false;
    }
    if (!effect->dispatcher) {
        error = path + ": the effect record has no dispatcher";
        m_loader.close();
        return false;
    }
    effect->user = this;
    m_effect = effect;
    if (effect->numInputs < 0 || effect->numInputs > kMaxChannels || effect->numOutputs < 0 ||
        effect->numOutputs > kMaxChannels || effect->numParams < 0 || effect->numPrograms < 0) {
        error = path + ": the effect record declares implausible counts (" + std::to_string(effect->numInputs) +
                " inputs, " + std::to_string(effect->numOutputs) + " outputs, " + std::to_string(effect->numParams) +
                " parameters, " + std::to_string(effect->numPrograms) + " programs)";
        close();
        return false;
    }
    dispatch(vst::effOpen);
    dispatch(vst::effSetSampleRate, 0, 0, nullptr, static_cast<float>(m_sampleRate));
    dispatch(vst::effSetBlockSize, 0, m_blockSize);
    return true;
}

void PluginHost::close()
{
    closeEditor();
    if (m_effect) {
        if (m_running)
            stop();
        dispatch(vst::effClose);
        m_effect = nullptr;
    }
    m_loader.close();
    m_inputs.clear();
    m_outputs.clear();
    m_chunk.clear();
}

vst::IntPtr PluginHost::vendorSpecific(vst::Int32 index, vst::IntPtr value, void* ptr)
{
    return dispatch(vst::effVendorSpecific, index, value, ptr);
}

vst::IntPtr PluginHost::dispatch(vst::Int32 opcode, vst::Int32 index, vst::IntPtr value, void* ptr, float opt)
{
    if (!m_effect || !m_effect->dispatcher)
        return 0;
    return m_effect->dispatcher(m_effect, opcode, index, value, ptr, opt);
}

std::string PluginHost::queryText(vst::Int32 opcode, vst::Int32 index, vst::IntPtr value, vst::IntPtr* result)
{
    char buffer[kTextSize + kTextGuard] = {};
    const vst::IntPtr reply = dispatch(opcode, index, value, buffer);
    if (result)
        *result = reply;
    for (int i = kTextSize; i < kTextSize + kTextGuard; ++i) {
        if (buffer[i] != 0) {
            m_textOverrun = true;
            break;
        }
    }
    buffer[kTextSize - 1] = 0;
    std::string text(buffer);
    // Control characters would upset a terminal or a table; they carry no meaning in these texts.
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    }
    return text;
}

std::string PluginHost::effectName()
{
    return queryText(vst::effGetEffectName);
}

std::string PluginHost::vendorString()
{
    return queryText(vst::effGetVendorString);
}

std::string PluginHost::productString()
{
    return queryText(vst::effGetProductString);
}

vst::IntPtr PluginHost::vendorVersion()
{
    return dispatch(vst::effGetVendorVersion);
}

vst::IntPtr PluginHost::vstVersion()
{
    return dispatch(vst::effGetVstVersion);
}

vst::IntPtr PluginHost::category()
{
    return dispatch(vst::effGetPlugCategory);
}

std::string PluginHost::parameterName(int index)
{
    return index >= 0 && index < numParameters() ? queryText(vst::effGetParamName, index) : std::string();
}

std::string PluginHost::parameterDisplay(int index)
{
    return index >= 0 && index < numParameters() ? queryText(vst::effGetParamDisplay, index) : std::string();
}

std::string PluginHost::parameterLabel(int index)
{
    return index >= 0 && index < numParameters() ? queryText(vst::effGetParamLabel, index) : std::string();
}

float PluginHost::parameter(int index)
{
    if (!m_effect || !m_effect->getParameter || index < 0 || index >= numParameters())
        return 0.0f;
    return m_effect->getParameter(m_effect, index);
}

void PluginHost::setParameter(int index, float value)
{
    if (!m_effect || !m_effect->setParameter || index < 0 || index >= numParameters())
        return;
    m_effect->setParameter(m_effect, index, value);
}

int PluginHost::findParameter(const std::string& nameOrIndex)
{
    for (int i = 0; i < numParameters(); ++i) {
        if (parameterName(i) == nameOrIndex)
            return i;
    }
    if (nameOrIndex.empty() || nameOrIndex.size() > 9 ||
        nameOrIndex.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    const long index = std::stol(nameOrIndex);
    return index < numParameters() ? static_cast<int>(index) : -1;
}

std::string PluginHost::programName(int index)
{
    if (index < 0 || index >= numPrograms())
        return std::string();
    vst::IntPtr found = 0;
    std::string name = queryText(vst::effGetProgramNameIndexed, index, kAnyCategory, &found);
    // Plug-ins without indexed names can still tell the current program's name.
    if (!found && index == currentProgram())
        name = queryText(vst::effGetProgramName);
    return name;
}

int PluginHost::currentProgram()
{
    return static_cast<int>(dispatch(vst::effGetProgram));
}

bool PluginHost::setProgram(int index)
{
    if (index < 0 || index >= numPrograms())
        return false;
    dispatch(vst::effBeginSetProgram);
    dispatch(vst::effSetProgram, 0, index);
    dispatch(vst::effEndSetProgram);
    return true;
}

bool PluginHost::setChunk(const std::vector<unsigned char>& data, bool preset, std::string& error)
{
    if (!m_effect) {
        error = "no effect is open";
        return false;
    }
    if (!(m_effect->flags & vst::effFlagsProgramChunks)) {
        error = "the effect does not keep its state in chunks (flag 0x20 is clear)";
        return false;
    }
    if (data.empty()) {
        error = "the chunk is empty";
        return false;
    }
    if (data.size() > static_cast<std::size_t>(std::numeric_limits<vst::Int32>::max())) {
        error = "the chunk is too large to hand over (" + std::to_string(data.size()) + " bytes)";
        return false;
    }
    // The effect copies the bytes; keeping our own copy alive until close() also serves one
    // that reads them later.
    m_chunk = data;
    const vst::IntPtr accepted = dispatch(vst::effSetChunk, preset ? 1 : 0, static_cast<vst::IntPtr>(m_chunk.size()),
                                          m_chunk.data());
    // Effects answer 1 for a chunk they took; 0 is a refusal (wrong size, foreign data), and
    // reporting it as success would render with a state the user did not ask for.
    if (!accepted) {
        error = std::string("the effect refused the ") + (preset ? "preset" : "bank") + " chunk of " +
                std::to_string(data.size()) + " bytes";
        return false;
    }
    return true;
}

bool PluginHost::getChunk(std::vector<unsigned char>& data, bool preset, std::string& error)
{
    data.clear();
    if (!m_effect) {
        error = "no effect is open";
        return false;
    }
    if (!(m_effect->flags & vst::effFlagsProgramChunks)) {
        error = "the effect does not keep its state in chunks (flag 0x20 is clear)";
        return false;
    }
    void* bytes = nullptr;
    const vst::IntPtr size = dispatch(vst::effGetChunk, preset ? 1 : 0, 0, &bytes);
    if (size <= 0 || !bytes) {
        error = std::string("the effect gave no ") + (preset ? "preset" : "bank") + " chunk";
        return false;
    }
    const auto* first = static_cast<const unsigned char*>(bytes);
    data.assign(first, first + size);
    return true;
}

bool PluginHost::start(std::string& error)
{
    if (!m_effect) {
        error = "no effect is open";
        return false;
    }
    if (m_running)
        return true;
    m_replacing = (m_effect->flags & vst::effFlagsCanReplacing) && m_effect->processReplacing;
    if (!m_replacing && !m_effect->process) {
        error = "the effect offers no audio process call";
        return false;
    }
    // At least one entry each, so that the tables are never null even for an effect
    // without inputs (or outputs) that looks at them anyway.
    m_inputCount = numInputs();
    m_outputCount = numOutputs();
    m_inputs.assign(static_cast<std::size_t>(std::max(m_inputCount, 1)), nullptr);
    m_outputs.assign(static_cast<std::size_t>(std::max(m_outputCount, 1)), nullptr);
    dispatch(vst::effMainsChanged, 0, 1);
    dispatch(vst::effStartProcess);
    m_running = true;
    return true;
}

void PluginHost::process(float* const* inputs, float* const* outputs, int frames)
{
    if (!m_running)
        return;
    // A longer request is served in pieces: the effect never sees more than it was promised.
    for (int offset = 0; offset < frames; offset += m_blockSize) {
        const int count = std::min(frames - offset, m_blockSize);
        for (int c = 0; c < m_inputCount; ++c)
            m_inputs[static_cast<std::size_t>(c)] = inputs[c] + offset;
        for (int c = 0; c < m_outputCount; ++c)
            m_outputs[static_cast<std::size_t>(c)] = outputs[c] + offset;
        if (m_replacing) {
            m_effect->processReplacing(m_effect, m_inputs.data(), m_outputs.data(), count);
        } else {
            // The old accumulating call adds to what the outputs hold.
            for (int c = 0; c < m_outputCount; ++c)
                std::fill(m_outputs[static_cast<std::size_t>(c)], m_outputs[static_cast<std::size_t>(c)] + count, 0.0f);
            m_effect->process(m_effect, m_inputs.data(), m_outputs.data(), count);
        }
    }
}

void PluginHost::stop()
{
    if (!m_running)
        return;
    dispatch(vst::effStopProcess);
    dispatch(vst::effMainsChanged, 0, 0);
    m_running = false;
}

bool PluginHost::editorSize(int& width, int& height)
{
    width = height = 0;
    if (!hasEditor())
        return false;
    vst::ERect* rect = nullptr;
    dispatch(vst::effEditGetRect, 0, 0, &rect);
    if (!rect)
        return false;
    width = rect->right - rect->left;
    height = rect->bottom - rect->top;
    // A window of a few thousand pixels is the most any editor asks for; more is damage.
    return width > 0 && height > 0 && width <= 16384 && height <= 16384;
}

bool PluginHost::openEditor(void* parent)
{
    if (!hasEditor() || m_editorOpen)
        return false;
    m_editorOpen = dispatch(vst::effEditOpen, 0, 0, parent) != 0;
    return m_editorOpen;
}

void PluginHost::idleEditor()
{
    if (m_editorOpen)
        dispatch(vst::effEditIdle);
}

void PluginHost::closeEditor()
{
    if (!m_editorOpen)
        return;
    m_editorOpen = false;
    dispatch(vst::effEditClose);
}

vst::IntPtr VSTCALLBACK PluginHost::hostCallback(vst::AEffect* effect, vst::Int32 opcode, vst::Int32 index,
                                                 vst::IntPtr value, void* ptr, float opt)
{
    // While the entry point runs, the record's user field is not ours yet.
    PluginHost* host = t_loading;
    if (!host && effect && effect->magic == vst::kEffectMagic)
        host = static_cast<PluginHost*>(effect->user);
    if (opcode == vst::audioMasterVersion)
        return kHostVstVersion;
    if (!host)
        return 0;
    return host->answer(opcode, index, value, ptr, opt);
}

vst::IntPtr PluginHost::answer(vst::Int32 opcode, vst::Int32 index, vst::IntPtr value, void* ptr, float opt)
{
    if (m_editorEvents) {
        switch (opcode) {
        case vst::audioMasterAutomate:
            m_editorEvents->automate(index, opt);
            return 1;
        case vst::audioMasterBeginEdit:
            m_editorEvents->beginEdit(index);
            return 1;
        case vst::audioMasterEndEdit:
            m_editorEvents->endEdit(index);
            return 1;
        case vst::audioMasterSizeWindow:
            return m_editorEvents->sizeWindow(index, static_cast<int>(value)) ? 1 : 0;
        case vst::audioMasterCanDo:
            return ptr && std::strcmp(static_cast<const char*>(ptr), "sizeWindow") == 0 ? 1 : 0;
        default:
            break;
        }
    }
    switch (opcode) {
    // Accepted and otherwise ignored: an offline host has no automation lanes, no editor
    // gestures to follow and nothing to do on idle.
    case vst::audioMasterAutomate:
    case vst::audioMasterBeginEdit:
    case vst::audioMasterEndEdit:
    case vst::audioMasterIdle:
        return 1;
    case vst::audioMasterGetSampleRate:
        return static_cast<vst::IntPtr>(m_sampleRate);
    case vst::audioMasterGetBlockSize:
        return m_blockSize;
    case vst::audioMasterGetVendorString:
        copyText(ptr, kHostVendor, vst::kVstMaxVendorStrLen);
        return ptr ? 1 : 0;
    case vst::audioMasterGetProductString:
        copyText(ptr, kHostProduct, vst::kVstMaxProductStrLen);
        return ptr ? 1 : 0;
    case vst::audioMasterGetVendorVersion:
        return kHostVendorVersion;
    case vst::audioMasterGetLanguage:
        return 1; // English
    case vst::audioMasterCanDo:
        // We claim no optional capability: no time info, no events, no window sizing.
        return 0;
    default:
        // Everything else, time info included (a null answer means "no transport"), is not
        // offered.
        return 0;
    }
}

} // namespace cli
