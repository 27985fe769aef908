#include "uvc_function.h"

#include <algorithm>
#include <cmath>

#include "protocol/uvc_property_ids.h"

namespace TVR::Simcam {

using Sim::SimUvcSet;
using Usbip::SetupBytes;
using Usbip::Submit;
using Usbip::SubmitReply;

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr uint8_t kDescInterface = 4;
constexpr uint8_t kDescIad = 11;
constexpr uint8_t kCsInterface = 0x24;
constexpr uint8_t kCsEndpoint = 0x25;
constexpr uint8_t kClassVideo = 0x0E;

// Class request codes.
constexpr uint8_t kSetCur = 0x01;
constexpr uint8_t kGetCur = 0x81;
constexpr uint8_t kGetMin = 0x82;
constexpr uint8_t kGetMax = 0x83;
constexpr uint8_t kGetRes = 0x84;
constexpr uint8_t kGetLen = 0x85;
constexpr uint8_t kGetInfo = 0x86;
constexpr uint8_t kGetDef = 0x87;

constexpr uint8_t kVsProbe = 0x01;
constexpr uint8_t kVsCommit = 0x02;
constexpr uint8_t kVcRequestErrorCode = 0x02;
constexpr uint16_t kProbeSize = 34;  // UVC 1.1

// Request error codes.
constexpr uint8_t kErrNone = 0x00;
constexpr uint8_t kErrOutOfRange = 0x04;
constexpr uint8_t kErrInvalidControl = 0x06;
constexpr uint8_t kErrInvalidRequest = 0x07;

// Auto-exposure mode bits.
constexpr uint8_t kAeManual = 0x01;
constexpr uint8_t kAeAperturePriority = 0x08;

constexpr uint8_t kHeaderLength = 2;
constexpr uint8_t kHeaderFid = 0x01;
constexpr uint8_t kHeaderEof = 0x02;
constexpr uint8_t kHeaderEoh = 0x80;

constexpr double kExposureUnitsPerSecond = 10000.0;  // 100 µs units
constexpr uint32_t kClockFrequency = 48000000;

constexpr uint8_t kGuidYuy2[16] = {'Y',  'U',  'Y',  '2',  0x00, 0x00, 0x10, 0x00,
                                   0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

void put16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void set16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void set32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t get32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void endpoint(Bytes& b, bool super, uint8_t address, uint8_t attributes, uint16_t maxPacket,
              uint8_t interval, uint8_t burst, uint8_t companionAttr, uint16_t bytesPerInterval) {
    b.insert(b.end(), {7, 5, address, attributes});
    put16(b, maxPacket);
    b.push_back(interval);
    if (super) {
        b.insert(b.end(), {6, 0x30, burst, companionAttr});
        put16(b, bytesPerInterval);
    }
}

// How a control maps onto a simulated property.
enum class Kind { Value, Auto, AeMode, Exposure };

struct Control {
    uint8_t unit;
    uint8_t selector;
    SimUvcSet set;
    int32_t property;
    uint8_t size;
    Kind kind;
    bool autoDefault = false;  // Auto: the power-up mode
};

const Control kControls[] = {
    {kProcessingUnitId, 0x01, SimUvcSet::ProcAmp, UvcProcAmp::kBacklightCompensation, 2,
     Kind::Value},
    {kProcessingUnitId, 0x02, SimUvcSet::ProcAmp, UvcProcAmp::kBrightness, 2, Kind::Value},
    {kProcessingUnitId, 0x03, SimUvcSet::ProcAmp, UvcProcAmp::kContrast, 2, Kind::Value},
    {kProcessingUnitId, 0x04, SimUvcSet::ProcAmp, UvcProcAmp::kGain, 2, Kind::Value},
    {kProcessingUnitId, 0x06, SimUvcSet::ProcAmp, UvcProcAmp::kHue, 2, Kind::Value},
    {kProcessingUnitId, 0x07, SimUvcSet::ProcAmp, UvcProcAmp::kSaturation, 2, Kind::Value},
    {kProcessingUnitId, 0x08, SimUvcSet::ProcAmp, UvcProcAmp::kSharpness, 2, Kind::Value},
    {kProcessingUnitId, 0x09, SimUvcSet::ProcAmp, UvcProcAmp::kGamma, 2, Kind::Value},
    {kProcessingUnitId, 0x0A, SimUvcSet::ProcAmp, UvcProcAmp::kWhiteBalance, 2, Kind::Value},
    {kProcessingUnitId, 0x0B, SimUvcSet::ProcAmp, UvcProcAmp::kWhiteBalance, 1, Kind::Auto, true},
    {kProcessingUnitId, 0x10, SimUvcSet::ProcAmp, UvcProcAmp::kHue, 1, Kind::Auto, false},
    {kCameraTerminalId, 0x02, SimUvcSet::CameraControl, UvcCameraControl::kExposure, 1,
     Kind::AeMode},
    {kCameraTerminalId, 0x04, SimUvcSet::CameraControl, UvcCameraControl::kExposure, 4,
     Kind::Exposure},
    {kCameraTerminalId, 0x06, SimUvcSet::CameraControl, UvcCameraControl::kFocus, 2, Kind::Value},
    {kCameraTerminalId, 0x08, SimUvcSet::CameraControl, UvcCameraControl::kFocus, 1, Kind::Auto,
     true},
    {kCameraTerminalId, 0x0B, SimUvcSet::CameraControl, UvcCameraControl::kZoom, 2, Kind::Value},
};

int32_t exposureUnits(int32_t log2Seconds) {
    const double units = std::ldexp(kExposureUnitsPerSecond, log2Seconds);
    return std::max<int32_t>(1, static_cast<int32_t>(std::lround(units)));
}

int32_t exposureLog2(int32_t units) {
    return static_cast<int32_t>(
        std::lround(std::log2(std::max(1, units) / kExposureUnitsPerSecond)));
}

}  // namespace

const std::vector<UvcFrameSize>& uvcFrameSizes() {
    static const std::vector<UvcFrameSize> sizes = {
        {640, 480, {333333, 666666}},
        {320, 240, {333333, 666666}},
        {1920, 1080, {166666, 333333}},
    };
    return sizes;
}

std::vector<uint8_t> withUvcFunction(const std::vector<uint8_t>& config, bool super) {
    size_t at = 0;
    size_t iad = 0;
    while (at + 2 <= config.size() && config[at] >= 2) {
        if (config[at + 1] == kDescIad) {
            iad = at;
            break;
        }
        at += config[at];
    }
    if (iad == 0) return {};
    Bytes b(config.begin(), config.begin() + static_cast<ptrdiff_t>(iad));

    b.insert(b.end(), {8, kDescIad, kVideoControlInterface, 2, kClassVideo, 3, 0, 0});
    b.insert(b.end(), {9, kDescInterface, kVideoControlInterface, 0, 1, kClassVideo, 1, 0, 0});
    const size_t vcHeader = b.size();
    b.insert(b.end(), {13, kCsInterface, 1});
    put16(b, 0x0110);
    put16(b, 0);
    put32(b, kClockFrequency);
    b.insert(b.end(), {1, kVideoStreamingInterface});
    // Camera terminal: auto-exposure mode, absolute exposure time, absolute focus, absolute
    // zoom and auto focus.
    b.insert(b.end(), {18, kCsInterface, 2, kCameraTerminalId});
    put16(b, 0x0201);
    b.insert(b.end(), {0, 0});
    put16(b, 0);
    put16(b, 0);
    put16(b, 0);
    b.insert(b.end(), {3, 0x2A, 0x02, 0x02});
    // Processing unit: brightness, contrast, hue, saturation, sharpness, gamma, white balance
    // temperature, backlight compensation, gain, hue auto, white balance temperature auto.
    b.insert(b.end(), {12, kCsInterface, 5, kProcessingUnitId, kCameraTerminalId});
    put16(b, 0);
    b.insert(b.end(), {2, 0x7F, 0x1B, 0, 0});
    b.insert(b.end(), {9, kCsInterface, 3, kOutputTerminalId});
    put16(b, 0x0101);
    b.insert(b.end(), {0, kProcessingUnitId, 0});
    const auto vcTotal = static_cast<uint16_t>(b.size() - vcHeader);
    set16(&b[vcHeader + 5], vcTotal);
    endpoint(b, super, 0x83, 0x03, 64, 8, 0, 0, 64);
    b.insert(b.end(), {5, kCsEndpoint, 3});
    put16(b, 64);

    b.insert(b.end(), {9, kDescInterface, kVideoStreamingInterface, 0, 0, kClassVideo, 2, 0, 0});
    const size_t vsHeader = b.size();
    b.insert(b.end(), {14, kCsInterface, 1, 1});
    put16(b, 0);
    b.insert(b.end(), {kVideoEndpoint, 0, kOutputTerminalId, 0, 0, 0, 1, 0});
    const auto& sizes = uvcFrameSizes();
    b.insert(b.end(), {27, kCsInterface, 4, 1, static_cast<uint8_t>(sizes.size())});
    b.insert(b.end(), std::begin(kGuidYuy2), std::end(kGuidYuy2));
    b.insert(b.end(), {16, 1, 0, 0, 0, 0});
    uint8_t index = 1;
    for (const auto& f : sizes) {
        const uint32_t frameBytes = uint32_t{f.width} * f.height * 2;
        const uint32_t fastest = *std::min_element(f.intervals.begin(), f.intervals.end());
        const uint32_t slowest = *std::max_element(f.intervals.begin(), f.intervals.end());
        b.insert(b.end(),
                 {static_cast<uint8_t>(26 + 4 * f.intervals.size()), kCsInterface, 5, index++, 0});
        put16(b, f.width);
        put16(b, f.height);
        put32(b, static_cast<uint32_t>(uint64_t{frameBytes} * 8 * 10000000 / slowest));
        put32(b, static_cast<uint32_t>(uint64_t{frameBytes} * 8 * 10000000 / fastest));
        put32(b, frameBytes);
        put32(b, f.intervals.front());
        b.push_back(static_cast<uint8_t>(f.intervals.size()));
        for (uint32_t i : f.intervals) put32(b, i);
    }
    set16(&b[vsHeader + 4], static_cast<uint16_t>(b.size() - vsHeader));

    b.insert(b.end(), {9, kDescInterface, kVideoStreamingInterface, 1, 1, kClassVideo, 2, 0, 0});
    if (super) {
        endpoint(b, super, kVideoEndpoint, 0x05, 1024, 1, 3, 1, 1024 * 4 * 2);
    } else {
        endpoint(b, super, kVideoEndpoint, 0x05, 0x1400, 1, 0, 0, 0);
    }
    set16(&b[2], static_cast<uint16_t>(b.size()));
    return b;
}

std::vector<uint8_t> renderFrame(Sim::SimUvcState& uvc, uint16_t width, uint16_t height,
                                 uint32_t counter) {
    auto value = [&](SimUvcSet set, int32_t prop, int32_t fallback) {
        auto p = uvc.property(set, prop);
        return p ? p->value : fallback;
    };
    const int32_t brightness = value(SimUvcSet::ProcAmp, UvcProcAmp::kBrightness, 0);
    const int32_t contrast = value(SimUvcSet::ProcAmp, UvcProcAmp::kContrast, 32);
    const int32_t exposure = value(SimUvcSet::CameraControl, UvcCameraControl::kExposure, -6);
    // Exposure doubles the light per step from the default; the bars saturate as a sensor does.
    const double gain = std::ldexp(contrast / 32.0, std::clamp(exposure + 6, -8, 8));
    static constexpr uint8_t kBars[8][3] = {{235, 128, 128}, {210, 16, 146},  {170, 166, 16},
                                            {145, 54, 34},   {106, 202, 222}, {81, 90, 240},
                                            {41, 240, 110},  {16, 128, 128}};
    std::vector<uint8_t> f(size_t{width} * height * 2);
    std::array<std::array<uint8_t, 3>, 8> bars{};
    for (int i = 0; i < 8; ++i) {
        const double y = 16 + (kBars[i][0] - 16) * gain + brightness;
        bars[static_cast<size_t>(i)] = {static_cast<uint8_t>(std::clamp(y, 16.0, 235.0)),
                                        kBars[i][1], kBars[i][2]};
    }
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = f.data() + size_t{y} * width * 2;
        for (uint32_t x = 0; x < width; x += 2) {
            const auto& c = bars[std::min<size_t>(7, x * 8 / width)];
            row[x * 2] = c[0];
            row[x * 2 + 1] = c[1];
            row[x * 2 + 2] = c[0];
            row[x * 2 + 3] = c[2];
        }
    }
    for (int i = 0; i < 4 && i < width; ++i)
        f[size_t(i) * 2] = static_cast<uint8_t>(counter >> (8 * i));
    return f;
}

