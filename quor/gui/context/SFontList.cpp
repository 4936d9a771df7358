#include "quor/gui/context/SFontList.h"

#include "quor/gui/context/SDrawFont.h"

namespace quor {
namespace gui {
namespace context {

SFontListOwned::~SFontListOwned()
{
    Clear();
}

void SFontListOwned::Clear()
{
    DeleteAll();
}

}  // namespace context
}  // namespace gui
}  // namespace quor
