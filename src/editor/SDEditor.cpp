#include "editor/SDEditor.h"

#include "editor/FolderListing.h"
#include "effect/Orvex.h"
#include "gui/CBitmap.h"
#include "gui/CControl.h"
#include "gui/CFrame.h"
#include "gui/COptionMenu.h"
#include "gui/CTextLabel.h"
#include "platform/Platform.h"
#include "platform/WindowLayer.h"

#include <cstring>

namespace editor {

namespace {

constexpr std::int32_t kBackgroundId = 128;

bool isCabTag(int tag) { return tag >= orvex::kFileMenu && tag < orvex::kFileMenu + SDEditor::kCabs; }
bool isCab(int cab) { return cab >= 0 && cab < SDEditor::kCabs; }
bool isParameter(int index) { return index >= 0 && index < orvex::kNumParams; }

} // namespace

SDEditor::SDEditor(orvex::Orvex* effect) : AEffGUIEditor(effect), orvexEffect_(effect)
{
    // The layout is fixed at the background's size; the rectangle is reported as that size
    // even when the picture cannot be loaded, since a host given an empty rectangle would
    // open no usable window at all.
    rect.top = 0;
    rect.left = 0;
    rect.bottom = kHeight;
    rect.right = kWidth;
    background_ = new gui::CBitmap(kBackgroundId);
    // Drag and drop needs OLE on the thread that creates the editor; undone in the destructor.
    platform::defaultLayer().initializeOle();
    if (effect) {
        effect->setEditor(this);
        effect->setEditorLink(this);
    }
}

SDEditor::~SDEditor()
{
    // The effect is being destroyed (it deletes its editor last): nothing of it is called.
    orvexEffect_ = nullptr;
    effectX = nullptr;
    close();
    if (background_) {
        background_->forget();
        background_ = nullptr;
    }
    platform::defaultLayer().uninitializeOle();
}

bool SDEditor::onEditorThread() const
{
    return open_.load(std::memory_order_acquire) && platform::currentThreadId() == ownerThread_.load();
}

bool SDEditor::open(void* parentWindow)
{
    // A second open without a close would leave the first frame and its window behind.
    if (frame)
        close();
    AEffGUIEditor::open(parentWindow);
    ownerThread_.store(platform::currentThreadId());
    if (orvexEffect_)
        orvexEffect_->setOwnerThread(platform::currentThreadId());
    // Each control is built from the effect's value: what other threads write before it is
    // built shows in it, what they write after leaves its bit, shown below.
    for (auto& bits : pending_)
        bits.store(0);
    model_.show();
    buildViews();
    // A host window was given but no window of ours could be made in it (on Linux: no X
    // display to open). The host is told the editor did not open (effEditOpen answers 0)
    // instead of keeping an editor nobody can see.
    if (parentWindow && frame && !frame->getWindow()) {
        close();
        return false;
    }
    open_.store(true, std::memory_order_release);
    // Everything the effect pushed and other threads wrote while the views were made is
    // shown now.
    applyPending();
    return true;
}

void SDEditor::close()
{
    open_.store(false, std::memory_order_release);
    model_.hide();
    clearReferences();
    AEffGUIEditor::close();
}

void SDEditor::clearReferences()
{
    for (auto& c : controls_)
        c = nullptr;
    for (auto& l : labels_)
        l = nullptr;
    for (int cab = 0; cab < kCabs; ++cab) {
        folderLabels_[cab] = nullptr;
        fileMenus_[cab] = nullptr;
    }
    latencyMenu_ = nullptr;
}

void SDEditor::idle()
{
    if (inIdleStuff)
        return;
    if (frame)
        applyPending();
    AEffGUIEditor::idle();
}

bool SDEditor::setKnobMode(vst::Int32)
{
    gui::CFrame::setGlobalKnobMode(2);
    return true;
}

// --- controls to effect ---------------------------------------------------------------------

void SDEditor::valueChanged(gui::CDrawContext*, gui::CControl* control)
{
    if (!control)
        return;
    const int tag = control->getTag();
    float value = control->getValue();
    if (isCabTag(tag) && control == fileMenus_[cabOfTag(tag)]) {
        // The file the user saw and picked is the one the effect loads, even if another
        // thread has refilled the list since the menu was last mirrored.
        char text[gui::COptionMenu::kEntryBufferSize] = {};
        const int entry = fileMenus_[cabOfTag(tag)]->getCurrentIndex(text, sizeof text);
        model_.choose(cabOfTag(tag), entry, text);
    } else if (tag == orvex::kLatency && control == latencyMenu_) {
        // The menu automates the value the effect stores for the chosen step, so what a
        // host records lies inside 0..1 and replays as the same step.
        value = orvex::latencyStepValue(latencyMenu_->getCurrentIndex());
    }
    if (isParameter(tag) && effectX)
        effectX->setParameterAutomated(tag, value);
    control->setDirty(true);
}

// --- effect to editor: parameters ---------------------------------------------------------------

gui::CControl* SDEditor::control(int index) const
{
    return isParameter(index) ? controls_[index] : nullptr;
}

gui::CTextLabel* SDEditor::valueLabel(int index) const
{
    return isParameter(index) ? labels_[index] : nullptr;
}

gui::CTextLabel* SDEditor::folderLabel(int cab) const
{
    return isCab(cab) ? folderLabels_[cab] : nullptr;
}

gui::COptionMenu* SDEditor::fileMenu(int cab) const
{
    return isCab(cab) ? fileMenus_[cab] : nullptr;
}

void SDEditor::setParameter(int index, float)
{
    if (!isParameter(index))
        return;
    if (onEditorThread()) {
        showParameter(index);
        return;
    }
    // Any other thread (or the editor's own while open() builds the views): a bit for the
    // next idle, or for the end of open(). Lock-free: audio threads come here.
    pending_[index / 32].fetch_or(1u << (index % 32), std::memory_order_release);
}

void SDEditor::showParameter(int index)
{
    // File menus, previous and next have no value to show: a pressed previous button keeps
    // its pressed state while the effect steps.
    if (!frame || !orvexEffect_ || (index >= orvex::kFileMenu && index < orvex::kChannel))
        return;
    // The control shows what the effect holds (clamped, quantised), never the value sent;
    // the latency menu shows the effect's step.
    if (index == orvex::kLatency && latencyMenu_) {
        latencyMenu_->setCurrentIndex(orvex::latencyStep(orvexEffect_->getParameter(index)));
        latencyMenu_->setDirty(true);
    } else if (gui::CControl* c = controls_[index]) {
        c->setValue(orvexEffect_->getParameter(index));
        c->setDirty(true);
    }
    if (gui::CTextLabel* label = labels_[index]) {
        display_[0] = 0;
        orvexEffect_->getParameterDisplay(index, display_);
        display_[kDisplaySize - 1] = 0;
        label->setText(display_);
        label->setDirty(true);
    }
}

void SDEditor::applyPending()
{
    for (int word = 0; word < 3; ++word) {
        std::uint32_t bits = pending_[word].exchange(0, std::memory_order_acquire);
        while (bits) {
            const int bit = __builtin_ctz(bits);
            bits &= bits - 1;
            const int index = word * 32 + bit;
            if (isParameter(index))
                showParameter(index);
        }
    }
    for (int cab = 0; cab < kCabs; ++cab)
        mirrorCab(cab);
}

// --- effect to editor: files and latency --------------------------------------------------------

void SDEditor::modelChanged(int cab)
{
    if (onEditorThread())
        mirrorCab(cab);
}

void SDEditor::mirrorCab(int cab)
{
    EditorModel::CabView view;
    if (!model_.takeCab(cab, view))
        return;
    gui::COptionMenu* menu = fileMenus_[cab];
    if (menu) {
        if (view.entriesChanged) {
            menu->removeAllEntries();
            for (const std::string& entry : view.entries)
                menu->appendEntry(entry.c_str());
        }
        if (view.current >= 0)
            menu->setCurrentIndex(view.current);
        menu->setMouseEnabled(view.enabled);
        menu->setDirty(true);
    }
    for (int first : {orvex::kPrevious, orvex::kNext}) {
        if (gui::CControl* button = controls_[first + cab]) {
            button->setMouseEnabled(view.enabled);
            button->setDirty(true);
        }
    }
    if (gui::CTextLabel* label = folderLabels_[cab]) {
        label->setText(view.label.c_str());
        label->setDirty(true);
    }
}

void SDEditor::showCabNotice(int cab, const char* text)
{
    // Only on the editor's thread, where the load buttons' requests arrive; a notice from
    // anywhere else has no user looking at a dialog and is dropped.
    if (!isCab(cab) || !text || !onEditorThread())
        return;
    if (gui::CTextLabel* label = folderLabels_[cab]) {
        label->setText(text);
        label->setDirty(true);
    }
}

void SDEditor::clearCabFile(int tag)
{
    if (isCabTag(tag) && model_.clear(cabOfTag(tag)))
        modelChanged(cabOfTag(tag));
}

void SDEditor::selectCabFile(const char* name, int tag, std::int32_t& index)
{
    if (isCabTag(tag) && model_.select(cabOfTag(tag), name, index))
        modelChanged(cabOfTag(tag));
}

void SDEditor::setCabFolders(const char* const folders[6])
{
    if (folders)
        model_.setFolders(folders);
}

void SDEditor::setCabFileIndices(const std::int32_t indices[6])
{
    if (indices)
        model_.setFileIndices(indices);
}

void SDEditor::getCabFileSelection(int cab, std::int32_t& index, char* name)
{
    model_.selection(cab, index, name, orvex::kFileNameSize);
}

void SDEditor::stepCabFileNext(int cab, std::int32_t& index, char* name)
{
    if (model_.step(cab, true, index, name, orvex::kFileNameSize))
        modelChanged(cab);
}

void SDEditor::stepCabFilePrevious(int cab, std::int32_t& index, char* name)
{
    if (model_.step(cab, false, index, name, orvex::kFileNameSize))
        modelChanged(cab);
}

void SDEditor::listFolder(int tag, const char* folder)
{
    if (!isCabTag(tag) || !folder || !model_.shown())
        return;
    // The directory search runs outside the model's lock: it may take a while.
    char pattern[kPathBufferSize];
    std::vector<std::string> names;
    if (buildSearchPattern(folder, pattern))
        names = listWavFiles(pattern);
    if (model_.fill(cabOfTag(tag), std::move(names), shortenFolderPath(folder)))
        modelChanged(cabOfTag(tag));
}

} // namespace editor
