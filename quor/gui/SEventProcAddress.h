#pragma once
// The value stored in a window's "_XEventProc" property: the address a host
// calls with each X event for that window.
//
// Hosts read the property as one 32-bit item. On i386 that is the
// dispatcher's address. On x86_64 the dispatcher lies above 4 GiB, so the
// property names a small trampoline mapped below 4 GiB that jumps to it;
// 64-bit hosts read the one item (zero-extended) and call it.

#include <cstdint>

namespace quor {
namespace gui {

// 0 when no trampoline could be made (then no window may name one: a host
// would call address 0). A later call tries again.
uint32_t EventProcAddress();

}  // namespace gui
}  // namespace quor
