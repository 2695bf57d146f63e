// Malformed input never makes the interpreter read or write outside its
// tables: random scripts built from the language's own tokens, and compiled
// files with random bytes changed, compile (or are refused) and run for a
// while. A URL opener stands in for missing files, so that calls, relays and
// includes of names that do not exist do not end the process. (yield is left
// out: a script that runs on through an endless loop keeps its turn for ever,
// as it is meant to.) Run under the
// sanitizers, this is where an out-of-bounds access would show.
#include "tests/script/ThreadTestSupport.h"

#include "framework/KvIStream.h"

#include <random>

namespace {

KvIStream* emptyScript(const char*) { return new KvIStreamMemory("say opened\n", 11); }

class Robustness : public ThreadTest {
protected:
    // Compiles and runs whatever is in file; messages are swallowed.
    // Returns whether it compiled.
    bool survive(const char* file, int passCount) {
        bool compiled = false;
        testing::internal::CaptureStderr();
        {
            YThread thread(file, &emptyScript);
            compiled = thread;
            thread.go();
            for (int i = 0; i < passCount && !app->isStopped(); ++i) app->pass();
        }
        testing::internal::GetCapturedStderr();
        app->restart();
        std::remove("debug.txt");
        return compiled;
    }
};

const char* const kTokens[] = {
    "if", "else", "for", "procedure", "break", "continue", "play", "set", "get",
    "suspend", "resume", "drop", "schedule", "idle", "wait", "pause", "say", "exit", "debug", "call",
    "relay", "include", "x", "y", "p", "a.i", "a.1", "s|2|3", "s||1", "x+1", "(x", "x)", "\"q", "'r",
    "\"a b\"", "-5", "0", "1", "7", "0.001", "x=", "y=[", "z=&x", "=", "[", "]", ";", "}", "~x", "$x",
    "RECEIVER", "RESULT", "SYSTEM", "g", "Gadget", "ping", "label", "var", "stack", "trinkets", "script",
    "tick", "note", "?", "x/0", "x\\0", "2^0.5", "a@b", "\t", "\x01", "\xe9",
};

TEST_F(Robustness, RandomScriptsOfTheLanguagesTokens) {
    std::mt19937 random(20240611);
    const int tokenCount = sizeof kTokens / sizeof kTokens[0];
    const char* const ends[] = {"\n", "\r\n", "\r", " ", " ", " "};
    int compiled = 0;
    for (int round = 0; round < 300; ++round) {
        std::string text;
        const int length = 1 + static_cast<int>(random() % 120);
        for (int i = 0; i < length; ++i) {
            text += kTokens[random() % tokenCount];
            text += ends[random() % 6];
        }
        write("r.mps", text);
        SCOPED_TRACE(text);
        compiled += survive("r.mps", 40);
    }
    EXPECT_GT(compiled, 60) << "too few random scripts compiled to exercise the executor";
}

TEST_F(Robustness, CompiledFilesWithRandomBytesChanged) {
    write("s.mps",
          "a=[1 two 3\nfor i 1 3\n[\n  if i=2\n    continue\n  say a.i\n]\ncall p 4\nexit\n"
          "procedure p n\n[\n  say n s|1|2\n]\n");
    {
        YThread thread("s.mps");
        ASSERT_TRUE(thread);
        ASSERT_EQ(thread.save("s.bin"), 1);
    }
    const std::string whole = read("s.bin");
    std::mt19937 random(7);
    int loaded = 0;
    for (int round = 0; round < 300; ++round) {
        std::string damaged = whole;
        const int changes = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < changes; ++i)
            damaged[1 + random() % (damaged.size() - 1)] = static_cast<char>(random() & 0xFF);
        write("d.bin", damaged);
        loaded += survive("d.bin", 40);
    }
    EXPECT_GT(loaded, 30) << "too few damaged files were accepted to exercise the executor";
}

}  // namespace
