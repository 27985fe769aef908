#include "brisco_commands.h"

#include <iterator>

namespace TVR {
namespace {

using namespace MenuId;

constexpr int kNoBuildGate = 0;
constexpr int kSysInternalsBuild = 53;
constexpr int kCmxBuild = 57;

constexpr MenuCommand cmd(int id, std::string_view text, std::string_view key,
                          std::string_view help, bool needsCamera, bool handled,
                          bool checkable = false, int minFx3Build = kNoBuildGate) {
    return MenuCommand{id, text, key, help, needsCamera, handled, checkable, minFx3Build};
}

constexpr MenuCommand kCommands[] = {
    cmd(kOpen, "&Open...\tCtrl+O", "Ctrl+O",
        "Open a settings file and push its values to the camera", true, true),
    cmd(kSave, "&Save\tCtrl+S", "Ctrl+S", "Save the current values to their settings file", true,
        true),
    cmd(kSaveAs, "Save &As...", "", "Save the current values to a new settings file", true, true),
    cmd(kPush, "Push current values to camera\tF2", "F2",
        "Push current values to camera, changing camera's state", true, true),
    cmd(kExit, "E&xit\tAlt+F4", "", "Quit the application", false, true),
    cmd(kGradingFirst, "&1. Hue vs. Hue...\tCtrl+F1", "Ctrl+F1",
        "Edit the Hue vs. Hue color grading curve", true, false),
    cmd(kGradingFirst + 1, "&2. Hue vs. Saturation...\tCtrl+F2", "Ctrl+F2",
        "Edit the Hue vs. Saturation color grading curve", true, false),
    cmd(kGradingFirst + 2, "&3. Luma vs. Saturation...\tCtrl+F3", "Ctrl+F3",
        "Edit the Luma vs. Saturation color grading curve", true, false),
    cmd(kGradingFirst + 3, "&4. Saturation vs. Saturation...\tCtrl+F4", "Ctrl+F4",
        "Edit the Saturation vs. Saturation color grading curve", true, false),
    cmd(kGradingFirst + 4, "&5. Luma vs. Luma...\tCtrl+F5", "Ctrl+F5",
        "Edit the Luma vs. Luma color grading curve", true, false),
    cmd(kGradingFirst + 5, "&6. Hue vs. Luma...\tCtrl+F6", "Ctrl+F6",
        "Edit the Hue vs. Luma color grading curve", true, false),
    cmd(kColorSubstitution, "&Color substitution setup...\tF7", "F7",
        "Configure the chroma key enhancer (color substitution)", true, false),
    cmd(kNoiseReduction, "&Noise reduction...", "", "Set up the video noise reduction", true,
        false),
    cmd(kAutoWhiteBalance, "Automatic &white balance control", "",
        "Switch the camera's automatic white balance on or off", true, true, true),
    cmd(kAutoExposure, "Automatic e&xposure/gain control", "",
        "Switch the camera's automatic exposure and gain on or off", true, true, true),
    cmd(kAutoFunctions, "&Auto-function parameters...", "",
        "Set up the parameters of the automatic functions", true, false),
    cmd(kSdiOutput, "&SDI output", "", "Switch the camera's SDI output on or off", true, true,
        true),
    cmd(kRefresh, "Refresh current window/tab\tF5", "F5",
        "Read the current tab's values from the camera again", false, true),
    cmd(kResetDevice, "Reset device...", "", "Soft-reboot the camera's FX3 module", false, true),
    cmd(kAutoDpc, "Automated DPC calibration...", "",
        "Calibrate the defective pixel cancellation automatically", true, false),
    cmd(kSysInternals, "Sys&Internals...", "", "Show the camera's system information", false, false,
        false, kSysInternalsBuild),
    cmd(kPreferences, "P&references...", "", "Change the application's preferences", false, true),
    cmd(kPresetFirst, "Preset #&1\tCtrl+Alt+1", "Ctrl+Alt+1", "Load quick preset #1", true, true),
    cmd(kPresetFirst + 1, "Preset #&2\tCtrl+Alt+2", "Ctrl+Alt+2", "Load quick preset #2", true,
        true),
    cmd(kPresetFirst + 2, "Preset #&3\tCtrl+Alt+3", "Ctrl+Alt+3", "Load quick preset #3", true,
        true),
    cmd(kPresetFirst + 3, "Preset #&4\tCtrl+Alt+4", "Ctrl+Alt+4", "Load quick preset #4", true,
        true),
    cmd(kPresetFirst + 4, "Preset #&5\tCtrl+Alt+5", "Ctrl+Alt+5", "Load quick preset #5", true,
        true),
    cmd(kConfigurePresets, "&Configure...", "", "Choose the settings files of the quick presets",
        false, true),
    cmd(kDemoMode, "&Demo mode", "", "Run the camera's demonstration script", false, false),
    cmd(kCmx, "&CMX", "", "Edit the color correction matrix", false, false, false, kCmxBuild),
    cmd(kTechInfo, "Technical &info...\tShift+F1", "Shift+F1",
        "Show technical information about the camera", false, false),
    cmd(kApiLog, "API commands' &log...", "", "Show the log of API calls to the camera", false,
        false),
    cmd(kFirmwareUpdate, "Firmware &update...", "", "Upgrade the camera's FX3 or FPGA firmware",
        false, false),
    cmd(kManualDpc, "Manual &DPC calibration...", "",
        "Calibrate the defective pixel cancellation by hand", true, false),
    cmd(kTestPatterns, "Test patterns...", "", "Choose the sensor's test pattern", true, false),
    cmd(kConsoleI2c, "I\u00b2C console...", "", "Send commands to the camera's I\u00b2C bus", false,
        false),
    cmd(kConsoleFpga, "FPGA console...", "", "Send commands to the camera's FPGA", false, false),
    cmd(kConsoleSensor, "Sensor console...", "", "Send commands to the image sensor", false, false),
    cmd(kRegistersDump, "S&ensor registers' dump...", "", "Show every register of the sensor", true,
        false),
    cmd(kHelpOnline, "View &help online...\tF1", "", "Open the online manual in the browser", false,
        false),
    cmd(kRevisionHistory, "Revision &history...", "", "Open the revision history in the browser",
        false, false),
    cmd(kCheckUpdates, "Check online for &updates...", "",
        "Check the download server for a newer version", false, false),
    cmd(kAbout, "&About...", "", "Show the program's version", false, true),
};

constexpr int kGradingSubmenu = -1;  // menuSubmenus()[0]
constexpr int kPresetsSubmenu = -2;  // menuSubmenus()[1]

constexpr int kFile[] = {kOpen, kSave, kSaveAs, 0, kPush, 0, kExit};
constexpr int kVideo[] = {kGradingSubmenu,   kColorSubstitution, kNoiseReduction, 0,
                          kAutoWhiteBalance, kAutoExposure,      kAutoFunctions,  0,
                          kSdiOutput};
constexpr int kTools[] = {kRefresh, kResetDevice, 0, kAutoDpc, kSysInternals, 0, kPreferences};
constexpr int kPlayground[] = {kPresetsSubmenu, kDemoMode, kCmx};
constexpr int kExpert[] = {kTechInfo,     kApiLog, 0,           kFirmwareUpdate, kManualDpc,
                           kTestPatterns, 0,       kConsoleI2c, kConsoleFpga,    kConsoleSensor,
                           kRegistersDump};
constexpr int kHelp[] = {kHelpOnline, kRevisionHistory, kCheckUpdates, 0, kAbout};
constexpr int kGrading[] = {kGradingFirst,     kGradingFirst + 1, kGradingFirst + 2,
                            kGradingFirst + 3, kGradingFirst + 4, kGradingFirst + 5};
constexpr int kPresets[] = {kPresetFirst,     kPresetFirst + 1, kPresetFirst + 2,
                            kPresetFirst + 3, kPresetFirst + 4, 0,
                            kConfigurePresets};

constexpr MenuLayout kLayouts[] = {
    {"&File", kFile},     {"&Video", kVideo}, {"&Tools", kTools}, {"&Playground", kPlayground},
    {"E&xpert", kExpert}, {"&Help", kHelp},
};
static_assert(std::size(kLayouts) == static_cast<size_t>(TopMenu::Count));
constexpr MenuLayout kSubmenus[] = {{"Color &grading", kGrading}, {"Quick &presets", kPresets}};

}  // namespace

std::span<const MenuCommand> menuCommands() { return kCommands; }

const MenuCommand* findMenuCommand(int id) {
    for (const MenuCommand& c : kCommands) {
        if (c.id == id) return &c;
    }
    return nullptr;
}

std::span<const MenuLayout> menuLayouts() { return kLayouts; }
std::span<const MenuLayout> menuSubmenus() { return kSubmenus; }

}  // namespace TVR
