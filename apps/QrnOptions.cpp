// Option parsing for the qrn subcommands: one pass over the arguments, each
// option looked up in the subcommand's table.
#include "apps/QrnOptions.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

QrnParse parseOptions(const std::vector<std::string>& args, const std::vector<QrnOption>& options,
                      std::vector<std::string>& positional, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") return QrnParse::help;
        // A short option ("-o") is its whole argument; its value is the next.
        const bool shortOption = arg.size() == 2 && arg[0] == '-' && arg[1] != '-';
        if (!shortOption && (arg.size() < 2 || arg.compare(0, 2, "--") != 0)) {
            if (!arg.empty() && arg[0] == '-' && arg != "-") {
                error = "unknown option " + arg;
                return QrnParse::bad;
            }
            positional.push_back(arg);
            continue;
        }
        const size_t equals = shortOption ? std::string::npos : arg.find('=');
        const std::string name = arg.substr(0, equals);
        const QrnOption* option = nullptr;
        for (const QrnOption& o : options)
            if (name == o.name) option = &o;
        if (!option) {
            error = "unknown option " + name;
            return QrnParse::bad;
        }
        std::string value;
        if (!option->valueName) {
            if (equals != std::string::npos) {
                error = name + " takes no value";
                return QrnParse::bad;
            }
        } else if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            error = name + " needs a value";
            return QrnParse::bad;
        }
        if (!option->take(value)) {
            error = "bad value for " + name + ": " + value;
            return QrnParse::bad;
        }
    }
    return QrnParse::ok;
}

bool parseWhole(const std::string& text, long min, long max, long& out) {
    if (text.empty() || text.size() > 18) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    errno = 0;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (errno || value < min || value > max) return false;
    out = value;
    return true;
}

std::string describeOptions(const std::vector<QrnOption>& options) {
    std::string text;
    for (const QrnOption& o : options) {
        std::string left = std::string("  ") + o.name + (o.valueName ? std::string(" ") + o.valueName : "");
        if (left.size() < 22) left.resize(22, ' ');
        text += left + " " + o.help + "\n";
    }
    return text;
}

std::string qrnUsage(const char* head, const std::vector<QrnOption>& options, const char* tail) {
    return std::string(head) + "options:\n" + describeOptions(options) + tail;
}

int qrnCommandLine(const char* name, const std::vector<std::string>& args, const std::vector<QrnOption>& options,
                   const std::string& usage, const QrnPositionalCheck& check, std::vector<std::string>& positional) {
    std::string error;
    const QrnParse parsed = parseOptions(args, options, positional, error);
    if (parsed == QrnParse::help) {
        std::fputs(usage.c_str(), stdout);
        return kQrnExitOk;
    }
    if (parsed == QrnParse::ok) error = check(positional);
    if (error.empty()) return kQrnGoOn;
    std::fprintf(stderr, "qrn %s: %s\n%s", name, error.c_str(), usage.c_str());
    return kQrnExitUsage;
}

QrnPositionalCheck qrnExactly(size_t count, const char* message) {
    return [count, message](const std::vector<std::string>& positional) {
        return positional.size() == count ? std::string() : std::string(message);
    };
}
