// The host window where this system has no implementation of its own yet: `orvex edit`
// reports that it cannot open a window, and everything else of the program works.
#include "HostWindow.h"

namespace cli {

std::unique_ptr<HostWindow> HostWindow::create(const std::string&, int, int, std::string& error)
{
    error = "orvex edit has no host window on this system yet";
    return nullptr;
}

} // namespace cli
