#include "tools/apilog/log_view_model.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

namespace TVR {
namespace {

// A clock the test sets: every record and message takes the time it shows.
struct ManualClock {
    std::shared_ptr<std::atomic<uint64_t>> now = std::make_shared<std::atomic<uint64_t>>(0);
    ApiLog::Clock clock() const {
        return [n = now] { return n->load(); };
    }
    void at(uint64_t ms) { *now = ms * 1'000'000; }
};

size_t vendorRead(ApiLog& log, uint8_t code, uint64_t durationMs, ManualClock& clock,
                  uint64_t startMs) {
    clock.at(startMs);
    const size_t i = log.recordVendorRequest(false, code, 0x0001, 0x0002);
    log.setResult(i, true);
    const uint8_t data[] = {0x12, 0x34};
    log.setReadData(i, data);
    clock.at(startMs + durationMs);
    log.finish(i);
    return i;
}

TEST(LogViewModel, MergesBothStoresByTimeAndAppendsOnlyWhatIsNew) {
    ManualClock clock;
    ApiLog log(clock.clock());
    log.setLogging(true);
    LogViewModel view(log);

    clock.at(1000);
    log.appendText(false, "Started log");
    vendorRead(log, 0xAB, 2, clock, 1500);
    // Same time as the next request: the message is listed first.
    clock.at(2000);
    log.appendText(true, "Camera lost");
    vendorRead(log, 0xAC, 1, clock, 2000);

    LogViewAppend a = view.update();
    EXPECT_FALSE(a.reset);
    EXPECT_EQ(a.lines, 4u);
    EXPECT_EQ(a.text,
              "1.00s Started log\n"
              "FX3: success (2.000ms)read 0xAB 0x0001(1) 0x0002 { 0x12 0x34 0x00 0x00 }\n"
              "2.00s Camera lost\n"
              "FX3: success (1.000ms)read 0xAC 0x0001(1) 0x0002 { 0x12 0x34 0x00 0x00 }");
    EXPECT_EQ(view.recordCount(), 4u);

    // Nothing new, nothing appended.
    a = view.update();
    EXPECT_EQ(a.lines, 0u);
    EXPECT_TRUE(a.text.empty());

    clock.at(3000);
    log.appendText(false, "Refreshed");
    a = view.update();
    EXPECT_EQ(a.text, "3.00s Refreshed");
    EXPECT_EQ(view.textLineCount(), 5u);

    // Details follow the line; beyond the last line there is nothing.
    EXPECT_EQ(view.detailAt(2),
              "Log entry# 1\nTimestamp: 2.00s\nType of record: Error\n\nDetails:\nCamera lost");
    EXPECT_EQ(view.detailAt(1).rfind("API call# 0\nTimestamp: 1.50s\nDuration: 2.00ms\n\n"
                                     "Get the version of FX3 firmware code",
                                     0),
              0u)
        << view.detailAt(1);
    EXPECT_EQ(view.detailAt(5), "");
    EXPECT_FALSE(view.recordAt(99));
}

TEST(LogViewModel, MultiLineMessagesMapEveryLineToTheirRecord) {
    ManualClock clock;
    ApiLog log(clock.clock());
    log.setLogging(true);
    LogViewModel view(log);
    clock.at(500);
    log.appendText(false, "Firmware upgrade: Programming");
    clock.at(600);
    log.appendText(false, "\r\nFirmware upgrade succeeded\r\nNew version is: x");
    vendorRead(log, 0xE0, 1, clock, 700);

    const LogViewAppend a = view.update();
    EXPECT_EQ(a.lines, 3u);
    EXPECT_EQ(view.textLineCount(), 5u);
    EXPECT_EQ(a.text,
              "0.50s Firmware upgrade: Programming\n"
              "0.60s \nFirmware upgrade succeeded\nNew version is: x\n"
              "FX3: success (1.000ms)read 0xE0 0x0001(1) 0x0002 { 0x12 0x34 0x00 0x00 }");
    for (size_t line : {1u, 2u, 3u}) {
        const auto r = view.recordAt(line);
        ASSERT_TRUE(r);
        EXPECT_TRUE(r->message);
        EXPECT_EQ(r->index, 1u);
    }
    const auto api = view.recordAt(4);
    ASSERT_TRUE(api);
    EXPECT_FALSE(api->message);
    EXPECT_NE(view.detailAt(4).find("Reset the FX3"), std::string::npos);
}

TEST(LogViewModel, ClearCommandsEmptyTheViewAndLoggingOffKeepsOnlyMessages) {
    ManualClock clock;
    ApiLog log(clock.clock());
    log.setLogging(true);
    LogViewModel view(log);
    vendorRead(log, 0xAB, 1, clock, 10);
    clock.at(20);
    log.appendText(false, "kept");
    view.update();

    view.clearApi();
    LogViewAppend a = view.update();
    EXPECT_TRUE(a.reset);
    EXPECT_EQ(a.text, "0.02s kept");
    EXPECT_EQ(view.recordCount(), 1u);

    view.clearAll();
    a = view.update();
    EXPECT_TRUE(a.reset);
    EXPECT_EQ(a.lines, 0u);
    EXPECT_EQ(view.textLineCount(), 0u);
    EXPECT_EQ(view.detailAt(0), "");

    log.setLogging(false);
    vendorRead(log, 0xAB, 1, clock, 30);
    clock.at(40);
    log.appendText(false, "only this");
    a = view.update();
    EXPECT_EQ(a.text, "0.04s only this");
}

TEST(LogViewModel, AHundredThousandRecordsThenOnlyTheNewOnes) {
    ManualClock clock;
    ApiLog log(clock.clock());
    log.setLogging(true);
    LogViewModel view(log);
    constexpr size_t kRecords = 100'000;
    for (size_t i = 0; i < kRecords; ++i) {
        clock.at(i);
        const size_t r = log.recordVendorRequest(true, 0xA4, static_cast<uint16_t>(i), 0);
        log.setResult(r, true);
        log.finish(r);
    }
    LogViewAppend a = view.update();
    EXPECT_EQ(a.lines, kRecords);
    EXPECT_EQ(view.textLineCount(), kRecords);
    const auto last = view.recordAt(kRecords - 1);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->index, kRecords - 1);

    clock.at(kRecords + 10);
    log.appendText(false, "one more");
    a = view.update();
    EXPECT_EQ(a.lines, 1u);
    EXPECT_EQ(a.text, "100.01s one more");
    EXPECT_EQ(view.recordCount(), kRecords + 1);
    EXPECT_EQ(view.detailAt(kRecords).rfind("Log entry# ", 0), 0u);
}

}  // namespace
}  // namespace TVR
