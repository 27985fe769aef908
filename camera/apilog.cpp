#include "apilog.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "clock.h"
#include "protocol/vendor_requests.h"

namespace TVR {
namespace {

struct RequestDescription {
    uint8_t code;
    std::string_view text;
};

constexpr RequestDescription kRequestDescriptions[] = {
    {VR_BOOTLOADER, "Check the Boot Loader status"},
    {VR_DPC_CALIBRATE, "Run DPC calibration"},
    {VR_FPGA_REG, "Access FPGA via I²C bus"},
    {VR_SENSOR_REG, "Access sensor via I²C bus"},
    {VR_RAW_VIDEO, "Switch raw video on/off"},
    {VR_ENTER_BOOTLOADER, "Invalidate SPI Flash and reconfigure FX3 to switch to Bootloader mode"},
    {VR_FX3_VERSION, "Get the version of FX3 firmware code"},
    {VR_FPGA_VERSION, "Get the version of FPGA firmware code"},
    {VR_FPGA_CONFIG_MODE, "Switch FPGA into configuration mode"},
    {VR_FPGA_CONFIG_STATUS, "Retrieve detailed status of the FPGA configuration operation"},
    {VR_SPI_ENABLE, "Reconfigure the FX3 IOMatrix to disable GPIF and enable SPI"},
    {VR_AE_SETPOINT, "Automatic exposure configration - AE setpoint"},
    {VR_AWB_SETPOINT, "Auto white balance configuration - AWB setpoint"},
    {VR_AFN_PERIOD, "Auto-functions update period"},
    {VR_RESET, "Reset the FX3"},
};

std::string_view requestDescription(uint8_t code) {
    for (const auto& entry : kRequestDescriptions) {
        if (entry.code == code) {
            return entry.text;
        }
    }
    return "Unlisted or reserved FX3 API command";
}

// Cuts UTF-8 text after `limit` code points without splitting a sequence.
std::string cutToCharacters(const std::string& text, size_t limit) {
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool leadByte = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (leadByte && characters++ == limit) {
            return text.substr(0, i);
        }
    }
    return text;
}

std::string formatPrintf(const char* format, va_list args) {
    if (format == nullptr) {
        return {};
    }
    va_list probe;
    va_copy(probe, args);
    const int length = std::vsnprintf(nullptr, 0, format, probe);
    va_end(probe);
    if (length <= 0) {
        return {};
    }
    std::string text(static_cast<size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(length));
    return text;
}

}  // namespace

ApiLog::ApiLog(Clock clock) : m_clock(std::move(clock)) { m_api.items.reserve(kInitialRoom); }

uint64_t ApiLog::now() const { return m_clock ? m_clock() : monotonicNs(); }

void ApiLog::setLogging(bool on) {
    std::lock_guard lock(m_mutex);
    if (m_logging && !on) {
        m_api.clear();
        ++m_generation;
    }
    m_logging = on;
}

bool ApiLog::logging() const {
    std::lock_guard lock(m_mutex);
    return m_logging;
}

ApiRecord* ApiLog::findLocked(size_t index) {
    if (index == kScratchIndex) {
        return &m_scratch;
    }
    return m_api.find(index);
}

size_t ApiLog::recordLocked(const ApiRecord& record) {
    if (!m_logging) {
        m_scratch = record;
        return kScratchIndex;
    }
    m_api.items.push_back(record);
    return m_api.end() - 1;
}

size_t ApiLog::recordVendorRequest(bool write, uint8_t code, uint16_t wValue, uint16_t wIndex) {
    ApiRecord record;
    record.kind = ApiCallKind::VendorRequest;
    record.write = write ? 1 : 0;
    record.code = code;
    record.wValue = wValue;
    record.wIndex = wIndex;
    std::lock_guard lock(m_mutex);
    // The time is taken under the lock so that each store stays in time order.
    record.start = now();
    return recordLocked(record);
}

size_t ApiLog::recordSensorAccess(uint16_t reg, uint16_t value, uint16_t mask) {
    ApiRecord record;
    record.kind = ApiCallKind::SensorAccess;
    record.reg = reg;
    record.value = value;
    record.mask = mask;
    std::lock_guard lock(m_mutex);
    record.start = now();
    return recordLocked(record);
}

