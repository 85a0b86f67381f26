// Stand-in pictures for the editor's resources, registered with the platform's resource
// table: every ID at the size and frame count of the panel's picture table, each frame in its
// own flat colour, so that tests and pictures can tell the frames apart.
#pragma once

namespace editortest {

// Registers every picture, IDs 1..23 ("PNG") and the background 128 ("BITMAP") (once per
// process; later calls do nothing).
void registerTestSkin();

} // namespace editortest
