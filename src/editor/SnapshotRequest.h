// The vendor-specific dispatcher call with which a host of ours (the `orvex snapshot`
// command) asks Orvex for a picture of its editor: effVendorSpecific with index
// kSnapshotIndex, value kSnapshotValue and the PNG path (a zero-terminated narrow text) as
// the pointer. Orvex answers 1 when the file was written, else 0; any other plug-in answers
// 0 to it. Both numbers together make an accidental match by another host unlikely.
// Constants only: the command-line host includes this without linking any of the plug-in.
#pragma once

#include <cstdint>

namespace editor {

constexpr std::int32_t kSnapshotIndex = 0x4F767853; // 'OvxS'
constexpr std::intptr_t kSnapshotValue = 0x504E47;  // 'PNG'

} // namespace editor
