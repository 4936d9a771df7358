#pragma once
// The whole editor: a 100 x 75 panel with the title logo, the audio and MIDI
// lamps on a dark plate, the credits under the logo and the tooltip switch
// square. A click on a lamp opens its options dialog; confirmed results are
// written into the plug-in's parameters. The lamps show what the engine last
// reported, handed over by the editor's idle function (RefreshControls).

#include "quor/gui/SWindow.h"

class AudioEffect;
class SPluginEditor;

namespace quor {
namespace gui {
template <bool>
class SLabel;
class SImageLabel;
class SOptionsDialog;
class SToolTip;
namespace context {
class SDrawBitmap;
class SDrawMemoryDevice;
}  // namespace context
}  // namespace gui
}  // namespace quor

class SPluginPanel : public quor::gui::SWindow {
public:
    typedef quor::gui::Rectangle Rectangle;

    SPluginPanel();
    SPluginPanel(SGlobals* globals, quor::gui::SControl* parent, unsigned id, const char* name, int style, int x,
                 int y, int w, int h, int parentWindow, bool flag);
    ~SPluginPanel() override;

    void LoadControls() override;
    void Focussing(bool focus) override { SControl::Focussing(focus); }
    // Lamp colours by update code: -1 both dark, 8/9 audio dark/lit,
    // 12/13 MIDI dark/lit; a lamp is repainted only when it changes.
    void RefreshControls(long code) override;
    // Copies the off-screen image, whatever area is asked for.
    void Draw(const Rectangle& r) override;
    void MouseStateChanged(bool* state, int change) override;
    void ParseEvent(quor::gui::SEvent* e) override;

    // Renders the background once into the off-screen image.
    void RefreshPanel();
    void RefreshTimer(long) {}
    void RefreshLabels() {}
    // Closes an open options dialog as Cancel would (the editor is closing).
    void CancelDialogs();

    void SetEditor(SPluginEditor* e) { editor = e; }
    void SetEffect(AudioEffect* e) { effect = e; }

    quor::gui::SLabel<false>* AudioIndicator() const { return audioIndicator; }
    quor::gui::SLabel<false>* MidiIndicator() const { return midiIndicator; }
    quor::gui::SOptionsDialog* AudioOptions() const { return audioOptions; }
    quor::gui::SOptionsDialog* MidiOptions() const { return midiOptions; }
    quor::gui::SImageLabel* TitleLogo() const { return titleLogo; }
    quor::gui::SToolTip* Tooltip() const { return tooltip; }

    // The maker's address, the first credits line.
    static const char* const webAddress;

private:
    unsigned NextId();
    void SetLamp(quor::gui::SLabel<false>* lamp, int colour);

    quor::gui::SLabel<false>* midiIndicator = nullptr;
    quor::gui::SLabel<false>* audioIndicator = nullptr;
    quor::gui::SOptionsDialog* audioOptions = nullptr;
    quor::gui::SOptionsDialog* midiOptions = nullptr;
    quor::gui::SImageLabel* titleLogo = nullptr;
    Rectangle titleRect;
    quor::gui::SToolTip* tooltip = nullptr;
    SPluginEditor* editor = nullptr;
    AudioEffect* effect = nullptr;
    quor::gui::context::SDrawMemoryDevice* memoryDevice = nullptr;
    quor::gui::context::SDrawBitmap* bitmap = nullptr;
};
