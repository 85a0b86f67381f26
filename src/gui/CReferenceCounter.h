// Base of every toolkit object: created with one reference, destroyed at the last forget().
// Holders remember() what they keep and forget() it when they let go.
#pragma once

#include <cstdint>

namespace gui {

class CReferenceCounter {
public:
    CReferenceCounter() = default;
    CReferenceCounter(const CReferenceCounter&) = delete;
    CReferenceCounter& operator=(const CReferenceCounter&) = delete;
    virtual ~CReferenceCounter() = default;

    virtual void forget()
    {
        if (count_ <= 1) {
            count_ = 0;
            delete this;
        } else {
            --count_;
        }
    }
    virtual void remember() { ++count_; }
    std::int32_t getNbReference() const { return count_; }

private:
    std::int32_t count_ = 1; // references held
};

} // namespace gui
