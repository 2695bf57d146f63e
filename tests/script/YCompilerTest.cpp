// The compiler: the command records and words it makes, the tokenizer's
// rules, the messages of a failed compilation, line ends, and capacities.
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
    int heapIndex(const char* name) { return YHeap::theHeap.index(name, static_cast<int>(std::strlen(name))); }
    std::string valueOf(const char* name) {
        YVariable* entry = YHeap::theHeap[heapIndex(name)];
        if (!entry) return "<missing>";
        int length = 0;
        const char* text = entry->value(length);
        return std::string(text, length);
    }
    // The operand list starting at word index at, as entry names.
    std::vector<std::string> list(const YThread& thread, int at) {
        std::vector<std::string> names;
        for (int k = at; k < thread.getWordCount() && thread.getWords()[k] != -1; ++k)
            names.push_back(YHeap::theHeap[thread.getWords()[k]]->getName());
        return names;
    }
    std::string messages;
};

TEST_F(Compiler, IfElseExampleGivesExactlyTheDocumentedCommandsAndWords) {
    auto thread = compile("if x\nsay yes\nelse\nsay no\n");
    ASSERT_TRUE(*thread);
    const int x = heapIndex("x"), yes = heapIndex("yes"), no = heapIndex("no");
    const std::vector<int16_t> words = {0, 1, 2, static_cast<int16_t>(x), -1, static_cast<int16_t>(yes), -1, -1,
                                        static_cast<int16_t>(no), -1};
    ASSERT_EQ(thread->getWordCount(), static_cast<int>(words.size()));
    for (size_t i = 0; i < words.size(); ++i) EXPECT_EQ(thread->getWords()[i], words[i]) << "word " << i;
    const YCommand expected[] = {{ycIf, 3},   {ycBranch, 4}, {ycSay, 5}, {ycJump, 6},
                                 {ycEndIf, 7}, {ycSay, 8},   {ycNone, 0}};
    ASSERT_EQ(thread->getCommandCount(), 6);
    for (int i = 0; i <= 6; ++i) {
        EXPECT_EQ(thread->getCommands()[i].code, expected[i].code) << "command " << i;
        EXPECT_EQ(thread->getCommands()[i].operand, expected[i].operand) << "command " << i;
    }
}

// The stages stand alone: a lexer and a compiler fill a program without any
// thread, the very program a thread compiles from the same text.
TEST_F(Compiler, ALexerAndACompilerAloneMakeTheProgramAThreadMakes) {
    const std::string text = "procedure p x\n[\n  say x+1\n]\nfor i 3\n[\n  if i-1\n    call p i\n  else\n    break\n]\n";
    const auto shape = [](const YCommand* commands, int commandCount, const int16_t* words, int wordCount) {
        std::vector<int> all;
        for (int i = 0; i <= commandCount; ++i) all.insert(all.end(), {commands[i].code, commands[i].operand});
        all.insert(all.end(), words, words + wordCount);
        return all;
    };
    auto empty = compile("");  // the heap as a thread starts it: the predefined variables only
    write("alone.mps", text);
    YProgram alone;
    {
        YLexer lexer(nullptr, alone);
        ASSERT_EQ(lexer.open("alone.mps"), YLexer::kText);
        ASSERT_EQ(YCompiler(lexer).compile(alone), 1);
    }
    const std::vector<int> byStages = shape(alone.commands, alone.commandCount, alone.words, alone.wordCount);
    alone.release();
    empty.reset();  // the last thread takes the heap with it
    auto thread = compile(text);
    ASSERT_TRUE(*thread) << messages;
    EXPECT_EQ(byStages, shape(thread->getCommands(), thread->getCommandCount(), thread->getWords(),
                              thread->getWordCount()));
    EXPECT_GT(thread->getCommandCount(), 10);
}

