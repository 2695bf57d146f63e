// The framework's sound driver: the one mixer that sounds play on unless they
// are given another, fed through the installed backend.
//
// With an audio device the device pulls the mixer's output on its own thread.
// Without one (the headless backend) the mixer's timeline follows the backend's
// millisecond clock, converted to frames exactly (KvFrameClock), so a 500 ms
// sound finishes 500 virtual milliseconds after it began; an interruption
// reported to KvInterruptions does not count as sound time (the sound was held
// up like everything else). Either way one task of the application dispatches
// the sound events on the main loop's thread at every pass.
//
// The driver follows the backend and application current at each use: a new
// backend gets the device opened (or the clock anchored) afresh, with the
// timeline going on from where it was; a new KvApp::theApp gets the task.
// A backend whose device the driver opened must live until another backend
// is installed and a sound is used again (the driver then closes it there).
// Backends start calling the fill function only after openAudio has returned.
#pragma once

class KvBackend;
class KvMixer;

class KvSoundDriver {
public:
    // The framework's mixer, attached to the current backend and application.
    // It lives until the process ends.
    static KvMixer* mixer();
    // What the driver's task does each pass: catch up with the clock, then
    // dispatch the sound events.
    static void pump();
    // Whether the mixer is fed by an audio device (false: by the clock).
    static bool hasDevice();
    // b is going away: if the driver follows it, its device is closed and
    // the driver follows whatever backend is current at the next use.
    // Backends call this from their destructors.
    static void release(KvBackend* b);
};
