// The version of this build of `orvex` (and of the archive it ships in): `git describe --tags
// --always --dirty` when it was built, "1.0-nogit" and the like without git.
#pragma once

namespace cli {

const char* versionText();

} // namespace cli
