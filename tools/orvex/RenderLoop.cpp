#include "RenderLoop.h"

#include "ProgressBar.h"
#include "TextFormat.h"

#include <algorithm>
#include <cmath>

namespace cli {

RenderLoop::RenderLoop(WavFile& input, int pluginInputs, int pluginOutputs, int blockSize, double rate)
    : input_(input), fileChannels_(input.channels()), pluginInputs_(pluginInputs), pluginOutputs_(pluginOutputs), blockSize_(blockSize), rate_(rate),
      meter_(std::max(pluginOutputs, 0)), stats_(rate)
{
    const std::size_t block = static_cast<std::size_t>(blockSize);
    const int fileChannels = input.channels();
    fileBuffers_.assign(static_cast<std::size_t>(fileChannels), std::vector<float>(block));
    outBuffers_.assign(static_cast<std::size_t>(std::max(pluginOutputs, 0)), std::vector<float>(block));
    silence_.assign(block, 0.0f);
    for (auto& buffer : fileBuffers_)
        filePointers_.push_back(buffer.data());
    for (auto& buffer : outBuffers_)
        outPointers_.push_back(buffer.data());
    // Which file channel feeds each plug-in input: a mono file feeds all of them, otherwise
    // input c takes channel c, and inputs beyond the file's channels get silence. A plug-in
    // with fewer inputs than the file has channels takes the first ones (a mono plug-in hears
    // the left channel).
    for (int c = 0; c < pluginInputs; ++c) {
        if (fileChannels == 1)
            inPointers_.push_back(fileBuffers_[0].data());
        else if (c < fileChannels)
            inPointers_.push_back(fileBuffers_[static_cast<std::size_t>(c)].data());
        else
            inPointers_.push_back(silence_.data());
    }
}

bool RenderLoop::openOutput(const std::string& path, std::string& error)
{
    if (pluginOutputs_ < 1) {
        error = "the plug-in has no audio outputs; there is nothing to render";
        return false;
    }
    if (pluginOutputs_ > WavFile::kMaxChannels) {
        error = "the plug-in has " + std::to_string(pluginOutputs_) + " outputs; a WAV file of at most " +
                std::to_string(WavFile::kMaxChannels) + " channels is written";
        return false;
    }
    return output_.openWrite(path, pluginOutputs_, static_cast<std::uint32_t>(std::lround(rate_)), input_.frames(),
                             error);
}

bool RenderLoop::run(const Process& process, const std::string& inputName, std::string& error)
{
    ProgressBar progress(input_.frames(), ProgressBar::wanted(input_.frames(), rate_));
    bool ok = true;
    while (done_ < input_.frames()) {
        const std::int64_t got = input_.read(filePointers_.data(), static_cast<std::int64_t>(blockSize_), error);
        if (got <= 0) {
            if (got == 0)
                error = inputName + ": the data ended early";
            ok = false;
            break;
        }
        // The last block is padded with silence; only the input's length is kept. The
        // plug-in may write into its inputs, so the silence is refilled for every block.
        for (auto& buffer : fileBuffers_)
            std::fill(buffer.begin() + got, buffer.end(), 0.0f);
        std::fill(silence_.begin(), silence_.end(), 0.0f);
        stats_.begin();
        process(inPointers_.data(), outPointers_.data(), blockSize_);
        stats_.end(blockSize_);
        meter_.add(outPointers_.data(), got);
        if (!output_.write(outPointers_.data(), got, error)) {
            ok = false;
            break;
        }
        done_ += got;
        progress.update(done_);
    }
    progress.finish();
    return ok;
}

void RenderLoop::report(const std::string& pluginName, const std::string& outputName, bool stats, std::ostream& out,
                        std::ostream& err) const
{
    out << "rendered " << done_ << " frames (" << format("%.3f", static_cast<double>(done_) / rate_) << " s) at "
        << format("%g", rate_) << " Hz in blocks of " << blockSize_ << " through " << pluginName << "\n"
        << "input: " << fileChannels_ << " channel(s) into " << pluginInputs_ << " plug-in input(s); output: "
        << pluginOutputs_ << " channel(s) to " << (outputName == "-" ? std::string("standard output") : outputName)
        << "\n";
    for (int c = 0; c < pluginOutputs_; ++c) {
        out << "output " << (c + 1) << ": peak " << format("%.6f", meter_.peak(c)) << " ("
            << decibelText(meter_.peak(c)) << " dBFS), RMS " << format("%.6f", meter_.rms(c)) << " ("
            << decibelText(meter_.rms(c)) << " dBFS)\n";
        if (meter_.nonFinite(c) > 0)
            err << "orvex: warning: output " << (c + 1) << " held " << meter_.nonFinite(c)
                << " NaN or infinite samples (left out of peak and RMS)\n";
    }
    if (stats)
        stats_.print(out);
}

} // namespace cli
