#pragma once

// The five quick presets: a settings file and a description each, kept in the PFN/PFD
// preferences, and the texts of their menu items.

#include <array>
#include <string>

namespace TVR {

class Preferences;

struct Preset {
    std::string fileName;
    std::string description;
};

class Presets {
public:
    static constexpr int kCount = 5;

    void loadFrom(const Preferences& preferences);
    // Copies the ten texts into PFN1..PFN5 and PFD1..PFD5.
    void storeInto(Preferences& preferences) const;

    // n in 1..kCount; an empty preset for any other n.
    Preset preset(int n) const;
    // False for an n outside 1..kCount.
    bool setPreset(int n, Preset preset);
    void clearAll();

    // "Preset #n" for an empty file name, otherwise the description or, without one, the file
    // name; then "\tCtrl+Alt+n".
    std::string menuText(int n) const;
    // A preset can be chosen when it names a file and the camera is connected.
    bool menuEnabled(int n, bool connected) const;

private:
    std::array<Preset, kCount> m_presets;
};

}  // namespace TVR
