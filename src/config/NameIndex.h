#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace quietmon {

// Names to ids, compared without regard to ASCII case, by open addressing over the names' hashes. An
// entry keeps where its name stands in a text that only ever grows (the document the names come from),
// and a slot is 8 bytes: a hundred thousand names cost no allocation each and a few reads of memory per
// lookup. Each entry belongs to a scope (for a key, the section it stands in); the first entry of a name
// in a scope is the one kept.
class NameIndex {
public:
    static constexpr std::size_t none = static_cast<std::size_t>(-1);

    // The id of `name` in `scope`, or `none`.
    std::size_t find(std::size_t scope, std::string_view name, std::string_view texts) const;
    // Adds `name` (a view into `texts`) with `id`, unless the scope has the name already; whether it did.
    bool add(std::size_t scope, std::string_view name, std::size_t id, std::string_view texts);

private:
    static constexpr std::uint32_t emptySlot = UINT32_MAX;
    struct Entry {
        std::uint64_t hash;
        std::size_t scope;
        std::size_t id;
        std::size_t nameStart; // in the texts
        std::size_t nameLength;
    };
    struct Slot {
        std::uint32_t hash = 0; // the hash's upper half, to pass over most other names unread
        std::uint32_t entry = emptySlot;
    };

    static std::uint64_t hashOf(std::size_t scope, std::string_view name);
    // The slot of the entry of `name`, or the empty slot where it would go.
    std::size_t slotFor(std::uint64_t hash, std::size_t scope, std::string_view name,
                        std::string_view texts) const;
    void grow();

    std::vector<Slot> m_slots;
    std::vector<Entry> m_entries;
};

} // namespace quietmon
