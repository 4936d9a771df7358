#pragma once
// The device of a control shown enlarged: everything is drawn at 1x into a
// picture off screen (a pixmap the control's size), and Present copies it
// to the window with each pixel an s x s block. Drawing code never knows.
//
// Two ways to enlarge, chosen per device when it is made:
//   RENDER  the X Render extension scales on the server: one Composite
//           request with a nearest filter, nothing read back.
//   IMAGE   the picture is read back (GetImage, a round trip), enlarged here
//           and put back whole (PutImage of s * s times the data).
// RENDER whenever the server has it (see README for the figures); IMAGE
// serves servers without it.

#include <X11/Xlib.h>
#include <X11/extensions/Xrender.h>

#include <vector>

#include "quor/gui/context/SDrawDevice.h"

namespace quor {
namespace gui {
namespace context {

class SDrawScaled : public SDrawDevice {
public:
    enum Method { METHOD_AUTO, METHOD_RENDER, METHOD_IMAGE };

    // For `window` on `display`, whose visual and depth are given; nothing
    // is made until Fit.
    SDrawScaled(Display* display, Window window, Visual* visual, int depth, int scale);
    ~SDrawScaled() override;

    // The picture becomes w x h (a new one, its content undefined, when the
    // size changes).
    void Fit(int w, int h);
    // Copies the area (1x coordinates) of the picture to the window,
    // enlarged.
    void Present(int x, int y, int w, int h);

    int Scale() const { return scale; }
    bool UsesRender() const { return format != nullptr; }

    // How devices made from now on enlarge (METHOD_AUTO: RENDER when the
    // server has it). For measurements and tests.
    static void SetMethod(Method m);

private:
    void FreePicture();
    void PresentImage(int x, int y, int w, int h);

    Window window;
    Visual* visual;
    int depth;
    int scale;
    int width = 0;
    int height = 0;
    // Set when RENDER enlarges.
    XRenderPictFormat* format = nullptr;
    Picture source = 0;
    // On the window; lives as long as the window (one more per device when
    // the factor of a window changes).
    Picture target = 0;
    // IMAGE: the window's graphics context and the enlarged picture's bytes.
    GC windowGc = nullptr;
    std::vector<char> enlarged;
};

}  // namespace context
}  // namespace gui
}  // namespace quor
