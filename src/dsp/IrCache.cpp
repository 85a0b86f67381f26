#include "dsp/IrCache.h"

#include "dsp/ContentHash.h"
#include "dsp/IrHandover.h"
#include "dsp/IrPreparer.h"
#include "files/FileBytes.h"

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
    const char* silence = nullptr;
    return prepare(path, hostRate, spectrumOut, irLength, silence);
}

bool IrCache::prepare(const char* path, float hostRate, double* spectrumOut, int& irLength, const char*& silence)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<unsigned char> bytes;
    const files::FileBytesResult read = files::readFileBytes(path, kMaxFileBytes, bytes);
    if (read != files::FileBytesResult::read) {
        // Nothing to remember: the preparer reads what it can from the path (a file too
        // large to hold here) or gives its neutral answer (no regular file at all).
        const bool accepted = preparer_.prepare(path, hostRate, kN, spectrumOut);
        irLength = preparer_.irLength();
        silence = preparer_.silence();
        if (read == files::FileBytesResult::tooLarge)
            ++reads_;
        return accepted;
    }
    const std::uint64_t hash = contentHash(bytes.data(), bytes.size());
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->hash != hash || it->size != bytes.size() || it->rate != hostRate)
            continue;
        entries_.splice(entries_.begin(), entries_, it);
        std::copy(it->spectrum.begin(), it->spectrum.end(), spectrumOut);
        irLength = it->length;
        silence = it->silence;
        ++hits_;
        return it->accepted;
    }
    const bool accepted = preparer_.prepareFromMemory(bytes.data(), bytes.size(), hostRate, kN, spectrumOut);
    irLength = preparer_.irLength();
    silence = preparer_.silence();
    ++reads_;
    if (static_cast<int>(entries_.size()) >= capacity_) {
        // Reuse the least recently used entry's storage.
        entries_.splice(entries_.begin(), entries_, std::prev(entries_.end()));
    } else {
        entries_.emplace_front();
        entries_.front().spectrum.resize(static_cast<std::size_t>(kN));
    }
    Entry& e = entries_.front();
    e.hash = hash;
    e.size = bytes.size();
    e.rate = hostRate;
    e.accepted = accepted;
    e.length = irLength;
    e.silence = silence;
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