void ApiLog::setResult(size_t index, bool success) {
    std::lock_guard lock(m_mutex);
    if (ApiRecord* record = findLocked(index)) {
        record->result = success ? 1 : 0;
    }
}

void ApiLog::setReadData(size_t index, std::span<const uint8_t> bytes) {
    std::lock_guard lock(m_mutex);
    if (ApiRecord* record = findLocked(index)) {
        record->data.fill(0);
        std::copy_n(bytes.begin(), std::min(bytes.size(), record->data.size()),
                    record->data.begin());
    }
}

void ApiLog::setReadValue(size_t index, uint16_t value) {
    std::lock_guard lock(m_mutex);
    if (ApiRecord* record = findLocked(index)) {
        record->valueRead = value;
    }
}

void ApiLog::setWrittenValue(size_t index, uint16_t value) {
    std::lock_guard lock(m_mutex);
    if (ApiRecord* record = findLocked(index)) {
        record->valueWritten = value;
    }
}

void ApiLog::finish(size_t index) {
    std::lock_guard lock(m_mutex);
    if (ApiRecord* record = findLocked(index)) {
        const uint64_t end = now();
        record->duration = end > record->start ? end - record->start : 0;
    }
}

void ApiLog::appendMessage(bool error, const char* format, ...) {
    va_list args;
    va_start(args, format);
    appendMessageV(error, format, args);
    va_end(args);
}

void ApiLog::appendMessageV(bool error, const char* format, va_list args) {
    appendText(error, formatPrintf(format, args));
}

void ApiLog::appendText(bool error, std::string text) {
    std::shared_ptr<const MessageSink> sink;
    std::string sinkText;
    {
        std::lock_guard lock(m_mutex);
        sink = m_sink;
        if (sink) {
            sinkText = cutToCharacters(text, kSinkTextLimit);
        }
        m_messages.items.push_back(LogMessage{now(), std::move(text), error});
    }
    // Outside the lock: the sink may read the log or block briefly on its window's queue.
    if (sink && *sink) {
        (*sink)(sinkText, error);
    }
}

void ApiLog::setMessageSink(MessageSink sink) {
    auto shared = sink ? std::make_shared<const MessageSink>(std::move(sink)) : nullptr;
    std::lock_guard lock(m_mutex);
    m_sink = std::move(shared);
}

std::optional<ApiRecord> ApiLog::apiRecord(size_t index) const {
    std::lock_guard lock(m_mutex);
    if (const ApiRecord* record = m_api.find(index)) {
        return *record;
    }
    return std::nullopt;
}

std::optional<LogMessage> ApiLog::message(size_t index) const {
    std::lock_guard lock(m_mutex);
    if (const LogMessage* message = m_messages.find(index)) {
        return *message;
    }
    return std::nullopt;
}

size_t ApiLog::apiCount() const {
    std::lock_guard lock(m_mutex);
    return m_api.items.size();
}

size_t ApiLog::messageCount() const {
    std::lock_guard lock(m_mutex);
    return m_messages.items.size();
}

size_t ApiLog::firstApiIndex() const {
    std::lock_guard lock(m_mutex);
    return m_api.first;
}

size_t ApiLog::firstMessageIndex() const {
    std::lock_guard lock(m_mutex);
    return m_messages.first;
}

std::string ApiLog::summaryText(const ApiRecord& record) {
    const bool vendor = record.kind == ApiCallKind::VendorRequest;
    std::string text = fmt::format(
        "{}{}({:.3f}ms)", vendor ? "FX3: " : "I²C: ", record.result == 1 ? "success " : "-FAIL!- ",
        nsToMilliseconds(record.duration));
    if (vendor) {
        fmt::format_to(std::back_inserter(text), "{} 0x{:02X} 0x{:04X}({:d}) 0x{:04X}",
                       record.write ? "WRITE" : "read", record.code, record.wValue, record.wValue,
                       record.wIndex);
        if (!record.write) {
            text += " { ";
            for (uint8_t byte : record.data) {
                fmt::format_to(std::back_inserter(text), "0x{:02X} ", byte);
            }
            text += "}";
        }
    } else {
        const bool write = record.mask != 0;
        fmt::format_to(std::back_inserter(text), "{} 0x{:04X} 0x{:02X}", write ? "WRITE" : "read",
                       record.reg, record.valueRead);
        if (write) {
            fmt::format_to(std::back_inserter(text), " 0x{:02X} 0x{:02X} 0x{:02X}({:d})",
                           record.value, record.mask, record.valueWritten, record.valueWritten);
        }
    }
    return text;
}

