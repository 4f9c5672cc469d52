#include "audio/AudioDeviceList.h"

#include "config/SettingsStore.h"

namespace quietmon {

void AudioDeviceList::listAudioDevices(CaptureDriver& waveIn, AudioEndpoints& endpoints, bool offerStream) {
    const std::vector<std::string> names = waveIn.deviceNames();
    for (std::size_t number = 0; number < names.size(); ++number)
        addAudioDevice(AudioDeviceKind::Capture, names[number], static_cast<int>(number), "");
    // The system counts as a recent one, which offers its endpoints too.
    const std::vector<AudioEndpoint> found = endpoints.list();
    for (std::size_t position = 0; position < found.size(); ++position)
        addAudioDevice(AudioDeviceKind::Endpoint, found[position].friendlyName, static_cast<int>(position),
                       found[position].id);
    if (!offerStream)
        return;
    if (m_entries.empty())
        addDefaultLine();
    addAudioDevice(AudioDeviceKind::Stream, streamLine, 0, "");
}

void AudioDeviceList::addAudioDevice(AudioDeviceKind kind, const std::string& name, int index,
                                     const std::string& id) {
    if (m_entries.size() >= maxEntries)
        return;
    m_entries.push_back({kind, name, index, id});
    m_lines.push_back(kind == AudioDeviceKind::Endpoint ? endpointPrefix + name : name);
}

void AudioDeviceList::addDefaultLine() {
    m_entries.push_back({AudioDeviceKind::None, defaultLine, -1, ""});
    m_lines.emplace_back(defaultLine);
}

bool AudioDeviceList::chooseStartupLine(GeneralSettings& general) {
    const bool listed = findDeviceLine(m_lines, general.audioInDeviceName, -1) >= 0;
    int line = findDeviceLine(m_lines, general.audioInDeviceName, general.audioInDevice);
    if (m_lines.empty())
        addDefaultLine();
    if (line < 0 || line >= static_cast<int>(m_lines.size()))
        line = 0;
    general.audioInDevice = line;
    if (listed)
        general.audioInDeviceName = m_lines[static_cast<std::size_t>(line)];
    return listed;
}

} // namespace quietmon
