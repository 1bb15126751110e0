// Finding whole reply frames among stray bytes, partial frames and noise.

#include "protocol/Exchange.h"
#include "protocol/Frame.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

struct ScanCase {
    const char *name;
    std::vector<quint8> in;
    int result;
    std::vector<quint8> out; // the bytes left in the buffer
};

std::vector<quint8> Frame(quint8 kind, quint16 length)
{
    std::vector<quint8> f(length, 0x42);
    f[0] = kind;
    f[1] = quint8(length);
    f[2] = quint8(length >> 8);
    f[length - 1] = FrameEnd;
    return f;
}

class ScanTable : public ::testing::TestWithParam<ScanCase> {};

TEST_P(ScanTable, LeavesTheExpectedBytes)
{
    const ScanCase &c = GetParam();
    // Exactly sized, so that a read past `count` trips AddressSanitizer.
    std::vector<quint8> buf(c.in);
    quint32 count = quint32(buf.size());
    EXPECT_EQ(ScanResponse(buf.data(), count), c.result);
    EXPECT_EQ(std::vector<quint8>(buf.begin(), buf.begin() + count), c.out);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScanTable,
    ::testing::Values(
        ScanCase{"empty", {}, 0, {}},
        ScanCase{"no_frame_start", {1, 2, 3, 23, 27}, 0, {}},
        ScanCase{"partial_length_kept", {9, 9, 6, 8}, 0, {6, 8}},
        ScanCase{"lone_start_kept", {9, 21}, 0, {21}},
        ScanCase{"shortest_ack", {6, 4, 0, 23}, 1, {6, 4, 0, 23}},
        ScanCase{"shortest_nak", {21, 4, 0, 23}, 1, {21, 4, 0, 23}},
        ScanCase{"length_below_four", {6, 3, 0, 23}, 0, {}},
        ScanCase{"garbage_frame_tail", {1, 2, 6, 4, 0, 23, 9, 9}, 1, {6, 4, 0, 23, 9, 9}},
        ScanCase{"partial_frame_waits", {5, 6, 8, 0, 1, 2}, 0, {6, 8, 0, 1, 2}},
        // Whole candidate with a wrong end byte: dropped, and the scan goes on inside it.
        ScanCase{"bad_end_rescans", {6, 8, 0, 6, 4, 0, 23, 99}, 1, {6, 4, 0, 23, 99}},
        ScanCase{"bad_end_no_frame", {6, 8, 0, 1, 2, 3, 4, 5}, 0, {}},
        ScanCase{"length_16_bit", {6, 0, 1, 1}, 0, {6, 0, 1, 1}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ScanResponse, LengthLimits)
{
    std::vector<quint8> big = Frame(FrameAck, 15000);
    quint32 count = quint32(big.size());
    EXPECT_EQ(ScanResponse(big.data(), count), 1);
    EXPECT_EQ(count, 15000u);

    // 15001 is no frame start, even with an end byte in the right place.
    std::vector<quint8> over(15001, 0x42);
    over[0] = FrameAck;
    over[1] = quint8(15001 & 0xFF);
    over[2] = quint8(15001 >> 8);
    over[15000] = FrameEnd;
    count = quint32(over.size());
    EXPECT_EQ(ScanResponse(over.data(), count), 0);
    EXPECT_EQ(count, 0u);
}

TEST(ScanResponse, FrameArrivingInChunksCompletesOnItsLastByte)
{
    const std::vector<quint8> frame = {6, 8, 0, 81, 84, 3, 1, 23};
    std::vector<quint8> buf;
    for (size_t i = 0; i < frame.size(); ++i) {
        buf.push_back(frame[i]);
        // A fresh exact-size copy each time: the scanner may look at nothing beyond `count`.
        std::vector<quint8> exact(buf);
        quint32 count = quint32(exact.size());
        EXPECT_EQ(ScanResponse(exact.data(), count), i + 1 == frame.size() ? 1 : 0) << i;
        EXPECT_EQ(count, buf.size());
    }
}

// Feeds `bytes` to the scanner the way a transaction does and tells whether a frame was found.
// Checks on every call that the scanner stays within `count`, never raises it and keeps less
// than a whole frame (so a reply buffer of ReplyBufferSize never fills).
bool Feed(std::vector<quint8> &held, const quint8 *bytes, size_t n)
{
    held.insert(held.end(), bytes, bytes + n);
    std::vector<quint8> exact(held); // exactly sized: a stray access trips AddressSanitizer
    quint32 count = quint32(exact.size());
    const bool found = ScanResponse(exact.data(), count) == 1;
    EXPECT_LE(count, held.size());
    held.assign(exact.begin(), exact.begin() + count);
    if (!found) {
        EXPECT_LT(count, MaxResponseLength);
    }
    return found;
}

// Random noise, chunked arbitrarily, with a valid frame embedded: the frame is found, unless a
// frame start in the noise is still waiting for its length to arrive; once that candidate is
// complete (and wrong), the scan finds the frame behind it.
TEST(ScanResponse, FuzzNoiseAndChunking)
{
    std::mt19937 rng(12345);
    const quint8 tricky[] = {6, 21, 23, 0, 4, 8, 27, 0xFF};
    for (int round = 0; round < 3000; ++round) {
        std::vector<quint8> stream;
        const int noise = int(rng() % 40);
        for (int i = 0; i < noise; ++i)
            stream.push_back(rng() % 2 ? tricky[rng() % 8] : quint8(rng()));
        const bool embed = rng() % 4 != 0;
        const quint16 length = quint16(4 + rng() % (round % 10 == 0 ? 300 : 12));
        std::vector<quint8> frame = Frame(rng() % 2 ? FrameAck : FrameNak, length);
        for (size_t i = 3; i + 1 < frame.size(); ++i)
            frame[i] = quint8(rng());
        if (embed)
            stream.insert(stream.end(), frame.begin(), frame.end());

        std::vector<quint8> held;
        bool found = false;
        for (size_t pos = 0; pos < stream.size() && !found;) {
            const size_t chunk = std::min<size_t>(1 + rng() % ResponseChunk, stream.size() - pos);
            found = Feed(held, stream.data() + pos, chunk);
            pos += chunk;
        }
        // Silence-free filler completes any pending candidate without forming a frame.
        const std::vector<quint8> filler(1000, 0);
        while (!found && !held.empty())
            found = Feed(held, filler.data(), filler.size());
        if (found) {
            const quint32 l = held[1] | (held[2] << 8);
            ASSERT_GE(held.size(), l);
            ASSERT_EQ(held[l - 1], FrameEnd);
            ASSERT_TRUE(held[0] == FrameAck || held[0] == FrameNak);
        }
        // Noise may form a frame by chance; an embedded frame is never lost.
        if (embed) {
            ASSERT_TRUE(found) << "round " << round;
        }
        if (HasFailure())
            return;
    }
}

} // namespace
