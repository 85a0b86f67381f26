// The 86 host parameters: indices, names, where each one is stored in a program record and
// what a fresh program holds. 62 are stored parameters; the other 24 are actions (load
// buttons, file menus, previous and next) that store nothing and read back 0.
#pragma once

namespace orvex {

constexpr int kNumParams = 86;

// First index of each group of six (cab 1 .. cab 6) and the single parameters.
enum ParamIndex : int {
    kPhase = 0,
    kVolume = 6,
    kPan = 12,
    kLoad = 18,         // action: open the file dialog for a cab
    kFreqHp = 24,
    kFreqLp = 30,
    kBypass = 36,
    kDelay = 42,
    kOutput = 48,
    kOnOff = 49,
    kFileMenu = 50,     // action: load the entry chosen in a cab's file menu
    kPrevious = 56,     // action: previous file of the cab's folder
    kNext = 62,         // action: next file of the cab's folder
    kChannel = 68,
    kSolo = 74,
    kLatency = 80,
    kLink12 = 81,
    kLink34 = 82,
    kLink56 = 83,
    kBlend13 = 84,
    kBlend24 = 85,
};

// Editor requests served through setParameter, outside the parameter range.
enum EditorRequest : int {
    kRequestRefreshCab = 7777,  // value k: refresh cab k's file menu and select its file
    kRequestClearCab = 8888,    // value k: show cab k as empty
    kRequestPushFolders = 9999, // hand the six folders and file indices to the editor
};

enum class ParamKind {
    Phase, Volume, Pan, Load, FreqHp, FreqLp, Bypass, Delay, Output, OnOff, FileMenu,
    Previous, Next, Channel, Solo, Latency, Link, Blend, None
};

struct ParamInfo {
    ParamKind kind;  // what the index means
    int cab;         // 0..5 for per-cab parameters, the pair number for links/blends, else -1
};

ParamInfo paramInfo(int index);

// Host-visible name, or nullptr for unnamed actions and indices outside 0..85.
const char* paramName(int index);

// Position in ProgramRecord::values, or -1 for actions and indices outside 0..85.
int recordSlot(int index);

inline bool isStored(int index) { return recordSlot(index) >= 0; }

// The value a fresh "Init" program holds (0 for actions).
float freshValue(int index);

// "Latency" has four steps, hops of 64, 128, 256 and 512 samples. A value falls into the
// step of its quarter of 0..1; each step is stored as one fixed value, which is also what
// the editor's latency menu sends, so a host records and replays a value inside 0..1.
constexpr int kLatencySteps = 4;
inline int latencyStep(float value)
{
    return value < 0.25f ? 0 : value < 0.5f ? 1 : value < 0.75f ? 2 : 3; // NaN: the last step
}
inline float latencyStepValue(int step)
{
    constexpr float values[kLatencySteps] = {0.0f, 0.3f, 0.6f, 1.0f};
    return values[step < 0 ? 0 : step >= kLatencySteps ? kLatencySteps - 1 : step];
}
inline int latencyHop(int step) { return 64 << (step < 0 ? 0 : step >= kLatencySteps ? kLatencySteps - 1 : step); }

} // namespace orvex
