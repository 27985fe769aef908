#pragma once

// Firmware version records of the camera's two programmable parts. A record decodes the 32-bit
// version word the camera reports (vendor, hardware configuration, product generation, release
// kind, build number), names its fields and answers the firmware build gates. A record is owned
// by one camera object and used from the thread that owns that object.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace TVR {

class VersionInfoBase;

// One firmware release published on the download server. The defaults form the unfilled
// record, which is what a failed or unmatched query yields.
struct FirmwareRelease {
    uint8_t kind = 4;
    uint32_t build = 0;
    std::string path;
    int32_t size = -1;
};

// Releases found on the server, or the error text of the fetch (empty on success).
struct ReleaseList {
    std::vector<FirmwareRelease> releases;
    std::string error;
};

// The latest release of one kind; `release` is unfilled when `error` is set.
struct LatestRelease {
    FirmwareRelease release;
    std::string error;
};

// The download server as a version record sees it; the firmware layer provides the client.
// A record only asks it when the record is valid.
class ReleaseSource {
public:
    virtual ~ReleaseSource() = default;
    virtual ReleaseList releases(const VersionInfoBase& record, int releaseKind) const = 0;
    virtual LatestRelease latestRelease(const VersionInfoBase& record, int releaseKind) const = 0;
};

class VersionInfoBase {
public:
    // The word of a record whose version request failed.
    static constexpr uint32_t kUnknownWord = 0x80000;

    virtual ~VersionInfoBase() = default;

    // Loads the 4 bytes of a version reply; any other length marks the record unknown.
    // Returns the new validity.
    bool load(std::span<const uint8_t> bytes);
    void markUnknown();

    virtual std::string detailedText(std::string_view indent) const;
    virtual std::string shortText() const;
    // Empty results while the record is invalid or no release source is set.
    virtual ReleaseList releases(int releaseKind) const;
    virtual LatestRelease latestRelease(int releaseKind) const;
    virtual bool buildBelow(int n) const;
    virtual bool buildAtLeast(int n) const;
    virtual std::string_view recordName() const = 0;
    virtual std::string_view vendorName() const = 0;
    virtual std::string_view hardwareName() const = 0;
    virtual std::string_view productName() const;
    virtual bool isValidWord(uint32_t word) const = 0;

    uint32_t word() const { return m_word; }
    bool valid() const { return m_valid; }
    int vendor() const { return vendorOf(m_word); }
    int hardware() const { return hardwareOf(m_word); }
    int product() const { return productOf(m_word); }
    int releaseKind() const { return releaseKindOf(m_word); }
    int build() const { return buildOf(m_word); }
    std::string_view releaseName() const { return releaseKindName(releaseKind()); }

    void setReleaseSource(std::shared_ptr<const ReleaseSource> source);

    static int vendorOf(uint32_t word) { return static_cast<int>(word & 0x7); }
    static int hardwareOf(uint32_t word) { return static_cast<int>((word >> 3) & 0x1F); }
    static int productOf(uint32_t word) { return static_cast<int>((word >> 8) & 0xFF); }
    static int releaseKindOf(uint32_t word) { return static_cast<int>((word >> 16) & 0x7); }
    static int buildOf(uint32_t word) { return static_cast<int>(word >> 19); }
    static uint32_t makeWord(int vendor, int hardware, int product, int releaseKind, int build);

    // "Alpha" ... "Bugfix", "Dev. build" for 0; "Unknown" outside 0-7.
    static std::string_view releaseKindName(int kind);
    // The camera generation texts shared by both records; "Unknown" outside 1-5.
    static std::string_view productText(int product);

protected:
    VersionInfoBase() = default;
    VersionInfoBase(const VersionInfoBase&) = default;
    VersionInfoBase& operator=(const VersionInfoBase&) = default;

private:
    uint32_t m_word = kUnknownWord;
    bool m_valid = false;
    std::shared_ptr<const ReleaseSource> m_releaseSource;
};

// The FX3 USB controller's firmware record ("fx3").
class VersionInfoFX3 : public VersionInfoBase {
public:
    VersionInfoFX3() = default;
    VersionInfoFX3(const VersionInfoFX3&) = default;
    VersionInfoFX3& operator=(const VersionInfoFX3&) = default;

    std::string_view recordName() const override;
    std::string_view vendorName() const override;
    std::string_view hardwareName() const override;
    bool isValidWord(uint32_t word) const override;
};

// The FPGA configuration's record ("fpga").
class VersionInfoFPGA : public VersionInfoBase {
public:
    VersionInfoFPGA() = default;
    VersionInfoFPGA(const VersionInfoFPGA&) = default;
    VersionInfoFPGA& operator=(const VersionInfoFPGA&) = default;

    std::string_view recordName() const override;
    std::string_view vendorName() const override;
    std::string_view hardwareName() const override;
    bool isValidWord(uint32_t word) const override;
};

}  // namespace TVR
