// tools/sfxpack/cli.h: what every sfxpack command shares: exit statuses, the result a
// command hands back to main, and reading options from the command line.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

// printf-style checking of our own formatting functions; mingw's plain "printf" means
// the Microsoft runtime's dialect, which lacks %zu and %lld.
#ifdef __MINGW32__
#define SFXPACK_PRINTF_FORMAT(formatIndex, firstIndex)                                                       \
    __attribute__((format(gnu_printf, formatIndex, firstIndex)))
#else
#define SFXPACK_PRINTF_FORMAT(formatIndex, firstIndex)                                                       \
    __attribute__((format(printf, formatIndex, firstIndex)))
#endif

// Exit statuses, documented in sfxpack --help and the README.
constexpr int ExitOk = 0;
constexpr int ExitUsage = 1;
constexpr int ExitBadInput = 2;
constexpr int ExitIoError = 3;

// What a command or one of its steps ends with: a status and, unless it is ExitOk, the
// one-line message main prints as "sfxpack: MESSAGE".
struct CommandResult {
    int status = ExitOk;
    std::string message;

    bool Failed() const { return status != ExitOk; }
};

CommandResult Succeed();
// Prints a command's usage text on standard output; --help succeeds.
CommandResult ShowHelp(const char* usage);
// printf-style message; the status says what kind of failure it is.
CommandResult Fail(int status, const char* format, ...) SFXPACK_PRINTF_FORMAT(2, 3);
// A usage error of a command: the message, then a pointer to the command's --help.
CommandResult FailUsage(const char* command, const char* format, ...) SFXPACK_PRINTF_FORMAT(2, 3);

std::string FormatText(const char* format, ...) SFXPACK_PRINTF_FORMAT(1, 2);

typedef std::vector<std::string> Arguments;

// Walks a command's arguments: options first or mixed with operands, "--" ends options.
class CArgumentScanner {
  public:
    CArgumentScanner(const char* command, const Arguments& args) : m_command(command), m_args(args) {}

    // Moves to the next argument; false when none is left or an option was malformed
    // (see Error).
    bool Next();
    // The current argument is an operand (not an option, or after "--").
    bool IsOperand() const;
    const std::string& Current() const { return m_args[m_index]; }

    // The current argument is the flag longName (or shortName, which may be null).
    bool IsFlag(const char* longName, const char* shortName = nullptr) const;
    // The current argument is the option longName or shortName taking a value, written
    // "--name VALUE", "--name=VALUE" or "-x VALUE"; the value is stored in value. A
    // missing value sets Error().
    bool TakeValue(const char* longName, const char* shortName, std::string& value);
    // TakeValue for a decimal number in [minimum, maximum]; anything else sets Error(),
    // naming the option and what it wants.
    bool TakeNumber(const char* longName, long long minimum, long long maximum, const char* wants,
                    long long& value);

    // An unknown option or a surplus operand: the usage error to return.
    CommandResult Unexpected() const;
    // The usage error of the first malformed option, if any.
    const CommandResult& Error() const { return m_error; }
    const char* Command() const { return m_command; }

  private:
    const char* m_command;
    const Arguments& m_args;
    size_t m_index = static_cast<size_t>(-1);
    bool m_optionsEnded = false;
    CommandResult m_error;
};

// Reads a decimal number in [minimum, maximum]; false for anything else.
bool ParseNumber(const std::string& text, long long minimum, long long maximum, long long& value);
