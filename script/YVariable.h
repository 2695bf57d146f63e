// One entry of the script heap: a plain variable, a literal constant, a dotted
// object path, a substring form or a compiled expression. Values are texts
// first: a number keeps the text it was assigned with (payload beside it), an
// object is held beside the one-byte marker text 0xA5.
//
// Invariants kept by every operation:
// - a plain variable with a value (form other than yvsNone) has a text, and
//   its size field is the number of bytes of that text, at most 1023;
// - parts holds partCount heap indices (at least three for a substring), and
//   readers never index it beyond partCount;
// - an entry deletes the object it holds only when it owns it (alias 0);
// - an expression's decoded plan, when it has one, was made from its
//   present code, and holds term entries of the heap the entry lives in.
//
// Texts handed to callers that are not an entry's own text lie in one of two
// static 1024-byte buffers used in turn, so reading allocates nothing.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

class KvScriptableObject;
class YOperand;

// How the name of an entry is read.
enum YVT : int {
    yvtVariable = 0,      // a plain name, also a clone name such as x.1
    yvtConstant = 1,      // a number literal, a quoted text, a name beginning with "?"
    yvtPath = 2,          // a name with full stops, such as ball.i
    yvtSubstring = 3,     // a name with one or two vertical bars
    yvtExpression = 4,    // analysed text with operators (made by the heap only)
    yvtUnclassified = 5,  // transient: derive the kind from the name
};

// What the value of an entry is. Where a form filters, yvsNone means any.
enum YVS : int {
    yvsNone = 0,
    yvsObject = 1,
    yvsText = 2,
    yvsLong = 3,
    yvsDouble = 4,
};

// Evaluation error codes, shared with the analyser and the compiler.
enum YEvalError : int {
    yerrNone = 0,
    yerrUnbalanced = 1,      // unbalanced parentheses or quotes
    yerrLength = 2,          // text to analyse empty or too long; concatenation too long
    yerrMissingOperand = 3,  // an operand missing between two operators
    yerrZeroDivisor = 4,     // "\" or "%" by a divisor that truncates to 0
    yerrDomain = 5,          // division by a tiny number; negative base, broken power
    yerrUnquote = 6,         // unbalanced quote in a script line (tokenizer)
    yerrNotANumber = 7,      // an arithmetic operand is not a number
    yerrTooComplex = 8,      // analysed code beyond 127 bytes or 128 terms
    yerrHeapFull = 9,        // the heap refused a new entry (kYMaxEntries)
    yerrTooDeep = 10,        // values nested beyond kYMaxNesting (an expression that reads itself)
};

// Every text produced for a caller fits this buffer: values are at most 1023 bytes.
inline constexpr int kYValueBufferSize = 1024;
inline constexpr int kYMaxValueLength = kYValueBufferSize - 1;
// Resolved path names are at most 127 bytes; longer ones are refused.
inline constexpr int kYPathBufferSize = 128;
// A name with more full stops than this is not split into a path.
inline constexpr int kYMaxPathStops = 32;
// Number texts in a variable record are at most 127 bytes.
inline constexpr int kYMaxNumberText = 127;
// Reads of values that contain values (expressions, substrings, paths,
// references) nest at most this deep; deeper reads give the empty text.
inline constexpr int kYMaxNesting = 48;
// The one-byte text held beside an object value.
inline constexpr char kYObjectMarker = static_cast<char>(0xA5);
// Part index of a substring's empty middle operand (s||n).
inline constexpr uint16_t kYNoPart = 0xFFFF;

class YVariable {
public:
    ~YVariable();
    YVariable(const YVariable&) = delete;
    YVariable& operator=(const YVariable&) = delete;

    // ---- assignment (plain variables only; a reference passes it on) ----
    // With a text: stores length bytes (the whole string for -1), cut at
    // kYMaxValueLength. Without: -1 re-makes a number's text from the payload,
    // -2 clears the value deleting an owned object, -3 clears it without.
    void set(const char* text, int length);
    // The long payload is 32 bits wide: a number beyond that is held as a double.
    void set(long number);
    void set(double number);
    // Holds the object (owning it unless the entry is a marked alias); null clears.
    void set(KvScriptableObject* object);
    // Assignment between entries: texts are copied, objects copied, shared or
    // referred to according to the alias fields.
    void set(YVariable* source);
    void drop(int deleteObject) { set(nullptr, deleteObject ? -2 : -3); }
    void makeAlias() { alias = 1; }
    int getAlias() const { return alias; }

