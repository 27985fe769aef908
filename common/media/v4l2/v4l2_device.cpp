#include "media/v4l2/v4l2_device.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "media/mf_guids.h"
#include "media/mf_result.h"
#include "media/source_reader_base.h"
#include "media/v4l2/v4l2_formats.h"

namespace OLK {
namespace {

// Drivers are outside data: every enumeration loop is bounded.
constexpr uint32_t kMaxFormats = 64;
constexpr uint32_t kMaxSizes = 128;
constexpr uint32_t kMaxIntervals = 64;
constexpr uint32_t kBufferCount = 4;
constexpr int kReadTimeoutMs = 5000;
constexpr uint32_t kDefaultFps = 30;

int xioctl(int fd, unsigned long request, void* arg) {
    int r;
    do {
        r = ioctl(fd, request, arg);
    } while (r == -1 && errno == EINTR);
    return r;
}

int32_t errnoResult(int err) {
    switch (err) {
        case ENODEV:
        case ENXIO:
        case ENOENT:
            return E_DEVICE_GONE;
        case EBUSY:
            return E_BUSY;
        case EACCES:
        case EPERM:
            return E_ACCESS_DENIED;
        case EINVAL:
            return MF_E_INVALIDMEDIATYPE;
        case ENOMEM:
            return E_OUTOFMEMORY;
        default:
            return E_FAIL;
    }
}

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    int get() const { return m_fd; }

private:
    int m_fd;
};

std::string cString(const uint8_t* text, size_t size) {
    size_t n = 0;
    while (n < size && text[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(text), n);
}

bool isCaptureNode(int fd, std::string* card) {
    v4l2_capability cap{};
    if (xioctl(fd, VIDIOC_QUERYCAP, &cap) != 0) return false;
    uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    if ((caps & V4L2_CAP_VIDEO_CAPTURE) == 0 || (caps & V4L2_CAP_STREAMING) == 0) return false;
    *card = cString(cap.card, sizeof(cap.card));
    return true;
}

void fillTryFormat(int fd, V4l2ModeFacts* f) {
    v4l2_format fmt{};
    fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    fmt.fmt.pix.width = f->width;
    fmt.fmt.pix.height = f->height;
    fmt.fmt.pix.pixelformat = f->pixelFormat;
    fmt.fmt.pix.field = V4L2_FIELD_ANY;
    if (xioctl(fd, VIDIOC_TRY_FMT, &fmt) == 0 && fmt.fmt.pix.width == f->width &&
        fmt.fmt.pix.height == f->height) {
        f->bytesPerLine = fmt.fmt.pix.bytesperline;
        f->sizeImage = fmt.fmt.pix.sizeimage;
        f->field = fmt.fmt.pix.field;
    } else {
        f->field = V4L2_FIELD_NONE;
    }
}

void appendIntervals(int fd, V4l2ModeFacts base, std::vector<std::shared_ptr<Attributes>>* out) {
    v4l2_frmivalenum iv{};
    iv.pixel_format = base.pixelFormat;
    iv.width = base.width;
    iv.height = base.height;
    bool any = false;
    for (iv.index = 0; iv.index < kMaxIntervals; ++iv.index) {
        if (xioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &iv) != 0) break;
        V4l2ModeFacts f = base;
        if (iv.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
            if (iv.discrete.numerator == 0 || iv.discrete.denominator == 0) continue;
            f.rateNum = f.minRateNum = f.maxRateNum = iv.discrete.denominator;
            f.rateDen = f.minRateDen = f.maxRateDen = iv.discrete.numerator;
            out->push_back(v4l2ModeAttributes(f));
            any = true;
        } else {
            // A range: the shortest interval gives the highest rate.
            if (iv.stepwise.min.numerator == 0 || iv.stepwise.max.numerator == 0) break;
            f.rateNum = f.maxRateNum = iv.stepwise.min.denominator;
            f.rateDen = f.maxRateDen = iv.stepwise.min.numerator;
            f.minRateNum = iv.stepwise.max.denominator;
            f.minRateDen = iv.stepwise.max.numerator;
            out->push_back(v4l2ModeAttributes(f));
            any = true;
            break;
        }
    }
    if (!any) {
        base.rateNum = base.minRateNum = base.maxRateNum = kDefaultFps;
        out->push_back(v4l2ModeAttributes(base));
    }
}

std::vector<std::shared_ptr<Attributes>> enumModes(int fd) {
    std::vector<std::shared_ptr<Attributes>> modes;
    v4l2_fmtdesc desc{};
    desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    for (desc.index = 0; desc.index < kMaxFormats; ++desc.index) {
        if (xioctl(fd, VIDIOC_ENUM_FMT, &desc) != 0) break;
        V4l2ModeFacts base;
        base.pixelFormat = desc.pixelformat;
        base.compressed = (desc.flags & V4L2_FMT_FLAG_COMPRESSED) != 0;
        v4l2_frmsizeenum fs{};
        fs.pixel_format = desc.pixelformat;
        for (fs.index = 0; fs.index < kMaxSizes; ++fs.index) {
            if (xioctl(fd, VIDIOC_ENUM_FRAMESIZES, &fs) != 0) break;
            if (fs.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
                V4l2ModeFacts f = base;
                f.width = fs.discrete.width;
                f.height = fs.discrete.height;
                fillTryFormat(fd, &f);
                appendIntervals(fd, f, &modes);
            } else {
                // Stepwise or continuous: offer the smallest and the largest size.
                const uint32_t sizes[2][2] = {{fs.stepwise.min_width, fs.stepwise.min_height},
                                              {fs.stepwise.max_width, fs.stepwise.max_height}};
                for (const auto& wh : sizes) {
                    if (wh[0] == 0 || wh[1] == 0) continue;
                    V4l2ModeFacts f = base;
                    f.width = wh[0];
                    f.height = wh[1];
                    fillTryFormat(fd, &f);
                    appendIntervals(fd, f, &modes);
                }
                break;
            }
        }
    }
    return modes;
}

// One configured capture: the open node and its mapped buffers. Buffers handed out as samples
// keep it alive and are queued back to the driver when released.
class V4l2Stream {
public:
    ~V4l2Stream() {
        if (m_streaming) {
            int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            xioctl(m_fd, VIDIOC_STREAMOFF, &type);
        }
        for (const Mapping& m : m_maps) {
            if (m.addr != MAP_FAILED) munmap(m.addr, m.length);
        }
        if (m_fd >= 0) {
            v4l2_requestbuffers req{};
            req.count = 0;
            req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            req.memory = V4L2_MEMORY_MMAP;
            xioctl(m_fd, VIDIOC_REQBUFS, &req);
            ::close(m_fd);
        }
    }

