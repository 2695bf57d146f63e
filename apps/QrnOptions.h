// Command-line options of the qrn subcommands. A subcommand describes its
// options in a table (name, value name, help, and what to do with the value);
// parseOptions walks the arguments once: "--name VALUE" or "--name=VALUE"
// for each option ("-n VALUE" for a one-letter name), "--name" alone for a
// flag, "--help" anywhere,
// everything else positional.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Exit statuses shared by the subcommands.
inline constexpr int kQrnExitOk = 0;
inline constexpr int kQrnExitFailed = 1;
inline constexpr int kQrnExitUsage = 2;

struct QrnOption {
    const char* name;       // "--max-passes", or "-o"
    const char* valueName;  // "N"; null for a flag, which takes no value (take gets "")
    const char* help;
    // Takes the value text; false when it is not acceptable.
    std::function<bool(const std::string&)> take;
};

enum class QrnParse { ok, help, bad };

// Positional arguments are appended to positional; on a bad argument,
// error tells which.
QrnParse parseOptions(const std::vector<std::string>& args, const std::vector<QrnOption>& options,
                      std::vector<std::string>& positional, std::string& error);

// A whole number from min to max, written in decimal and nothing else.
bool parseWhole(const std::string& text, long min, long max, long& out);

// "  --name VALUE   help" lines for a usage text.
std::string describeOptions(const std::vector<QrnOption>& options);

// "options:" and the option lines after a subcommand's usage text, then tail.
std::string qrnUsage(const char* head, const std::vector<QrnOption>& options, const char* tail = "");

// The command line of a subcommand, handled alike by all: --help prints the
// usage on stdout and ends with kQrnExitOk; a bad argument, or positional
// arguments that check refuses (it returns what is wrong with them, "" when
// they are right), print "qrn NAME: what is wrong" and the usage on stderr
// and end with kQrnExitUsage. Otherwise the result is kQrnGoOn and
// positional holds the arguments that are not options.
inline constexpr int kQrnGoOn = -1;
using QrnPositionalCheck = std::function<std::string(const std::vector<std::string>&)>;
int qrnCommandLine(const char* name, const std::vector<std::string>& args, const std::vector<QrnOption>& options,
                   const std::string& usage, const QrnPositionalCheck& check, std::vector<std::string>& positional);

// A check that wants exactly count positional arguments, and says message otherwise.
QrnPositionalCheck qrnExactly(size_t count, const char* message);
