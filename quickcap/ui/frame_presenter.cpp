#include "frame_presenter.h"

#include <fmt/format.h>

#include <QMessageBox>
#include <QMetaObject>
#include <QPainter>

#include "media/media_util.h"
#include "media/mf_guids.h"
#include "media/mf_result.h"
#include "pool/work_slot.h"

namespace OLK {

namespace {
const QColor kNavy = QColor::fromRgba(0xFF000080);
}

int32_t FramePresenter::init(QWidget* window) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_window = window;
    m_dest = computeRectLocked();
    return S_OK;
}

int32_t FramePresenter::reset() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_backBuffer.isNull() && m_fourCC != 0) {
        const int32_t hr = createBackBufferLocked();
        if (failed(hr)) return hr;
    }
    m_dest = computeRectLocked();
    return S_OK;
}

int32_t FramePresenter::createBackBufferLocked() {
    m_backBuffer =
        QImage(static_cast<int>(m_width), static_cast<int>(m_height), QImage::Format_RGB32);
    if (m_backBuffer.isNull()) return E_OUTOFMEMORY;
    m_backBuffer.fill(kNavy);
    return S_OK;
}

int32_t FramePresenter::setMediaType(const std::shared_ptr<Attributes>& mediaType) {
    std::lock_guard<std::mutex> guard(m_lock);
    auto fail = [&](int32_t hr) {
        m_fourCC = 0;
        m_converter.setConversionFunction(GUID_NULL);
        return hr;
    };
    if (!mediaType) return fail(E_POINTER);
    GUID subtype = GUID_NULL;
    int32_t hr = mediaType->getGUID(MF_MT_SUBTYPE, &subtype);
    if (failed(hr)) return fail(hr);
    m_converter.setConversionFunction(subtype);
    uint32_t width = 0;
    uint32_t height = 0;
    hr = mediaType->getPair(MF_MT_FRAME_SIZE, &width, &height);
    if (failed(hr)) return fail(hr);
    if (width == 0 || height == 0) return fail(MF_E_INVALIDMEDIATYPE);
    uint32_t stride = 0;
    if (failed(mediaType->getUINT32(MF_MT_DEFAULT_STRIDE, &stride))) {
        int32_t computed = 0;
        if (!strideForFourCC(subtype.Data1, width, &computed)) return fail(MF_E_INVALIDMEDIATYPE);
        stride = static_cast<uint32_t>(computed);
        mediaType->setUINT32(MF_MT_DEFAULT_STRIDE, stride);
    }
    uint32_t num = 1;
    uint32_t den = 1;
    if (failed(mediaType->getPair(MF_MT_PIXEL_ASPECT_RATIO, &num, &den))) num = den = 1;
    m_width = width;
    m_height = height;
    m_stride = static_cast<int32_t>(stride);
    m_aspectNum = num;
    m_aspectDen = den;
    m_fourCC = subtype.Data1;
    hr = createBackBufferLocked();
    if (failed(hr)) return fail(hr);
    m_dest = computeRectLocked();
    return S_OK;
}

int32_t FramePresenter::render(WorkSlot* slot) {
    int32_t hr = S_OK;
    uint32_t step = 0;
    QWidget* window = nullptr;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        window = m_window.data();
        if (m_fourCC == 0) return S_OK;
        if (slot == nullptr) {
            hr = E_POINTER;
            step = kStepConvert;
        } else if (m_backBuffer.isNull()) {
            hr = E_OUTOFMEMORY;
            step = kStepBackBuffer;
        } else {
            m_converter(m_backBuffer.bits(), static_cast<int32_t>(m_backBuffer.bytesPerLine()),
                        slot->data(), m_stride, m_width, m_height);
            m_rendered.fetch_add(1, std::memory_order_relaxed);
        }
    }
    if (failed(hr)) {
        reportError(hr, step);
        return hr;
    }
    // One pending repaint at a time: the window shows the newest frame when it paints.
    if (window != nullptr && !m_updatePending.exchange(true)) {
        QPointer<QWidget> target(window);
        if (!QMetaObject::invokeMethod(
                window,
                [target] {
                    if (target) target->update();
                },
                Qt::QueuedConnection)) {
            m_updatePending = false;
            reportError(E_FAIL, kStepPresent);
            return E_FAIL;
        }
    }
    return S_OK;
}

void FramePresenter::reportError(int32_t hr, uint32_t step) {
    QWidget* window = nullptr;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        window = m_window.data();
    }
    if (window == nullptr || !m_showErrors.load() || m_boxOpen.exchange(true)) return;
    const QString text = QString::fromStdString(fmt::format(
        "Presenter returned error [{}] at code line [{}]\r\nPress OK to hide these errors, "
        "Cancel to keep showing them.",
        static_cast<uint32_t>(hr), step));
    QPointer<QWidget> target(window);
    QMetaObject::invokeMethod(
        window,
        [this, target, text] {
            if (!target) return;
            auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Presenter error"),
                                        text, QMessageBox::Ok | QMessageBox::Cancel, target);
            box->setAttribute(Qt::WA_DeleteOnClose);
            QObject::connect(box, &QMessageBox::finished, [this, box](int) {
                if (box->clickedButton() == box->button(QMessageBox::Ok)) m_showErrors = false;
                m_boxOpen = false;
            });
            box->open();
        },
        Qt::QueuedConnection);
}

CounterSnapshot FramePresenter::conversionCounter() const {
    std::lock_guard<std::mutex> guard(m_lock);
    const PerfCounter& counter = m_converter.perfCounter();
    return {counter.descr(), counter.avg()};
}

void FramePresenter::setConversionThreads(uint32_t n) { m_converter.setMaxWorkers(n); }

Rect FramePresenter::computeRectLocked() const {
    const QWidget* window = m_window.data();
    if (window == nullptr)
        return Rect{0, 0, static_cast<int32_t>(m_width), static_cast<int32_t>(m_height)};
    return OLK::computeRect(window->width(), window->height(), m_width, m_height);
}

Rect FramePresenter::computeRect() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return computeRectLocked();
}

void FramePresenter::paint(QPainter& painter, const QRect& client) {
    m_updatePending = false;
    std::lock_guard<std::mutex> guard(m_lock);
    painter.fillRect(client, kNavy);
    if (m_fourCC == 0 || m_backBuffer.isNull()) return;
    const Rect r = OLK::computeRect(client.width(), client.height(), m_width, m_height);
    m_dest = r;
    painter.drawImage(QRect(r.x, r.y, r.width, r.height), m_backBuffer);
}

uint32_t FramePresenter::fourCC() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_fourCC;
}

QSize FramePresenter::frameSize() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return QSize(static_cast<int>(m_width), static_cast<int>(m_height));
}

QImage FramePresenter::snapshot() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_backBuffer.copy();
}

}  // namespace OLK
