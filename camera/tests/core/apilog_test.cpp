#include "apilog.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace TVR {
namespace {

constexpr uint8_t kFx3VersionRequest = 0xAB;
constexpr uint8_t kFpgaRegRequest = 0xA4;

// A log on a clock the test moves by hand.
struct ManualClockLog {
    uint64_t now = 0;
    ApiLog log{[this] { return now; }};
    ManualClockLog() { log.setLogging(true); }
};

TEST(ApiLog, VendorReadListsFourPaddedDataBytes) {
    ManualClockLog t;
    t.now = 1'000'000'000;
    const size_t i = t.log.recordVendorRequest(false, kFx3VersionRequest, 0, 0);
    t.log.setResult(i, true);
    const std::array<uint8_t, 2> reply = {0x12, 0x34};
    t.log.setReadData(i, reply);
    t.now += 250'000;
    t.log.finish(i);

    const auto record = t.log.apiRecord(i);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->duration, 250'000u);
    EXPECT_EQ(ApiLog::summaryText(*record),
              "FX3: success (0.250ms)read 0xAB 0x0000(0) 0x0000 { 0x12 0x34 0x00 0x00 }");
    EXPECT_EQ(ApiLog::detailText(i, *record),
              "API call# 0\nTimestamp: 1.00s\nDuration: 0.25ms\n\n"
              "Get the version of FX3 firmware code");

    // A longer read keeps its first four bytes; a shorter one clears the rest.
    const std::array<uint8_t, 6> longReply = {1, 2, 3, 4, 5, 6};
    t.log.setReadData(i, longReply);
    EXPECT_EQ(t.log.apiRecord(i)->data, (std::array<uint8_t, 4>{1, 2, 3, 4}));
    t.log.setReadData(i, std::span<const uint8_t>(longReply).first(1));
    EXPECT_EQ(t.log.apiRecord(i)->data, (std::array<uint8_t, 4>{1, 0, 0, 0}));
}

TEST(ApiLog, FailedRequestShowsFailureMarkAndDuration) {
    ManualClockLog t;
    const size_t i = t.log.recordVendorRequest(true, kFpgaRegRequest, 0x0012, 0x0006);
    t.log.setResult(i, false);
    t.now += 12'000;
    t.log.finish(i);
    const auto record = t.log.apiRecord(i);
    ASSERT_TRUE(record);
    EXPECT_EQ(ApiLog::summaryText(*record), "FX3: -FAIL!- (0.012ms)WRITE 0xA4 0x0012(18) 0x0006");
    EXPECT_EQ(ApiLog::detailText(i, *record),
              "API call# 0\nTimestamp: 0.00s\nDuration: 0.01ms\n\nAccess FPGA via I²C bus");

    const size_t j = t.log.recordVendorRequest(true, 0x55, 0xFFFF, 0xABCD);
    const auto other = t.log.apiRecord(j);
    ASSERT_TRUE(other);
    EXPECT_EQ(ApiLog::summaryText(*other), "FX3: -FAIL!- (0.000ms)WRITE 0x55 0xFFFF(65535) 0xABCD");
    EXPECT_EQ(t.log.detailText(LogLine{false, j}),
              "API call# 1\nTimestamp: 0.00s\nDuration: 0.00ms\n\n"
              "Unlisted or reserved FX3 API command");
}

TEST(ApiLog, SensorAccessTexts) {
    ManualClockLog t;
    t.now = 2'500'000'000;
    const size_t w = t.log.recordSensorAccess(0x3500, 0x12, 0xFF);
    t.log.setReadValue(w, 0x34);
    t.log.setWrittenValue(w, 0x12);
    t.log.setResult(w, true);
    t.now += 2'000'000;
    t.log.finish(w);
    const auto write = t.log.apiRecord(w);
    ASSERT_TRUE(write);
    EXPECT_EQ(ApiLog::summaryText(*write),
              "I²C: success (2.000ms)WRITE 0x3500 0x34 0x12 0xFF 0x12(18)");
    EXPECT_EQ(ApiLog::detailText(w, *write),
              "API call# 0\nTimestamp: 2.50s\nDuration: 2.00ms\n\n"
              "I²C sensor access via EP4\n\nSucceeded to write a\nvalue 18 0x0012\n"
              "using a mask 0xFF\ninto a register 13568 0x3500\nrequested to write: 18 0x12\n"
              "read from device: 52 0x34");

    const size_t r = t.log.recordSensorAccess(0x300A, 0, 0);
    t.log.setReadValue(r, 0x97);
    t.log.finish(r);
    const auto read = t.log.apiRecord(r);
    ASSERT_TRUE(read);
    EXPECT_EQ(ApiLog::summaryText(*read), "I²C: -FAIL!- (0.000ms)read 0x300A 0x97");
    EXPECT_EQ(ApiLog::detailText(r, *read),
              "API call# 1\nTimestamp: 2.50s\nDuration: 0.00ms\n\n"
              "I²C sensor access via EP4\n\nFailed to read from\nregister 0x300A\n"
              "read value 151 0x97\n");
}

TEST(ApiLog, LoggingOffKeepsNoRecords) {
    ApiLog log;
    ASSERT_FALSE(log.logging());
    const size_t scratch = log.recordVendorRequest(false, kFx3VersionRequest, 0, 0);
    EXPECT_EQ(scratch, ApiLog::kScratchIndex);
    const std::array<uint8_t, 4> reply = {1, 2, 3, 4};
    log.setReadData(scratch, reply);
    log.setResult(scratch, true);
    log.finish(scratch);
    log.appendMessage(false, "%s", "only this");
    EXPECT_EQ(log.apiCount(), 0u);
    EXPECT_FALSE(log.apiRecord(scratch));
    EXPECT_EQ(log.listing().find("FX3"), std::string::npos);
    EXPECT_NE(log.listing().find("only this\r\n"), std::string::npos);

    // Turning logging off clears the store; indices are never handed out twice, so a late
    // completion of a cleared record cannot land in a newer one.
    log.setLogging(true);
    const size_t first = log.recordVendorRequest(true, kFpgaRegRequest, 1, 2);
    log.recordVendorRequest(true, kFpgaRegRequest, 3, 4);
    EXPECT_EQ(log.apiCount(), 2u);
    log.setLogging(false);
    EXPECT_EQ(log.apiCount(), 0u);
    EXPECT_FALSE(log.apiRecord(first));
    log.setLogging(true);
    const size_t next = log.recordVendorRequest(false, kFx3VersionRequest, 0, 0);
    EXPECT_EQ(next, 2u);
    log.setResult(first, true);
    log.setReadData(first, reply);
    EXPECT_EQ(log.apiRecord(next)->result, 0);
    EXPECT_EQ(log.apiRecord(next)->data, (std::array<uint8_t, 4>{}));
    EXPECT_EQ(log.messageCount(), 1u);
}

TEST(ApiLog, MessagesFormatAndReachTheSink) {
    ManualClockLog t;
    std::vector<std::pair<std::string, bool>> sunk;
    t.log.setMessageSink(
        [&](const std::string& text, bool error) { sunk.emplace_back(text, error); });
    t.now = 3'500'000'000;
    t.log.appendMessage(false, "Started %s %d", "log", 5);
    t.log.appendMessage(true, "Failed: 0x%02X", 0xAB);
    ASSERT_EQ(t.log.messageCount(), 2u);
    const auto info = t.log.message(0);
    ASSERT_TRUE(info);
    EXPECT_EQ(ApiLog::lineText(*info), "3.50s Started log 5");
    EXPECT_EQ(ApiLog::detailText(0, *info),
              "Log entry# 0\nTimestamp: 3.50s\nType of record: Info\n\nDetails:\nStarted log 5");
    EXPECT_EQ(t.log.detailText(LogLine{true, 1}),
              "Log entry# 1\nTimestamp: 3.50s\nType of record: Error\n\nDetails:\nFailed: 0xAB");
    EXPECT_EQ(t.log.detailText(LogLine{true, 2}), "");
    ASSERT_EQ(sunk.size(), 2u);
    EXPECT_EQ(sunk[1], (std::pair<std::string, bool>{"Failed: 0xAB", true}));

    // The store keeps the whole text; the sink gets 2048 characters, not bytes.
    std::string longText;
    for (int i = 0; i < 3000; ++i) {
        longText += "²";
    }
    t.log.appendMessage(false, "%s", longText.c_str());
    EXPECT_EQ(t.log.message(2)->text, longText);
    EXPECT_EQ(sunk.back().first, longText.substr(0, 2 * ApiLog::kSinkTextLimit));
}

TEST(ApiLog, MergedListingOrdersByTimeMessagesFirstOnTies) {
    ManualClockLog t;
    t.now = 1'000'000'000;
    t.log.appendMessage(false, "a");
    t.now = 2'000'000'000;
    const size_t call = t.log.recordVendorRequest(true, kFpgaRegRequest, 1, 6);
    t.log.setResult(call, true);
    t.log.appendMessage(true, "b");
    t.now = 3'000'000'000;
    t.log.finish(call);
    t.log.appendMessage(false, "c");

    std::vector<LogLine> lines;
    const std::string listing = t.log.listing(&lines);
    EXPECT_EQ(listing,
              "1.00s a\r\n"
              "2.00s b\r\n"
              "FX3: success (1000.000ms)WRITE 0xA4 0x0001(1) 0x0006\r\n"
              "3.00s c\r\n");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(lines[1].message);
    EXPECT_EQ(lines[1].index, 1u);
    EXPECT_FALSE(lines[2].message);
    EXPECT_EQ(lines[2].index, call);
}

TEST(ApiLog, LinesSinceAppendsOnlyNewLinesAndResetsAfterClear) {
    ManualClockLog t;
    LogCursor cursor;
    t.log.appendMessage(false, "one");
    LogUpdate update = t.log.linesSince(cursor);
    EXPECT_FALSE(update.reset);
    EXPECT_EQ(update.text, "0.00s one\r\n");

    EXPECT_EQ(t.log.linesSince(cursor).text, "");
    t.now = 10'000'000;
    t.log.recordVendorRequest(false, kFx3VersionRequest, 0, 0);
    t.log.appendMessage(false, "two");
    update = t.log.linesSince(cursor);
    EXPECT_FALSE(update.reset);
    EXPECT_EQ(update.text,
              "0.01s two\r\n"
              "FX3: -FAIL!- (0.000ms)read 0xAB 0x0000(0) 0x0000 { 0x00 0x00 0x00 0x00 }\r\n");
    ASSERT_EQ(update.lines.size(), 2u);
    EXPECT_TRUE(update.lines[0].message);
    EXPECT_EQ(update.lines[0].index, 1u);

    t.log.clearApi();
    update = t.log.linesSince(cursor);
    EXPECT_TRUE(update.reset);
    EXPECT_EQ(update.text, "0.00s one\r\n0.01s two\r\n");
    EXPECT_EQ(t.log.detailText(LogLine{false, 0}), "");

    t.log.clearAll();
    update = t.log.linesSince(cursor);
    EXPECT_TRUE(update.reset);
    EXPECT_EQ(update.text, "");
    EXPECT_EQ(t.log.messageCount(), 0u);
    t.log.appendMessage(false, "three");
    update = t.log.linesSince(cursor);
    EXPECT_FALSE(update.reset);
    EXPECT_EQ(update.text, "0.01s three\r\n");
}

TEST(ApiLog, ConcurrentAppendsKeepEveryRecordAtItsIndex) {
    // More records than the initial room, so the store regrows while others write.
    constexpr int kThreads = 4;
    constexpr int kPerThread = 3000;
    ApiLog log;
    log.setLogging(true);
    std::atomic<bool> done{false};
    std::vector<std::vector<size_t>> indices(kThreads);
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&log, &indices, t] {
            for (int n = 0; n < kPerThread; ++n) {
                const size_t i = log.recordVendorRequest(t % 2 == 0, static_cast<uint8_t>(t),
                                                         static_cast<uint16_t>(n), 0);
                const std::array<uint8_t, 2> bytes = {static_cast<uint8_t>(t),
                                                      static_cast<uint8_t>(n)};
                log.setReadData(i, bytes);
                log.setResult(i, true);
                log.finish(i);
                indices[static_cast<size_t>(t)].push_back(i);
                if (n % 100 == 0) {
                    log.appendMessage(false, "thread %d at %d", t, n);
                }
            }
        });
    }
    std::thread reader([&] {
        LogCursor cursor;
        size_t lines = 0;
        while (!done.load()) {
            lines += log.linesSince(cursor).lines.size();
        }
        lines += log.linesSince(cursor).lines.size();
        EXPECT_EQ(lines, static_cast<size_t>(kThreads * kPerThread + kThreads * kPerThread / 100));
    });
    for (auto& w : writers) {
        w.join();
    }
    done = true;
    reader.join();

    ASSERT_EQ(log.apiCount(), static_cast<size_t>(kThreads * kPerThread));
    std::vector<bool> seen(log.apiCount(), false);
    for (int t = 0; t < kThreads; ++t) {
        for (int n = 0; n < kPerThread; ++n) {
            const size_t i = indices[static_cast<size_t>(t)][static_cast<size_t>(n)];
            ASSERT_LT(i, seen.size());
            EXPECT_FALSE(seen[i]);
            seen[i] = true;
            const auto record = log.apiRecord(i);
            ASSERT_TRUE(record);
            EXPECT_EQ(record->code, t);
            EXPECT_EQ(record->wValue, n);
            EXPECT_EQ(record->result, 1);
            EXPECT_EQ(record->data[0], t);
            EXPECT_EQ(record->data[1], static_cast<uint8_t>(n));
        }
    }
}

}  // namespace
}  // namespace TVR
