// The 23 pictures of the editor (knob strip, buttons, plates) and the background panel.
#pragma once

#include "Canvas.h"

#include "editor/PanelLayout.h"

namespace skin {

// The whole picture of a resource id 1..23, at its final size (frames stacked vertically).
Image picture(int id);
// A push button (ids 1 to 3) held down. Their pictures have a single frame, so a pressed
// button draws nothing and shows the panel beneath it: the panel carries this picture there.
Image pressedPicture(int id);
// The 850 x 520 editor background, with plates and legends where the views lie (a test
// paints it for a changed copy of the panel table).
Image background(const panel::Views& views = panel::kViews);

// Parts shared by several pictures.
// A raised button cap with a soft shadow below it.
void drawCap(Image& image, float x0, float y0, float x1, float y1, float radius, float brightness = 1.0f);
// A round LED lens: dark when off; lit, a hot core and a halo of `glow` pixels.
void drawLed(Image& image, float cx, float cy, float r, const Rgba& colour, bool lit, float glow);
// A recessed plate filling the whole picture (value labels, folder labels, file menus).
void drawPlate(Image& image, int x0, int y0, int x1, int y1, bool roundLeft, bool roundRight);

} // namespace skin