    int32_t open(const std::string& path, uint32_t pixelFormat, uint32_t width, uint32_t height,
                 uint32_t rateNum, uint32_t rateDen) {
        m_fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0) return errnoResult(errno);
        v4l2_format fmt{};
        fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        fmt.fmt.pix.width = width;
        fmt.fmt.pix.height = height;
        fmt.fmt.pix.pixelformat = pixelFormat;
        fmt.fmt.pix.field = V4L2_FIELD_ANY;
        if (xioctl(m_fd, VIDIOC_S_FMT, &fmt) != 0) return errnoResult(errno);
        if (fmt.fmt.pix.pixelformat != pixelFormat || fmt.fmt.pix.width != width ||
            fmt.fmt.pix.height != height) {
            return MF_E_INVALIDMEDIATYPE;
        }
        if (rateNum != 0 && rateDen != 0) {
            v4l2_streamparm parm{};
            parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            parm.parm.capture.timeperframe.numerator = rateDen;
            parm.parm.capture.timeperframe.denominator = rateNum;
            // Drivers without frame-rate control refuse this; their own rate stays.
            xioctl(m_fd, VIDIOC_S_PARM, &parm);
        }
        v4l2_requestbuffers req{};
        req.count = kBufferCount;
        req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        req.memory = V4L2_MEMORY_MMAP;
        if (xioctl(m_fd, VIDIOC_REQBUFS, &req) != 0) return errnoResult(errno);
        if (req.count == 0) return E_OUTOFMEMORY;
        for (uint32_t i = 0; i < req.count; ++i) {
            v4l2_buffer buf{};
            buf.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            buf.memory = V4L2_MEMORY_MMAP;
            buf.index = i;
            if (xioctl(m_fd, VIDIOC_QUERYBUF, &buf) != 0) return errnoResult(errno);
            void* addr =
                mmap(nullptr, buf.length, PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, buf.m.offset);
            m_maps.push_back({addr, buf.length});
            if (addr == MAP_FAILED) return errnoResult(errno);
        }
        for (uint32_t i = 0; i < m_maps.size(); ++i) {
            if (queue(i) != S_OK) return errnoResult(errno);
        }
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (xioctl(m_fd, VIDIOC_STREAMON, &type) != 0) return errnoResult(errno);
        m_streaming = true;
        return S_OK;
    }

    int fd() const { return m_fd; }

    int32_t queue(uint32_t index) {
        v4l2_buffer buf{};
        buf.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buf.memory = V4L2_MEMORY_MMAP;
        buf.index = index;
        return xioctl(m_fd, VIDIOC_QBUF, &buf) == 0 ? S_OK : errnoResult(errno);
    }

