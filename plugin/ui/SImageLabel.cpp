#include "plugin/ui/SImageLabel.h"

#include "quor/gui/SToolkitLock.h"
#include "quor/gui/context/SDrawBitmap.h"
#include "quor/gui/context/SDrawMemoryDevice.h"
#include "quor/gui/context/SDrawing.h"

namespace quor {
namespace gui {

SImageLabel::SImageLabel(SGlobals* g, SControl* p, int i, const char* n, int s, int x, int y, int w, int h, int pw)
    : SWindow(g, p, static_cast<unsigned>(i), n, s, x, y, w, h, pw, false)
{
}

SImageLabel::~SImageLabel()
{
    SToolkitHold hold;
    destroying = true;
    FreeImage();
}

// The device first: it holds a graphics context on the bitmap's pixmap.
void SImageLabel::FreeImage()
{
    delete memoryDevice;
    memoryDevice = nullptr;
    delete bitmap;
    bitmap = nullptr;
}

void SImageLabel::LoadBackground(void* data, int width, int height)
{
    SToolkitHold hold;
    FreeImage();
    // No data is no image, not an empty pixmap of undefined contents.
    if (!data) return;
    bitmap = new context::SDrawBitmap(data, width, height, false);
    memoryDevice = new context::SDrawMemoryDevice(drawing ? drawing->GetDevice() : nullptr, bitmap);
}

void SImageLabel::Draw(const Rectangle&)
{
    if (!memoryDevice || !drawing) return;
    drawing->DrawMemory(memoryDevice, 0, 0, 0, 0, Width(), Height());
}

void SImageLabel::MouseStateChanged(bool* state, int change)
{
    SWindow::MouseStateChanged(state, change);
    int button = 0;
    if (change == MS_LBUTTON || change == MS_LDOUBLE) button = 1;
    if (change == MS_MBUTTON || change == MS_MDOUBLE) button = 2;
    if (change == MS_RBUTTON || change == MS_RDOUBLE) button = 3;
    if (button) SendEvent(EVENT_CONTROL, EVENT_DATA_PARAM, button, 0.0f, nullptr, this, nullptr);
}

}  // namespace gui
}  // namespace quor
