#include "platform/data/Measurement.h"

#include <gtest/gtest.h>

namespace zestrel::platform {
namespace {

using Storage = Measurement<UnitInformationStorage>;

TEST(MeasurementTest, SumsInOneUnitStayInItAndMixedSumsUseTheBaseUnit) {
    const Storage sameUnit = Storage{1, UnitInformationStorage::kilobytes()} +
                             Storage{2, UnitInformationStorage::kilobytes()};
    EXPECT_EQ(sameUnit.value, 3);
    EXPECT_EQ(sameUnit.unit, UnitInformationStorage::kilobytes());

    const Storage mixed = Storage{1, UnitInformationStorage::kilobytes()} -
                          Storage{8, UnitInformationStorage::bits()};
    EXPECT_EQ(mixed.value, 999);
    EXPECT_EQ(mixed.unit, UnitInformationStorage::bytes());
}

TEST(MeasurementTest, ZeroIsTheNeutralAmountAndEqualityIgnoresTheUnit) {
    const Storage kibibyte{1, UnitInformationStorage::kibibytes()};
    EXPECT_EQ(Storage::zero() + kibibyte, kibibyte);
    EXPECT_EQ(kibibyte, (Storage{1024, UnitInformationStorage::bytes()}));
    EXPECT_FALSE(kibibyte == (Storage{1, UnitInformationStorage::kilobytes()}));
}

} // namespace
} // namespace zestrel::platform
