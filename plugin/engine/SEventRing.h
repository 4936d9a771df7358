#pragma once
// A fixed ring of event records between the moment a format hands events over
// and the block that monitors and passes them on: 256 records, oldest first,
// and a record that finds the ring full is dropped.

#include <cstdint>
#include <cstring>

template <typename Event, int32_t Capacity = 256>
class SEventRing {
    // Positions wrap with a mask: a signed remainder costs a few instructions
    // twice per event, which 256 events a block make visible.
    static_assert(Capacity > 0 && (Capacity & (Capacity - 1)) == 0, "capacity must be a power of two");
    static constexpr int32_t Mask = Capacity - 1;

public:
    static constexpr int32_t capacity = Capacity;

    int32_t Count() const { return count; }
    bool Empty() const { return count == 0; }
    bool Full() const { return count >= Capacity; }

    // The stored copy, for the format to finish; null when full.
    Event* Push(const Event& e)
    {
        if (count >= Capacity) return nullptr;
        Event* slot = &events[write];
        memcpy(slot, &e, sizeof(Event));
        write = (write + 1) & Mask;
        ++count;
        return slot;
    }
    // The oldest record; only while not empty. It stays valid until the
    // ring is pushed `Capacity` more times.
    const Event& Pop()
    {
        const Event& e = events[read];
        --count;
        read = (read + 1) & Mask;
        return e;
    }
    // Every slot, for giving the records their constant fields once.
    Event* Storage() { return events; }

private:
    int32_t write = 0;
    int32_t read = 0;
    int32_t count = 0;
    Event events[Capacity];
};