    // S_OK with a buffer, S_FALSE when none is ready yet.
    int32_t dequeue(uint32_t* index, uint32_t* bytes, int64_t* time, uint32_t* sequence,
                    bool* corrupt) {
        v4l2_buffer buf{};
        buf.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buf.memory = V4L2_MEMORY_MMAP;
        if (xioctl(m_fd, VIDIOC_DQBUF, &buf) != 0) {
            return errno == EAGAIN ? S_FALSE : errnoResult(errno);
        }
        if (buf.index >= m_maps.size()) return E_FAIL;
        *index = buf.index;
        *bytes = std::min<uint32_t>(buf.bytesused, static_cast<uint32_t>(m_maps[buf.index].length));
        *time = static_cast<int64_t>(buf.timestamp.tv_sec) * 10000000 +
                static_cast<int64_t>(buf.timestamp.tv_usec) * 10;
        *sequence = buf.sequence;
        *corrupt = (buf.flags & V4L2_BUF_FLAG_ERROR) != 0;
        return S_OK;
    }

    uint8_t* address(uint32_t index) const { return static_cast<uint8_t*>(m_maps[index].addr); }
    uint32_t length(uint32_t index) const { return static_cast<uint32_t>(m_maps[index].length); }

private:
    struct Mapping {
        void* addr;
        size_t length;
    };
    int m_fd = -1;
    bool m_streaming = false;
    std::vector<Mapping> m_maps;
};

class V4l2Buffer : public MediaBuffer {
public:
    V4l2Buffer(std::shared_ptr<V4l2Stream> stream, uint32_t index, uint32_t bytes)
        : m_stream(std::move(stream)), m_index(index), m_bytes(bytes) {}
    ~V4l2Buffer() override { m_stream->queue(m_index); }

    int32_t lock(uint8_t** data, uint32_t* maxLength, uint32_t* currentLength) override {
        if (data == nullptr) return E_POINTER;
        *data = m_stream->address(m_index);
        if (maxLength != nullptr) *maxLength = m_stream->length(m_index);
        if (currentLength != nullptr) *currentLength = m_bytes;
        return S_OK;
    }
    int32_t unlock() override { return S_OK; }
    uint32_t currentLength() const override { return m_bytes; }

private:
    std::shared_ptr<V4l2Stream> m_stream;
    uint32_t m_index;
    uint32_t m_bytes;
};

class V4l2Reader : public SourceReaderBase {
public:
    V4l2Reader(std::string path, SourceReaderCallback* callback)
        : SourceReaderBase(callback),
          m_path(std::move(path)),
          m_wake(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

    ~V4l2Reader() override { stopPump(); }

    int32_t setCurrentMediaType(uint32_t streamIndex, const Attributes& mediaType) override {
        if (streamIndex != 0 && streamIndex != MF_SOURCE_READER_FIRST_VIDEO_STREAM) {
            return MF_E_INVALIDSTREAMNUMBER;
        }
        GUID subtype = GUID_NULL;
        uint32_t width = 0;
        uint32_t height = 0;
        if (mediaType.getGUID(MF_MT_SUBTYPE, &subtype) != S_OK ||
            mediaType.getPair(MF_MT_FRAME_SIZE, &width, &height) != S_OK) {
            return MF_E_INVALIDMEDIATYPE;
        }
        uint32_t pixelFormat = v4l2FromSubtype(subtype);
        if (pixelFormat == 0) return MF_E_INVALIDMEDIATYPE;
        uint32_t num = 0;
        uint32_t den = 0;
        mediaType.getPair(MF_MT_FRAME_RATE, &num, &den);
        {
            // The node allows one streaming owner: release the previous configuration first.
            std::lock_guard<std::mutex> guard(m_lock);
            m_stream.reset();
        }
        auto stream = std::make_shared<V4l2Stream>();
        int32_t hr = stream->open(m_path, pixelFormat, width, height, num, den);
        if (failed(hr)) return hr;
        std::lock_guard<std::mutex> guard(m_lock);
        m_stream = std::move(stream);
        return S_OK;
    }

protected:
    int32_t readBlocking(uint32_t streamIndex, uint32_t* actualStreamIndex, uint32_t* streamFlags,
                         int64_t* timestamp, std::shared_ptr<Sample>* sample) override {
        if (streamIndex != 0 && streamIndex != MF_SOURCE_READER_FIRST_VIDEO_STREAM &&
            streamIndex != MF_SOURCE_READER_ANY_STREAM) {
            return MF_E_INVALIDSTREAMNUMBER;
        }
        std::shared_ptr<V4l2Stream> stream;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            stream = m_stream;
        }
        if (!stream) return MF_E_INVALIDREQUEST;
        for (;;) {
            pollfd fds[2] = {{stream->fd(), POLLIN, 0}, {m_wake.get(), POLLIN, 0}};
            int n = poll(fds, 2, kReadTimeoutMs);
            if (n < 0) {
                if (errno == EINTR) continue;
                return E_FAIL;
            }
            if (n == 0) return E_TIMEOUT;
            if (fds[1].revents != 0) return MF_E_SHUTDOWN;
            if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
                // POLLERR on a streaming node means the device went away.
                return E_DEVICE_GONE;
            }
            uint32_t index = 0;
            uint32_t bytes = 0;
            int64_t time = 0;
            uint32_t sequence = 0;
            bool corrupt = false;
            int32_t hr = stream->dequeue(&index, &bytes, &time, &sequence, &corrupt);
            if (hr == S_FALSE) continue;
            if (failed(hr)) return hr;
            if (corrupt) {
                stream->queue(index);
                continue;
            }
            *actualStreamIndex = 0;
            *streamFlags = 0;
            *timestamp = time;
            *sample = std::make_shared<Sample>(std::make_shared<V4l2Buffer>(stream, index, bytes),
                                               time, sequence);
            return S_OK;
        }
    }

    void interrupt() override {
        uint64_t one = 1;
        if (m_wake.get() >= 0) {
            ssize_t written = ::write(m_wake.get(), &one, sizeof(one));
            (void)written;
        }
    }

