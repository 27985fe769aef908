#include <gtest/gtest.h>

#include <QAction>

#include "main_window_helpers.h"
#include "shell/brisco_commands.h"

namespace TVR::GuiTest {
namespace {

// Every command of the program's menus on the default simulated camera, expert and beta menus
// on: enabled, except the ones whose documented condition this camera does not meet.
TEST(ProgramMenus, EveryCommandIsEnabledWhereTheCameraAllowsIt) {
    ProgramWindowRig p;
    p.window->updateMenuState();
    QStringList greyed;
    for (const MenuCommand& c : menuCommands()) {
        QAction* a = p.window->action(c.id);
        ASSERT_NE(a, nullptr) << c.id;
        if (!a->isEnabled()) greyed << QString::number(c.id);
    }
    // Noise reduction needs camera value channel 8 or 9, which no firmware reports; the quick
    // presets need a settings file chosen for them.
    const QStringList expected{QString::number(MenuId::kNoiseReduction),
                               QString::number(MenuId::kPresetFirst),
                               QString::number(MenuId::kPresetFirst + 1),
                               QString::number(MenuId::kPresetFirst + 2),
                               QString::number(MenuId::kPresetFirst + 3),
                               QString::number(MenuId::kPresetFirst + 4)};
    EXPECT_EQ(greyed, expected);
}

}  // namespace
}  // namespace TVR::GuiTest
