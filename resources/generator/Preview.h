// A look at the whole editor without the editor: the background with every control's
// picture laid at its rectangle, and sample texts in the plates.
#pragma once

#include "Canvas.h"

#include "editor/PanelLayout.h"

namespace skin {

// `lit` false: every button in frame 0 and the knobs at assorted values; true: frame 1, the
// push buttons held down, and other knob values.
Image preview(bool lit, const panel::Views& views = panel::kViews);

} // namespace skin
