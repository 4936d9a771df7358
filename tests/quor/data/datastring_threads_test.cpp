// Tokenize and Append(char) keep no state outside the call, so two threads
// may use them on their own strings at the same time.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "quor/data/datastring.h"

using S = quor::data::datastring<32, char>;

TEST(DatastringThreads, TokenizeInterleavedAcrossThreads)
{
    // With one process-wide tokenizer state, a thread's next token would
    // come from the other thread's text.
    std::atomic<int> wrong{0};
    auto worker = [&wrong](const char* text, const char* first, const char* last, int tokens) {
        for (int i = 0; i < 3000; ++i) {
            std::vector<S> out;
            S s(text);
            if (s.Tokenize(out, ";, ") != tokens || !(out.front() == first) || !(out.back() == last)) wrong++;
        }
    };
    std::thread a(worker, "alpha;beta;gamma;delta;epsilon;zeta", "alpha", "zeta", 6);
    std::thread b(worker, ",,one two,three  four,,five,", "one", "five", 5);
    a.join();
    b.join();
    EXPECT_EQ(wrong, 0);
}

TEST(DatastringThreads, AppendCharUsesNoSharedScratch)
{
    std::atomic<int> wrong{0};
    auto worker = [&wrong](char c) {
        for (int i = 0; i < 2000; ++i) {
            S s;
            for (int k = 0; k < 40; ++k) s.Append(c);
            if (s.Size() != 40 || std::string(s.Text()) != std::string(40, c)) wrong++;
        }
    };
    std::thread a(worker, 'a'), b(worker, 'b');
    a.join();
    b.join();
    EXPECT_EQ(wrong, 0);
}
