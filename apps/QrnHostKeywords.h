// The host keywords of "qrn run" and "qrn play", registered with YExtend while a
// QrnHostKeywords lives (afterwards they stay known but do nothing). Files
// are found next to the script. Both act on the current trinket window.
//
//   background FILE   FILE becomes the window's background: a compressed
//                     15-bit image (Background16) or an AO picture
//                     (AOBackground), told apart by the header as Background16
//                     does. RESULT: the background's class name, or "" when
//                     there is no window or the file cannot be read.
//   cursor N [X Y]    an animated cursor from ao/N.ao with hot spot (X, Y),
//                     (0, 0) by default, shown over the background and every
//                     trinket; it replaces the previous one. RESULT: 1, or 0
//                     when there is no window, N is not a number or the file
//                     cannot be read.
//   corral NAME L T R B [DX DY]
//                     the trinket in the variable NAME (given as text: the
//                     name, not the object) is kept inside (L, T)-(R, B)
//                     while dragged and, with DX DY, snaps on its drop to a
//                     grid of DX x DY cells from (L, T). RESULT: 1, or 0 when
//                     NAME holds no trinket or the numbers are not whole.
//   thread FILE       FILE, a script next to this one, starts as another
//                     script thread beside the running ones, sharing their
//                     variables; it lives until the keywords go. RESULT: 1,
//                     or 0 when FILE cannot be read or does not compile, or
//                     kQrnMaxThreads run already. Since the heap is shared,
//                     a thread that "exit"s empties it for all: a started
//                     thread ends with "wait" instead.
// Failures are also written on stderr. Files are opened through the host's
// openers, which refuse names outside the title.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// At most this many threads started by "thread".
inline constexpr size_t kQrnMaxThreads = 32;

class KvAnimCursor;
class KvIStream;
class KvTrinketWindow;
class YThread;

class QrnHostKeywords {
public:
    // Opens a title's file: null when it cannot be read or may not be.
    using Opener = KvIStream* (*)(const std::filesystem::path& path);
    // command names the program in messages ("qrn run"); openFile opens a
    // background (and tells whether a thread's script may be read),
    // openAnimation a cursor's animation.
    QrnHostKeywords(const std::string& scriptPath, const char* command, Opener openFile, Opener openAnimation);
    ~QrnHostKeywords();
    QrnHostKeywords(const QrnHostKeywords&) = delete;
    QrnHostKeywords& operator=(const QrnHostKeywords&) = delete;

private:
    void background();
    void cursor();
    void corral();
    void thread();
    // Puts c (null: none) over the background and every trinket of the
    // window that showed the previous one or none.
    void install(KvAnimCursor* c);

    std::string folder;
    const char* command;
    Opener openFile;
    Opener openAnimation;
    KvTrinketWindow* window = nullptr;  // where the cursor lives
    KvAnimCursor* animCursor = nullptr;
    std::vector<std::unique_ptr<YThread>> threads;
};
