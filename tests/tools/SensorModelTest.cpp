// The simulated sensor's answers, without a line.

#include "protocol/Frame.h"
#include "tools/SensorModel.h"

#include <gtest/gtest.h>

namespace {

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

TEST(SensorModel, AnswersEveryCommand)
{
    TSensorModel model({});
    EXPECT_EQ(model.Answer(Bytes({27, 5, 0, 1, 23})).Reply, Bytes({6, 4, 0, 23}));
    EXPECT_TRUE(model.CommMode());
    EXPECT_EQ(model.Answer(Bytes({27, 4, 1, 23})).Reply, Bytes({6, 4, 0, 23}));
    EXPECT_EQ(model.Answer(Bytes({27, 4, 2, 23})).Reply, Bytes({6, 8, 0, 81, 84, 3, 1, 23}));
    EXPECT_EQ(model.Answer(Bytes({27, 4, 9, 23})).Reply, Bytes({6, 6, 0, 25, 0, 23}));
    EXPECT_EQ(model.Answer(Bytes({27, 6, 9, 44, 1, 23})).Reply, Bytes({6, 6, 0, 44, 1, 23}));
    EXPECT_EQ(model.Params().InertWork, 300);
    EXPECT_EQ(model.Answer(Bytes({27, 4, 7, 23})).Reply, Bytes({6, 8, 0, 0, 0, 160, 64, 23}));
    EXPECT_EQ(model.Answer(Bytes({27, 4, 3, 23})).Reply, Bytes({6, 5, 0, 0, 23}));
    EXPECT_EQ(model.Saved(), model.Params());
    EXPECT_EQ(model.Answer(Bytes({27, 5, 0, 0, 23})).Reply, Bytes({6, 4, 0, 23}));
    EXPECT_FALSE(model.CommMode());
}

TEST(SensorModel, RefusesWhatItDoesNotKnow)
{
    TSensorModel model({});
    const QByteArray nak = Bytes({21, 4, 0, 23});
    EXPECT_EQ(model.Answer(Bytes({27, 4, 11, 23})).Reply, nak);       // unknown code
    EXPECT_EQ(model.Answer(Bytes({27, 5, 9, 1, 23})).Reply, nak);     // payload of the wrong size
    EXPECT_EQ(model.Answer(Bytes({27, 5, 4, 2, 23})).Reply, nak);     // calibration byte other than 1
    EXPECT_EQ(model.Answer(Bytes({27, 5, 0, 7, 23})).Reply, nak);     // no such mode
    EXPECT_EQ(model.Params(), TSensorParams{});
}

TEST(SensorModel, Options)
{
    TSensorOptions options;
    options.NakCommand = 6;
    options.SaveConfError = true;
    options.DeviceType = 0x1111;
    options.Clamp = true;
    TSensorModel model(options);
    EXPECT_EQ(model.Answer(Bytes({27, 4, 6, 23})).Reply, Bytes({21, 4, 0, 23}));
    EXPECT_EQ(model.Answer(Bytes({27, 4, 3, 23})).Reply, Bytes({6, 5, 0, 2, 23}));
    EXPECT_EQ(model.Saved(), TSensorParams{}); // nothing was stored
    EXPECT_EQ(model.Answer(Bytes({27, 4, 2, 23})).Reply, Bytes({6, 8, 0, 0x11, 0x11, 3, 1, 23}));
    EXPECT_EQ(model.Answer(Bytes({27, 6, 10, 1, 0, 23})).Reply, Bytes({6, 6, 0, 5, 0, 23}));
    // 100.0f is held to 50.0f.
    EXPECT_EQ(model.Answer(Bytes({27, 8, 7, 0, 0, 200, 66, 23})).Reply, Bytes({6, 8, 0, 0, 0, 72, 66, 23}));
}

TEST(SensorModel, CalibrationTakesTheAveragingTimeAndGivesAPlausibleValue)
{
    TSensorModel model({});
    model.Answer(Bytes({27, 6, 6, 0xE8, 0x03, 23})); // 1000 ms
    const TSensorAnswer on = model.Answer(Bytes({27, 5, 4, 1, 23}));
    EXPECT_EQ(on.WorkMs, 1000);
    const TSensorAnswer off = model.Answer(Bytes({27, 5, 5, 1, 23}));
    EXPECT_GT(model.CalOn(), model.CalOff());
    EXPECT_NEAR(model.CalOn(), 3100, 200);
    // A query does not calibrate: it answers at once with the stored result.
    const TSensorAnswer query = model.Answer(Bytes({27, 4, 4, 23}));
    EXPECT_EQ(query.WorkMs, 0);
    EXPECT_EQ(query.Reply, on.Reply);
    EXPECT_EQ(off.Reply.mid(3, 2), U16Bytes(model.CalOff()));
}

} // namespace
