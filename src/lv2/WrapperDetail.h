// What the LV2 wrapper's files share: finding a host feature, and marking the calling
// thread as the effect's owner for a while.
#pragma once

#include "effect/Orvex.h"
#include "platform/Platform.h"

#include <lv2/core/lv2.h>

#include <cstdint>
#include <cstring>

namespace lv2wrap::detail {

inline const void* feature(const LV2_Feature* const* features, const char* uri)
{
    for (int i = 0; features && features[i]; ++i) {
        if (std::strcmp(features[i]->URI, uri) == 0)
            return features[i]->data;
    }
    return nullptr;
}

// Marks the calling thread as the effect's owner (a thread that may touch the disk) while
// it lives, and gives the mark back afterwards.
class OwnerScope {
public:
    explicit OwnerScope(orvex::Orvex& effect, std::uint64_t after) : effect_(effect), after_(after)
    {
        effect_.setOwnerThread(platform::currentThreadId());
    }
    ~OwnerScope() { effect_.setOwnerThread(after_); }

private:
    orvex::Orvex& effect_;
    std::uint64_t after_;
};

} // namespace lv2wrap::detail
