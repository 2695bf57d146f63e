#include "util/QrnSys.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Version, IsTheReleaseTagAndItsBuildDateAndTime) {
    EXPECT_STREQ(QrnSysGetVersion(), "1.1b - Sep 15 2002 08:38:32");
    EXPECT_EQ(QrnSysGetVersion(), QrnSysGetVersion());  // one constant string
}

TEST(ByteOrder, KnownPatterns) {
    unsigned char w[2] = {0x01, 0x02};
    SwapWord(w);
    EXPECT_EQ(w[0], 0x02);
    EXPECT_EQ(w[1], 0x01);

    unsigned char d[4] = {0x01, 0x02, 0x03, 0x04};
    SwapN32s(d, 1);
    const unsigned char want[4] = {0x04, 0x03, 0x02, 0x01};
    EXPECT_EQ(0, std::memcmp(d, want, 4));
}

TEST(ByteOrder, ZeroOrNegativeCountsChangeNothing) {
    unsigned char buf[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const unsigned char orig[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    for (int n : {0, -1, -100}) {
        SwapNWords(buf, n);
        SwapN32s(buf, n);
        EXPECT_EQ(0, std::memcmp(buf, orig, 8)) << n;
    }
}

TEST(ByteOrder, SwappingTwiceRestoresAndUnalignedBuffersWork) {
    unsigned char buf[17];
    for (int i = 0; i < 17; ++i) buf[i] = static_cast<unsigned char>(i * 7 + 1);
    unsigned char orig[17];
    std::memcpy(orig, buf, 17);
    // Start at an odd address: the swaps must not assume alignment.
    SwapNWords(buf + 1, 8);
    EXPECT_EQ(buf[1], orig[2]);
    EXPECT_EQ(buf[0], orig[0]);  // outside the range: untouched
    SwapNWords(buf + 1, 8);
    EXPECT_EQ(0, std::memcmp(buf, orig, 17));
    SwapN32s(buf + 1, 4);
    EXPECT_EQ(buf[1], orig[4]);
    EXPECT_EQ(buf[4], orig[1]);
    SwapN32s(buf + 1, 4);
    SwapWord(buf + 3);
    SwapWord(buf + 3);
    EXPECT_EQ(0, std::memcmp(buf, orig, 17));
}
