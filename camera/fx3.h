#pragma once

// The camera's command channel: vendor requests on the control endpoint, and the typed
// operations built on them (camera value and real channels, FPGA registers, the colour matrix,
// FPGA tables, boot loader, flash and reset). Every request is recorded in the API-call log the
// object was made with.
//
// An FX3 object may be called from several threads: single requests are serialised inside the
// object, table transfers by one process-wide mutex. Callers keep multi-request sequences (a
// firmware upgrade) from interleaving: the object's owner runs one batch of camera work at a
// time, and "the work holder" in the thread rules below is the thread running that batch.
// Opening, closing and re-detecting change what every other call sees, so only the work holder
// makes them.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/fx3_channels.h"
#include "versioninfo.h"

namespace TVR {

class ApiLog;
class UsbDriver;
class UsbDevice;

// Status of channel operations.
enum ChannelStatus : int {
    kStatusDone = 0,
    kStatusNotSupported = 1,
    kStatusTransferFailed = 2,
};

struct ChannelValue {
    int value = 0;
    int status = kStatusDone;
};

struct ChannelReal {
    double value = 0;
    int status = kStatusDone;
};

// The time-out the panel and the command line give the camera's control requests.
inline constexpr uint32_t kControlTimeoutMs = 50;

class FX3 {
public:
    static constexpr int kColourMatrixSize = 9;
    static constexpr size_t kBootLoaderChunk = 2048;
    static constexpr size_t kSpiPage = 2048;
    // Table entries the select registers can address (entry bits 0-11).
    static constexpr int kMaxTableEntry = 0x0FFF;
    static constexpr int kTableKinds = 6;

    // Requests are recorded in `log`, which outlives the object. Every device this object opens
    // gets controlTimeoutMs on its endpoints; other camera objects keep their own. Opens device 0
    // when asked.
    // Thread: the owner, with no batch running.
    FX3(UsbDriver& driver, ApiLog& log, bool openFirst, uint32_t controlTimeoutMs);
    // Thread: the owner, with no batch running.
    virtual ~FX3();
    FX3(const FX3&) = delete;
    FX3& operator=(const FX3&) = delete;

    // Thread: the work holder.
    virtual void close();
    // Reloads both version records; a failed request marks its record unknown. Always true.
    // Thread: the work holder.
    virtual bool readVersions();

    // Thread: the work holder.
    bool connected() const;
    // Opens device `index` and reads the versions when that worked; the open result.
    // Thread: the work holder.
    bool selectDevice(uint8_t index);
    // The previous time-out of the control endpoint; 0 without one.
    // Thread: the work holder.
    uint32_t setControlTimeout(uint32_t ms);
    // Thread: any; the driver lists its devices itself.
    uint8_t deviceCount();
    // Thread: any; the driver lists its devices itself.
    std::string devicePath(uint8_t index);

    // One vendor request: reads fill readBuffer, writes send writeData. Not sent (and logged as
    // failed) when the camera is not connected.
    // Thread: any; the object serialises its single requests.
    bool vendorRequest(uint8_t code, bool write, uint16_t value, uint16_t index,
                       std::span<uint8_t> readBuffer = {}, std::span<const uint8_t> writeData = {});
    // The whole buffer in one transfer on bulk OUT endpoint 0x05.
    // Thread: the work holder.
    bool bulkWrite(std::span<const uint8_t> data, uint32_t timeoutMs);

    // Boot loader, flash and FPGA configuration.
    // Thread: the work holder.
    bool bootLoaderRunning();
    // Thread: the work holder.
    bool bootLoaderWriteRam(uint32_t address, std::span<const uint8_t> data);
    // Thread: the work holder.
    bool bootLoaderReadRam(uint32_t address, std::span<uint8_t> data);
    // Thread: the work holder.
    bool bootLoaderStart(uint32_t entryAddress);
    // Thread: the work holder.
    bool enterBootLoader();
    // `offset` is a multiple of 256 below 16 MiB; at most one 2048-byte page.
    // Thread: the work holder.
    bool spiWrite(uint32_t offset, std::span<const uint8_t> data);
    // Thread: the work holder.
    bool spiErase(uint16_t sector);
    // Empty when the status request failed.
    // Thread: the work holder.
    std::optional<bool> spiEraseBusy(uint16_t sector);
    // Thread: the work holder.
    bool spiEnable();
    // Thread: the work holder.
    bool fpgaConfigMode();
    // Thread: the work holder.
    std::optional<uint16_t> fpgaConfigStatus();
    // Thread: the work holder.
    bool reset();

    // Direct I²C access; the address in 8-bit form.
    // Thread: the work holder.
    std::optional<uint8_t> i2cRead8(uint8_t address, uint8_t reg);
    // Thread: the work holder.
    bool i2cWrite8(uint8_t address, uint8_t reg, uint8_t value);
    // Thread: the work holder.
    std::optional<uint8_t> i2cRead16(uint8_t address, uint16_t reg);
    // Thread: the work holder.
    bool i2cWrite16(uint8_t address, uint16_t reg, uint8_t value);

    // Clears both streaming bits of the control register; false only when a request failed.
    // Thread: the work holder.
    bool stopStreaming();
    // Thread: the work holder.
    int setFpgaControlBit(int bit, bool on);
    // Threshold clamped to 0-255; the result is not checked.
    // Thread: the work holder.
    void dpcCalibrate(int threshold);

