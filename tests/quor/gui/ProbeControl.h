#pragma once
// A window that paints itself in one colour and records what reaches it.
// Its records change on the dispatching thread under the toolkit lock: read
// them under the lock too (bwtest::Locked).

#include <vector>

#include "plugin/SStaticData.h"
#include "quor/gui/SWindow.h"
#include "quor/gui/context/SDrawing.h"

namespace bwtest {

struct KeyRecord {
    int code;
    bool pressed;
    int mask;
    int keyClass;
    bool shift;
};

class Probe : public quor::gui::SWindow {
public:
    Probe(SGlobals* g, quor::gui::SControl* parent, unsigned id, int style, int x, int y, int w, int h,
          unsigned long fill)
        : SWindow(g, parent, id, "probe", style, x, y, w, h, 0, false), colour(fill)
    {
    }

    void Draw(const quor::gui::Rectangle& r) override
    {
        draws.push_back(r);
        drawing->SetPen(statdata.FindPen(static_cast<int>(colour)));
        drawing->SetBrush(statdata.FindBrush(static_cast<int>(colour)));
        drawing->FillRect(r);
    }
    void MouseStateChanged(bool* s, int code) override
    {
        codes.push_back(code);
        states.push_back(std::vector<bool>(s, s + quor::gui::MS_COUNT));
    }
    void MousePosChanged(int dx, int dy) override { moves.push_back(quor::gui::Point(dx, dy)); }
    void KeyStateChanged(int code, bool pressed, int mask, int keyClass) override
    {
        keys.push_back(KeyRecord{code, pressed, mask, keyClass, input->state[quor::gui::MS_SHIFT]});
    }
    void CloseDialog() override { ++closes; }
    void Stop() override
    {
        ++stops;
        SWindow::Stop();
    }
    void ParseEvent(quor::gui::SEvent* e) override
    {
        events.push_back(*e);
        // A pointer payload lives only during delivery: keep what it says.
        const int32_t* words = static_cast<const int32_t*>(e->data);
        payloads.push_back(e->dataType == quor::gui::EVENT_DATA_POINTER && words
                               ? std::vector<int32_t>(words, words + 3)
                               : std::vector<int32_t>());
    }

    // Forgets what was recorded so far.
    void Forget()
    {
        draws.clear();
        codes.clear();
        states.clear();
        moves.clear();
        keys.clear();
        events.clear();
        payloads.clear();
    }

    unsigned long colour;
    std::vector<quor::gui::Rectangle> draws;
    std::vector<int> codes;
    std::vector<std::vector<bool>> states;
    std::vector<quor::gui::Point> moves;
    std::vector<KeyRecord> keys;
    std::vector<quor::gui::SEvent> events;
    std::vector<std::vector<int32_t>> payloads;
    int closes = 0;
    int stops = 0;
};

}  // namespace bwtest
