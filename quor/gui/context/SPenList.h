#pragma once
#include "quor/gui/context/SDrawList.h"
#include "quor/gui/context/SDrawPen.h"

namespace quor {
namespace gui {
namespace context {

class SPenList : public SDrawList<SDrawPen> {
};

class SPenListOwned : public SPenList {
public:
    ~SPenListOwned() override { Clear(); }
    // Deletes every pen; the list is empty afterwards.
    void Clear() { DeleteAll(); }
};

}  // namespace context
}  // namespace gui
}  // namespace quor