uint32_t frameCounterOf(const uint8_t* yuy2) {
    return uint32_t{yuy2[0]} | uint32_t{yuy2[2]} << 8 | uint32_t{yuy2[4]} << 16 |
           uint32_t{yuy2[6]} << 24;
}

UvcFunction::UvcFunction(std::shared_ptr<Sim::SimCamera> camera, bool superSpeed)
    : m_camera(std::move(camera)), m_superSpeed(superSpeed) {
    m_probe[2] = 1;
    m_probe[3] = 1;
    normaliseProbe(m_probe);
    m_commit = m_probe;
    m_streamer = std::thread([this] { streamLoop(); });
}

UvcFunction::~UvcFunction() {
    disconnect();
    if (m_streamer.joinable()) m_streamer.join();
}

bool UvcFunction::isClassRequest(const SetupBytes& s) {
    const uint8_t iface = static_cast<uint8_t>(s.wIndex);
    return (s.bmRequestType & 0x7F) == 0x21 &&
           (iface == kVideoControlInterface || iface == kVideoStreamingInterface);
}

void UvcFunction::normaliseProbe(std::array<uint8_t, 48>& p) const {
    const auto& sizes = uvcFrameSizes();
    p[2] = 1;  // the one format
    if (p[3] < 1 || p[3] > sizes.size()) p[3] = 1;
    const auto& f = sizes[p[3] - 1u];
    const uint32_t asked = get32(&p[4]);
    uint32_t best = f.intervals.front();
    if (asked != 0) {
        for (uint32_t i : f.intervals) {
            if (std::llabs(int64_t{i} - asked) < std::llabs(int64_t{best} - asked)) best = i;
        }
    }
    set32(&p[4], best);
    set32(&p[18], uint32_t{f.width} * f.height * 2);
    set32(&p[22], packetSize());
    set32(&p[26], kClockFrequency);
    p[30] = 0x03;  // frame id and end-of-frame bits are used
    p[31] = 1;
    p[32] = 1;
    p[33] = 1;
}

