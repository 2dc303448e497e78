#include "app/core/identity.h"

#include <gtest/gtest.h>

namespace vz {
namespace {

TEST(Identity, OptionLogoRule) {
    for (int options : {2, 3, 8, 10, 15})
        EXPECT_EQ(OptionText(options), "Option Logo") << options;
    for (int options : {0, 1, 4, 6, 7})
        EXPECT_EQ(OptionText(options), "") << options;
}

TEST(Identity, DeviceAndIdTexts) {
    EXPECT_EQ(DeviceText(0), "Device Unknown");
    EXPECT_EQ(DeviceText(1), "Device KRA350");
    EXPECT_EQ(DeviceText(5), "Device KRA350");
    EXPECT_EQ(DeviceText(6), "Device KRB350");
    EXPECT_EQ(DeviceText(7), "Device KRT120");
    EXPECT_EQ(IdText(0), "Id Unknown");
    EXPECT_EQ(IdText(32786), "Id : 8012");
    EXPECT_EQ(IdText(0xAB), "Id : 00AB");
}

TEST(Identity, Titles) {
    EXPECT_EQ(TitleText(1, 2, 32786), "Zentrik Vorna-Zadod Updater  (Device KRA350  Option Logo  Id : 8012)");
    EXPECT_EQ(TitleText(0, 0, 0), "Zentrik Vorna-Zadod Updater  (Device Unknown    Id Unknown)");
    EXPECT_EQ(InitialTitleText(0, 0), "Zentrik Vorna-Zadod Updater  (Device Unknown Id Unknown)");
}

} // namespace
} // namespace vz
