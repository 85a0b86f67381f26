// Orvex's editor: an 850 x 520 panel painted from one background bitmap with 137 views that
// show and drive the effect's parameters (SDEditorLayout.cpp builds them from the panel table
// in PanelLayout.h), the value flow between them and the effect, and each cab's folder
// navigation (file menu, folder label, previous and next).
//
// Threads. The views belong to the thread that opened the editor (the host's UI thread, which
// then also owns the effect): only it creates, changes, draws and destroys them.
// - a parameter change on the editor's own thread sets the control and its label at once
//   (drawn at the next idle); from any other thread, audio threads included, it only sets
//   the parameter's bit in a lock-free set, and the next idle shows it.
// - what the effect must read back at once (a cab's file list and current entry) lives in
//   EditorModel, under its short lock; the effect reaches it only from its file threads
//   (this thread, or its loader). The views mirror it at once on the editor's thread,
//   otherwise at the next idle.
#pragma once

#include "editor/AEffGUIEditor.h"
#include "editor/EditorModel.h"
#include "effect/EditorLink.h"
#include "effect/ParameterTable.h"
#include "gui/CControlListener.h"

#include <atomic>
#include <cstdint>

namespace gui {
class CBitmap;
class CControl;
class COptionMenu;
class CTextLabel;
class CView;
} // namespace gui

namespace orvex {
class Orvex;
}

namespace panel {
struct View;
}

namespace editor {

class SDEditor : public AEffGUIEditor, public gui::CControlListener, public orvex::EditorLink {
public:
    static constexpr std::int32_t kWidth = 850;   // the panel's (and background's) size
    static constexpr std::int32_t kHeight = 520;
    static constexpr int kCabs = 6;
    static constexpr int kDisplaySize = 64;       // getParameterDisplay buffer

    // Attaches itself to the effect (editor flag, EditorLink) and loads the background.
    explicit SDEditor(orvex::Orvex* effect);
    ~SDEditor() override;

    // --- host side (UI thread) -----------------------------------------------------------
    bool open(void* parentWindow) override;
    void close() override;
    // Brings foreign-thread changes into the views, then redraws what is dirty.
    void idle() override;
    // The toolkit's knob mode is always 2 (linear dragging), whatever the host asks.
    bool setKnobMode(vst::Int32 mode) override;

    // --- controls to effect (editor thread) ------------------------------------------------
    void valueChanged(gui::CDrawContext* context, gui::CControl* control) override;

    // --- effect to editor (setParameter: any thread; the rest: the effect's file threads) ----
    void setParameter(int index, float value) override;
    void clearCabFile(int tag) override;
    void selectCabFile(const char* name, int tag, std::int32_t& index) override;
    void setCabFolders(const char* const folders[6]) override;
    void setCabFileIndices(const std::int32_t indices[6]) override;
    void getCabFileSelection(int cab, std::int32_t& index, char* name) override;
    void stepCabFileNext(int cab, std::int32_t& index, char* name) override;
    void stepCabFilePrevious(int cab, std::int32_t& index, char* name) override;
    void listFolder(int tag, const char* folder) override;
    // The label shows the text until it next shows the cab's folder.
    void showCabNotice(int cab, const char* text) override;

    // --- inspection (tests, snapshots) -------------------------------------------------------
    gui::CControl* control(int index) const;
    gui::CTextLabel* valueLabel(int index) const;
    gui::CTextLabel* folderLabel(int cab) const;
    gui::COptionMenu* fileMenu(int cab) const;
    gui::COptionMenu* latencyMenu() const { return latencyMenu_; }
    gui::CBitmap* getBackground() const { return background_; }
    const EditorModel& model() const { return model_; }
    orvex::Orvex* effect() const { return orvexEffect_; }
    // The next open builds its views from these rows instead of the panel's own (a test's
    // changed copy of the table; the rows must outlive the open editor). Null: the panel's.
    void usePanel(const panel::View* views, int count)
    {
        panel_ = views;
        panelCount_ = count;
    }

private:
    // Building (SDEditorLayout.cpp).
    void buildViews();
    // `shared`: the columns of a strip label that the strip label before it covers.
    gui::CView* makeView(const panel::View& view, gui::CBitmap* bitmap, int shared);
    gui::CTextLabel* makeValueLabel(const panel::View& view, gui::CBitmap* bitmap, int shared);
    void clearReferences();

    bool onEditorThread() const;
    // Shows the effect's value of a parameter in its control and label (editor thread).
    void showParameter(int index);
    // Applies what other threads left for the views (editor thread).
    void applyPending();
    // Copies a cab's model state into its views (editor thread).
    void mirrorCab(int cab);
    // After a model change: mirror now on the editor thread, else leave it to idle.
    void modelChanged(int cab);
    static int cabOfTag(int tag) { return tag - orvex::kFileMenu; }

    orvex::Orvex* orvexEffect_;                         // the owning effect, not owned
    gui::CBitmap* background_ = nullptr;                // resource 128, the editor's lifetime
    gui::CControl* controls_[orvex::kNumParams] = {};   // control per parameter index, or null
    gui::CTextLabel* labels_[orvex::kNumParams] = {};   // value label per parameter index, or null
    gui::CTextLabel* folderLabels_[kCabs] = {};         // folder label per cab
    gui::COptionMenu* fileMenus_[kCabs] = {};           // file menu per cab (tag 50 + cab)
    gui::COptionMenu* latencyMenu_ = nullptr;           // tag 80
    const panel::View* panel_ = nullptr;                // rows to build from; null: the panel's
    int panelCount_ = 0;                                // rows in panel_
    char display_[kDisplaySize] = {};                   // getParameterDisplay output (editor thread)
    EditorModel model_;                                 // cross-thread file and latency state
    std::atomic<std::uint64_t> ownerThread_{0};         // the thread that opened the views
    std::atomic<std::uint32_t> pending_[3] = {};        // parameter indices left for idle (bits)
    std::atomic<bool> open_{false};                     // views exist
};

} // namespace editor
