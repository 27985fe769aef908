#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "apilog.h"

namespace TVR {
namespace {

struct Store {
    Store() {
        store.setChangeCallback([this] { ++notifications; });
    }
    ApiLog log;
    SettingsStore store{log};
    int notifications = 0;
};

TEST(SettingsStore, TypedGettersAndTheirDefaults) {
    Store s;
    SettingsStore& st = s.store;
    EXPECT_EQ(st.getInt("MISSING"), -1);
    EXPECT_FALSE(st.getBool("MISSING"));
    EXPECT_DOUBLE_EQ(st.getReal("MISSING", 2.5), 2.5);
    EXPECT_EQ(st.getString("MISSING"), "");

    st.setDecimal("D", 1200);
    st.setHex("H", 255);
    st.setBool("B", true);
    st.setReal("F", 30.0);
    st.setString("S", "OV9714");
    EXPECT_EQ(st.value("D"), (SettingValue{SettingType::Decimal, "1200"}));
    EXPECT_EQ(st.value("H"), (SettingValue{SettingType::Hex, "0xFF"}));
    EXPECT_EQ(st.value("B"), (SettingValue{SettingType::Bool, "true"}));
    EXPECT_EQ(st.value("F"), (SettingValue{SettingType::Real, "30.0000"}));
    EXPECT_EQ(st.getInt("D"), 1200);
    EXPECT_EQ(st.getInt("H"), 255);
    EXPECT_TRUE(st.getBool("B"));
    EXPECT_DOUBLE_EQ(st.getReal("F", -1), 30.0);
    EXPECT_EQ(st.getString("S"), "OV9714");

    // A value of another type reads as the requested type's default.
    EXPECT_EQ(st.getInt("B"), -1);
    EXPECT_EQ(st.getInt("S"), -1);
    EXPECT_FALSE(st.getBool("D"));
    EXPECT_DOUBLE_EQ(st.getReal("D", 7.0), 7.0);
    EXPECT_EQ(st.getString("H"), "");

    st.setHex("NEG", -1);
    EXPECT_EQ(st.value("NEG").text, "0xFFFFFFFF");
    EXPECT_EQ(st.getInt("NEG"), -1);
    st.setDecimal("NEGD", -42);
    EXPECT_EQ(st.getInt("NEGD"), -42);
}

TEST(SettingsStore, IntegerTextsParseAsTheFileReaderExpects) {
    Store s;
    SettingsStore& st = s.store;
    const auto hex = [&](const char* text) {
        st.setRaw("K", SettingType::Hex, text);
        return st.getInt("K");
    };
    const auto dec = [&](const char* text) {
        st.setRaw("K", SettingType::Decimal, text);
        return st.getInt("K");
    };
    EXPECT_EQ(hex("0xff"), 255);
    EXPECT_EQ(hex("ff"), 255);
    EXPECT_EQ(hex("0X1f"), 31);
    EXPECT_EQ(hex("123456789ABC"), -1);  // saturates at 0xFFFFFFFF
    EXPECT_EQ(dec("0x10"), 0);
    EXPECT_EQ(dec("  77abc"), 77);
    EXPECT_EQ(dec("99999999999"), 2147483647);
    EXPECT_EQ(dec("-99999999999"), -2147483647 - 1);
    EXPECT_EQ(dec(""), -1);
    st.setRaw("R", SettingType::Real, "not a number");
    EXPECT_DOUBLE_EQ(st.getReal("R", 4.0), 4.0);
    st.setRaw("R", SettingType::Real, "12.5e1");
    EXPECT_DOUBLE_EQ(st.getReal("R", 4.0), 125.0);
    st.setRaw("B", SettingType::Bool, "True");
    EXPECT_FALSE(st.getBool("B"));
}

TEST(SettingsStore, LookupInsertsAnUnsetEntryThatDoesNotCountAsAValue) {
    Store s;
    EXPECT_EQ(s.store.getInt("OV_EXPOSURE"), -1);
    EXPECT_EQ(s.store.values().count("OV_EXPOSURE"), 1u);
    EXPECT_EQ(s.store.values().at("OV_EXPOSURE").type, SettingType::Unset);
    EXPECT_FALSE(s.store.has("OV_EXPOSURE"));
    EXPECT_EQ(s.store.size(), 0u);
    EXPECT_TRUE(s.store.keys().empty());
    // Looking up is not a change.
    EXPECT_FALSE(s.store.dirty());
    EXPECT_EQ(s.notifications, 0);
}

TEST(SettingsStore, OnlyARealChangeMarksDirtyAndNotifies) {
    Store s;
    s.store.setDecimal("OV_EXPOSURE", 1200);
    EXPECT_TRUE(s.store.dirty());
    EXPECT_EQ(s.notifications, 1);

    s.store.setDirty(false);
    s.store.setDecimal("OV_EXPOSURE", 1200);
    EXPECT_FALSE(s.store.dirty());
    EXPECT_EQ(s.notifications, 1);

    // Same number, other type: a change (the file line differs).
    s.store.setHex("OV_EXPOSURE", 1200);
    EXPECT_TRUE(s.store.dirty());
    EXPECT_EQ(s.notifications, 2);

    // Replacing everything (a load) is not a change.
    s.store.replaceAll({{"A", {SettingType::Bool, "true"}}});
    EXPECT_FALSE(s.store.dirty());
    EXPECT_EQ(s.notifications, 2);
    EXPECT_TRUE(s.store.getBool("A"));
}

TEST(SettingsStore, StringEscapingRoundTrip) {
    Store s;
    const std::string script = "w 3500 01\r\nw 3501 23\nsleep 10";
    s.store.setString("CONSOLE_TEXT", script);
    EXPECT_EQ(s.store.value("CONSOLE_TEXT").text, "w%3500%01\\/w%3501%23/sleep%10");
    EXPECT_EQ(s.store.getString("CONSOLE_TEXT"), script);
    // The escape characters themselves do not survive: a literal "%" comes back as a space.
    s.store.setString("K", "50% a/b\\c");
    EXPECT_EQ(s.store.getString("K"), "50  a\nb\rc");
    // Non-ASCII text is kept as it is.
    s.store.setString("K", "Grün °C");
    EXPECT_EQ(s.store.getString("K"), "Grün °C");
}

TEST(SettingsStore, ConcurrentSettersAndReadersKeepEveryValue) {
    Store s;
    std::atomic<int> calls{0};
    s.store.setChangeCallback([&] { ++calls; });
    const auto writer = [&](const std::string& prefix) {
        for (int i = 0; i < 500; ++i) {
            s.store.setDecimal(prefix + std::to_string(i % 50), i);
            (void)s.store.getInt(prefix + "0");
            (void)s.store.keys();
        }
    };
    std::thread a(writer, "A");
    std::thread b(writer, "B");
    a.join();
    b.join();
    EXPECT_EQ(s.store.size(), 100u);
    EXPECT_EQ(s.store.getInt("A49"), 499);
    EXPECT_EQ(s.store.getInt("B0"), 450);
    EXPECT_EQ(calls.load(), 1000);
}

}  // namespace
}  // namespace TVR
