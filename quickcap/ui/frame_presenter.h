#pragma once

// Draws a window's frames: converts each slot straight into a QImage back buffer of the frame's
// size (no extra copy) and paints it letterboxed on navy when the window repaints. render()
// may run on any thread; painting follows the display's refresh, since Qt merges the update
// requests, so a 240 fps stream is converted 240 times a second but painted far less often.
// One lock per presenter serialises every operation.

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <memory>
#include <mutex>

#include "convert/convert_img2rgb32.h"
#include "core/frame_renderer.h"
#include "core/pipeline_rules.h"

class QPainter;

namespace OLK {

class FramePresenter : public FrameRenderer {
public:
    // Step codes of render(), shown in the error box.
    static constexpr uint32_t kStepBackBuffer = 253;
    static constexpr uint32_t kStepConvert = 256;
    static constexpr uint32_t kStepPresent = 265;

    FramePresenter() = default;
    FramePresenter(const FramePresenter&) = delete;
    FramePresenter& operator=(const FramePresenter&) = delete;

    // Remembers the window; null keeps the presenter off-screen (the bench).
    int32_t init(QWidget* window);
    // On every resize: recreates a missing back buffer and recomputes the destination.
    int32_t reset();
    int32_t setMediaType(const std::shared_ptr<Attributes>& mediaType) override;
    // 0 without a media type; otherwise converts the slot into the back buffer and asks the
    // window to repaint.
    int32_t render(WorkSlot* slot) override;
    CounterSnapshot conversionCounter() const override;
    void setConversionThreads(uint32_t n) override;

    Rect computeRect() const;
    // Paints the back buffer into the client area: navy around, the frame in its rectangle.
    void paint(QPainter& painter, const QRect& client);

    uint32_t fourCC() const;
    QSize frameSize() const;
    // A copy of the back buffer (tests and screenshots).
    QImage snapshot() const;
    uint64_t rendered() const { return m_rendered.load(std::memory_order_relaxed); }
    bool showErrors() const { return m_showErrors.load(); }

private:
    int32_t createBackBufferLocked();
    Rect computeRectLocked() const;
    void reportError(int32_t hr, uint32_t step);

    QPointer<QWidget> m_window;
    QImage m_backBuffer;
    std::atomic<bool> m_showErrors{true};
    std::atomic<bool> m_boxOpen{false};
    uint32_t m_fourCC = 0;
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    int32_t m_stride = 0;
    uint32_t m_aspectNum = 1;
    uint32_t m_aspectDen = 1;
    Rect m_dest;
    TVR::ConvertImg2RGB32 m_converter;
    mutable std::mutex m_lock;
    std::atomic<bool> m_updatePending{false};
    std::atomic<uint64_t> m_rendered{0};
};

}  // namespace OLK
