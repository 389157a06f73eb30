// tools/sfxpack/cli.cpp: results, messages and option scanning shared by the commands.
#include "tools/sfxpack/cli.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

std::string FormatList(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int length = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0) {
        return std::string();
    }
    std::string text(static_cast<size_t>(length) + 1, '\0');
    vsnprintf(&text[0], text.size(), format, args);
    text.resize(static_cast<size_t>(length));
    return text;
}

} // namespace

CommandResult Succeed() { return CommandResult(); }

CommandResult ShowHelp(const char* usage) {
    fputs(usage, stdout);
    return Succeed();
}

CommandResult Fail(int status, const char* format, ...) {
    va_list args;
    va_start(args, format);
    CommandResult result;
    result.status = status;
    result.message = FormatList(format, args);
    va_end(args);
    return result;
}

CommandResult FailUsage(const char* command, const char* format, ...) {
    va_list args;
    va_start(args, format);
    CommandResult result;
    result.status = ExitUsage;
    result.message = std::string(command) + ": " + FormatList(format, args) + "\nTry 'sfxpack " + command +
                     " --help' for more information.";
    va_end(args);
    return result;
}

std::string FormatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatList(format, args);
    va_end(args);
    return text;
}

bool CArgumentScanner::Next() {
    if (m_error.Failed()) {
        return false;
    }
    ++m_index;
    if (m_index >= m_args.size()) {
        return false;
    }
    if (!m_optionsEnded && Current() == "--") {
        m_optionsEnded = true;
        return Next();
    }
    return true;
}

bool CArgumentScanner::IsOperand() const {
    // A lone "-" is an operand by custom, though sfxpack gives it no meaning.
    return m_optionsEnded || Current().size() < 2 || Current()[0] != '-';
}

bool CArgumentScanner::IsFlag(const char* longName, const char* shortName) const {
    return !IsOperand() && (Current() == longName || (shortName != nullptr && Current() == shortName));
}

bool CArgumentScanner::TakeValue(const char* longName, const char* shortName, std::string& value) {
    if (IsOperand()) {
        return false;
    }
    const std::string& arg = Current();
    size_t longLength = strlen(longName);
    if (arg.compare(0, longLength, longName) == 0 && arg.size() > longLength && arg[longLength] == '=') {
        value = arg.substr(longLength + 1);
        return true;
    }
    if (!IsFlag(longName, shortName)) {
        return false;
    }
    if (m_index + 1 >= m_args.size()) {
        m_error = FailUsage(m_command, "option '%s' needs a value", arg.c_str());
        return true;
    }
    value = m_args[++m_index];
    return true;
}

bool CArgumentScanner::TakeNumber(const char* longName, long long minimum, long long maximum,
                                  const char* wants, long long& value) {
    std::string text;
    if (!TakeValue(longName, nullptr, text)) {
        return false;
    }
    if (!m_error.Failed() && !ParseNumber(text, minimum, maximum, value)) {
        m_error = FailUsage(m_command, "%s wants %s, not '%s'", longName, wants, text.c_str());
    }
    return true;
}

CommandResult CArgumentScanner::Unexpected() const {
    if (IsOperand()) {
        return FailUsage(m_command, "unexpected argument '%s'", Current().c_str());
    }
    return FailUsage(m_command, "unknown option '%s'", Current().c_str());
}

bool ParseNumber(const std::string& text, long long minimum, long long maximum, long long& value) {
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    value = strtoll(text.c_str(), nullptr, 10);
    return value >= minimum && value <= maximum;
}
