// The compiler: the command records and words it makes (written as a dump,
// as tables/programs.txt describes, whatever the line ends), the messages
// of a failed compilation (tables/failures.txt), capacities, and the host's
// hooks, some of which end the process.
#include "tests/script/TableFile.h"
#include "tests/script/ThreadTestSupport.h"

#include "framework/KvIStream.h"
#include "script/YVariable.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

class Compiler : public ThreadTest {
protected:
    // Compiles text from a file; the messages shown go to messages.
    std::unique_ptr<YThread> compile(const std::string& text) {
        write("c.mps", text);
        testing::internal::CaptureStderr();
        auto thread = std::make_unique<YThread>("c.mps");
        messages = testing::internal::GetCapturedStderr();
        return thread;
    }
    std::string messages;
};

std::string dump(const YCommand* commands, int commandCount, const int16_t* words, int wordCount) {
    std::string out;
    for (int i = 0; i <= commandCount; ++i)
        out += std::to_string(commands[i].code) + ":" + std::to_string(commands[i].operand) + " ";
    out += "|";
    for (int i = 3; i < wordCount; ++i) {
        const YVariable* word = words[i] < 0 ? nullptr : YHeap::theHeap[words[i]];
        const std::string name = word ? word->getName() : "/";
        out += " " + (word && word->getKind() == yvtExpression ? "{" + name + "}" : name);
    }
    return out;
}
std::string dump(const YThread& t) { return dump(t.getCommands(), t.getCommandCount(), t.getWords(), t.getWordCount()); }

std::string valueOf(const char* name) { return YHeap::theHeap[name]; }

TEST_F(Compiler, ProgramsHaveExactlyTheirCommandsAndWords) {
    const auto rows = tableRows("programs.txt");
    EXPECT_GT(rows.size(), 20u);
    for (const auto& row : rows) {
        auto thread = compile(row[0]);
        ASSERT_TRUE(*thread) << row[0] << ": " << messages;
        EXPECT_EQ(dump(*thread), row[1]) << row[0];
        EXPECT_EQ(messages, "") << row[0];
        thread.reset();
    }
}

// A procedure line without a name: the next operand compiled is the name,
// given the command count - 1 at that moment (here the say after the entry).
TEST_F(Compiler, NamesAndValuesTheCompilerLeavesInTheHeap) {
    auto thread = compile("say a\nprocedure p x\n  say x\nprocedure\n  say q r\na=[1 two \"three four\" 4.50\nb=&c\nd=c\n");
    ASSERT_TRUE(*thread) << messages;
    const std::string values[] = {valueOf("p"), valueOf("q"), valueOf("r"), valueOf("a.1"), valueOf("a.2"), valueOf("a.3"), valueOf("a.4")};
    EXPECT_EQ(std::vector<std::string>(std::begin(values), std::end(values)),
              (std::vector<std::string>{"+1", "+5", "r", "1", "two", "three four", "4.50"}));
    EXPECT_EQ(YHeap::theHeap[YHeap::theHeap.index("b", 1)]->getAlias(), 1);  // & marks the target as an alias
    EXPECT_EQ(YHeap::theHeap[YHeap::theHeap.index("d", 1)]->getAlias(), 0);
}

// The stages stand alone: a lexer and a compiler fill a program without any
// thread, the very program a thread compiles from the same text.
TEST_F(Compiler, ALexerAndACompilerAloneMakeTheProgramAThreadMakes) {
    const std::string text = "procedure p x\n[\n  say x+1\n]\nfor i 3\n[\n  if i-1\n    call p i\n  else\n    break\n]\n";
    auto empty = compile("");  // the heap as a thread starts it: the predefined variables only
    write("alone.mps", text);
    YProgram alone;
    {
        YLexer lexer(nullptr, alone);
        ASSERT_EQ(lexer.open("alone.mps"), YLexer::kText);
        ASSERT_EQ(YCompiler(lexer).compile(alone), 1);
    }
    const std::string byStages = dump(alone.commands, alone.commandCount, alone.words, alone.wordCount);
    alone.release();
    empty.reset();  // the last thread takes the heap with it
    auto thread = compile(text);
    ASSERT_TRUE(*thread) << messages;
    EXPECT_EQ(byStages, dump(*thread));
    EXPECT_GT(thread->getCommandCount(), 10);
}

