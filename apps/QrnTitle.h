// The title host shared by "qrn run" (headless) and "qrn play" (a real
// window): stream hooks that find a title's files next to its script, a
// trinket window over the white base background with the title's palette,
// the host keywords, one script thread, and the loop of main-loop passes;
// optionally a recording of the session written, or one played in place of
// live input. What differs between the two commands is the backend under it
// and where the last picture is read from (QrnTitleHost). A run is a session
// (QrnTitleSession) that a host drives a pass at a time: the commands in a
// loop of their own, the web player from the browser's animation frames.
//
// A title opens only files inside its folder (the script's), compared as
// canonical paths so that ".." and symbolic links cannot lead out; a refused
// name is reported as a missing one, "outside the title". Plug-ins (.lrn
// files, native code) are not loaded unless asked for; a class that only one
// would provide is named once in a message. A statement limit stops a
// script that never yields; under any host the main loop gets a pass every
// kQrnStatementsPerPass statements, so that a window's close is seen.
//
// A title's files: animation N in ao/N.ao, sound N in snd/N.wav, the palette
// in palette.plt. A TITLE argument is a script, or a folder whose main.mps
// (else its only .mps) is the script. "a=KvAnimation X Y N" places the
// animation where its file says (the library's default) unless the title is
// run with script positions. Compile messages name the file they are about
// ("bad.mps:3: ...").
//
// Exit statuses: 0 the script quit or ended, or the window was closed; 1 the
// script or a file the run needs cannot be read, the script does not
// compile, or the screenshot cannot be written; 2 wrong usage (the commands');
// 3 the pass or statement limit was reached.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

class KvApp;
class KvBackend;
class KvCanvas;
class KvRecordingBackend;
class KvReplayBackend;
class KvTrinketWindow;
class QrnHostKeywords;
class YThread;

// Exit status of a run whose pass limit was reached.
inline constexpr int kQrnExitPassLimit = 3;
// Statements a turn may run before the main loop gets a pass.
inline constexpr long kQrnStatementsPerPass = 100000;

struct QrnTitleSettings {
    long maxPasses = 1000000;  // 0: no limit
    long maxStatements = 0;    // 0: no limit
    bool allowOutside = false; // files outside the title's folder may be opened
    bool plugins = false;      // .lrn plug-ins may be loaded
    bool pluginsOffered = true; // the player can load them when asked (not in a browser)
    long msPerPass = 10;
    long width = 640;
    long height = 480;
    long depth = 16;
    // "a=KvAnimation X Y N" at the script's X Y instead of the position and Z
    // stored in the animation's file, for titles written that way.
    bool scriptPositions = false;
    std::string screenshot;        // a PNG path, or empty
    std::string record;            // write the session here
    std::string replay;            // play this recording in place of live input
    std::string script;            // as resolved by qrnFindScript
};

// What the command hosting the title supplies.
class QrnTitleHost {
public:
    virtual ~QrnTitleHost() = default;
    // The backend the title runs on (not yet installed).
    virtual KvBackend* backend() = 0;
    // The window is open; the host may name it or watch it.
    virtual void opened(KvTrinketWindow& window) { (void)window; }
    // What the screen shows now, for the screenshot; null when unknown.
    virtual const KvCanvas* shown(KvTrinketWindow& window) = 0;
    // The command's name for messages: "qrn run".
    virtual const char* command() const = 0;
};

// TITLE as a script path: itself when it is not a folder; else the folder's
// main.mps, else its only .mps. Empty, with error set, when there is none.
std::string qrnFindScript(const std::string& title, std::string& error);

// The title's name: the name of the script's folder ("qrn" when it has none).
std::string qrnTitleName(const std::string& script);

// One run of a title on the host's backend: start(), pass() until it says
// the run is over, finish(). The settings and the host must outlive it.
class QrnTitleSession {
public:
    QrnTitleSession(const QrnTitleSettings& settings, QrnTitleHost& host);
    ~QrnTitleSession();  // finishes a run not yet finished
    QrnTitleSession(const QrnTitleSession&) = delete;
    QrnTitleSession& operator=(const QrnTitleSession&) = delete;

    // Checks the recording, installs the backends, opens the window and
    // compiles the script. False when the run is over already.
    bool start();
    // One main-loop pass; false once the run is over (the script ended or
    // quit, the window closed, or the pass limit was reached).
    bool pass();
    // Saves the screenshot, closes the window and puts back what start()
    // changed; returns the exit status. Later calls return it again.
    int finish();
    long passCount() const { return passes; }

private:
    const QrnTitleSettings& settings;
    QrnTitleHost& host;
    bool running = false, finished = false, installed = false;
    int status = 0;
    long passes = 0;
    std::FILE* recordFile = nullptr;
    std::unique_ptr<KvRecordingBackend> recorder;
    std::unique_ptr<KvReplayBackend> replayer;
    std::unique_ptr<KvApp> app;
    std::unique_ptr<KvTrinketWindow> window;
    std::unique_ptr<QrnHostKeywords> keywords;
    std::unique_ptr<YThread> thread;
};

// Runs the title on the host's backend (a session from start to finish);
// returns the exit status.
int qrnRunTitle(const QrnTitleSettings& settings, QrnTitleHost& host);
