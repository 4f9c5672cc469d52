#pragma once

#include "config/Folders.h"
#include "platform/RecordingDecoder.h"

#include <functional>
#include <iosfwd>
#include <string>

namespace quietmon {

struct ScanOptions {
    std::string recording;    // an audio file
    bool levels = false;      // print the levels of every buffer
    std::string settingsFile; // empty: the data folder's
};

// Runs the monitor over a recording in virtual time, in buffers of 5512 frames as live capture delivers
// them, and prints what it measured and decided, one event a line with its offset in seconds from the
// start of the file. A recording has no wall clock: the start-up delay and the time, day and window
// conditions play no part, and no task runs. Ends with one line on `errors` naming the silence, return,
// threshold and channel rule used and the number of alarms raised. Returns the exit code: 0, or 2 for a
// file it cannot scan. A 16-bit PCM WAV file is read as it is, at its own rate; any other recording
// through `decoder`, at the rate it gives.
// `locateFolders` is called once the recording is open: finding the data folder may change the current
// folder, and relative names on the command line mean the folder the scan was started in.
int runRecordingScan(const ScanOptions& options, const std::function<Folders()>& locateFolders,
                     RecordingDecoder& decoder, std::ostream& out, std::ostream& errors);

} // namespace quietmon
