// SDEditor's view tree: one view per row of the panel table (PanelLayout.h), in the table's
// order, which is also their drawing order (later views lie above and get the mouse first).
#include "editor/SDEditor.h"

#include "editor/PanelLayout.h"
#include "editor/StripLabel.h"
#include "effect/Orvex.h"
#include "gui/CAnimKnob.h"
#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFontTable.h"
#include "gui/CFrame.h"
#include "gui/CKickButton.h"
#include "gui/COnOffButton.h"
#include "gui/COptionMenu.h"
#include "gui/CTextLabel.h"

#include <algorithm>

namespace editor {

using namespace orvex;

namespace {

static_assert(panel::kWidth == SDEditor::kWidth && panel::kHeight == SDEditor::kHeight,
              "the editor is the panel's size");

constexpr int kBitmapCount = 24; // resource IDs 1..23 ("PNG")
// Loaded in this order; 17, 18 and 19 are not used by the editor, 21 is loaded unused.
constexpr int kLoadOrder[] = {4, 7, 9, 8, 10, 6, 1, 2, 3, 5, 11, 12, 13, 23, 20, 14, 15, 16, 21, 22};

// A view takes the size of one frame of the picture it shows, as loaded (a picture that
// failed to load leaves it empty); a view without a picture has the table's size.
gui::CRect viewRect(const panel::View& view, const gui::CBitmap* bitmap)
{
    const panel::Rect& r = view.rect;
    if (view.picture == 0)
        return gui::CRect(r.x, r.y, r.right(), r.bottom());
    const int width = bitmap ? bitmap->getWidth() : 0;
    const int height = bitmap ? bitmap->getHeight() / view.frames : 0;
    return gui::CRect(r.x, r.y, r.x + width, r.y + height);
}

void styleText(gui::CParamDisplay* view, const gui::CColor& colour)
{
    view->setFontIndex(gui::kSmallerFont);
    view->setFontColor(colour);
}

} // namespace

gui::CTextLabel* SDEditor::makeValueLabel(const panel::View& view, gui::CBitmap* bitmap, int shared)
{
    display_[0] = 0;
    effectX->getParameterDisplay(view.param, display_);
    display_[kDisplaySize - 1] = 0;
    const gui::CRect rect = viewRect(view, bitmap);
    auto* label = view.plate == panel::Plate::Strip ? new StripLabel(rect, display_, bitmap, shared)
                                                    : new gui::CTextLabel(rect, display_, bitmap, 0);
    styleText(label, gui::kWhiteCColor);
    labels_[view.param] = label;
    return label;
}

gui::CView* SDEditor::makeView(const panel::View& view, gui::CBitmap* bitmap, int shared)
{
    const int index = view.param;
    const gui::CRect rect = viewRect(view, bitmap);
    switch (view.kind) {
    case panel::Kind::Knob: {
        auto* knob = new gui::CAnimKnob(rect, this, index, view.frames, rect.height(), bitmap, gui::CPoint(0, 0));
        knob->setValue(effectX->getParameter(index));
        controls_[index] = knob;
        return knob;
    }
    case panel::Kind::Switch: {
        // Solo too shows the effect's value like every other switch: a soloed cab's button
        // must not read "off" after the editor is reopened.
        auto* button = new gui::COnOffButton(rect, this, index, bitmap, gui::kPostListenerUpdate);
        button->setValue(effectX->getParameter(index));
        controls_[index] = button;
        return button;
    }
    case panel::Kind::Load:
    case panel::Kind::Step: {
        auto* button = new gui::CKickButton(rect, this, index, bitmap ? bitmap->getHeight() : 0, bitmap,
                                            gui::CPoint(0, 0));
        // Previous and next wait for the cab's folder: the cab's refresh enables them.
        button->setMouseEnabled(view.kind == panel::Kind::Load);
        controls_[index] = button;
        return button;
    }
    case panel::Kind::FolderLabel: {
        // Starts empty: the cab's refresh at the end of the build fills it.
        auto* label = new gui::CTextLabel(rect, "", bitmap, 0);
        styleText(label, gui::kWhiteCColor);
        label->setTextAlignment(gui::kLeftText);
        folderLabels_[view.cab] = label;
        return label;
    }
    case panel::Kind::FileMenu: {
        auto* menu = new gui::COptionMenu(rect, this, index, bitmap, gui::COptionMenu::kDefaultStyle);
        styleText(menu, gui::kWhiteCColor);
        menu->setTextAlignment(gui::kLeftText);
        menu->setMouseEnabled(false);
        fileMenus_[view.cab] = menu;
        return menu;
    }
    case panel::Kind::ValueLabel:
        return makeValueLabel(view, bitmap, shared);
    case panel::Kind::LatencyMenu: {
        latencyMenu_ = new gui::COptionMenu(rect, this, index, nullptr, gui::COptionMenu::kDefaultStyle);
        for (const char* entry : {"64", "128", "256", "512"})
            latencyMenu_->appendEntry(entry);
        latencyMenu_->setCurrentIndex(latencyStep(effectX->getParameter(index)));
        styleText(latencyMenu_, gui::kBlackCColor);
        latencyMenu_->setBackgroundColor(gui::kWhiteCColor);
        latencyMenu_->setFrameColor(gui::kBlackCColor);
        latencyMenu_->setTextAlignment(gui::kCenterText);
        controls_[index] = latencyMenu_;
        return latencyMenu_;
    }
    case panel::Kind::Cab:
    case panel::Kind::FileMenus:
        break;
    }
    return nullptr;
}

void SDEditor::buildViews()
{
    frame = new gui::CFrame(gui::CRect(0, 0, kWidth, kHeight), systemWindow, this);
    frame->setBackground(background_);

    gui::CBitmap* bitmaps[kBitmapCount] = {};
    for (int id : kLoadOrder)
        bitmaps[id] = new gui::CBitmap(id);

    // The effect hands over the six folders and file indices before the cabs are made.
    effectX->setParameter(kRequestPushFolders, 0.0f);

    const panel::View* views = panel_ ? panel_ : panel::kViews.data();
    const int count = panel_ ? panelCount_ : panel::kViewCount;
    const panel::View* stripEnd[kCabs] = {}; // the last strip view made, per cab
    for (int i = 0; i < count; ++i) {
        const panel::View& v = views[i];
        int shared = 0;
        if (v.plate == panel::Plate::Strip && v.cab >= 0 && v.cab < kCabs) {
            if (const panel::View* before = stripEnd[v.cab])
                shared = std::max(0, before->rect.right() - v.rect.x);
            stripEnd[v.cab] = &v;
        }
        const int id = v.picture;
        if (gui::CView* view = makeView(v, id > 0 && id < kBitmapCount ? bitmaps[id] : nullptr, shared))
            frame->addView(view);
    }

    // Each cab's menu is filled by the effect from the current program: a cab with a
    // folder lists it and selects its file by name (the stored index can be stale: a chunk
    // restored while the editor was closed, a folder that changed on disk), so the menu
    // shows the file the cab plays and stepping starts from it; a cab without one shows an
    // empty, disabled menu.
    for (int cab = 0; cab < kCabs; ++cab)
        effectX->setParameter(kRequestRefreshCab, static_cast<float>(cab + 1));

    // The views hold their own references now.
    for (gui::CBitmap* bitmap : bitmaps) {
        if (bitmap)
            bitmap->forget();
    }
}

} // namespace editor
