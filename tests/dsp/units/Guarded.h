// A heap buffer with guard words on both sides, for catching writes past either end.
#pragma once

#include <cstddef>
#include <vector>

namespace testutil {

class Guarded {
public:
    static constexpr double kGuard = -7.25e300; // a value no routine under test produces
    static constexpr std::size_t kPad = 16;     // guard words on each side
    static constexpr std::size_t kMaxSize = std::size_t(1) << 24; // largest payload

    // Sizes are bounded so that the optimiser can see no overflow in the fill.
    explicit Guarded(std::size_t n, double fill = 0.0)
        : n_(n < kMaxSize ? n : kMaxSize), store_(n_ + 2 * kPad, kGuard)
    {
        for (std::size_t i = 0; i < n_; ++i)
            store_[kPad + i] = fill;
    }

    double* data() { return store_.data() + kPad; }
    const double* data() const { return store_.data() + kPad; }
    double& operator[](std::size_t i) { return data()[i]; }
    double operator[](std::size_t i) const { return data()[i]; }
    std::size_t size() const { return n_; }

    // True while both guard zones are untouched.
    bool intact() const
    {
        for (std::size_t i = 0; i < kPad; ++i)
            if (store_[i] != kGuard || store_[kPad + n_ + i] != kGuard)
                return false;
        return true;
    }

private:
    std::size_t n_;              // usable length
    std::vector<double> store_;  // guards, payload, guards
};

} // namespace testutil
