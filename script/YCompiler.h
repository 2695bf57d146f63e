// The one-pass compiler: clauses of the lexer's text become a program's
// command records and operand words. Words are heap indices (names,
// constants, paths and expressions entered in the heap as they are met); an
// operand list ends with -1. Open blocks are kept on a stack of the index of
// their first command and closed by setJump, which patches jumps.
//
// A compiler owns its working state (tables, open blocks, the pending
// procedure name) and its lexer's position; the compile error code is the
// expression layer's, shared with it. Capacities: kYMaxCommands commands,
// kYMaxWords words, kYBlockStackSize open keyword blocks and
// kYMaxOpenBlocks nested clauses; a script that needs more fails with the
// line-numbered message, and nothing is written past a table.
#pragma once

#include "script/YLexer.h"
#include "script/YProgram.h"

#include <vector>

inline constexpr int kYMaxOpenBlocks = 2048;  // nested clauses

// Compile errors of the compiler itself; the lexer's unbalanced quote and
// the analyser's errors use the shared evaluation codes (YVariable.h).
enum YCompileError : int {
    ycerrCapacity = 20,  // more commands, words or open blocks than the tables hold
    ycerrInclude = 21,   // includes nested too deep, or an include that is not text
};

class YCompiler {
public:
    explicit YCompiler(YLexer& lexer) : lex(lexer) {}

    // Compiles the lexer's text into program (exact-size tables, the
    // command table ended by its zero record). 1 on success; 0 after
    // reporting the line-numbered message, with what was compiled so far.
    int compile(YProgram& program);
    // Enters one operand token and appends its word; the heap index, or -1.
    int attach(const char* token);

private:
    int doClause();
    int doStatement(char* token);
    int doAssignment(char* token, int length);
    int doInclude();
    void doArray(int target);
    void doList();
    void doExpression();
    void doCommand(YCMND code, int operand, bool literal = false);
    void appendWord(int index);
    void setJump();
    void nameProcedure();
    int tokenLength(char* token);

    YLexer& lex;
    std::vector<YCommand> commands;
    std::vector<int16_t> words;
    std::vector<int> openBlocks;  // the first command of each open keyword block
    int procedurePending = 0;
    int clauseDepth = 0;

    friend struct YClauseDepth;
};
