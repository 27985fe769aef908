#pragma once

// The main window's menu commands: identifiers, item texts, keys, help strings and the rules
// that enable them, and the layout of the menus. Toolkit-free tables.

#include <span>
#include <string_view>

namespace TVR {

namespace MenuId {
inline constexpr int kOpen = 57601;
inline constexpr int kSave = 57603;
inline constexpr int kSaveAs = 57604;
inline constexpr int kPush = 32818;
inline constexpr int kExit = 57665;
inline constexpr int kGradingFirst = 32825;  // six items, Hue vs. Hue .. Hue vs. Luma
inline constexpr int kGradingLast = 32830;
inline constexpr int kColorSubstitution = 32790;
inline constexpr int kNoiseReduction = 32848;
inline constexpr int kAutoWhiteBalance = 32859;
inline constexpr int kAutoExposure = 32851;
inline constexpr int kAutoFunctions = 32849;
inline constexpr int kSdiOutput = 32868;
inline constexpr int kRefresh = 32817;
inline constexpr int kResetDevice = 32820;
inline constexpr int kAutoDpc = 32837;
inline constexpr int kSysInternals = 32864;
inline constexpr int kPreferences = 32775;
inline constexpr int kPresetFirst = 32801;  // five items
inline constexpr int kPresetLast = 32805;
inline constexpr int kConfigurePresets = 32806;
inline constexpr int kDemoMode = 32862;
inline constexpr int kCmx = 32865;
inline constexpr int kTechInfo = 32781;
inline constexpr int kApiLog = 32839;
inline constexpr int kFirmwareUpdate = 32838;
inline constexpr int kManualDpc = 32835;
inline constexpr int kTestPatterns = 32840;
inline constexpr int kConsoleI2c = 32866;
inline constexpr int kConsoleFpga = 32841;
inline constexpr int kConsoleSensor = 32842;
inline constexpr int kRegistersDump = 32843;
inline constexpr int kHelpOnline = 57670;
inline constexpr int kRevisionHistory = 32813;
inline constexpr int kCheckUpdates = 32816;
inline constexpr int kAbout = 57664;
}  // namespace MenuId

struct MenuCommand {
    int id = 0;
    std::string_view text;     // the item text, with the key after a tab
    std::string_view key;      // the shortcut; empty for none
    std::string_view help;     // shown in the status bar while the item is selected
    bool needsCamera = false;  // greyed while no camera is connected
    bool handled = false;      // the main window runs it itself
    bool checkable = false;
    int minFx3Build = 0;  // enabled from this FX3 firmware build on (0: any)
};

std::span<const MenuCommand> menuCommands();
const MenuCommand* findMenuCommand(int id);

// A menu of the menu bar: its title and items, 0 for a separator and a negative number for the
// submenu of that index in menuSubmenus().
struct MenuLayout {
    std::string_view title;
    std::span<const int> items;
};

enum class TopMenu { File, Video, Tools, Playground, Expert, Help, Count };
std::span<const MenuLayout> menuLayouts();  // indexed by TopMenu
std::span<const MenuLayout> menuSubmenus();

}  // namespace TVR
