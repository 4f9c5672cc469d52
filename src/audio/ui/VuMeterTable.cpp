#include "audio/ui/VuMeterTable.h"

#include <algorithm>
#include <cmath>

namespace quietmon {

namespace {

// Each of the colour's four bytes halved.
std::uint32_t halved(std::uint32_t colour) {
    std::uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8)
        result |= (((colour >> shift) & 0xFFu) / 2) << shift;
    return result;
}

// The nearest integer, halves to the even one.
int nearest(double value) {
    return static_cast<int>(std::nearbyint(value));
}

} // namespace

void VuMeterTable::setLevelMax(int level) {
    m_levelMax = level < m_levelMin ? m_levelMin + 1 : level;
    rebuild();
}

void VuMeterTable::setLevelMin(int level) {
    m_levelMin = level > m_levelMax ? m_levelMax - 1 : level;
    rebuild();
}

void VuMeterTable::setLevelHigh(int level) {
    m_levelHigh = std::clamp(level, m_levelMin, m_levelMax);
    rebuild();
}

void VuMeterTable::setLevelMed(int level) {
    m_levelMed = std::clamp(level, m_levelMin, m_levelMax);
    rebuild();
}

void VuMeterTable::setColourHigh(std::uint32_t colour) {
    m_colourHigh = colour;
    recolour();
}

void VuMeterTable::setColourMed(std::uint32_t colour) {
    m_colourMed = colour;
    recolour();
}

void VuMeterTable::setColourLow(std::uint32_t colour) {
    m_colourLow = colour;
    recolour();
}

void VuMeterTable::setStereo(bool stereo) {
    m_stereo = stereo;
    rebuild();
}

void VuMeterTable::setSize(int width, int height) {
    m_width = width;
    m_height = height;
    rebuild();
}

void VuMeterTable::rebuild() {
    int n = (m_height - 2) / 3 - 1;
    n = std::clamp(n == 0 ? 1 : n, 1, 100);
    const int range = std::max(m_levelMax - m_levelMin, 1);
    m_segments.assign(static_cast<std::size_t>(n) + 1, {});
    for (int i = 0; i <= n; ++i) {
        const double db = -static_cast<double>(n - i) / n * range;
        m_segments[static_cast<std::size_t>(i)].threshold = static_cast<float>(std::pow(10.0, db / 20.0));
    }
    recolour();
    resetLit();
}

void VuMeterTable::recolour() {
    const int n = topPosition();
    const double range = std::max(m_levelMax - m_levelMin, 1);
    const int highFrom = n - nearest(n * (m_levelMax - m_levelHigh) / range);
    const int medFrom = n - nearest((m_levelMax - m_levelMed) * n / range);
    for (int i = 0; i <= n; ++i) {
        Segment& segment = m_segments[static_cast<std::size_t>(i)];
        segment.colour = i > highFrom ? m_colourHigh : i > medFrom ? m_colourMed : m_colourLow;
        segment.unlit = halved(segment.colour);
    }
}

std::pair<int, int> VuMeterTable::columnSpan(int column) const {
    if (!m_stereo)
        return {1, m_width - 2};
    const int half = m_width / 2;
    return column == 0 ? std::pair{1, half - 2} : std::pair{half + 1, m_width - 2};
}

int VuMeterTable::litFor(double value) const {
    int count = 0;
    // The top position is never lit.
    while (count < topPosition() && m_segments[static_cast<std::size_t>(count)].threshold < value)
        ++count;
    return count;
}

std::vector<VuMeterTable::Change> VuMeterTable::showLevels(double left, double right) {
    std::vector<Change> changes;
    const double values[2] = {left, right};
    for (int column = 0; column < columns(); ++column) {
        const int before = m_lit[static_cast<std::size_t>(column)];
        const int after = litFor(values[column]);
        for (int position = std::min(before, after); position < std::max(before, after); ++position)
            changes.push_back({column, position, after > before});
        m_lit[static_cast<std::size_t>(column)] = after;
    }
    return changes;
}

} // namespace quietmon
