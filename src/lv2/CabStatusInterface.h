// An extension of Orvex's LV2 plug-in that our own host uses: whether a cab's IR plays, and
// if not, why, as the effect itself judges it (see effect/CabStatusRequest.h for the VST2
// side of the same question). extension_data(kCabStatusUri) answers a CabStatusInterface.
// Plain C types only: the host includes this without linking the plug-in.
#pragma once

namespace lv2wrap {

constexpr const char* kCabStatusUri = "urn:dumek:orvex#cabStatus";

struct CabStatusInterface {
    // cab 1..6; text receives the reason (size bytes, always terminated). Answers
    // orvex::kCabPlays or orvex::kCabSilent, 0 for a bad cab.
    int (*status)(void* instance, int cab, char* text, int size);
};

} // namespace lv2wrap
