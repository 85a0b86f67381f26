// An LV2 host for one plug-in, through lilv: finds the plug-in by URI (among those on
// LV2_PATH) or by bundle folder, instantiates it with urid:map/unmap and a worker, connects
// every port, and offers what the `orvex` commands need: ports by symbol, patch:Set of a
// plug-in's properties, block processing, LV2 state to and from a folder, Orvex's state to
// and from a VST2 bank chunk, and a picture of Orvex's editor.
//
// The worker is carried out in order, right after the run() that scheduled it, and its
// answers reach the plug-in before the next run(): an offline host can afford to wait, and a
// render then depends on nothing but its input.
//
// Threads: everything runs on the caller's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace cli {

class Lv2Host {
public:
    enum class PortType { audio, control, atom, other };

    struct Port {
        std::string symbol;
        std::string name;
        PortType type = PortType::other;
        bool input = false;
        float minimum = 0.0f, maximum = 0.0f, deflt = 0.0f; // controls; NaN when not given
        std::string unit;                                   // a units: local name, or empty
        std::vector<std::pair<float, std::string>> points;  // scale points
        bool reportsLatency = false;
    };

    struct Property {
        std::string uri;
        std::string label;
        std::string range; // the value's type URI
    };

    // Whether a command-line plug-in argument names an LV2 plug-in: a URI, or a bundle folder.
    static bool isLv2(const std::string& plugin);

    Lv2Host();
    ~Lv2Host();
    Lv2Host(const Lv2Host&) = delete;
    Lv2Host& operator=(const Lv2Host&) = delete;

    bool load(const std::string& plugin, double sampleRate, int blockSize, std::string& error);
    void close();

    std::string uri() const;
    std::string name() const;
    std::string bundle() const;
    bool hasUi() const;
    const std::vector<Port>& ports() const { return ports_; }
    std::vector<Property> writableProperties() const;
    int findPort(const std::string& symbol) const;
    float control(int port) const;
    void setControl(int port, float value);
    int audioInputs() const { return static_cast<int>(audioIn_.size()); }
    int audioOutputs() const { return static_cast<int>(audioOut_.size()); }
    // Whether the plug-in is Orvex (the state, chunk and snapshot helpers are for it only).
    bool isOrvex() const;
    // Orvex only: whether cab 1..6's IR plays (why not into why), as the plug-in judges it;
    // 0 when it cannot say (see lv2/CabStatusInterface.h).
    int cabStatus(int cab, std::string& why);

    // patch:Set of a property (by URI) to a path or an integer, delivered with the next run.
    void setPathProperty(const std::string& property, const std::string& path);
    void setIntProperty(const std::string& property, int value);
    // Delivers what is queued with a run of no frames and carries out the worker until it
    // is idle.
    void settle();

    void activate();
    void deactivate();
    // One block: run() of `frames` (at most the block size) and the worker after it.
    void process(const float* const* inputs, float* const* outputs, int frames);

    // LV2 state, as lilv saves it into a folder (state.ttl and manifest.ttl).
    bool restoreState(const std::string& folder, std::string& error);
    bool saveState(const std::string& folder, std::string& error);
    // Orvex only: its whole state from and to a VST2 bank chunk (and the current program,
    // 0..9), through the plug-in's own state interface.
    bool restoreBank(const std::vector<unsigned char>& bank, int program, std::string& error);
    bool saveBank(std::vector<unsigned char>& bank, int& program, std::string& error);
    // Orvex only: its UI draws the editor headless into a PNG file.
    bool snapshot(const std::string& pngPath, std::string& error);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::vector<Port> ports_;
    std::vector<int> audioIn_, audioOut_;
};

} // namespace cli