SubmitReply UvcFunction::classRequest(const Submit& urb) {
    const uint8_t iface = static_cast<uint8_t>(urb.setup.wIndex);
    return iface == kVideoStreamingInterface ? streamingRequest(urb) : controlRequest(urb);
}

SubmitReply UvcFunction::streamingRequest(const Submit& urb) {
    const SetupBytes& s = urb.setup;
    const uint8_t selector = static_cast<uint8_t>(s.wValue >> 8);
    SubmitReply r;
    if (selector != kVsProbe && selector != kVsCommit) {
        r.status = Usbip::kStatusStall;
        return r;
    }
    std::lock_guard lock(m_mutex);
    auto& target = selector == kVsProbe ? m_probe : m_commit;
    if (s.bRequest == kSetCur) {
        std::array<uint8_t, 48> p = selector == kVsProbe ? m_probe : m_commit;
        std::copy_n(urb.data.begin(), std::min<size_t>(urb.data.size(), p.size()), p.begin());
        normaliseProbe(p);
        target = p;
        return r;
    }
    std::array<uint8_t, 48> p{};
    switch (s.bRequest) {
        case kGetCur:
            p = target;
            break;
        case kGetMin:
        case kGetMax:
        case kGetDef:
            p[3] = 1;
            normaliseProbe(p);
            break;
        case kGetLen:
            r.data = {static_cast<uint8_t>(kProbeSize), 0};
            return r;
        case kGetInfo:
            r.data = {0x03};
            return r;
        default:
            r.status = Usbip::kStatusStall;
            return r;
    }
    r.data.assign(p.begin(), p.begin() + std::min<size_t>(s.wLength, p.size()));
    return r;
}

