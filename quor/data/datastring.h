#pragma once
// The toolkit's text type: an owned, always NUL-terminated buffer that grows in
// steps of N bytes. `length` counts the terminator, so an empty string has
// length 1; capacity is always a multiple of N computed from the bytes needed,
// never by doubling.

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace quor {
namespace data {

template <unsigned N, typename T = char>
class datastring {
    static_assert(N > 0, "allocation step must be positive");
    static_assert(sizeof(T) == 1, "only byte strings are supported");

public:
    // Bytes to allocate to hold `required` bytes (text plus terminator).
    static uint32_t CapacityFor(uint32_t required)
    {
        if (required <= N) return N;
        uint32_t k = required / N + (required % N ? 1 : 0);
        if (k < 2) k = 2;
        return k * N;
    }

    datastring() : buffer(new T[N]()), capacity(N), length(1), step(N) {}

    // Formats into a fresh buffer of `size` bytes; at most size - 2 characters
    // survive because the limit given to vsnprintf is size - 1.
    datastring(unsigned size, const char* format, ...)
        : buffer(nullptr), capacity(CapacityFor(size)), length(1), step(N)
    {
        buffer = new T[capacity]();
        if (size >= 2 && format) {
            va_list args;
            va_start(args, format);
            vsnprintf(buffer, size - 1, format, args);
            va_end(args);
            buffer[size - 1] = 0;
            length = static_cast<uint32_t>(strlen(buffer)) + 1;
        }
    }

    explicit datastring(const char* text) : datastring() { Append(text); }

    datastring(const datastring& other)
        : buffer(nullptr), capacity(CapacityFor(other.length)), length(other.length), step(N)
    {
        buffer = new T[capacity]();
        memcpy(buffer, other.buffer, other.length);
    }

    datastring& operator=(const datastring& other)
    {
        if (this != &other) {
            Clear(false);
            Append(other.buffer);
        }
        return *this;
    }

    datastring& operator=(const char* text)
    {
        if (text != buffer) {
            Clear(false);
            Append(text);
        }
        return *this;
    }

    ~datastring() { delete[] buffer; }

    const T* Text() const { return buffer; }
    T* Buffer() { return buffer; }
    // Characters of text, terminator not counted.
    uint32_t Size() const { return length - 1; }
    uint32_t Length() const { return length; }
    uint32_t Capacity() const { return capacity; }
    uint32_t Step() const { return step; }
    bool Empty() const { return length <= 1; }
    bool operator==(const char* text) const { return text && strcmp(buffer, text) == 0; }
    bool operator!=(const char* text) const { return !(*this == text); }

    datastring& Append(const char* text)
    {
        if (!text) return *this;
        return AppendBytes(text, static_cast<uint32_t>(strlen(text)));
    }

    datastring& Append(const datastring& other) { return AppendBytes(other.buffer, other.length - 1); }

    // A NUL character appends nothing.
    datastring& Append(char c)
    {
        const char scratch[2] = {c, 0};  // local: no state shared between threads
        return Append(scratch);
    }

    datastring& Append(unsigned size, const char* format, ...)
    {
        if (size < 2 || !format) return *this;
        std::vector<char> scratch(size, 0);
        va_list args;
        va_start(args, format);
        vsnprintf(scratch.data(), size - 1, format, args);
        va_end(args);
        scratch[size - 1] = 0;
        return Append(scratch.data());
    }

    // With `shrink` a buffer grown beyond one step goes back to N bytes.
    void Clear(bool shrink)
    {
        if (shrink && capacity > N) {
            T* fresh = new T[N]();
            delete[] buffer;
            buffer = fresh;
            capacity = N;
        }
        buffer[0] = 0;
        length = 1;
    }

    void Initialize(unsigned size)
    {
        uint32_t cap = CapacityFor(size);
        T* fresh = new T[cap]();
        delete[] buffer;
        buffer = fresh;
        capacity = cap;
        length = 1;
    }

    // Splits on any of `separators`; runs of separators count as one and no
    // empty token is produced. Tokens are appended after what `out` holds.
    int Tokenize(std::vector<datastring<32, char>>& out, const char* separators) const
    {
        if (!separators) return 0;
        std::vector<char> scratch(buffer, buffer + length);
        int count = 0;
        char* state = nullptr;
        for (char* token = strtok_r(scratch.data(), separators, &state); token;
             token = strtok_r(nullptr, separators, &state)) {
            out.emplace_back(token);
            ++count;
        }
        return count;
    }

private:
    datastring& AppendBytes(const char* text, uint32_t count)
    {
        uint32_t required = length + count;
        if (required <= capacity) {
            memmove(buffer + length - 1, text, count);
        } else {
            uint32_t cap = CapacityFor(required);
            T* fresh = new T[cap]();
            memcpy(fresh, buffer, length - 1);
            memcpy(fresh + length - 1, text, count);
            delete[] buffer;
            buffer = fresh;
            capacity = cap;
        }
        length = required;
        buffer[required - 1] = 0;
        return *this;
    }

    T* buffer;
    uint32_t capacity;
    uint32_t length;
    uint32_t step;
};

using string32 = datastring<32, char>;

}  // namespace data
}  // namespace quor