TEST_F(Compiler, ErrorsReportTheirLineNumberAndContext) {
    for (const auto& row : tableRows("failures.txt")) {
        auto thread = compile(row[0]);
        EXPECT_TRUE(!*thread && !static_cast<bool>(*thread) && thread->lastCompileFailed()) << row[0];
        EXPECT_EQ(messages, row[1]);
        EXPECT_EQ(YVariable::getError(), std::stoi(row[2])) << row[0];
        EXPECT_EQ(YThread::getThreadCount(), 0) << "a thread that failed joined the list";
    }
}

std::string repeat(const std::string& line, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += line;
    return text;
}

// Each limit: the largest text compiles, one more refuses with the line it reached.
TEST_F(Compiler, CapacitiesAreReachedAndNotPassed) {
    const std::string words = repeat("say a b c d e f g h i\n", 1999);  // 3 predefined, then ten per line
    const struct {
        std::string fits, over, line;
    } cases[] = {
        {repeat("debug\n", kYMaxCommands), repeat("debug\n", kYMaxCommands + 1), "8001: "},
        {words + "say a b c d e f\n", words + "say a b c d e f g\n", "2000: "},
        {repeat("[\n", kYMaxOpenBlocks) + "say deep\n", repeat("if x\n", kYBlockStackSize + 1) + "say deep\n", "2049: "},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(*compile(c.fits)) << messages.substr(0, 80);
        EXPECT_FALSE(*compile(c.over));
        EXPECT_EQ(messages.substr(0, 6), c.line);
    }
    EXPECT_EQ(compile(cases[0].fits)->getCommandCount(), kYMaxCommands);
    EXPECT_EQ(compile(cases[1].fits)->getWordCount(), kYMaxWords);
    EXPECT_FALSE(*compile(repeat("[\n", kYMaxOpenBlocks + 1) + "say deep\n"));
    std::string text = "say big\n";
    while (text.size() < 65535 - 100) text += ";" + std::string(98, 'x') + "\n";
    text += ";" + std::string(65535 - text.size() - 2, 'x') + "\n";
    ASSERT_EQ(text.size(), 65535u);
    EXPECT_TRUE(*compile(text)) << messages.substr(0, 80);
}

using CompilerDeathTest = Compiler;

TEST_F(CompilerDeathTest, ScriptsThatCannotBeReadEndTheProcessWithTheirMessage) {
    write("long.mps", std::string(65536, ' '));
    EXPECT_EXIT(YThread("long.mps"), ::testing::ExitedWithCode(1), "^Script too long\n$");
    EXPECT_EXIT(YThread("nowhere.mps"), ::testing::ExitedWithCode(1), "^can't find nowhere.mps\n$");
    EXPECT_EXIT(YThread(static_cast<KvIStream*>(nullptr)), ::testing::ExitedWithCode(1), "^ not found\n$");
}

// A host's name check refuses a script, an include or a switch as a missing
// file is refused, with its reason; names it accepts open as before.
TEST_F(CompilerDeathTest, AHostsNameCheckRefusesNamesAsMissingFiles) {
    write("a.mps", "include b.mps\n");
    write("b.mps", "say b\n");
    const auto refusesB = [](const char* name) -> const char* { return std::string(name) == "b.mps" ? "not for you" : nullptr; };
    for (const char* file : {"a.mps", "b.mps"})
        EXPECT_EXIT((YThread::setNameCheck(refusesB), YThread(file)), ::testing::ExitedWithCode(1), "^can't find b.mps: not for you\n$");
    EXPECT_EQ(YThread::setNameCheck(refusesB), nullptr);
    YThread::setNameCheck([](const char*) -> const char* { return nullptr; });
    EXPECT_TRUE(YThread("a.mps"));
    YThread::setNameCheck(nullptr);
}

