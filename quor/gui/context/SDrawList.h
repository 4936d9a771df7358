#pragma once
// Growable arrays of pointers to pens, brushes and fonts. The plain lists free
// only their array; the owning ones also delete their elements.

#include <cstddef>
#include <vector>

namespace quor {
namespace gui {
namespace context {

template <typename T>
class SDrawList {
public:
    SDrawList() = default;
    virtual ~SDrawList() = default;
    SDrawList(const SDrawList&) = delete;
    SDrawList& operator=(const SDrawList&) = delete;

    void Add(T* item) { items.push_back(item); }
    int Count() const { return static_cast<int>(items.size()); }
    // Null outside the list.
    T* Get(int index) const
    {
        return index >= 0 && static_cast<size_t>(index) < items.size() ? items[static_cast<size_t>(index)] : nullptr;
    }

protected:
    // Deletes every element in order, nulling each slot, then frees the array.
    void DeleteAll()
    {
        for (T*& item : items) {
            if (item) delete item;
            item = nullptr;
        }
        items.clear();
        items.shrink_to_fit();
    }

    std::vector<T*> items;
};

}  // namespace context
}  // namespace gui
}  // namespace quor
