#include <gtest/gtest.h>

#include <QPainter>
#include <vector>

#include "media/mf_guids.h"
#include "media/mf_result.h"
#include "pool/work_slot.h"
#include "ui/frame_presenter.h"

namespace OLK {
namespace {

std::shared_ptr<Attributes> rgb32(uint32_t w, uint32_t h, bool withStride) {
    auto mt = std::make_shared<Attributes>();
    mt->setGUID(MF_MT_SUBTYPE, MFVideoFormat_RGB32);
    mt->setPair(MF_MT_FRAME_SIZE, w, h);
    if (withStride) mt->setUINT32(MF_MT_DEFAULT_STRIDE, w * 4);
    return mt;
}

TEST(FramePresenter, ConvertsIntoTheBackBufferAndLetterboxesOnNavy) {
    QWidget window;
    window.resize(800, 600);
    FramePresenter presenter;
    presenter.init(&window);
    EXPECT_EQ(presenter.render(nullptr), S_OK);  // no media type yet: nothing to do
    auto mt = rgb32(1280, 720, false);
    ASSERT_EQ(presenter.setMediaType(mt), S_OK);
    uint32_t stride = 0;
    EXPECT_EQ(mt->getUINT32(MF_MT_DEFAULT_STRIDE, &stride), S_OK);  // computed and stored
    EXPECT_EQ(stride, 1280u * 4);
    EXPECT_EQ(presenter.computeRect(), (Rect{0, 75, 800, 450}));

    std::vector<uint8_t> block(WorkSlot::sizeInBytes() + 1280 * 720 * 4 + 16);
    auto* slot = WorkSlot::fromBlock(block.data());
    for (size_t i = 0; i < 1280u * 720u; ++i) {
        uint8_t* px = slot->data() + 4 * i;
        px[0] = 0x30;  // blue
        px[1] = 0x20;  // green
        px[2] = 0x10;  // red
        px[3] = 0xFF;
    }
    ASSERT_EQ(presenter.render(slot), S_OK);
    EXPECT_EQ(presenter.snapshot().pixel(640, 360), 0xFF102030u);

    QImage screen(800, 600, QImage::Format_RGB32);
    QPainter painter(&screen);
    presenter.paint(painter, screen.rect());
    painter.end();
    EXPECT_EQ(screen.pixel(400, 10), 0xFF000080u);
    EXPECT_EQ(screen.pixel(400, 74), 0xFF000080u);
    EXPECT_EQ(screen.pixel(400, 75), 0xFF102030u);
    EXPECT_EQ(screen.pixel(400, 524), 0xFF102030u);
    EXPECT_EQ(screen.pixel(400, 525), 0xFF000080u);
}

TEST(FramePresenter, AMediaTypeWithoutAFrameSizeIsRefusedAndDrawsNothing) {
    FramePresenter presenter;
    presenter.init(nullptr);
    auto mt = std::make_shared<Attributes>();
    mt->setGUID(MF_MT_SUBTYPE, MFVideoFormat_YUY2);
    EXPECT_TRUE(failed(presenter.setMediaType(mt)));
    EXPECT_EQ(presenter.fourCC(), 0u);
    EXPECT_EQ(presenter.render(nullptr), S_OK);
    EXPECT_EQ(presenter.rendered(), 0u);
}

}  // namespace
}  // namespace OLK