// A host's fatal handler gets the message; one that returns still ends the
// process, with status 1 and nothing more shown.
TEST_F(CompilerDeathTest, AFatalHandlerGetsTheMessageAndTheProcessEnds) {
    const auto exitsWithSeven = [](const char* message) {
        std::fprintf(stderr, "host: %s\n", message);
        std::exit(7);
    };
    const auto returns = [](const char* message) { std::fprintf(stderr, "noted: %s\n", message); };
    EXPECT_EXIT((YThread::setFatalHandler(exitsWithSeven), YThread("nowhere.mps")), ::testing::ExitedWithCode(7),
                "^host: can't find nowhere.mps\n$");
    EXPECT_EXIT((YThread::setFatalHandler(returns), YThread(static_cast<KvIStream*>(nullptr))),
                ::testing::ExitedWithCode(1), "^noted:  not found\n$");
    EXPECT_EXIT((YThread::setFatalHandler(returns), YThread::setFatalHandler(nullptr), YThread("nowhere.mps")),
                ::testing::ExitedWithCode(1), "^can't find nowhere.mps\n$");
}

// Compiler messages reach the host's handler with the file they are about
// (an included file by its own name) and its line; the text is the default's.
TEST_F(Compiler, CompileMessagesGoToTheHostWithTheirFileAndLine) {
    static std::vector<std::string> got;
    const auto keep = [](const YCompileMessage& m) {
        got.push_back(std::string(m.fileName) + "|" + std::to_string(m.line) + "|" + (m.numbered ? "n" : "-") + "|" + m.text);
    };
    write("inc.mps", "say b\nsay \"open\n");
    write("fine.mps", "say c\n");
    const struct {
        std::string text;
        std::vector<std::string> messages;
    } cases[] = {
        {"say a\ninclude inc.mps\n", {"inc.mps|2|-|Unquote \"open...", "inc.mps|2|n|2:  say b\nsay \"open\n"}},
        {"include fine.mps\nsay c\nsay (b\n", {"c.mps|3|n|3:  e.mps\nsay c\nsay (b\n"}},
    };
    EXPECT_EQ(YThread::setCompileMessageHandler(keep), nullptr);
    for (const auto& c : cases) {
        got.clear();
        EXPECT_FALSE(*compile(c.text));
        EXPECT_EQ(got, c.messages) << c.text;
        EXPECT_EQ(messages, "") << "shown besides the handler";
    }
    EXPECT_EQ(YThread::setCompileMessageHandler(nullptr), +keep);
    got.clear();
    compile("say (b\n");
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(messages, "1:  say (b\n\n");
}

TEST_F(Compiler, StreamsUrlOpenersAndChoosersGiveTheText) {
    KvIStreamMemory stream("x=7\n", 4);
    YThread fromStream(&stream);
    EXPECT_STREQ(fromStream.getName(), "");
    EXPECT_EQ(fromStream.getCommandCount(), 1);
    static int opened = 0;
    YThread viaUrl("remote.mps", [](const char* name) -> KvIStream* {
        ++opened;
        const std::string body = std::string("say from ") + name + "\n";
        return new KvIStreamMemory(body.data(), static_cast<long>(body.size()));
    });
    EXPECT_EQ(opened, 1);
    EXPECT_STREQ(viaUrl.getName(), "remote.mps");
    EXPECT_EQ(viaUrl.getCommandCount(), 1);

    YThread::setChooser([](char* name, int) { name[0] = 0; });  // cancelled: no script
    YThread cancelled(static_cast<const char*>(nullptr));
    EXPECT_FALSE(cancelled || cancelled.lastCompileFailed());
    EXPECT_EQ(YThread::getThreadCount(), 2) << "a thread without a script joined the list";
    write("chosen.mps", "say chosen\nexit\n");
    YThread::setChooser([](char* name, int save) {
        EXPECT_EQ(save, 0);
        std::snprintf(name, kYFileNameSize, "chosen.mps");
    });
    YThread thread(static_cast<const char*>(nullptr));
    YThread::setChooser(nullptr);
    EXPECT_STREQ(thread.getName(), "chosen.mps");
    thread.go();
    runUntilEnd(thread);
    EXPECT_EQ(debug(), "chosen\n");
}

// A file that includes itself nests too deeply; a compiled file cannot be included.
TEST_F(Compiler, IncludesThatCannotBeTakenFailOnTheirLine) {
    write("lib.mps", std::string("\x02\x00\x00\x00\x00", 5));
    for (const char* text : {"say again\ninclude c.mps\n", "say a\ninclude lib.mps\n"}) {
        EXPECT_FALSE(*compile(text)) << text;
        EXPECT_EQ(messages.substr(0, 3), "2: ") << text;
    }
}

}  // namespace
