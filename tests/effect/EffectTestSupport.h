// Shared by the effect suites: a host callback that answers like a VST 2.4 host, and
// helpers to read display texts and record fields.
#pragma once

#include "effect/Orvex.h"

#include <cstring>
#include <memory>
#include <string>

namespace orvex::testing {

inline vst::IntPtr VSTCALLBACK plainHost(vst::AEffect*, vst::Int32 opcode, vst::Int32, vst::IntPtr, void*, float)
{
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

inline std::unique_ptr<Orvex> makeEffect()
{
    return std::make_unique<Orvex>(plainHost);
}

inline std::string display(Orvex& fx, int index)
{
    char buf[64];
    std::memset(buf, 0, sizeof buf);
    fx.getParameterDisplay(index, buf);
    return buf;
}

inline std::string name(Orvex& fx, int index)
{
    char buf[64];
    std::memset(buf, 0, sizeof buf);
    fx.getParameterName(index, buf);
    return buf;
}

template <typename T>
T readAt(const void* base, std::size_t offset)
{
    T v;
    std::memcpy(&v, static_cast<const char*>(base) + offset, sizeof v);
    return v;
}

} // namespace orvex::testing
