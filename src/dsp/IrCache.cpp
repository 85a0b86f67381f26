#include "dsp/IrCache.h"

#include "dsp/IrHandover.h"
#include "dsp/IrPreparer.h"

#include "platform/Platform.h"

#include <algorithm>

namespace dsp {

namespace {

constexpr int kN = IrHandover::kSize; // every IR is prepared for N

} // namespace

IrCache::IrCache(IrPreparer& preparer, int capacity)
    : preparer_(preparer)
    , capacity_(std::max(1, capacity))
{
}

bool IrCache::prepare(const char* path, float hostRate, double* spectrumOut, int& irLength)
{
    std::lock_guard<std::mutex> lock(mutex_);
    platform::FileStamp stamp;
    if (path == nullptr || !platform::regularFileStamp(path, stamp)) {
        // Not a regular file (or none at all): nothing to remember; the preparer gives
        // its neutral answer.
        const bool accepted = preparer_.prepare(path, hostRate, kN, spectrumOut);
        irLength = preparer_.irLength();
        return accepted;
    }
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->rate != hostRate || it->path != path)
            continue;
        if (!(it->stamp == stamp)) {
            // The file changed on disk: this entry is stale.
            entries_.erase(it);
            break;
        }
        entries_.splice(entries_.begin(), entries_, it);
        std::copy(it->spectrum.begin(), it->spectrum.end(), spectrumOut);
        irLength = it->length;
        ++hits_;
        return it->accepted;
    }
    const bool accepted = preparer_.prepare(path, hostRate, kN, spectrumOut);
    irLength = preparer_.irLength();
    ++reads_;
    // A file that changed while it was read may be half old, half new: keep it only if it
    // still looks as it did before the read.
    platform::FileStamp after;
    if (!platform::regularFileStamp(path, after) || !(after == stamp))
        return accepted;
    if (static_cast<int>(entries_.size()) >= capacity_) {
        // Reuse the least recently used entry's storage.
        entries_.splice(entries_.begin(), entries_, std::prev(entries_.end()));
    } else {
        entries_.emplace_front();
        entries_.front().spectrum.resize(static_cast<std::size_t>(kN));
    }
    Entry& e = entries_.front();
    e.path = path;
    e.stamp = stamp;
    e.rate = hostRate;
    e.accepted = accepted;
    e.length = irLength;
    std::copy(spectrumOut, spectrumOut + kN, e.spectrum.begin());
    return accepted;
}

int IrCache::reads() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return reads_;
}

int IrCache::hits() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return hits_;
}

void IrCache::clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
}

} // namespace dsp