    // ---- reading (references are followed) ----
    // The value as text and its length; an unassigned variable reads as its name.
    const char* value(int& length);
    // Writes the value text into buffer (kYValueBufferSize bytes). Result: 0,
    // the heap index of the entry whose value this is (a path), or minus the
    // text length for a random "?" constant.
    int value(char* buffer);
    const char* value(KvScriptableObject*& object);
    const char* value(double* number);
    // A double goes to the nearest whole number (halfway: the lower one),
    // kept within the 32-bit range of the long payload.
    const char* value(long* number);
    // As value, but when the value is that of another entry, that entry's value.
    int resolve(char* buffer);
    const char* resolve(KvScriptableObject*& object);
    const char* resolve();
    // A path's name with every part replaced by its value (in a static
    // buffer); null for other kinds and for names beyond kYPathBufferSize - 1.
    const char* resolveName(int& length);
    // The heap index of the plain variable a path stands for (made when
    // missing), or -1 when the path cannot be resolved.
    int getAssociate();

    const char* getName() const { return name; }
    YVT getKind() const { return kind; }
    YVS getForm() const { return form; }
    int size() const;
    int clones() const { return other ? cloneCount : 0; }
    // Reference: the index of the entry it stands for; otherwise the first clone.
    int getOther() const { return other; }
    int getHandled() const { return handled; }
    // The heap indices of a path's parts, a substring's operands or an
    // expression's terms; count receives how many there are.
    const uint16_t* getParts(int& count) const {
        count = partCount;
        return parts;
    }
    // Has a value; a reference with a target counts as true.
    operator int() const;
    bool operator!() const { return !static_cast<int>(*this); }

    // ---- the variable record of compiled script files ----
    // Little-endian as written; swap reads the other byte order. A record
    // that is damaged or runs past the end of the data is refused (result 0)
    // and leaves the entry unchanged; the FILE position is then undefined.
    int write(FILE* file) const;
    int read(FILE* file, int swap);
    // Reads from cursor up to end and advances the cursor past the record.
    int read(const unsigned char*& cursor, const unsigned char* end, int swap);
    // The hosts' form: the caller vouches that a whole record lies at
    // cursor; no more bytes are read than the record's fields call for (and
    // never more than the largest record can hold).
    int read(const unsigned char*& cursor, int swap);

    // Reading this entry's value has no effect and gives the entry itself:
    // a plain variable, or a literal that is not a random "?" constant.
    bool readsAsItself() const {
        const YVariable* entry = target();
        return entry->kind == yvtVariable || (entry->kind == yvtConstant && !(entry->name && entry->name[0] == '?'));
    }
    // How many random digits "?" constants have given: a read that drew none
    // gives the same text when it is made again.
    static unsigned long getRandomDraws() { return randomDraws; }

    // The evaluation error code (shared with the analyser and the compiler).
    static int getError() { return evalError; }
    static void setError(int code) { evalError = code; }

private:
    friend class YHeap;
    friend class YThread;
    friend class YCompiler;
    friend struct YProgram;
    friend struct YHeapAccess;

    // A temporary: never owns an object (alias 1), form text, no name.
    YVariable();
    // Copies length bytes of name. yvtExpression takes over the code and terms
    // of the analysis the heap has just made; yvtUnclassified derives the kind.
    YVariable(const char* name, int length, YVT kind);
    YVariable(const char* name, int length, const char* value);

