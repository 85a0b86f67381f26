// The vendor-specific dispatcher call with which a host of ours (the `orvex` command) asks
// Orvex whether a cab's IR plays, and if not, why: effVendorSpecific with index
// kCabStatusIndex, the cab (1..6) as the value, and a text buffer of kCabStatusTextSize
// bytes as the pointer. Orvex first lets its loader finish what it was handed (a while at
// most), then answers kCabPlays, or kCabSilent with the reason in the buffer (always
// terminated), as of the cab's last load. Any other plug-in answers 0 to it. So the host
// tells a user why a cab is silent from the plug-in's own verdict, never from rules of its
// own that could disagree with it. Constants only: the host includes this without linking
// any of the plug-in.
#pragma once

#include <cstdint>

namespace orvex {

constexpr std::int32_t kCabStatusIndex = 0x4F767843; // 'OvxC'
constexpr int kCabStatusTextSize = 256;
constexpr std::intptr_t kCabPlays = 1;
constexpr std::intptr_t kCabSilent = 2;

} // namespace orvex
