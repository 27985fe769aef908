#include "gui_test_helpers.h"

#include <QTest>

namespace TVR::GuiTest {

CameraRig::CameraRig(const std::string& simOptions) : TestSupport::SimCameraRig(simOptions) {}

void clickBox(QAbstractButton* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

bool waitUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 300 && !done(); ++i) QTest::qWait(10);
    return done();
}

}  // namespace TVR::GuiTest