std::string ApiLog::detailText(size_t index, const ApiRecord& record) {
    std::string text =
        fmt::format("API call# {}\nTimestamp: {:.2f}s\nDuration: {:.2f}ms\n\n", index,
                    nsToSeconds(record.start), nsToMilliseconds(record.duration));
    if (record.kind == ApiCallKind::VendorRequest) {
        text += requestDescription(record.code);
        return text;
    }
    text += "I²C sensor access via EP4\n\n";
    text += record.result == 1 ? "Succeeded" : "Failed";
    auto out = std::back_inserter(text);
    if (record.mask != 0) {
        fmt::format_to(out, " to write a\nvalue {} 0x{:04X}\n", record.valueWritten,
                       record.valueWritten);
        fmt::format_to(out, "using a mask 0x{:02X}\n", record.mask);
        fmt::format_to(out, "into a register {} 0x{:04X}\n", record.reg, record.reg);
        fmt::format_to(out, "requested to write: {} 0x{:02X}\n", record.value, record.value);
        fmt::format_to(out, "read from device: {} 0x{:02X}", record.valueRead, record.valueRead);
    } else {
        fmt::format_to(out, " to read from\nregister 0x{:04X}\n", record.reg);
        fmt::format_to(out, "read value {} 0x{:02X}\n", record.valueRead, record.valueRead);
    }
    return text;
}

std::string ApiLog::lineText(const LogMessage& message) {
    return fmt::format("{:.2f}s {}", nsToSeconds(message.time), message.text);
}

std::string ApiLog::detailText(size_t index, const LogMessage& message) {
    return fmt::format("Log entry# {}\nTimestamp: {:.2f}s\nType of record: {}\n\nDetails:\n{}",
                       index, nsToSeconds(message.time), message.error ? "Error" : "Info",
                       message.text);
}

std::string ApiLog::detailText(const LogLine& line) const {
    std::lock_guard lock(m_mutex);
    if (line.message) {
        const LogMessage* message = m_messages.find(line.index);
        return message ? detailText(line.index, *message) : std::string();
    }
    const ApiRecord* record = m_api.find(line.index);
    return record ? detailText(line.index, *record) : std::string();
}

std::string ApiLog::mergeLocked(size_t fromApi, size_t fromMessage,
                                std::vector<LogLine>* lines) const {
    size_t api = std::max(fromApi, m_api.first);
    size_t msg = std::max(fromMessage, m_messages.first);
    std::string text;
    while (api < m_api.end() || msg < m_messages.end()) {
        const ApiRecord* record = m_api.find(api);
        const LogMessage* message = m_messages.find(msg);
        if (message && (!record || message->time <= record->start)) {
            text += lineText(*message);
            if (lines) {
                lines->push_back({true, msg});
            }
            ++msg;
        } else {
            text += summaryText(*record);
            if (lines) {
                lines->push_back({false, api});
            }
            ++api;
        }
        text += "\r\n";
    }
    return text;
}

std::string ApiLog::listing(std::vector<LogLine>* lines) const {
    std::lock_guard lock(m_mutex);
    return mergeLocked(0, 0, lines);
}

LogUpdate ApiLog::linesSince(LogCursor& cursor) const {
    LogUpdate update;
    std::lock_guard lock(m_mutex);
    if (cursor.generation != m_generation) {
        update.reset = true;
        cursor = LogCursor{0, 0, m_generation};
    }
    update.text = mergeLocked(cursor.nextApi, cursor.nextMessage, &update.lines);
    cursor.nextApi = m_api.end();
    cursor.nextMessage = m_messages.end();
    return update;
}

void ApiLog::clearApi() {
    std::lock_guard lock(m_mutex);
    m_api.clear();
    ++m_generation;
}

void ApiLog::clearAll() {
    std::lock_guard lock(m_mutex);
    m_api.clear();
    m_messages.clear();
    ++m_generation;
}

}  // namespace TVR