SubmitReply UvcFunction::controlRequest(const Submit& urb) {
    const SetupBytes& s = urb.setup;
    const uint8_t selector = static_cast<uint8_t>(s.wValue >> 8);
    const uint8_t unit = static_cast<uint8_t>(s.wIndex >> 8);
    SubmitReply r;
    auto stall = [&](uint8_t code) {
        m_lastError = code;
        r.status = Usbip::kStatusStall;
        return r;
    };
    if (unit == 0 && selector == kVcRequestErrorCode && s.bRequest == kGetCur) {
        r.data = {m_lastError};
        return r;
    }
    const Control* c = nullptr;
    for (const auto& k : kControls) {
        if (k.unit == unit && k.selector == selector) c = &k;
    }
    if (!c) return stall(kErrInvalidControl);
    auto& uvc = m_camera->uvc();
    auto prop = uvc.property(c->set, c->property);
    if (!prop) return stall(kErrInvalidControl);

    auto reply = [&](int64_t v) {
        for (uint8_t i = 0; i < c->size; ++i) r.data.push_back(static_cast<uint8_t>(v >> (8 * i)));
        r.data.resize(std::min<size_t>(r.data.size(), s.wLength));
        m_lastError = kErrNone;
        return r;
    };
    const bool isAuto = (prop->flags & Sim::kSimUvcAuto) != 0;
    if (s.bRequest == kGetInfo) return reply(0x03);
    if (s.bRequest == kGetLen) {
        r.data = {c->size, 0};
        return r;
    }
    if (s.bRequest == kSetCur) {
        if (urb.data.size() < c->size) return stall(kErrOutOfRange);
        int64_t v = 0;
        for (uint8_t i = 0; i < c->size; ++i) v |= int64_t{urb.data[i]} << (8 * i);
        if (c->size == 2) v = static_cast<int16_t>(v);
        bool ok = false;
        const int32_t keepFlags = prop->flags;
        switch (c->kind) {
            case Kind::Value:
                ok = uvc.set(c->set, c->property, static_cast<int32_t>(v), keepFlags);
                break;
            case Kind::Auto:
                ok = (v == 0 || v == 1) && uvc.set(c->set, c->property, prop->value,
                                                   v ? Sim::kSimUvcAuto : Sim::kSimUvcManual);
                break;
            case Kind::AeMode:
                ok = (v == kAeManual || v == kAeAperturePriority || v == 2) &&
                     uvc.set(c->set, c->property, prop->value,
                             v == kAeManual ? Sim::kSimUvcManual : Sim::kSimUvcAuto);
                break;
            case Kind::Exposure: {
                const int32_t log2 =
                    std::clamp(exposureLog2(static_cast<int32_t>(v)), prop->min, prop->max);
                ok = uvc.set(c->set, c->property, log2, keepFlags);
                break;
            }
        }
        if (!ok) return stall(kErrOutOfRange);
        m_lastError = kErrNone;
        return r;
    }
    switch (c->kind) {
        case Kind::Value:
            switch (s.bRequest) {
                case kGetCur:
                    return reply(prop->value);
                case kGetMin:
                    return reply(prop->min);
                case kGetMax:
                    return reply(prop->max);
                case kGetRes:
                    return reply(prop->step);
                case kGetDef:
                    return reply(prop->defaultValue);
                default:
                    break;
            }
            break;
        case Kind::Auto:
            switch (s.bRequest) {
                case kGetCur:
                    return reply(isAuto ? 1 : 0);
                case kGetMin:
                    return reply(0);
                case kGetMax:
                case kGetRes:
                    return reply(1);
                case kGetDef:
                    return reply(c->autoDefault ? 1 : 0);
                default:
                    break;
            }
            break;
        case Kind::AeMode:
            switch (s.bRequest) {
                case kGetCur:
                    return reply(isAuto ? kAeAperturePriority : kAeManual);
                case kGetRes:
                    return reply(kAeManual | kAeAperturePriority);
                case kGetDef:
                    return reply(kAeAperturePriority);
                case kGetMin:
                    return reply(kAeManual);
                case kGetMax:
                    return reply(kAeAperturePriority);
                default:
                    break;
            }
            break;
        case Kind::Exposure:
            switch (s.bRequest) {
                case kGetCur:
                    return reply(exposureUnits(prop->value));
                case kGetMin:
                    return reply(exposureUnits(prop->min));
                case kGetMax:
                    return reply(exposureUnits(prop->max));
                case kGetRes:
                    return reply(1);
                case kGetDef:
                    return reply(exposureUnits(prop->defaultValue));
                default:
                    break;
            }
            break;
    }
    return stall(kErrInvalidRequest);
}