// The command before an else becomes the jump past its body, whatever it is.
TEST_F(Compiler, AnElseTurnsWhateverCommandPrecedesItIntoTheJump) {
    auto thread = compile("say a\nelse\nsay b\nsay c\n");
    ASSERT_TRUE(*thread);
    const YCommand* c = thread->getCommands();
    ASSERT_EQ(thread->getCommandCount(), 4);
    EXPECT_EQ(c[0].code, ycJump);
    EXPECT_EQ(c[0].operand, 3);
    EXPECT_EQ(c[1].code, ycEndIf);
    EXPECT_EQ(c[2].code, ycSay);
}

TEST_F(Compiler, LoopsPatchTheirBreakContinueAndTest) {
    auto thread = compile("for i 1 9\n[\nif i\ncontinue\nbreak\n]\n");
    ASSERT_TRUE(*thread);
    const YCommand* c = thread->getCommands();
    // 0 init, 1 advance, 2 test, 3 if, 4 branch, 5 continue, 6 end if, 7 break, 8 jump back
    ASSERT_EQ(thread->getCommandCount(), 9);
    EXPECT_EQ(c[2].code, ycBranch);
    EXPECT_EQ(c[2].operand, 9);
    EXPECT_EQ(c[5].code, ycJump);
    EXPECT_EQ(c[5].operand, 1);
    EXPECT_EQ(c[7].code, ycJump);
    EXPECT_EQ(c[7].operand, 9);
    EXPECT_EQ(c[8].code, ycJump);
    EXPECT_EQ(c[8].operand, 1);
}

TEST_F(Compiler, ProcedureNameHoldsPlusItsEntryIndexAndBodyEndsInReturn) {
    auto thread = compile("say a\nprocedure p x\n  say x\n");
    ASSERT_TRUE(*thread);
    EXPECT_EQ(valueOf("p"), "+1");
    EXPECT_EQ(thread->getCommands()[1].code, ycProcedure);
    EXPECT_EQ(thread->getCommands()[3].code, ycReturn);
    EXPECT_EQ(list(*thread, thread->getCommands()[1].operand), (std::vector<std::string>{"p", "x"}));
}

// A procedure line without a name: the next operand compiled is the name,
// given the command count - 1 at that moment (here the say after the entry).
TEST_F(Compiler, AProcedureWithoutANameIsNamedByTheNextOperand) {
    auto thread = compile("say a\nprocedure\n  say q r\n");
    ASSERT_TRUE(*thread);
    EXPECT_EQ(thread->getCommands()[1].code, ycProcedure);
    EXPECT_EQ(valueOf("q"), "+2");
    EXPECT_EQ(valueOf("r"), "r");  // only the next operand
}

TEST_F(Compiler, TokensQuotesAndAssignments) {
    struct Case {
        const char* line;
        YCMND code;
        std::vector<std::string> operands;
    } cases[] = {
        {"say \"two words\" 'and more'", ycSay, {"\"two words\"", "'and more'"}},
        {"say \"it's\" x", ycSay, {"\"it's\"", "x"}},
        {"x=y", ycAssign, {"x", "y"}},
        {"x= y z", ycAssign, {"x", "y", "z"}},
        {"say a=b", ycSay, {"a=b"}},
        {"x =1", ycStatement, {"x", "=1"}},
        {"ifx y", ycStatement, {"ifx", "y"}},
        {"say\tx", ycSay, {"x"}},
        {"set g label \"a b\"", ycSet, {"g", "label", "\"a b\""}},
        {"say -5", ycSay, {"-5"}},
        {"say a+", ycSay, {"a"}},
        {"tick   ", ycStatement, {"tick"}},
    };
    for (const Case& c : cases) {
        auto thread = compile(std::string(c.line) + "\n");
        ASSERT_TRUE(*thread) << c.line << ": " << messages;
        ASSERT_EQ(thread->getCommandCount(), 1) << c.line;
        EXPECT_EQ(thread->getCommands()[0].code, c.code) << c.line;
        EXPECT_EQ(list(*thread, thread->getCommands()[0].operand), c.operands) << c.line;
        thread.reset();
    }
}

