// The version text hosts compare whole, and the byte swaps checked against a
// plain reversal of each word: from an odd address, touching no byte outside
// the words asked for, and nothing at all for zero or negative counts.
#include "util/QrnSys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

TEST(Version, IsTheReleaseTagAndItsBuildDateAndTime) {
    EXPECT_STREQ(QrnSysGetVersion(), "1.1b - Sep 15 2002 08:38:32");
    EXPECT_EQ(QrnSysGetVersion(), QrnSysGetVersion());  // one constant string
}

TEST(ByteOrder, EachSwapReversesItsWordsAndNothingElse) {
    struct Case {
        const char* what;
        int size, count;
        void (*swap)(unsigned char*, int);
    };
    const auto words = [](unsigned char* b, int n) { SwapNWords(b, n); };
    const auto longs = [](unsigned char* b, int n) { SwapN32s(b, n); };
    const Case cases[] = {
        {"SwapWord", 2, 1, [](unsigned char* b, int) { SwapWord(b); }},
        {"8 words", 2, 8, words},    {"0 words", 2, 0, words},  {"-1 words", 2, -1, words},
        {"4 longs", 4, 4, longs},    {"1 long", 4, 1, longs},   {"-100 longs", 4, -100, longs},
    };
    for (const Case& c : cases) {
        std::vector<unsigned char> buf(19);
        for (size_t i = 0; i < buf.size(); ++i) buf[i] = static_cast<unsigned char>(i * 7 + 1);
        std::vector<unsigned char> want = buf;
        for (int w = 0; w < c.count; ++w) std::reverse(&want[1 + w * c.size], &want[1 + (w + 1) * c.size]);
        c.swap(buf.data() + 1, c.count);  // an odd address: no alignment assumed
        EXPECT_EQ(buf, want) << c.what;
    }
}
