#include "tasks/openplay/Mp3Player.h"

#include <stdexcept>

namespace quietmon {

namespace {

void failWith(const char* text) {
    throw std::runtime_error(text);
}

} // namespace

void Mp3Player::initialise() {
    if (!m_loaded && !(m_loaded = m_library.load()))
        failWith("Can't load MPEG library");
    if (!m_library.initialise())
        failWith("Can't initialize MPEG library");
    m_initialised = true;
}

void Mp3Player::deinitialise() {
    requireInitialised();
    m_initialised = false;
    if (!m_library.deinitialise())
        failWith("Can't deinitialize MPEG library");
}

void Mp3Player::requireInitialised() const {
    if (!m_loaded)
        failWith("MPEG library not loaded");
    if (!m_initialised)
        failWith("MPEG library not initialized");
}

void Mp3Player::open() {
    if (m_fileName.empty())
        failWith("Can't play non-specified stream");
    requireInitialised();
    if (!m_library.open(m_fileName))
        failWith("Incorrect mode");
}

void Mp3Player::play() {
    requireInitialised();
    // The output is the default sound device at normal priority: there is nothing to choose first.
    if (!m_library.play())
        failWith("MPEG library not initialized");
}

void Mp3Player::stop() {
    requireInitialised();
    if (!m_library.stop())
        failWith("Incorrect mode");
}

void Mp3Player::close() {
    requireInitialised();
    if (!m_library.close())
        failWith("Incorrect mode");
}

Mp3PlayerMode Mp3Player::mode() {
    requireInitialised();
    return m_library.mode();
}

} // namespace quietmon
