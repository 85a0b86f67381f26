// Where each hop's input history and partition spectra live. The effect's hops (64, 128,
// 256, 512) and the initial hop run on what every engine holds: histories sized for the
// longest of them, and each prepared IR's own partition buffer, cut for the hop in force
// (by the loader, or again by the audio thread when the hop changed after the load).
// Any other hop needs longer layouts; they are made once, the first time such a hop is
// asked for, and kept.
#include "dsp/ConvolutionEngine.h"

#include <algorithm>

namespace dsp {

ConvolutionEngine::Wide::Wide()
    : layout(static_cast<size_t>(IrPartitioner::largestLayout(kHalfSize)))
    , ring(static_cast<size_t>(IrPartitioner::partitionCount(1, kHalfSize)))
    , historyLeft(layout, 0.0)
    , historyRight(layout, 0.0)
    , weights(kSlots * layout, 0.0)
    , sources(kSlots * ring, 0)
    , inputs(ring, nullptr)
    , partitionPointers(ring, nullptr)
{
}

bool ConvolutionEngine::historyHeld(int hop)
{
    return IrPartitioner::layout(hop, kHalfSize) <= kHistoryCapacity
           && IrPartitioner::partitionCount(hop, kHalfSize) <= kRingCapacity;
}

bool ConvolutionEngine::partitionsHeld(int hop)
{
    return IrPartitioner::layout(hop, kHalfSize) <= SlotIr::kPartitionSet;
}

void ConvolutionEngine::holdWide()
{
    if (wide_.load(std::memory_order_acquire) != nullptr) {
        return;
    }
    std::lock_guard<std::mutex> lock(wideMutex_);
    if (!wideStorage_) {
        wideStorage_ = std::make_unique<Wide>();
        wide_.store(wideStorage_.get(), std::memory_order_release);
    }
}

void ConvolutionEngine::bindWeights(int k)
{
    CabSlot& s = *slots_[static_cast<size_t>(k)];
    SlotIr& ir = s.spectrum.front();
    s.weights = nullptr;
    s.partitions = 0;
    s.cut = &s.ownCut;
    s.ownCut = 0;
    if (ir.length == 0) {
        // Nothing loaded yet, or silence: no partitions.
        return;
    }
    // An IR cut for another hop (a "Latency" change overtook its load, or a reset()
    // without a load) or for none is cut again here on the audio thread, without
    // allocating: into its own buffer for the effect's hops, into the Wide storage for
    // any other. convolveSlot() cuts each partition when it first needs it.
    if (partitionsHeld(b_)) {
        if (ir.hop != b_) {
            ir.hop = b_;
            ir.cut = 0;
        }
        s.weights = ir.partitions.data();
        s.cut = &ir.cut;
    } else if (Wide* wide = wide_.load(std::memory_order_acquire)) {
        s.weights = wide->weights.data() + static_cast<size_t>(k) * wide->layout;
    } else {
        return; // cannot happen: whoever asked for this hop made the storage first
    }
    s.partitions = IrPartitioner::partitionCount(b_, ir.length);
}

void ConvolutionEngine::applyHop(int hop)
{
    Wide* wide = wide_.load(std::memory_order_acquire);
    if (!historyHeld(hop) && wide == nullptr) {
        hop = kInitialHop; // cannot happen: reset() makes the storage before it asks
    }
    b_ = hop;
    m_ = IrPartitioner::transformSize(hop);
    ring_ = IrPartitioner::partitionCount(hop, kHalfSize);
    head_ = 0;
    pos_ = 0;
    clearGathering();
    const bool held = historyHeld(hop);
    historyLeft_ = held ? heldHistoryLeft_.data() : wide->historyLeft.data();
    historyRight_ = held ? heldHistoryRight_.data() : wide->historyRight.data();
    inputs_ = held ? heldInputs_.data() : wide->inputs.data();
    weights_ = held ? heldWeights_.data() : wide->partitionPointers.data();
    const size_t span = static_cast<size_t>(ring_) * static_cast<size_t>(m_);
    std::fill(historyLeft_, historyLeft_ + span, 0.0);
    std::fill(historyRight_, historyRight_ + span, 0.0);
    for (int k = 0; k < kSlots; ++k) {
        CabSlot& s = *slots_[static_cast<size_t>(k)];
        s.source = held ? s.ownSource.data() : wide->sources.data() + static_cast<size_t>(k) * wide->ring;
        s.clearConvolution();
        bindWeights(k);
    }
}

} // namespace dsp
