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
    // Moves every record to `to` in order, after handing it to
    // `look(const Event&)`; a record that finds `to` full is dropped from
    // `to` only. The positions stay in registers: a record's copy is a store
    // that may alias them, so Pop and Push would reload and store them for
    // every record.
    template <typename Look>
    void MoveAllTo(SEventRing& to, Look&& look)
    {
        int32_t r = read;
        int32_t w = to.write;
        int32_t stored = to.count;
        for (int32_t left = count; left > 0; --left) {
            const Event& e = events[r];
            look(e);
            if (stored < Capacity) {
                memcpy(&to.events[w], &e, sizeof(Event));
                w = (w + 1) & Mask;
                ++stored;
            }
            r = (r + 1) & Mask;
        }
        read = r;
        count = 0;
        to.write = w;
        to.count = stored;
    }
    // Hands every record, in its slot, to `take(Event&)` in order and
    // empties the ring; answers how many were handed. A slot keeps its
    // record until the ring is pushed `Capacity` more times.
    template <typename Take>
    int32_t DrainAll(Take&& take)
    {
        const int32_t n = count;
        int32_t r = read;
        for (int32_t i = 0; i < n; ++i) {
            take(events[r]);
            r = (r + 1) & Mask;
        }
        read = r;
        count = 0;
        return n;
    }
    // Every slot, for giving the records their constant fields once.
    Event* Storage() { return events; }

private:
    int32_t write = 0;
    int32_t read = 0;
    int32_t count = 0;
    Event events[Capacity];
};