    // Channels are numbered as in Fx3Channel and Fx3RealChannel.
    // Thread: the work holder.
    bool cameraValueAvailable(int channel) const;
    // Thread: the work holder.
    ChannelValue getCameraValue(int channel);
    // Thread: the work holder.
    int setCameraValue(int channel, int value);
    // Real channel 0 from its FX3 build on, channel 1 always.
    // Thread: the work holder.
    bool cameraRealAvailable(int channel) const;
    // Thread: the work holder.
    ChannelReal getCameraReal(int channel);
    // Thread: the work holder.
    int setCameraReal(int channel, double value);

    // Thread: the work holder.
    std::optional<uint8_t> readFpgaReg(uint8_t reg);
    // Thread: the work holder.
    bool writeFpgaReg(uint8_t reg, uint8_t value);

    // Nine entries; empty when a read failed.
    // Thread: the work holder.
    std::vector<double> readColourMatrix();
    // Exactly nine values, else false without a request.
    // Thread: the work holder.
    bool writeColourMatrix(std::span<const double> values);

    // Per-entry and block access to the FPGA tables of a kind.
    // Thread: the work holder.
    bool tableAvailable(int kind) const;
    // Thread: the work holder.
    bool tableBlockAvailable(int kind) const;
    // Selects an entry; only the select registers whose value changed are written.
    // Thread: any; the process-wide table mutex serialises table transfers.
    bool selectTableEntry(int kind, int entry);
    // The entry's raw value, sign-extended by kind.
    // Thread: any; the process-wide table mutex serialises table transfers.
    std::optional<int> readTableEntry(int kind, int entry);
    // Thread: any; the process-wide table mutex serialises table transfers.
    bool writeTableEntry(int kind, int entry, int raw);
    // Thread: any (no camera state).
    int signExtendTableValue(int kind, uint16_t raw) const;
    // User units per raw step.
    // Thread: any (no camera state).
    static double tableScale(int kind);
    // Thread: any (no camera state).
    static int tableRawFromValue(int kind, double value);
    // Forgets the select registers' values: the FPGA may have restarted.
    // Thread: any.
    void clearTableSelectCache();

    // The raw system information record (39 or 54 bytes). A rejected or unsupported record is
    // all zero except 0xFF at offset 8.
    // Thread: the work holder.
    std::vector<uint8_t> systemInfo(uint8_t checkFlags);
    // Thread: any (no camera state).
    static bool validSystemInfo(std::span<const uint8_t> record, uint16_t layout);

    // Requests that failed since the object was made (refused, timed out, not sent for want of
    // a camera). A whole-camera transfer compares it before and after to tell a camera that
    // stopped answering from one that answered.
    // Thread: any.
    uint64_t failedRequests() const { return m_failedRequests.load(); }

    // Thread: the work holder.
    const VersionInfoFX3& versionFX3() const { return *m_versionFx3; }
    // Thread: the work holder.
    const VersionInfoFPGA& versionFPGA() const { return *m_versionFpga; }
    // Thread: the work holder.
    UsbDevice& device() { return *m_device; }
    // Thread: any.
    UsbDriver& driver() { return m_driver; }
    // The log this camera's requests go to; whoever works on the camera records there too.
    // Thread: any.
    ApiLog& apiLog() const { return m_log; }

protected:
    void countFailedRequest() { ++m_failedRequests; }

private:
    friend class FpgaTable;

    // Called with the table mutex held.
    bool selectTableEntryLocked(int kind, int entry);
    std::optional<int> readTableEntryLocked(int kind, int entry);
    bool writeTableEntryLocked(int kind, int entry, int raw);

    bool fx3Build(int n) const { return m_versionFx3->buildAtLeast(n); }
    bool fpgaBuild(int n) const { return m_versionFpga->buildAtLeast(n); }
    bool readByte(uint8_t code, uint16_t value, uint16_t index, uint8_t& out);
    ChannelValue readFpgaPair(uint8_t low, uint8_t high);
    int writeFpgaPair(uint8_t low, uint8_t high, int value);
    ChannelValue readWord(uint8_t code);

    UsbDriver& m_driver;
    ApiLog& m_log;
    std::unique_ptr<UsbDevice> m_device;
    std::unique_ptr<VersionInfoFX3> m_versionFx3;
    std::unique_ptr<VersionInfoFPGA> m_versionFpga;
    // The control endpoint keeps the setup fields of its request in flight.
    std::mutex m_requestMutex;
    // Last values written to the table select registers by a select; -1 when unknown.
    std::atomic<int> m_selectHigh{-1};
    std::atomic<int> m_selectLow{-1};
    std::atomic<uint64_t> m_failedRequests{0};
};

// Block and per-entry transfers of one FPGA table kind, under the process-wide table mutex.
// A short-lived object per transfer; its error flag tells whether the last range came through
// whole.
class FpgaTable {
public:
    explicit FpgaTable(FX3& fx3) : m_fx3(fx3) {}

    // Values in user units; fewer than count when a transfer failed.
    std::vector<double> readRange(int kind, int start, int count, bool forcePerEntry = false);
    // The number of values written.
    int writeRange(int kind, int start, std::span<const double> values, bool forcePerEntry = false);
    bool writeValue(int kind, int entry, double value, bool forcePerEntry = false);

    bool error() const { return m_error; }

private:
    bool blockFits(int kind, int start, size_t count, bool forcePerEntry) const;
    bool blockRead(int kind, int start, int count, std::vector<double>& out);
    bool blockWrite(int kind, int start, std::span<const double> values);

    FX3& m_fx3;
    bool m_error = false;
};

// The mutex every FPGA table transfer of the process holds.
std::mutex& fpgaTableMutex();

}  // namespace TVR
