#include "config/TaskKinds.h"

#include <algorithm>

namespace quietmon {

namespace {

int placeIn(const TaskKindEntry& entry, QueueKind queue) {
    return queue == QueueKind::Alarm ? entry.alarmPlace : entry.returnPlace;
}

} // namespace

const TaskKindEntry& taskKindEntry(TaskKind kind) {
    // Every kind has its row, in the order of the enum.
    return taskKinds[static_cast<std::size_t>(kind)];
}

std::string_view captionOf(TaskKind kind) {
    return taskKindEntry(kind).caption;
}

std::optional<TaskKind> taskKindOf(std::string_view caption) {
    for (const TaskKindEntry& entry : taskKinds) {
        if (entry.caption == caption)
            return entry.kind;
    }
    return std::nullopt;
}

bool runsIn(TaskKind kind, QueueKind queue) {
    return placeIn(taskKindEntry(kind), queue) != TaskKindEntry::notInQueue;
}

std::vector<TaskKind> taskKindsOf(QueueKind queue) {
    std::vector<const TaskKindEntry*> entries;
    for (const TaskKindEntry& entry : taskKinds) {
        if (placeIn(entry, queue) != TaskKindEntry::notInQueue)
            entries.push_back(&entry);
    }
    std::ranges::sort(entries, {}, [queue](const TaskKindEntry* entry) { return placeIn(*entry, queue); });
    std::vector<TaskKind> kinds;
    for (const TaskKindEntry* entry : entries)
        kinds.push_back(entry->kind);
    return kinds;
}

std::vector<std::string> captionsOf(QueueKind queue) {
    std::vector<std::string> captions;
    for (const TaskKind kind : taskKindsOf(queue))
        captions.emplace_back(captionOf(kind));
    return captions;
}

std::vector<TaskKind> taskKindsInSettingsOrder() {
    std::vector<TaskKind> kinds(taskKinds.size());
    for (const TaskKindEntry& entry : taskKinds)
        kinds[static_cast<std::size_t>(entry.settingsPlace)] = entry.kind;
    return kinds;
}

namespace {

// The table is indexed by the enum, and each queue's places count up from 0 without a gap.
constexpr bool rowsInEnumOrder() {
    for (std::size_t index = 0; index < taskKinds.size(); ++index) {
        if (static_cast<std::size_t>(taskKinds[index].kind) != index)
            return false;
    }
    return true;
}
constexpr bool placesWithoutGaps(int TaskKindEntry::*place) {
    int places = 0;
    for (const TaskKindEntry& entry : taskKinds)
        places += entry.*place != TaskKindEntry::notInQueue ? 1 : 0;
    for (int wanted = 0; wanted < places; ++wanted) {
        int holders = 0;
        for (const TaskKindEntry& entry : taskKinds)
            holders += entry.*place == wanted ? 1 : 0;
        if (holders != 1)
            return false;
    }
    return true;
}
} // namespace

static_assert(rowsInEnumOrder());
static_assert(placesWithoutGaps(&TaskKindEntry::alarmPlace) &&
              placesWithoutGaps(&TaskKindEntry::returnPlace));
// Every kind has its place among the settings: none is left out of the file, none written twice.
static_assert(placesWithoutGaps(&TaskKindEntry::settingsPlace));

} // namespace quietmon
