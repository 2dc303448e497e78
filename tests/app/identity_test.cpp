#include "app/core/identity.h"
#include "engines/constante.h"

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

TEST(Identity, ModelNamesAndTheVariantRule) {
    EXPECT_EQ(ModelText(0), "Unknown");
    EXPECT_EQ(ModelText(6), "KRB350");
    EXPECT_EQ(ChosenModelCode("KRT120"), 7);
    EXPECT_EQ(ChosenModelCode("KRB350"), 2);
    // Neither a variant's directory name nor Auto chooses a model.
    EXPECT_EQ(ChosenModelCode("KRB350_256"), 0);
    EXPECT_EQ(ChosenModelCode("auto"), 0);
    // Only the KRB350 is told from its variant by the identifier, from 0x8000 up.
    EXPECT_EQ(IdentifiedModel(2, 0x7FFF), 2);
    EXPECT_EQ(IdentifiedModel(2, 0x8000), 6);
    EXPECT_EQ(IdentifiedModel(1, 0xFFFF), 1);
    EXPECT_EQ(IdentifiedModel(0, 0xFFFF), 0);
    EXPECT_TRUE(IsVariant256(5) && IsVariant256(6));
    EXPECT_FALSE(IsVariant256(1) || IsVariant256(2));
}

TEST(Identity, Titles) {
    EXPECT_EQ(TitleText(1, 2, 32786), "Zentrik Vorna-Zadod Updater  (Device KRA350  Option Logo  Id : 8012)");
    EXPECT_EQ(TitleText(0, 0, 0), "Zentrik Vorna-Zadod Updater  (Device Unknown    Id Unknown)");
    EXPECT_EQ(InitialTitleText(0, 0), "Zentrik Vorna-Zadod Updater  (Device Unknown Id Unknown)");
}

} // namespace
} // namespace vz
