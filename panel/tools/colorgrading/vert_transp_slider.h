#pragma once

// CVertTranspSlider: one of the 64 vertical sliders of a colour-grading editor. It paints no
// groove or background of its own, so the editor's picture shows through, only a dotted guide
// line and its thumb in the look of its state. User-interface thread.

#include <QSlider>

#include "tools/colorgrading/color_grading_model.h"

namespace TVR {

class CVertTranspSlider : public QSlider {
    Q_OBJECT
public:
    CVertTranspSlider(int index, QWidget* parent);

    int index() const { return m_index; }
    SliderState state() const { return m_state; }
    void setState(SliderState state);
    // The thumb as painted, in the slider's coordinates.
    QRect thumbRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_index;
    SliderState m_state = SliderState::Plain;
};

}  // namespace TVR