private:
    std::string m_path;
    Fd m_wake;
    std::mutex m_lock;
    std::shared_ptr<V4l2Stream> m_stream;
};

class V4l2Source : public MediaSource {
public:
    V4l2Source(std::string path, std::shared_ptr<StreamDescriptor> stream)
        : m_path(std::move(path)), m_stream(std::move(stream)) {}

    int32_t createPresentationDescriptor(std::shared_ptr<PresentationDescriptor>* pd) override {
        if (pd == nullptr) return E_POINTER;
        if (m_shutdown) return MF_E_SHUTDOWN;
        *pd = std::make_shared<PresentationDescriptor>(
            std::vector<std::shared_ptr<StreamDescriptor>>{m_stream});
        return S_OK;
    }

    int32_t createSourceReader(const Attributes* /*config*/, SourceReaderCallback* callback,
                               std::shared_ptr<SourceReader>* reader) override {
        if (reader == nullptr) return E_POINTER;
        if (m_shutdown) return MF_E_SHUTDOWN;
        // Converters are never inserted: the reader always delivers the node's own format.
        *reader = std::make_shared<V4l2Reader>(m_path, callback);
        return S_OK;
    }

    int32_t shutdown() override {
        m_shutdown = true;
        return S_OK;
    }

private:
    std::string m_path;
    std::shared_ptr<StreamDescriptor> m_stream;
    bool m_shutdown = false;
};

class V4l2Activate : public Activate {
public:
    explicit V4l2Activate(std::string path) : m_path(std::move(path)) {}

    int32_t activateObject(std::shared_ptr<MediaSource>* source) override {
        if (source == nullptr) return E_POINTER;
        Fd fd(::open(m_path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
        if (fd.get() < 0) return errnoResult(errno);
        std::string card;
        if (!isCaptureNode(fd.get(), &card)) return E_DEVICE_GONE;
        auto handler = std::make_shared<MediaTypeHandler>(MFMediaType_Video, enumModes(fd.get()));
        *source = std::make_shared<V4l2Source>(
            m_path, std::make_shared<StreamDescriptor>(0, std::move(handler)));
        return S_OK;
    }

private:
    std::string m_path;
};

bool videoNodeNumber(const char* name, unsigned* number) {
    if (std::strncmp(name, "video", 5) != 0 || name[5] == 0) return false;
    unsigned n = 0;
    for (const char* p = name + 5; *p != 0; ++p) {
        if (*p < '0' || *p > '9' || n > 100000) return false;
        n = n * 10 + static_cast<unsigned>(*p - '0');
    }
    *number = n;
    return true;
}

}  // namespace

std::vector<std::shared_ptr<Activate>> enumV4l2Devices(const std::string& dir) {
    std::vector<std::pair<unsigned, std::string>> nodes;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            unsigned number = 0;
            if (videoNodeNumber(e->d_name, &number)) nodes.emplace_back(number, e->d_name);
        }
        closedir(d);
    }
    std::sort(nodes.begin(), nodes.end());
    std::vector<std::shared_ptr<Activate>> out;
    for (const auto& node : nodes) {
        const std::string path = dir + "/" + node.second;
        Fd fd(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
        std::string card;
        if (fd.get() < 0 || !isCaptureNode(fd.get(), &card)) continue;
        auto activate = std::make_shared<V4l2Activate>(path);
        activate->setString(MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME, card);
        activate->setGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE,
                          MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID);
        activate->setString(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_SYMBOLIC_LINK, path);
        out.push_back(std::move(activate));
    }
    return out;
}

}  // namespace OLK
