#pragma once
#include "quor/gui/context/SDrawBrush.h"
#include "quor/gui/context/SDrawList.h"

namespace quor {
namespace gui {
namespace context {

class SBrushList : public SDrawList<SDrawBrush> {
};

class SBrushListOwned : public SBrushList {
public:
    ~SBrushListOwned() override { Clear(); }
    // Deletes every brush (and its bitmap); the list is empty afterwards.
    void Clear() { DeleteAll(); }
};

}  // namespace context
}  // namespace gui
}  // namespace quor