TEST_F(Compiler, MinusFiveIsAnExpressionOfZeroMinusFive) {
    auto thread = compile("x=-5\n");
    ASSERT_TRUE(*thread);
    YVariable* word = YHeap::theHeap[thread->getWords()[thread->getCommands()[0].operand + 1]];
    EXPECT_EQ(word->getKind(), yvtExpression);
    int length = 0;
    EXPECT_EQ(std::string(word->value(length)), "-5");
}

TEST_F(Compiler, IfFollowedByLineEndIsTheKeyword) {
    auto thread = compile("if\nsay yes\n");
    ASSERT_TRUE(*thread);
    EXPECT_EQ(thread->getCommands()[0].code, ycIf);
    EXPECT_EQ(thread->getCommands()[3].code, ycEndIf);
}

TEST_F(Compiler, EmptyTextCompilesToNoCommands) {
    for (const char* text : {"", "\n\n", "; only a comment\n", "   \r\n\t\n"}) {
        auto thread = compile(text);
        EXPECT_TRUE(*thread) << '"' << text << '"';
        EXPECT_EQ(thread->getCommandCount(), 0);
        EXPECT_EQ(thread->getWordCount(), 3);
        EXPECT_EQ(messages, "");
    }
}

TEST_F(Compiler, ClosingBracketOutsideABlockEndsTheCompilationWithoutError) {
    auto thread = compile("say a\n]\nsay b\n");
    ASSERT_TRUE(*thread);
    EXPECT_EQ(thread->getCommandCount(), 1);
    EXPECT_EQ(messages, "");
}

TEST_F(Compiler, BlockOpenAtTheEndIsClosed) {
    auto thread = compile("if a\n[\nsay b\n");
    ASSERT_TRUE(*thread);
    EXPECT_EQ(thread->getCommands()[thread->getCommandCount() - 1].code, ycEndIf);
}

TEST_F(Compiler, ErrorsReportTheirLineNumberAndContext) {
    struct Case {
        std::string text;
        std::string message;
        int error;
    } cases[] = {
        // The message shows the line number, a blank, the text from 20 bytes
        // before the failing token (less the prefix) to 50 bytes after it;
        // the headless backend ends each message with a line feed.
        {"say a\nsay (b\n", "2:  say a\nsay (b\n\n", yerrUnbalanced},
        {"say a++b\n", "1:  say a++b\n\n", yerrMissingOperand},
        {std::string(11, '\n') + "say \"x y\n",
         "Unquote \"x y...\n12:  " + std::string(11, '\n') + "say \"x y\n\n", yerrUnquote},
        {"debug\nsay (x\n" + std::string(80, 'y') + "\n",
         "2:  debug\nsay (x\n" + std::string(47, 'y') + "\n", yerrUnbalanced},
        {std::string(30, 'z') + "\nsay (x\n", "2:  zzzzzzzzzzz\nsay (x\n\n", yerrUnbalanced},
    };
    for (const Case& c : cases) {
        auto thread = compile(c.text);
        EXPECT_FALSE(*thread);
        EXPECT_TRUE(!*thread);
        EXPECT_TRUE(thread->lastCompileFailed());
        EXPECT_EQ(messages, c.message);
        EXPECT_EQ(YVariable::getError(), c.error);
        EXPECT_EQ(YThread::getThreadCount(), 0) << "a thread that failed joined the list";
    }
}

TEST_F(Compiler, LineFeedCarriageReturnAndBothCompileAlike) {
    const std::string lines[] = {"if x", "  say yes", "else", "[", "  say no", "]", "for i 2", "  say i"};
    std::vector<std::vector<int>> shapes;
    for (const char* end : {"\n", "\r\n", "\r"}) {
        std::string text;
        for (const std::string& line : lines) text += line + end;
        auto thread = compile(text);
        ASSERT_TRUE(*thread) << messages;
        std::vector<int> shape;
        for (int i = 0; i <= thread->getCommandCount(); ++i) {
            shape.push_back(thread->getCommands()[i].code);
            shape.push_back(thread->getCommands()[i].operand);
        }
        for (int i = 0; i < thread->getWordCount(); ++i) shape.push_back(thread->getWords()[i]);
        shapes.push_back(shape);
        thread.reset();
    }
    EXPECT_EQ(shapes[0], shapes[1]);
    EXPECT_EQ(shapes[0], shapes[2]);
}

