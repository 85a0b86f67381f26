// Builds without lilv (Windows): no argument names an LV2 plug-in, and the LV2 commands are
// never reached.
#include "Lv2Commands.h"
#include "Lv2Host.h"

#include <ostream>

namespace cli {

bool Lv2Host::isLv2(const std::string&)
{
    return false;
}

int Lv2Commands::run(const Options&, std::ostream&, std::ostream& err)
{
    err << "orvex: this build hosts no LV2 plug-ins\n";
    return kExitUsage;
}

} // namespace cli
