// Copies of the frame's offscreen to our windows: one window-sized image each, in shared
// memory when the server offers MIT-SHM (and the attach works), else sent over the wire.
#include "platform/x11/X11Layer.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace platform {

// --- presenting ----------------------------------------------------------------------------------

void X11Layer::releaseImage(X11Window& w)
{
    if (!w.image)
        return;
    if (w.shared) {
        XShmDetach(display_, &w.shm);
        XSync(display_, False);
        XDestroyImage(w.image); // does not free shared memory
        shmdt(w.shm.shmaddr);
    } else {
        XDestroyImage(w.image); // frees the client-side data
    }
    w.image = nullptr;
    w.shared = false;
}

bool X11Layer::makeImage(X11Window& w)
{
    Screen* screen = DefaultScreenOfDisplay(display_);
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display_, w.xid, &attributes))
        screen = attributes.screen;
    Visual* visual = DefaultVisualOfScreen(screen);
    const unsigned depth = static_cast<unsigned>(DefaultDepthOfScreen(screen));
    const unsigned width = static_cast<unsigned>(w.width);
    const unsigned height = static_cast<unsigned>(w.height);
    if (shmAvailable_) {
        w.image = XShmCreateImage(display_, visual, depth, ZPixmap, nullptr, &w.shm, width, height);
        if (w.image) {
            w.shm.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(w.image->bytes_per_line) * height, IPC_CREAT | 0600);
            w.shm.shmaddr = w.shm.shmid >= 0 ? static_cast<char*>(shmat(w.shm.shmid, nullptr, 0)) : reinterpret_cast<char*>(-1);
            if (w.shm.shmaddr != reinterpret_cast<char*>(-1)) {
                w.image->data = w.shm.shmaddr;
                w.shm.readOnly = False;
                syncAndCheck();
                const bool attached = XShmAttach(display_, &w.shm) && syncAndCheck();
                // Marked for removal now: it goes when both sides have detached.
                shmctl(w.shm.shmid, IPC_RMID, nullptr);
                if (attached) {
                    w.shared = true;
                    return true;
                }
                shmdt(w.shm.shmaddr);
            } else if (w.shm.shmid >= 0) {
                shmctl(w.shm.shmid, IPC_RMID, nullptr);
            }
            w.image->data = nullptr;
            XDestroyImage(w.image);
            w.image = nullptr;
        }
        // A remote server (or one that refuses the segment): plain images from now on.
        shmAvailable_ = false;
    }
    const int pad = 32;
    w.image = XCreateImage(display_, visual, depth, ZPixmap, 0, nullptr, width, height, pad, 0);
    if (!w.image)
        return false;
    w.image->data = static_cast<char*>(std::malloc(static_cast<std::size_t>(w.image->bytes_per_line) * height));
    if (!w.image->data) {
        XDestroyImage(w.image);
        w.image = nullptr;
        return false;
    }
    return true;
}

void X11Layer::presentPixels(Window* window, const Rect& area, const std::uint32_t* pixels, std::int32_t width,
                             std::int32_t height, std::int32_t stride)
{
    X11Window* w = asX11(window);
    if (!w->xid || !display_)
        return;
    const std::int32_t left = std::max(area.left, 0), top = std::max(area.top, 0);
    const std::int32_t right = std::min({area.right, width, w->width});
    const std::int32_t bottom = std::min({area.bottom, height, w->height});
    if (right <= left || bottom <= top)
        return;
    if (!w->image && !makeImage(*w))
        return;
    XImage* image = w->image;
    // Our pixels are 0xAARRGGBB words; a 24/32-bit little-endian TrueColor image with the
    // usual masks holds exactly that, so whole rows are copied. Anything else goes pixel by
    // pixel through Xlib.
    const bool direct = image->bits_per_pixel == 32 && image->red_mask == 0xFF0000 && image->green_mask == 0xFF00 &&
                        image->blue_mask == 0xFF && image->byte_order == LSBFirst;
    for (std::int32_t y = top; y < bottom; ++y) {
        const std::uint32_t* source = pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride);
        if (direct) {
            std::memcpy(image->data + static_cast<std::size_t>(y) * static_cast<std::size_t>(image->bytes_per_line) +
                            static_cast<std::size_t>(left) * 4,
                        source + left, static_cast<std::size_t>(right - left) * 4);
        } else {
            for (std::int32_t x = left; x < right; ++x) {
                const std::uint32_t p = source[x];
                const unsigned long r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
                auto scale = [](unsigned long value, unsigned long mask) {
                    if (mask == 0)
                        return 0UL;
                    int shift = 0;
                    while (((mask >> shift) & 1) == 0)
                        ++shift;
                    return ((value * (mask >> shift) + 127) / 255) << shift;
                };
                XPutPixel(image, x, y, scale(r, image->red_mask) | scale(g, image->green_mask) | scale(b, image->blue_mask));
            }
        }
    }
    const unsigned cw = static_cast<unsigned>(right - left), ch = static_cast<unsigned>(bottom - top);
    if (w->shared) {
        XShmPutImage(display_, w->xid, w->gc, image, left, top, left, top, cw, ch, False);
        // The segment is written again at the next present: wait until the server read it.
        XSync(display_, False);
    } else {
        XPutImage(display_, w->xid, w->gc, image, left, top, left, top, cw, ch);
        XFlush(display_);
    }
}

} // namespace platform
