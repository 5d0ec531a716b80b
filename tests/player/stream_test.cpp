// stream_test.cpp -- the stream callback table and the memory stream

#include "player/stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using namespace player;

constexpr int32_t IMAGE_SIZE = 431134;

class StreamTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        image.resize(IMAGE_SIZE);
        for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);
        mem_register(image.data(), static_cast<uint32_t>(image.size()));
        stream_set_callbacks(mem_open, mem_close, mem_read, mem_seek, mem_tell);
    }
    void TearDown() override { stream_set_callbacks(nullptr, nullptr, nullptr, nullptr, nullptr); }

    std::vector<uint8_t> image;
};

uint32_t failing_open(const char*)
{
    return 0;
}

TEST_F(StreamTest, AnyNullCallbackEmptiesTheWholeTable)
{
    ASSERT_TRUE(stream_callbacks_installed());
    stream_set_callbacks(mem_open, mem_close, mem_read, nullptr, mem_tell);
    EXPECT_FALSE(stream_callbacks_installed());
    EXPECT_EQ(stream_open("x", 0, 0), nullptr);
}

TEST_F(StreamTest, OpenFailureYieldsNull)
{
    stream_set_callbacks(failing_open, mem_close, mem_read, mem_seek, mem_tell);
    EXPECT_EQ(stream_open("x", 0, 0), nullptr);
}

TEST_F(StreamTest, OpenStoresModeAndUser)
{
    Stream* stream = stream_open("quorbela.xm", 3, 77);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->mode, 3);
    EXPECT_EQ(stream->user, 77u);
    EXPECT_EQ(stream->token, 1u);
    stream_close(stream);
}

TEST_F(StreamTest, NullStreamOperationsDoNothing)
{
    uint8_t byte = 42;
    EXPECT_EQ(stream_read(&byte, 1, nullptr), 0);
    EXPECT_EQ(byte, 42);
    stream_seek(nullptr, 5, 0);
    EXPECT_EQ(stream_tell(nullptr), 0);
    stream_close(nullptr);
}

TEST_F(StreamTest, ShortReadAtTheEndLeavesTheRestUntouched)
{
    Stream* stream = stream_open("quorbela.xm", 0, 0);
    stream_seek(stream, 431130, 0);
    uint8_t buffer[10];
    std::memset(buffer, 0xEE, sizeof buffer);
    EXPECT_EQ(stream_read(buffer, 10, stream), 4);
    EXPECT_EQ(std::memcmp(buffer, &image[431130], 4), 0);
    EXPECT_EQ(buffer[4], 0xEE);
    EXPECT_EQ(stream_tell(stream), IMAGE_SIZE);
    EXPECT_EQ(stream_read(buffer, 10, stream), 0);
    stream_close(stream);
}

struct SeekCase {
    int32_t from;
    int32_t offset;
    uint8_t origin;
    int32_t expected;
};

class StreamSeekTest : public StreamTest, public ::testing::WithParamInterface<SeekCase> {};

TEST_P(StreamSeekTest, LandsWithinTheImage)
{
    const SeekCase c = GetParam();
    Stream* stream = stream_open("quorbela.xm", 0, 0);
    stream_seek(stream, c.from, 0);
    stream_seek(stream, c.offset, c.origin);
    EXPECT_EQ(stream_tell(stream), c.expected);
    stream_close(stream);
}

INSTANTIATE_TEST_SUITE_P(Origins, StreamSeekTest,
                         ::testing::Values(SeekCase{0, 500000, 0, IMAGE_SIZE},
                                           SeekCase{431120, 23, 1, IMAGE_SIZE},
                                           SeekCase{100, 0, 2, IMAGE_SIZE},
                                           SeekCase{0, 34, 2, IMAGE_SIZE - 34},
                                           SeekCase{100, -40, 1, 60}, SeekCase{100, 17, 0, 17},
                                           // Before the start is held at the start.
                                           SeekCase{100, -5, 0, 0}, SeekCase{10, -11, 1, 0},
                                           SeekCase{0, IMAGE_SIZE + 9, 2, 0}));

TEST_F(StreamTest, SecondOpenRewindsTheSharedCursor)
{
    Stream* first = stream_open("a", 0, 0);
    stream_seek(first, 1000, 0);
    Stream* second = stream_open("b", 0, 0);
    EXPECT_EQ(stream_tell(first), 0);
    uint8_t byte = 0;
    stream_read(&byte, 1, second);
    EXPECT_EQ(byte, image[0]);
    EXPECT_EQ(stream_tell(first), 1);
    stream_close(first);
    stream_close(second);
}

}  // namespace
