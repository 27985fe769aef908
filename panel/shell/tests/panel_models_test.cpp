#include <gtest/gtest.h>

#include "panel_models.h"
#include "panel_test_helpers.h"
#include "tab_gains_model.h"

namespace TVR::PanelTest {

TEST(PanelModels, RegistersEveryBuiltPageForTheTransfers) {
    CameraRig rig;
    ASSERT_TRUE(rig.sensor->connected());
    PanelModels models(rig.store, *rig.sensor);
    for (OwnerId id : {OwnerId::TabBasic, OwnerId::TabGains, OwnerId::TestPatterns,
                       OwnerId::ConsoleSensor, OwnerId::TabLed}) {
        ValueOwner* owner = models.owners().find(id);
        ASSERT_NE(owner, nullptr) << ownerName(id);
        EXPECT_EQ(owner->updateCounter(), 0) << ownerName(id);
    }
    EXPECT_EQ(models.owners().find(OwnerId::GreenScreen), nullptr);

    PanelModels windowed(rig.store, *rig.sensor, PanelModels::Windows::Attached);
    EXPECT_EQ(windowed.gains().updateCounter(), 1);
}

}  // namespace TVR::PanelTest
