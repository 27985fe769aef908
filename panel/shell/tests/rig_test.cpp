#include <gtest/gtest.h>

#include "panel_models.h"
#include "panel_test_helpers.h"

namespace TVR::PanelTest {

TEST(PanelModels, RegistersTheSensorAndPeripheralsPages) {
    CameraRig rig;
    ASSERT_TRUE(rig.sensor->connected());
    PanelModels models(rig.store, *rig.sensor);
    EXPECT_NE(models.owners().find(OwnerId::TabGains), nullptr);
    EXPECT_NE(models.owners().find(OwnerId::TabLed), nullptr);
}

}  // namespace TVR::PanelTest
