#include "config/NameIndex.h"

#include <algorithm>
#include <array>

namespace quietmon {

namespace {

// ASCII letters in lower case, every other byte as it is.
constexpr std::array<unsigned char, 256> folded = [] {
    std::array<unsigned char, 256> table{};
    for (std::size_t c = 0; c < table.size(); ++c)
        table[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return table;
}();

bool sameFoldedName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (folded[static_cast<unsigned char>(a[i])] != folded[static_cast<unsigned char>(b[i])])
            return false;
    }
    return true;
}

} // namespace

std::uint64_t NameIndex::hashOf(std::size_t scope, std::string_view name) {
    std::uint64_t hash = 14695981039346656037u ^ (scope * 0x9E3779B97F4A7C15u); // FNV-1a, seeded by scope
    for (const char c : name) {
        hash ^= folded[static_cast<unsigned char>(c)];
        hash *= 1099511628211u;
    }
    return hash;
}

std::size_t NameIndex::slotFor(std::uint64_t hash, std::size_t scope, std::string_view name,
                               std::string_view texts) const {
    const std::size_t mask = m_slots.size() - 1;
    const auto upper = static_cast<std::uint32_t>(hash >> 32);
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = m_slots[i];
        if (slot.entry == emptySlot)
            return i;
        const Entry& entry = m_entries[slot.entry];
        if (slot.hash == upper && entry.scope == scope &&
            sameFoldedName(texts.substr(entry.nameStart, entry.nameLength), name))
            return i;
    }
}

std::size_t NameIndex::find(std::size_t scope, std::string_view name, std::string_view texts) const {
    if (m_slots.empty())
        return none;
    const Slot& slot = m_slots[slotFor(hashOf(scope, name), scope, name, texts)];
    return slot.entry == emptySlot ? none : m_entries[slot.entry].id;
}

bool NameIndex::add(std::size_t scope, std::string_view name, std::size_t id, std::string_view texts) {
    if (m_entries.size() == emptySlot)
        return false; // four thousand million names: no document the settings reader takes
    if (4 * (m_entries.size() + 1) > 3 * m_slots.size())
        grow();
    const std::uint64_t hash = hashOf(scope, name);
    Slot& slot = m_slots[slotFor(hash, scope, name, texts)];
    if (slot.entry != emptySlot)
        return false;
    slot = {static_cast<std::uint32_t>(hash >> 32), static_cast<std::uint32_t>(m_entries.size())};
    m_entries.push_back({hash, scope, id, static_cast<std::size_t>(name.data() - texts.data()), name.size()});
    return true;
}

void NameIndex::grow() {
    // Each entry goes to the slot its hash names, or the next free one; the names need not be read.
    m_slots.assign(std::max<std::size_t>(16, 2 * m_slots.size()), Slot());
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t e = 0; e < m_entries.size(); ++e) {
        std::size_t i = m_entries[e].hash & mask;
        while (m_slots[i].entry != emptySlot)
            i = (i + 1) & mask;
        m_slots[i] = {static_cast<std::uint32_t>(m_entries[e].hash >> 32), static_cast<std::uint32_t>(e)};
    }
}

} // namespace quietmon
