#pragma once
#include "quor/gui/context/SDrawList.h"

namespace quor {
namespace gui {
namespace context {

class SDrawFont;

class SFontList : public SDrawList<SDrawFont> {
};

class SFontListOwned : public SFontList {
public:
    ~SFontListOwned() override;
    // Deletes every font, each freed on the connection that loaded it.
    void Clear();
};

}  // namespace context
}  // namespace gui
}  // namespace quor
