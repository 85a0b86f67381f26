// The URIDs the LV2 plug-in and its UI use, mapped once per instance.
#pragma once

#include "effect/ProgramRecord.h"
#include "lv2/Lv2Ports.h"
#include "lv2/StateFormat.h"

#include <lv2/atom/atom.h>
#include <lv2/patch/patch.h>
#include <lv2/urid/urid.h>

#include <string>

namespace lv2wrap {

struct Uris {
    LV2_URID atomPath = 0, atomString = 0, atomInt = 0, atomChunk = 0, atomUrid = 0, atomObject = 0,
             atomBlank = 0, atomSequence = 0, atomEventTransfer = 0, atomFloat = 0;
    LV2_URID patchSet = 0, patchGet = 0, patchProperty = 0, patchValue = 0;
    LV2_URID cab[orvex::kNumCabs] = {};  // the cabs' file properties
    LV2_URID program = 0;                // the current program property (1..10), also a state key
    LV2_URID bank = 0;                   // state key of the records
    LV2_URID paths[orvex::kNumPrograms][orvex::kNumCabs] = {}; // state keys of the files

    void map(const LV2_URID_Map* m)
    {
        auto u = [m](const std::string& uri) { return m->map(m->handle, uri.c_str()); };
        atomPath = u(LV2_ATOM__Path);
        atomString = u(LV2_ATOM__String);
        atomInt = u(LV2_ATOM__Int);
        atomChunk = u(LV2_ATOM__Chunk);
        atomUrid = u(LV2_ATOM__URID);
        atomObject = u(LV2_ATOM__Object);
        atomBlank = u(LV2_ATOM__Blank);
        atomSequence = u(LV2_ATOM__Sequence);
        atomEventTransfer = u(LV2_ATOM__eventTransfer);
        atomFloat = u(LV2_ATOM__Float);
        patchSet = u(LV2_PATCH__Set);
        patchGet = u(LV2_PATCH__Get);
        patchProperty = u(LV2_PATCH__property);
        patchValue = u(LV2_PATCH__value);
        for (int c = 0; c < orvex::kNumCabs; ++c)
            cab[c] = u(cabUri(c));
        program = u(lv2state::programKey());
        bank = u(lv2state::bankKey());
        for (int p = 0; p < orvex::kNumPrograms; ++p)
            for (int c = 0; c < orvex::kNumCabs; ++c)
                paths[p][c] = u(lv2state::pathKey(p, c));
    }

    // cab 0..5 -> "...#cab1" .. "#cab6"
    static std::string cabUri(int cab) { return std::string(lv2port::kNamespace) + "cab" + std::to_string(cab + 1); }

    // The cab 0..5 whose file property this is, or -1.
    int cabOf(LV2_URID property) const
    {
        for (int c = 0; c < orvex::kNumCabs; ++c)
            if (cab[c] == property)
                return c;
        return -1;
    }
};

} // namespace lv2wrap
