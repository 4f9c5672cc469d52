#pragma once

#include "audio/ui/VuMeterTable.h"

#include <QImage>
#include <QWidget>

namespace quietmon {

// The two-column level meter. It draws into an image of its own size and copies it to the screen when
// painted; a new level redraws only the segments whose state changed. While the meter cannot be seen it
// draws nothing and catches up when it is shown.
class VuMeterWidget final : public QWidget {
public:
    explicit VuMeterWidget(QWidget* parent = nullptr);

    VuMeterTable& table() { return m_table; }
    // Setters that change the segments redraw the whole meter.
    void setLevelMin(int level) {
        changed([&] { m_table.setLevelMin(level); });
    }
    void setLevelMax(int level) {
        changed([&] { m_table.setLevelMax(level); });
    }
    void setLevelHigh(int level) {
        changed([&] { m_table.setLevelHigh(level); });
    }
    void setLevelMed(int level) {
        changed([&] { m_table.setLevelMed(level); });
    }
    void setColours(std::uint32_t high, std::uint32_t med, std::uint32_t low);
    void setBackgroundColour(std::uint32_t colour);
    void showLevels(double left, double right);
    const QImage& image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    template <typename Change> void changed(Change change) {
        change();
        redrawAll();
    }
    void redrawAll();
    void catchUp();
    void drawChanges(const std::vector<VuMeterTable::Change>& changes);
    void drawSegment(int column, int position, bool lit);
    bool drawingVisible() const;

    VuMeterTable m_table;
    QImage m_image;
    std::uint32_t m_background = meter_colour::silver;
    bool m_stale = true; // the image lags the levels: redraw before it is next shown
    double m_lastLeft = 0.0;
    double m_lastRight = 0.0;
};

} // namespace quietmon
