// Axes around a rendered picture: a time axis below it, a frequency axis at
// the left of each pane (linear, in Hz or kHz, for the sonogram; octaves for
// the FGT's logarithmic rows) and at the right of each pane a bar of its
// level colours from the upper level down to the lower one, both written in
// dB. The layout (the margins, where each tick and label goes) follows from
// the scales and the font's metrics alone, not from the device painted on;
// the picture's own pixels are copied unchanged inside the frame.
#pragma once

#include <QFont>
#include <QImage>
#include <QMargins>
#include <cstdint>
#include <string>
#include <vector>

class QPainter;

class AxisFrame {
public:
    // A tick at pixel `at` of the picture (x on the time axis, y on the
    // frequency axes) and its label.
    struct Tick {
        int at = 0;
        std::string label;
    };
    // One pane of the picture: its lines top .. top + height - 1.
    struct Pane {
        int top = 0;
        int height = 0;
        std::vector<Tick> ticks;
        std::string title;          // "Частота, кГц"
        std::vector<uint32_t> bar;  // level colours (0x00RRGGBB), from the upper level down
        std::string upper, lower;   // the levels' labels
    };
    struct Scales {
        std::vector<Tick> time;
        std::string timeTitle;
        std::vector<Pane> panes;
    };

    static constexpr int kTick = 4;
    static constexpr int kGap = 3;
    static constexpr int kBarWidth = 12;

    // DejaVu Sans of 11 pixels.
    static QFont Font();
    explicit AxisFrame(const QFont& font = Font());

    // Ticks of a linear axis on which pixel p (from `first` to `last`) shows
    // the value a + b·p, at round steps at least `spacing` pixels apart,
    // labelled in units of `unit`; the step chosen goes to `step`.
    static std::vector<Tick> LinearTicks(double a, double b, int first, int last, double spacing,
                                         double unit = 1.0, double* step = nullptr);
    // The step LinearTicks chooses for the same axis.
    static double LinearStep(double b, int first, int last, double spacing);
    // The pixels between the ticks of a time axis and of a frequency axis
    // with this font.
    double TimeSpacing() const;
    double FrequencySpacing() const;

    // The margins around a picture of `size` pixels that the axes take.
    QMargins Margins(const Scales& scales, QSize size) const;
    // Paints the axes of a picture of `size` pixels that lies at the top
    // left corner of the margins on the painter's surface (the picture
    // itself is not painted).
    void Paint(QPainter& painter, const Scales& scales, QSize size) const;
    // The picture inside its axes: a new image (null when memory ran short).
    QImage Frame(const QImage& picture, const Scales& scales) const;

private:
    QFont m_font;
};
