// `orvex render`'s work for any plug-in: a WAV file played through the plug-in block by
// block into another WAV file, metered, timed and reported. The plug-in is reached through
// one call per block, so a VST2 and an LV2 plug-in render the same way.
#pragma once

#include "ProcessStats.h"
#include "SignalMeter.h"
#include "WavFile.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace cli {

class RenderLoop {
public:
    // Hands the plug-in one block: an array per input and per output, `frames` samples each.
    using Process = std::function<void(float* const* inputs, float* const* outputs, int frames)>;

    // `input` is open; all buffers are allocated here, before the plug-in is started.
    RenderLoop(WavFile& input, int pluginInputs, int pluginOutputs, int blockSize, double rate);

    // Opens `path` for the plug-in's outputs; false with the refusal (no outputs, too many,
    // or the file cannot be written). A WAV header holds a whole number of hertz, so a
    // fractional rate is rounded there only. The output is exactly as long as the input, so
    // its header is right from the first byte and a device, a FIFO or standard output is
    // never written twice.
    bool openOutput(const std::string& path, std::string& error);

    // Every block of the input through `process` into the output; false with the error of a
    // read or a write that failed. The plug-in is stopped by the caller.
    bool run(const Process& process, const std::string& inputName, std::string& error);

    // Completes the output file (after the input is closed: on Windows an open file cannot be
    // replaced, and the output may name the input).
    bool finish(std::string& error) { return output_.finish(error); }

    // What was rendered, through which plug-in, the level of every output (non-finite samples
    // as warnings on `err`), and with `stats` the cost of the plug-in's calls.
    void report(const std::string& pluginName, const std::string& outputName, bool stats, std::ostream& out,
                std::ostream& err) const;

private:
    WavFile& input_;
    WavFile output_;
    int fileChannels_;
    int pluginInputs_;
    int pluginOutputs_;
    int blockSize_;
    double rate_;
    std::vector<std::vector<float>> fileBuffers_; // one per channel of the input
    std::vector<std::vector<float>> outBuffers_;  // one per output of the plug-in
    std::vector<float> silence_;                  // for inputs beyond the file's channels
    std::vector<float*> filePointers_;
    std::vector<float*> inPointers_;
    std::vector<float*> outPointers_;
    SignalMeter meter_;
    ProcessStats stats_;
    std::int64_t done_ = 0;
};

} // namespace cli
