// The `orvex` commands for an LV2 plug-in (a URI or a bundle folder), through lilv.
#pragma once

#include "CommandLine.h"

#include <iosfwd>

namespace cli {

class Lv2Commands {
public:
    static int run(const Options& options, std::ostream& out, std::ostream& err);
    static int info(const Options& options, std::ostream& out, std::ostream& err);
    static int render(const Options& options, std::ostream& out, std::ostream& err);
    static int snapshot(const Options& options, std::ostream& out, std::ostream& err);
    // Restores the state options and saves them the other way (--save-state, --save-chunk).
    static int convert(const Options& options, std::ostream& out, std::ostream& err);
};

} // namespace cli