void UvcFunction::setInterface(uint16_t interface, uint16_t alternate) {
    if (interface != kVideoStreamingInterface) return;
    std::lock_guard lock(m_mutex);
    m_streaming = alternate != 0;
    m_frame.clear();
    m_frameOffset = 0;
    m_nextFrame = Clock::now();
    m_cv.notify_all();
}

void UvcFunction::submitVideo(Submit urb, Usbip::UsbipDevice::Completion done) {
    std::lock_guard lock(m_mutex);
    m_queue.push_back({std::move(urb), std::move(done)});
    m_cv.notify_all();
}

void UvcFunction::cancel(uint32_t seqnum) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_queue, [&](const Pending& p) { return p.urb.seqnum == seqnum; });
    m_cv.notify_all();
}

void UvcFunction::disconnect() {
    std::lock_guard lock(m_mutex);
    m_stopping = true;
    m_queue.clear();
    m_cv.notify_all();
}

uint32_t UvcFunction::framesSent() const {
    std::lock_guard lock(m_mutex);
    return m_frames;
}

void UvcFunction::streamLoop() {
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (m_queue.empty() || !m_streaming) {
            m_cv.wait(lock);
            continue;
        }
        // A new frame starts only when it is due: the stream runs at the committed rate.
        if (m_frame.empty() && Clock::now() < m_nextFrame) {
            m_cv.wait_until(lock, m_nextFrame);
            continue;
        }
        Pending p = std::move(m_queue.front());
        m_queue.pop_front();
        SubmitReply reply = fillUrb(p.urb);
        lock.unlock();
        p.done(std::move(reply));
        lock.lock();
    }
}