TEST_F(Compiler, ArrayLiteralFillsClonesWithoutCommands) {
    auto thread = compile("a=[1 two \"three four\" 4.50\n");
    ASSERT_TRUE(*thread);
    EXPECT_EQ(thread->getCommandCount(), 0);
    EXPECT_EQ(valueOf("a.1"), "1");
    EXPECT_EQ(valueOf("a.2"), "two");
    EXPECT_EQ(valueOf("a.3"), "three four");
    EXPECT_EQ(valueOf("a.4"), "4.50");
}

TEST_F(Compiler, AmpersandMarksTheTargetAsAlias) {
    auto thread = compile("a=&b\nc=b\n");
    ASSERT_TRUE(*thread);
    EXPECT_EQ(YHeap::theHeap[heapIndex("a")]->getAlias(), 1);
    EXPECT_EQ(YHeap::theHeap[heapIndex("c")]->getAlias(), 0);
}

// ---------------------------------------------------------------- capacity

std::string repeat(const std::string& line, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += line;
    return text;
}

TEST_F(Compiler, AtMostEightThousandCommands) {
    auto full = compile(repeat("debug\n", kYMaxCommands));
    EXPECT_TRUE(*full) << messages;
    EXPECT_EQ(full->getCommandCount(), kYMaxCommands);
    full.reset();
    auto over = compile(repeat("debug\n", kYMaxCommands + 1));
    EXPECT_FALSE(*over);
    EXPECT_EQ(messages.substr(0, 6), "8001: ");
}

TEST_F(Compiler, AtMostTwentyThousandWords) {
    // 3 predefined words, then ten per line (nine operands and the end).
    const std::string base = repeat("say a b c d e f g h i\n", 1999);
    auto full = compile(base + "say a b c d e f\n");
    EXPECT_TRUE(*full) << messages;
    EXPECT_EQ(full->getWordCount(), kYMaxWords);
    full.reset();
    auto over = compile(base + "say a b c d e f g\n");
    EXPECT_FALSE(*over);
    EXPECT_EQ(messages.substr(0, 6), "2000: ");
}

TEST_F(Compiler, AtMostTwoThousandFortyEightOpenBlocks) {
    auto full = compile(repeat("[\n", kYMaxOpenBlocks) + "say deep\n");
    EXPECT_TRUE(*full) << messages.substr(0, 80);
    full.reset();
    auto over = compile(repeat("[\n", kYMaxOpenBlocks + 1) + "say deep\n");
    EXPECT_FALSE(*over);
    auto ifs = compile(repeat("if x\n", kYBlockStackSize + 1) + "say deep\n");
    EXPECT_FALSE(*ifs);
    EXPECT_EQ(messages.substr(0, 6), "2049: ");
}

TEST_F(Compiler, ScriptOfExactly65535BytesCompiles) {
    std::string text = "say big\n";
    while (text.size() < 65535 - 100) text += ";" + std::string(98, 'x') + "\n";
    text += ";" + std::string(65535 - text.size() - 2, 'x') + "\n";
    ASSERT_EQ(text.size(), 65535u);
    auto thread = compile(text);
    EXPECT_TRUE(*thread) << messages.substr(0, 80);
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
    const auto refusesB = [](const char* name) -> const char* {
        return std::string(name) == "b.mps" ? "not for you" : nullptr;
    };
    EXPECT_EXIT((YThread::setNameCheck(refusesB), YThread("a.mps")), ::testing::ExitedWithCode(1),
                "^can't find b.mps: not for you\n$");
    EXPECT_EXIT((YThread::setNameCheck(refusesB), YThread("b.mps")), ::testing::ExitedWithCode(1),
                "^can't find b.mps: not for you\n$");
    const YThread::NameCheck previous = YThread::setNameCheck(refusesB);
    EXPECT_EQ(previous, nullptr);
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
    // Null is the default again.
    EXPECT_EXIT((YThread::setFatalHandler(returns), YThread::setFatalHandler(nullptr), YThread("nowhere.mps")),
                ::testing::ExitedWithCode(1), "^can't find nowhere.mps\n$");
}

