#pragma once

// The API-call log: one record per exchange with the camera (vendor requests and legacy sensor
// register accesses) beside the application's text messages, both on the monotonic clock of
// clock.h. Every member may be called from any thread; one lock guards both stores, and records
// are handed out by copy, never by reference into the store.
//
// Indices are serial numbers that are never reused, so an operation that completes after its
// record was cleared finds nothing instead of overwriting a newer record.
//
// A program makes one log at start-up and hands it to everything that records (the camera
// objects, the settings store, batches, the firmware upgrade); tests give each case its own.

#include <array>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace TVR {

enum class ApiCallKind : uint8_t {
    VendorRequest = 0,
    SensorAccess = 1,  // legacy sensor register access over endpoint 4
};

struct ApiRecord {
    uint64_t start = 0;     // ns since program start
    uint64_t duration = 0;  // ns, set when the operation finishes
    ApiCallKind kind = ApiCallKind::VendorRequest;
    uint8_t result = 0;  // 1 = success

    // Vendor request.
    uint8_t write = 0;
    uint8_t code = 0;
    uint16_t wValue = 0;
    uint16_t wIndex = 0;
    std::array<uint8_t, 4> data{};  // first bytes of a read, zero padded

    // Sensor access.
    uint16_t reg = 0;
    uint16_t value = 0;  // value asked to write
    uint16_t mask = 0;   // 0 = read
    uint16_t valueRead = 0;
    uint16_t valueWritten = 0;
};

struct LogMessage {
    uint64_t time = 0;  // ns since program start
    std::string text;
    bool error = false;
};

// One line of the merged listing: which store and which record.
struct LogLine {
    bool message = false;
    size_t index = 0;
};

// Where the log window stands in the merged listing.
struct LogCursor {
    size_t nextApi = 0;
    size_t nextMessage = 0;
    uint64_t generation = 0;
};

// New listing lines for a cursor. `reset` means the stores were cleared since the cursor was
// taken: the window empties itself and shows `text` as the whole listing.
struct LogUpdate {
    bool reset = false;
    std::string text;
    std::vector<LogLine> lines;
};

class ApiLog {
public:
    static constexpr size_t kInitialRoom = 10240;
    // The index handed out while logging is off; it addresses the scratch record.
    static constexpr size_t kScratchIndex = std::numeric_limits<size_t>::max();
    static constexpr size_t kSinkTextLimit = 2048;  // characters (code points)

    using Clock = std::function<uint64_t()>;
    // Receives every new message, cut to kSinkTextLimit characters, with its error flag. Called
    // on the appending thread, outside the log's lock.
    using MessageSink = std::function<void(const std::string& text, bool error)>;

    // The default clock is monotonicNs().
    explicit ApiLog(Clock clock = {});
    ApiLog(const ApiLog&) = delete;
    ApiLog& operator=(const ApiLog&) = delete;

    // Turning logging off clears the API records.
    void setLogging(bool on);
    bool logging() const;

    size_t recordVendorRequest(bool write, uint8_t code, uint16_t wValue, uint16_t wIndex);
    void setResult(size_t index, bool success);
    void setReadData(size_t index, std::span<const uint8_t> bytes);
    size_t recordSensorAccess(uint16_t reg, uint16_t value, uint16_t mask);
    void setReadValue(size_t index, uint16_t value);
    void setWrittenValue(size_t index, uint16_t value);
    // Stores the duration since the record's start.
    void finish(size_t index);

    [[gnu::format(printf, 3, 4)]] void appendMessage(bool error, const char* format, ...);
    void appendMessageV(bool error, const char* format, va_list args);
    void appendText(bool error, std::string text);
    void setMessageSink(MessageSink sink);

    std::optional<ApiRecord> apiRecord(size_t index) const;
    std::optional<LogMessage> message(size_t index) const;
    size_t apiCount() const;
    size_t messageCount() const;
    // Index of the oldest stored API record (equal to the next index when none is stored).
    size_t firstApiIndex() const;
    size_t firstMessageIndex() const;

    static std::string summaryText(const ApiRecord& record);
    static std::string detailText(size_t index, const ApiRecord& record);
    static std::string lineText(const LogMessage& message);
    static std::string detailText(size_t index, const LogMessage& message);
    // The detail text of a listed line; empty when its record is gone.
    std::string detailText(const LogLine& line) const;

    // Both stores merged by time (oldest first, a message before an API record of the same
    // time), each line ending "\r\n".
    std::string listing(std::vector<LogLine>* lines = nullptr) const;
    // The lines added since `cursor`, which is advanced past them.
    LogUpdate linesSince(LogCursor& cursor) const;

    void clearApi();
    void clearAll();

private:
    template <typename T>
    struct Store {
        std::vector<T> items;
        size_t first = 0;  // index of items[0]
        size_t end() const { return first + items.size(); }
        T* find(size_t index) {
            return index >= first && index < end() ? &items[index - first] : nullptr;
        }
        const T* find(size_t index) const {
            return index >= first && index < end() ? &items[index - first] : nullptr;
        }
        void clear() {
            first = end();
            items.clear();
        }
    };

    uint64_t now() const;
    ApiRecord* findLocked(size_t index);
    size_t recordLocked(const ApiRecord& record);
    std::string mergeLocked(size_t fromApi, size_t fromMessage, std::vector<LogLine>* lines) const;

    Clock m_clock;
    mutable std::mutex m_mutex;
    bool m_logging = false;
    uint64_t m_generation = 0;
    ApiRecord m_scratch;
    Store<ApiRecord> m_api;
    Store<LogMessage> m_messages;
    std::shared_ptr<const MessageSink> m_sink;
};

}  // namespace TVR