SubmitReply UvcFunction::fillUrb(const Submit& urb) {
    SubmitReply r;
    const auto& sizes = uvcFrameSizes();
    const auto& f = sizes[std::clamp<size_t>(m_commit[3], 1, sizes.size()) - 1];
    if (m_frame.empty()) {
        m_frame = renderFrame(m_camera->uvc(), f.width, f.height, m_frames);
        m_frameOffset = 0;
    }
    for (const auto& packet : urb.packets) {
        // The host sends its packets marked not yet transferred (-EXDEV); each one is answered.
        Usbip::IsoPacket out = packet;
        out.actualLength = 0;
        out.status = Usbip::kStatusOk;
        if (!m_frame.empty() && packet.length > kHeaderLength) {
            const size_t chunk =
                std::min<size_t>(packet.length - kHeaderLength, m_frame.size() - m_frameOffset);
            const bool last = m_frameOffset + chunk == m_frame.size();
            r.data.push_back(kHeaderLength);
            r.data.push_back(static_cast<uint8_t>(kHeaderEoh | m_fid | (last ? kHeaderEof : 0)));
            r.data.insert(r.data.end(), m_frame.begin() + static_cast<ptrdiff_t>(m_frameOffset),
                          m_frame.begin() + static_cast<ptrdiff_t>(m_frameOffset + chunk));
            out.actualLength = static_cast<uint32_t>(chunk + kHeaderLength);
            m_frameOffset += chunk;
            if (last) {
                m_frame.clear();
                m_fid ^= kHeaderFid;
                ++m_frames;
                const auto interval = std::chrono::nanoseconds(int64_t{get32(&m_commit[4])} * 100);
                m_nextFrame = std::max(m_nextFrame + interval, Clock::now() - interval);
            }
        }
        r.packets.push_back(out);
    }
    return r;
}

}  // namespace TVR::Simcam
