// The pictures of examples/backdrop load as what the example says they are.
#include <filesystem>

#include "anim/KvAnimation.h"
#include "background/Background16.h"
#include "tests/background/BackgroundTestSupport.h"
#include "trinket/KvTrinketWindow.h"

namespace {

std::string examplePath(const char* name) {
    return (std::filesystem::path(QRN_TEST_DATA) / ".." / "examples" / "backdrop" / name).string();
}

}  // namespace

TEST_F(BackgroundTest, TheExamplePicturesLoad) {
    auto* room = new KvIStreamFile(examplePath("room.b16").c_str());
    ASSERT_TRUE(room->good());
    EXPECT_TRUE(Background16::holdsImage(room));
    Background16 bg(room);
    ASSERT_NE(bg.bkGetCanvas(), nullptr);
    EXPECT_EQ(bg.bkGetCanvas()->getBounds(), KvRect(0, 0, 320, 200));
    EXPECT_TRUE(backend.messages.empty());
    // Sky above, a brown frame, a floor below.
    EXPECT_GT(bg.bkGetCanvas()->getPixelColor(10, 10).b8(), 200);
    EXPECT_LT(bg.bkGetCanvas()->getPixelColor(10, 190).b8(), 64);

    KvTrinketWindow window(KvRect(0, 0, 320, 200), nullptr, 0, -1, -1, 16, 1, 0);
    auto* hallStream = new KvIStreamFile(examplePath("hall.ao").c_str());
    EXPECT_FALSE(Background16::holdsImage(hallStream));
    KvAnimation hall(hallStream, 0, 0, &window);
    EXPECT_TRUE(hall.isLoaded());
    EXPECT_EQ(hall.box(), KvRect(0, 0, 320, 200));
    KvAnimation arrow(new KvIStreamFile(examplePath("ao/1.ao").c_str()), 0, 0, &window);
    EXPECT_TRUE(arrow.isLoaded());
    EXPECT_EQ(arrow.getNumberOfCels(), 2);
}
