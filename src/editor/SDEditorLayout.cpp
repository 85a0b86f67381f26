// SDEditor's view tree: the 137 views of the panel, in the order they are added (which is
// also their drawing order; later views lie above and get the mouse first).
#include "editor/SDEditor.h"

#include "editor/FolderListing.h"
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

#include <cstring>

namespace editor {

using namespace orvex;

namespace {

constexpr int kKnobFrames = 201;
constexpr int kBitmapCount = 24; // resource IDs 1..23 ("PNG")
// Loaded in this order; 17, 18 and 19 are not used by the editor, 21 is loaded unused.
constexpr int kLoadOrder[] = {4, 7, 9, 8, 10, 6, 1, 2, 3, 5, 11, 12, 13, 23, 20, 14, 15, 16, 21, 22};

// Steps of the layout rule between cab columns and rows, and the two exceptions.
constexpr int kColumnStep = 437;
constexpr int kRowStep = 123;
constexpr int kBypassColumnStep = 75;
constexpr int kPhaseColumnStep = 435;

// A control whose size comes from its bitmap: the width, and the height of one frame.
gui::CRect bitmapRect(int left, int top, const gui::CBitmap* bitmap, int frames)
{
    const int width = bitmap ? bitmap->getWidth() : 0;
    const int height = bitmap ? bitmap->getHeight() / frames : 0;
    return gui::CRect(left, top, left + width, top + height);
}

void styleText(gui::CParamDisplay* view, const gui::CColor& colour)
{
    view->setFontIndex(gui::kSmallerFont);
    view->setFontColor(colour);
}

} // namespace

gui::CTextLabel* SDEditor::makeValueLabel(int left, int top, int index, gui::CBitmap* bitmap)
{
    display_[0] = 0;
    effectX->getParameterDisplay(index, display_);
    display_[kDisplaySize - 1] = 0;
    auto* label = new gui::CTextLabel(bitmapRect(left, top, bitmap, 1), display_, bitmap, 0);
    styleText(label, gui::kWhiteCColor);
    labels_[index] = label;
    frame->addView(label);
    return label;
}

void SDEditor::buildViews()
{
    frame = new gui::CFrame(gui::CRect(0, 0, kWidth, kHeight), systemWindow, this);
    frame->setBackground(background_);

    gui::CBitmap* bitmaps[kBitmapCount] = {};
    for (int id : kLoadOrder)
        bitmaps[id] = new gui::CBitmap(id);

    // A control of a named parameter starts at the effect's value.
    auto value = [&](int index) { return effectX->getParameter(index); };
    auto onOff = [&](int left, int top, int index, int bitmapId) {
        auto* button = new gui::COnOffButton(bitmapRect(left, top, bitmaps[bitmapId], 2), this, index,
                                             bitmaps[bitmapId], gui::kPostListenerUpdate);
        button->setValue(value(index));
        controls_[index] = button;
        frame->addView(button);
    };
    auto knob = [&](int left, int top, int index) {
        gui::CBitmap* strip = bitmaps[4];
        auto* k = new gui::CAnimKnob(bitmapRect(left, top, strip, kKnobFrames), this, index, kKnobFrames,
                                     strip->getHeight() / kKnobFrames, strip, gui::CPoint(0, 0));
        k->setValue(value(index));
        controls_[index] = k;
        frame->addView(k);
    };

    onOff(743, 26, kOnOff, 6);
    makeValueLabel(731, 61, kOnOff, bitmaps[16]);

    // The effect hands over the six folders and file indices before the cabs are made.
    effectX->setParameter(kRequestPushFolders, 0.0f);

    onOff(401, 149, kLink12, 11);
    onOff(362, 224, kBlend13, 23);
    buildCab(0, bitmaps);
    onOff(471, 224, kBlend24, 23);
    buildCab(1, bitmaps);
    onOff(401, 272, kLink34, 12);
    buildCab(2, bitmaps);
    buildCab(3, bitmaps);
    onOff(401, 395, kLink56, 13);
    buildCab(4, bitmaps);
    buildCab(5, bitmaps);
    knob(686, 21, kOutput);
    makeValueLabel(684, 61, kOutput, bitmaps[16]);

    // Each cab's menu is filled by the effect from the current program: a cab with a
    // folder lists it and selects its file by name (the stored index can be stale: a chunk
    // restored while the editor was closed, a folder that changed on disk), so the menu
    // shows the file the cab plays and stepping starts from it; a cab without one shows an
    // empty, disabled menu.
    for (int cab = 0; cab < kCabs; ++cab)
        effectX->setParameter(kRequestRefreshCab, static_cast<float>(cab + 1));

    // The file menus lie above everything else, so their popups are never covered.
    for (gui::COptionMenu* menu : fileMenus_)
        frame->addView(menu);

    latencyMenu_ = new gui::COptionMenu(gui::CRect(639, 27, 639 + 30, 27 + 25), this, kLatency, nullptr,
                                        gui::COptionMenu::kDefaultStyle);
    for (const char* entry : {"64", "128", "256", "512"})
        latencyMenu_->appendEntry(entry);
    latencyMenu_->setCurrentIndex(latencyStep(value(kLatency)));
    styleText(latencyMenu_, gui::kBlackCColor);
    latencyMenu_->setBackgroundColor(gui::kWhiteCColor);
    latencyMenu_->setFrameColor(gui::kBlackCColor);
    latencyMenu_->setTextAlignment(gui::kCenterText);
    controls_[kLatency] = latencyMenu_;
    frame->addView(latencyMenu_);
    makeValueLabel(633, 61, kLatency, bitmaps[16]);

    // The views hold their own references now.
    for (gui::CBitmap* bitmap : bitmaps) {
        if (bitmap)
            bitmap->forget();
    }
}

void SDEditor::buildCab(int cab, gui::CBitmap* const bitmaps[])
{
    const int column = cab % 2;
    const int row = cab / 2;
    const bool odd = column == 0; // cabs 1, 3, 5
    const int dx = kColumnStep * column;
    const int dy = kRowStep * row;

    auto kick = [&](int left, int top, int index, int bitmapId, bool enabled) {
        gui::CBitmap* b = bitmaps[bitmapId];
        auto* button = new gui::CKickButton(bitmapRect(left + dx, top + dy, b, 1), this, index,
                                            b ? b->getHeight() : 0, b, gui::CPoint(0, 0));
        button->setMouseEnabled(enabled);
        controls_[index] = button;
        frame->addView(button);
    };
    auto onOff = [&](int left, int top, int index, int bitmapId, float start) {
        gui::CBitmap* b = bitmaps[bitmapId];
        auto* button = new gui::COnOffButton(bitmapRect(left, top + dy, b, 2), this, index, b,
                                             gui::kPostListenerUpdate);
        button->setValue(start);
        controls_[index] = button;
        frame->addView(button);
    };
    auto knob = [&](int left, int index) {
        gui::CBitmap* strip = bitmaps[4];
        auto* k = new gui::CAnimKnob(bitmapRect(left + dx, 158 + dy, strip, kKnobFrames), this, index, kKnobFrames,
                                     strip->getHeight() / kKnobFrames, strip, gui::CPoint(0, 0));
        k->setValue(effectX->getParameter(index));
        controls_[index] = k;
        frame->addView(k);
    };

    kick(63, 124, kLoad + cab, 1, true);
    // Solo shows the effect's value like every other switch: a soloed cab's button must not
    // read "off" after the editor is reopened.
    onOff(63 + dx, 143, kSolo + cab, 22, effectX->getParameter(kSolo + cab));
    kick(81, 143, kPrevious + cab, 2, false);
    kick(335, 143, kNext + cab, 3, false);

    // The folder label starts empty: the cab's refresh at the end of the build fills it.
    // Like every control with a picture, the label takes its plate's size: 267 pixels wide
    // for cabs 1, 3, 5 (picture 20), 232 for cabs 2, 4, 6 (picture 14).
    gui::CBitmap* plate = bitmaps[odd ? 20 : 14];
    auto* label = new gui::CTextLabel(bitmapRect(83 + dx, 124 + dy, plate, 1), "", plate, 0);
    styleText(label, gui::kWhiteCColor);
    label->setTextAlignment(gui::kLeftText);
    folderLabels_[cab] = label;
    frame->addView(label);

    auto* menu = new gui::COptionMenu(bitmapRect(101 + dx, 143 + dy, bitmaps[15], 1), this, kFileMenu + cab,
                                      bitmaps[15], gui::COptionMenu::kDefaultStyle);
    styleText(menu, gui::kWhiteCColor);
    menu->setTextAlignment(gui::kLeftText);
    menu->setMouseEnabled(false);
    fileMenus_[cab] = menu; // added to the frame after all cabs

    onOff(360 + kBypassColumnStep * column, 115, kBypass + cab, odd ? 7 : 9, effectX->getParameter(kBypass + cab));
    onOff(68 + dx, 164, kChannel + cab, 5, effectX->getParameter(kChannel + cab));
    onOff(111 + kPhaseColumnStep * column, 167, kPhase + cab, odd ? 8 : 10, effectX->getParameter(kPhase + cab));
    knob(139, kDelay + cab);
    knob(181, kFreqHp + cab);
    knob(224, kFreqLp + cab);
    knob(266, kPan + cab);
    knob(309, kVolume + cab);

    gui::CBitmap* valuePlate = bitmaps[16];
    makeValueLabel(59 + dx, 196 + dy, kChannel + cab, valuePlate);
    makeValueLabel(96 + dx, 196 + dy, kPhase + cab, valuePlate);
    makeValueLabel(139 + dx, 196 + dy, kDelay + cab, valuePlate);
    makeValueLabel(181 + dx, 196 + dy, kFreqHp + cab, valuePlate);
    makeValueLabel(224 + dx, 196 + dy, kFreqLp + cab, valuePlate);
    makeValueLabel(264 + dx, 196 + dy, kPan + cab, valuePlate);
    makeValueLabel(308 + dx, 196 + dy, kVolume + cab, valuePlate);
}

} // namespace editor
