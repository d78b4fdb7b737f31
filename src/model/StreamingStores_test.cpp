#include "model/StreamingStores.h"

#include <gtest/gtest.h>

#include <vector>

// Every start offset against the 64-byte lines and every length up to a few
// vectors: the floats asked for are written exactly, and none beside them.
TEST(StreamingStores, WriteExactlyTheFloatsAskedForAtAnyAlignment)
{
    const float guard = -7.0f;
    for (int offset = 0; offset < 18; ++offset) {
        for (int count = 0; count <= 40 - offset; ++count) {
            std::vector<float> from(count);
            for (int k = 0; k < count; ++k)
                from[k] = 1.5f * k + 0.25f;
            alignas(64) float copied[40];
            alignas(64) float filled[40];
            std::fill(std::begin(copied), std::end(copied), guard);
            std::fill(std::begin(filled), std::end(filled), guard);
            streamFloats(from.data(), count, copied + offset);
            streamFill(3.0f, count, filled + offset);
            finishStreaming();
            for (int k = 0; k < 40; ++k) {
                const bool written = k >= offset && k < offset + count;
                EXPECT_EQ(copied[k], written ? from[k - offset] : guard) << offset << " " << count << " " << k;
                EXPECT_EQ(filled[k], written ? 3.0f : guard) << offset << " " << count << " " << k;
            }
        }
    }
}
