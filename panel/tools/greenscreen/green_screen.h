#pragma once

// CGreenScreen: the "Configure the chroma key enhancer (color substitution)" window. It maps its
// widgets to a GreenScreenModel: the current band's check box, six sliders with their number
// boxes, the key brightness, the two colour swatches (the key swatch starts the screen colour
// picker, the replacement swatch opens the colour dialog), the four band buttons (click to
// select, drag onto another to copy) and the inverse button. User-interface thread only.

#include <QColor>
#include <QImage>
#include <QMimeData>
#include <QPushButton>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "shell/dlg_base.h"
#include "tools/greenscreen/green_screen_model.h"

class QCheckBox;
class QLabel;
class QSlider;
class QSpinBox;

namespace TVR {

class GreenScreenModel;

// The private MIME type of a dragged band: its index as a 4-byte little-endian integer.
inline constexpr const char* kBandMimeType = "application/x-tavro-band-index";

// A band button: draws its band, starts a drag of its index and takes drops of the others.
class CGSButton : public QPushButton {
    Q_OBJECT
public:
    CGSButton(const GreenScreenModel& model, int band, QWidget* parent);
    int band() const { return m_band; }
    // The data a drag of this button carries.
    std::unique_ptr<QMimeData> dragData() const;
    // The band index a drag carries; empty when it is not a band of this window's kind.
    static std::optional<int> draggedBand(const QMimeData* data);

signals:
    void bandDropped(int from, int to);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void acceptOtherBand(QDragMoveEvent* event) const;

    const GreenScreenModel& m_model;
    int m_band;
    QPoint m_pressAt;
    bool m_pressed = false;
};

class CGreenScreen : public CDlgBaseFX3 {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 114;
    static constexpr int kEnableCheck = 1111;
    static constexpr int kHueSlider = 1112;
    static constexpr int kHueEdit = 1113;
    static constexpr int kToleranceSlider = 1115;
    static constexpr int kToleranceEdit = 1116;
    static constexpr int kSatMinSlider = 1118;
    static constexpr int kSatMinEdit = 1119;
    static constexpr int kSatMaxSlider = 1121;
    static constexpr int kSatMaxEdit = 1122;
    static constexpr int kLumMinSlider = 1137;
    static constexpr int kLumMinEdit = 1138;
    static constexpr int kLumMaxSlider = 1140;
    static constexpr int kLumMaxEdit = 1141;
    static constexpr int kKeySlider = 1136;
    static constexpr int kKeySwatch = 1134;
    static constexpr int kColourSwatch = 1135;
    static constexpr int kFirstBandButton = 1252;
    static constexpr int kInverseButton = 1256;

    // Answers the colour dialog; empty when cancelled.
    using ColourChooser = std::function<std::optional<QColor>(const QColor& initial)>;

    CGreenScreen(GreenScreenModel& model, const PreferencesStorage* geometry, QWidget* parent);
    ~CGreenScreen() override;

    void updateControls() override;
    void setCameraValid(bool valid) override;

    // The system colour dialog unless set.
    void setColourChooser(ColourChooser chooser) { m_chooseColour = std::move(chooser); }
    // Starts the colour picker over this picture of the screen (the key swatch grabs the
    // screen itself). The picker window is a top-level window named "colourPicker".
    void startPicker(const QImage& screen);
    QWidget* pickerWindow() const { return m_picker; }
    // A band button was clicked.
    void selectBand(int band);
    // A band was dropped onto another.
    void copyBand(int from, int to);
    void buildInverse();
    void chooseReplacementColour();

public slots:
    void accept() override;
    void reject() override;

private:
    struct FieldControls {
        BandField field;
        QSlider* slider = nullptr;
        QSpinBox* edit = nullptr;
    };

    void onFieldEdited(BandField field, int value);
    void onEnableClicked(bool checked);
    void onKeySlider(int position);
    void grabAndPick();
    // The picker's events (from the picker window).
    void pickerMoved(QPoint at);
    void pickerPressed();
    void pickerReleased(QPoint at);
    void finishPicker(bool accepted);
    Rgb pixelAt(QPoint at) const;
    void showPicked();
    void repaintBands();
    // Runs camera work behind the splash, holding the camera's work.
    void runUpload(const std::function<void()>& step);
    void showConnection();

    GreenScreenModel& m_model;
    std::array<FieldControls, 6> m_fields{};
    QCheckBox* m_enable = nullptr;
    QSlider* m_keySlider = nullptr;
    QWidget* m_hueBar = nullptr;
    QWidget* m_keySwatch = nullptr;
    QWidget* m_colourSwatch = nullptr;
    QLabel* m_status = nullptr;
    std::array<CGSButton*, kColorSubsBands> m_buttons{};
    ColourChooser m_chooseColour;
    QWidget* m_picker = nullptr;
    QImage m_screen;

    friend class PickerWindow;
};

}  // namespace TVR
