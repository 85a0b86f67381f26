// How Orvex's whole working state is saved through the LV2 state interface, and the same
// settings as the VST2 plug-in's bank chunk.
//
// Properties (all under lv2port::kNamespace):
//   program    atom:Int    the current program, 1..10
//   bank       atom:Chunk  the ten program records back to back, exactly the VST2 bank
//                          chunk (ProgramRecord.h) except for the cab files taken out below
//   pPcabC     atom:Path   program P's cab C file (folder and name joined), stored through
//                          state:mapPath so that a session moved elsewhere still finds it;
//              atom:String when the path is not absolute (a Windows path in a converted
//                          chunk): kept as it stands, since no mapping can mean it here
// A cab whose record holds a folder that does not end in a separator keeps its fields in
// the bank instead: they could not be split again as they were.
//
// The bank keeps its binary form because it is the format both plug-ins already rely on:
// its floats travel bit for bit, so a restored session sounds exactly as it was saved.
#pragma once

#include "effect/ProgramRecord.h"

#include <string>
#include <vector>

namespace lv2state {

// One cab file taken out of a bank.
struct CabPath {
    int program = 0;  // 0..9
    int cab = 0;      // 0..5
    std::string path; // folder and file name joined
};

// Key URIs.
std::string programKey();
std::string bankKey();
std::string pathKey(int program, int cab); // program 0..9, cab 0..5 -> "...#p1cab1" etc.

// Whether a path is absolute on this system (and so can be mapped).
bool isAbsolute(const std::string& path);

// Moves every cab file of the bank (folder ending in a separator, and file name) out of
// the records into `paths`, clearing both fields.
void takePaths(orvex::ProgramRecord* bank, std::vector<CabPath>& paths);

// Puts a path back into a record's cab: split after its last separator into folder and
// file name. False (record unchanged) when there is no separator or a part does not fit.
bool putPath(orvex::ProgramRecord& record, int cab, const std::string& path);

// Two banks describe the same settings: the same names, folders, file names and file
// indices (texts up to their terminators) and bit-identical values.
bool sameSettings(const orvex::ProgramRecord* a, const orvex::ProgramRecord* b, std::string* difference = nullptr);

} // namespace lv2state
