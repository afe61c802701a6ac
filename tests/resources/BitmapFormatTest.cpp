// The embedded bitmaps are whole, well-formed BMP files of the sizes and depths the editor
// expects under each resource id.
#include "resources/ResourceIds.h"
#include "tests/resources/BmpImage.h"

#include <gtest/gtest.h>

namespace {

struct Expected {
    int id;
    int width;
    int height;
    int bitsPerPixel;
};

// The ids are part of the plug-in's outside contract, so they are spelled out here.
constexpr Expected kBitmaps[] = {
    {114, 550, 170, 24}, // background
    {101, 7095, 55, 32}, // knob film strip, 129 frames of 55 x 55
    {113, 20, 16, 24},   // lit lamp
};

TEST(EmbeddedBitmaps, EachIdFindsAWellFormedFileOfTheRightShape) {
    for (const Expected& e : kBitmaps) {
        SCOPED_TRACE("id " + std::to_string(e.id));
        const EmbeddedBitmap* file = findEmbeddedBitmap(e.id);
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(file->id, e.id);
        const BmpImage image(*file);
        ASSERT_TRUE(image.valid()) << image.error();
        EXPECT_EQ(image.width(), e.width);
        EXPECT_EQ(image.height(), e.height);
        EXPECT_EQ(image.bitsPerPixel(), e.bitsPerPixel);
    }
}

TEST(EmbeddedBitmaps, IdsAreDistinctFiles) {
    const EmbeddedBitmap* a = findEmbeddedBitmap(IDB_BACKGROUND);
    const EmbeddedBitmap* b = findEmbeddedBitmap(IDB_KNOB_STRIP);
    const EmbeddedBitmap* c = findEmbeddedBitmap(IDB_LAMP);
    ASSERT_TRUE(a && b && c);
    EXPECT_NE(a->data, b->data);
    EXPECT_NE(a->data, c->data);
    EXPECT_NE(b->data, c->data);
}

TEST(EmbeddedBitmaps, UnknownIdsFindNothing) {
    for (int id : {0, -1, 100, 102, 112, 115, 65535}) {
        EXPECT_EQ(findEmbeddedBitmap(id), nullptr) << "id " << id;
    }
}

TEST(EmbeddedBitmaps, KnobStripFourthByteIsZeroEverywhere) {
    const EmbeddedBitmap* file = findEmbeddedBitmap(IDB_KNOB_STRIP);
    ASSERT_NE(file, nullptr);
    const BmpImage strip(*file);
    ASSERT_TRUE(strip.valid()) << strip.error();
    int nonZero = 0;
    for (int y = 0; y < strip.height(); ++y) {
        for (int x = 0; x < strip.width(); ++x) {
            nonZero += strip.unusedByte(x, y) != 0 ? 1 : 0;
        }
    }
    EXPECT_EQ(nonZero, 0);
}

} // namespace
