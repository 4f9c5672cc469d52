#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace quietmon {

// Colours as the desktop stores them: 0x00BBGGRR.
namespace meter_colour {
inline constexpr std::uint32_t red = 0x0000FF;
inline constexpr std::uint32_t yellow = 0x00FFFF;
inline constexpr std::uint32_t lime = 0x00FF00;
inline constexpr std::uint32_t silver = 0xC0C0C0;
inline constexpr std::uint32_t black = 0x000000;
} // namespace meter_colour

// The level meter without its painting: which segments exist, where they lie, their colours and which
// of them are lit. Levels are in dBFS; `levelMax` counts as 0 dB.
class VuMeterTable {
public:
    struct Segment {
        float threshold;      // linear level above which the segment lights
        std::uint32_t colour; // lit
        std::uint32_t unlit;
    };
    // A segment whose state changed in showLevels, to be redrawn.
    struct Change {
        int column;
        int position;
        bool lit;
    };

    VuMeterTable() { rebuild(); }

    void setLevelMax(int level);
    void setLevelMin(int level);
    void setLevelHigh(int level);
    void setLevelMed(int level);
    void setColourHigh(std::uint32_t colour);
    void setColourMed(std::uint32_t colour);
    void setColourLow(std::uint32_t colour);
    void setStereo(bool stereo);
    void setSize(int width, int height);
    void setPenWidth(int width) { m_penWidth = width; }

    int levelMax() const { return m_levelMax; }
    int levelMin() const { return m_levelMin; }
    int levelHigh() const { return m_levelHigh; }
    int levelMed() const { return m_levelMed; }
    bool stereo() const { return m_stereo; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    int penWidth() const { return m_penWidth; }

    // The top position; positions run 0..N.
    int topPosition() const { return static_cast<int>(m_segments.size()) - 1; }
    const std::vector<Segment>& segments() const { return m_segments; }
    int columns() const { return m_stereo ? 2 : 1; }
    int litCount(int column) const { return m_lit[static_cast<std::size_t>(column)]; }
    // The y of a position's line and a column's x span (first, last).
    int lineY(int position) const { return m_height - 3 * position - 2; }
    std::pair<int, int> columnSpan(int column) const;

    // New linear values for the columns; returns the segments that changed, for a partial redraw.
    std::vector<Change> showLevels(double left, double right);
    // After a property change: every segment unlit.
    void resetLit() { m_lit = {0, 0}; }

private:
    void rebuild();
    void recolour();
    int litFor(double value) const;

    int m_levelMax = 0;
    int m_levelMin = -50;
    int m_levelHigh = -6;
    int m_levelMed = -12;
    std::uint32_t m_colourHigh = meter_colour::red;
    std::uint32_t m_colourMed = meter_colour::yellow;
    std::uint32_t m_colourLow = meter_colour::lime;
    int m_penWidth = 2;
    bool m_stereo = true;
    int m_width = 32;
    int m_height = 152;
    std::vector<Segment> m_segments;
    std::array<int, 2> m_lit{0, 0};
};

} // namespace quietmon