    void classify(int length);
    void classifySubstring(const char* bar, int length);
    void classifyPath(int length);
    void allocateParts(int count);
    // The entry a reference stands for, followed to its end (this when none).
    YVariable* target() { return alias == -1 && other != 0 ? referenced() : this; }
    const YVariable* target() const { return const_cast<YVariable*>(this)->target(); }
    YVariable* referenced();
    // The entry that holds the value: references followed, a path's associate.
    YVariable* holder();
    // The entry an assignment lands on (a reference's target), or null when
    // that is not a plain variable.
    YVariable* assignable();
    // Steps of set(text, length) after the reference and kind checks.
    void assign(const char* source, int length);
    // Lets go of a held object: deletes it when owned and length is not -3.
    void release(int length);
    void storeText(const char* source, int length);
    void freeText();
    void makeNumberText();
    void takeNumber(const char* digits);
    void reduce();
    void setNumber(int32_t number);
    void setReal(double number);
    // Clears the value of a reference that is made to stand for another entry.
    void forgetOwnValue();

    int readInto(char* buffer);
    int constantValue(char* buffer) const;
    int substringValue(char* buffer);
    int expressionValue(char* buffer);
    // Text of an entry that may be missing (a damaged part index reads as "").
    static const char* partText(int index, int& length);
    static long partNumber(int index);
    static char* nextValueBuffer();
    // Copies at most kYMaxValueLength bytes into buffer (source may lie in
    // it) and terminates it; returns the length copied.
    static int copyOut(char* buffer, const char* source, int length);

    // ---- the evaluator (YVariableEval.cpp) ----
    struct EvalCursor {
        const char* code;
        int counter;
    };
    void evaluate(EvalCursor& cursor, YOperand& result) const;
    static void applyUnary(char op, YOperand& result, YOperand& operand);
    static void applyBinary(char op, YOperand& result, YOperand& left, YOperand& right);
    // The value of a term, as assigning the term to a temporary entry would give it.
    static void takeTerm(YOperand& operand, YVariable* term);
    // The value of an expression all of whose terms are steady numbers and
    // whose operators all work on numbers, computed without a text; false
    // (nothing changed) for any other expression and on any error.
    bool evaluateNumbers(double& number) const;
    // A term that is a number whose text reads as its payload: a plain
    // variable or a number literal.
    static bool steadyNumber(const YVariable* term, double& number);
    struct NumberPlan;
    NumberPlan* makeNumberPlan() const;
    // Forgets the plan made of the code (the code changes, or the entry goes).
    void dropNumberPlan();
    // The value of an expression whose terms are steady numbers, as reading
    // it evaluates it (an outermost evaluation clears the error code); false,
    // with nothing read or changed, for any other entry.
    bool readArithmetic(double& number);
    // The text of a number made by arithmetic ("%ld" when whole, else
    // "%.15g") and its NUL into digits (kYNumberTextSize bytes); its length.
    static int arithmeticText(double number, char* digits);
    // As set(text, -1) with the arithmeticText of number.
    void setArithmetic(double number);
    bool isNumber() const { return form == yvsLong || form == yvsDouble; }

public:
    // A variable record parsed, not yet applied (YVariableRecord.cpp).
    struct Record;

private:
    bool acceptable(const Record& record) const;
    void apply(const Record& record);

    int sizeField = -1;
    char* name = nullptr;
    char* text = nullptr;
    int alias = 0;
    int other = 0;
    int cloneCount = 0;
    YVT kind = yvtVariable;
    YVS form = yvsNone;
    union {
        KvScriptableObject* object;
        int32_t number;  // a 32-bit signed long
        double real;
    } payload{};
    uint16_t* parts = nullptr;
    int handled = 0;
    int partCount = 0;
    // The payload is what reading the text gives, and the text (the name of a
    // literal) has size bytes before its NUL: a copy need not read it again.
    bool numberFromText = false;
    // Bytes text can hold before its NUL when it was made by storeText; 0 otherwise.
    int textCapacity = 0;
    // An expression's code decoded for arithmetic on numbers, made when it
    // is first evaluated; refused: the code has no such plan.
    mutable NumberPlan* numberPlan = nullptr;
    mutable bool numberPlanRefused = false;

    static int evalError;
    static unsigned long randomDraws;
    static int nesting;  // depth of reads of values inside values
    // Counts names replaced by reading a record over an entry (the heap's
    // name index is rebuilt after one).
    static unsigned renames;
};