// Compiler messages reach the host's handler with the file they are about
// (an included file by its own name) and its line; the text is the default's.
TEST_F(Compiler, CompileMessagesGoToTheHostWithTheirFileAndLine) {
    static std::vector<std::string> got;
    got.clear();
    const auto keep = [](const YCompileMessage& m) {
        got.push_back(std::string(m.fileName) + "|" + std::to_string(m.line) + "|" + (m.numbered ? "n" : "-") + "|" +
                      m.text);
    };
    write("inc.mps", "say b\nsay \"open\n");
    write("fine.mps", "say c\n");
    struct Case {
        std::string text;
        std::vector<std::string> messages;
    } cases[] = {
        {"say a\ninclude inc.mps\n", {"inc.mps|2|-|Unquote \"open...", "inc.mps|2|n|2:  say b\nsay \"open\n"}},
        {"include fine.mps\nsay c\nsay (b\n", {"c.mps|3|n|3:  e.mps\nsay c\nsay (b\n"}},
    };
    EXPECT_EQ(YThread::setCompileMessageHandler(keep), nullptr);
    for (const Case& c : cases) {
        got.clear();
        auto thread = compile(c.text);
        EXPECT_FALSE(*thread);
        EXPECT_EQ(got, c.messages) << c.text;
        EXPECT_EQ(messages, "") << "shown besides the handler";
    }
    EXPECT_EQ(YThread::setCompileMessageHandler(nullptr), +keep);
    got.clear();
    auto thread = compile("say (b\n");
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(messages, "1:  say (b\n\n");
}

TEST_F(Compiler, StreamsAndUrlOpenersGiveTheText) {
    const char text[] = "x=7\n";
    KvIStreamMemory stream(text, sizeof text - 1);
    YThread fromStream(&stream);
    EXPECT_TRUE(fromStream);
    EXPECT_STREQ(fromStream.getName(), "");
    EXPECT_EQ(fromStream.getCommandCount(), 1);

    static int opened = 0;
    opened = 0;
    YThread viaUrl("remote.mps", [](const char* name) -> KvIStream* {
        ++opened;
        const std::string body = std::string("say from ") + name + "\n";
        return new KvIStreamMemory(body.data(), static_cast<long>(body.size()));
    });
    EXPECT_TRUE(viaUrl);
    EXPECT_EQ(opened, 1);
    EXPECT_STREQ(viaUrl.getName(), "remote.mps");
}

// A file that includes itself nests too deeply; a compiled file cannot be included.
TEST_F(Compiler, IncludesThatCannotBeTakenFailOnTheirLine) {
    write("lib.mps", std::string("\x02\x00\x00\x00\x00", 5));
    for (const char* text : {"say again\ninclude c.mps\n", "say a\ninclude lib.mps\n"}) {
        EXPECT_FALSE(*compile(text)) << text;
        EXPECT_EQ(messages.substr(0, 3), "2: ") << text;
    }
}

TEST_F(Compiler, ChooserGivesTheNameWhenNoneIsGiven) {
    write("chosen.mps", "say chosen\nexit\n");
    YThread::setChooser([](char* name, int save) {
        EXPECT_EQ(save, 0);
        std::snprintf(name, kYFileNameSize, "chosen.mps");
    });
    YThread thread(static_cast<const char*>(nullptr));
    YThread::setChooser(nullptr);
    ASSERT_TRUE(thread);
    EXPECT_STREQ(thread.getName(), "chosen.mps");
    thread.go();
    runUntilEnd(thread);
    EXPECT_EQ(debug(), "chosen\n");
}

TEST_F(Compiler, CancelledChooserLeavesTheThreadWithoutScript) {
    YThread::setChooser([](char* name, int) { name[0] = 0; });
    YThread thread(static_cast<const char*>(nullptr));
    YThread::setChooser(nullptr);
    EXPECT_FALSE(thread);
    EXPECT_FALSE(thread.lastCompileFailed());
}

}  // namespace
