// The only file that sees the generated version header, so that a new commit recompiles
// this one file.
#include "Version.h"

#include "OrvexVersion.h"

namespace cli {

const char* versionText()
{
    return ORVEX_VERSION_STRING;
}

} // namespace cli
