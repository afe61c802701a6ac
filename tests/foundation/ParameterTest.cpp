// The parameter table and the quantisation into ParamBytes.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <limits>

#include "dsp/Parameters.h"

namespace {

TEST(Parameters, TableHoldsIndicesNamesKindsAndDefaults) {
    const char* names[] = {"Threshold", "Ratio",    "Attack", "Release", "Active",
                           "Limiter",   "Output",   "Softclip", "Depth", "AutoMakeUp"};
    for (int i = 0; i < kParameterCount; ++i) {
        EXPECT_STREQ(kParameterTable[i].name, names[i]);
    }
    for (int i : {Active, Limiter, Softclip, AutoMakeUp}) {
        EXPECT_EQ(kParameterTable[i].kind, ParameterKind::Switch) << i;
    }
    EXPECT_EQ(static_cast<double>(kParameterTable[Attack].defaultValue), 0.18000000715255737);
    EXPECT_EQ(static_cast<double>(kParameterTable[Release].defaultValue), 0.23000000417232513);
    EXPECT_EQ(static_cast<double>(kParameterTable[Output].defaultValue), 0.6299999952316284);
}

TEST(Parameters, DefaultsQuantiseToTheDefaultBytes) {
    ParameterValues values;
    setDefaultParameters(values);
    const ParamBytes bytes = snapshotParameters(values);
    const std::uint8_t expected[] = {64, 64, 23, 29, 128, 0, 80, 128, 0, 0};
    for (int i = 0; i < kParameterCount; ++i) {
        EXPECT_EQ(bytes.bytes[i], expected[i]) << i;
    }
}

TEST(Parameters, QuantisationTruncatesTowardZeroWhateverTheRoundingMode) {
    for (int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        ASSERT_EQ(std::fesetround(mode), 0);
        EXPECT_EQ(quantiseParameter(0.0f), 0);
        EXPECT_EQ(quantiseParameter(0.999f), 127);
        EXPECT_EQ(quantiseParameter(std::nextafter(1.0f, 0.0f)), 127);
        EXPECT_EQ(quantiseParameter(1.0f), 128);
        EXPECT_EQ(quantiseParameter(0.5f), 64);
        EXPECT_EQ(quantiseParameter(0.63f), 80);
        EXPECT_EQ(quantiseParameter(0.0078125f), 1);
        EXPECT_EQ(quantiseParameter(std::nextafter(0.0078125f, 0.0f)), 0);
    }
    std::fesetround(FE_TONEAREST);
}

TEST(Parameters, OutOfRangeValuesKeepTheLowEightBits) {
    EXPECT_EQ(quantiseParameter(-0.5f), 192); // -64
    EXPECT_EQ(quantiseParameter(2.0f), 0);    // 256
    EXPECT_EQ(quantiseParameter(-0.001f), 0); // -0.128 truncates to 0
    // Values no 64-bit integer holds answer 0 (the low byte of the processor's indefinite).
    EXPECT_EQ(quantiseParameter(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(quantiseParameter(std::numeric_limits<float>::infinity()), 0);
    EXPECT_EQ(quantiseParameter(-std::numeric_limits<float>::infinity()), 0);
    EXPECT_EQ(quantiseParameter(1e30f), 0);
}

} // namespace
