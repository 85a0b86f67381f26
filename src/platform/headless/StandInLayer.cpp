#include "platform/headless/StandInLayer.h"

namespace platform {

bool StandInLayer::showOpenFileDialog(OpenFileRequest&)
{
    return false;
}

bool StandInLayer::enableWindow(NativeHandle, bool)
{
    return false;
}

} // namespace platform
