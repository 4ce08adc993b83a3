#pragma once

#include <QString>
#include <cstdint>
#include <exception>

namespace tolva {

// A failing operation (database, socket, file, conversion) throws a Fault.
// The code is a signed 32-bit number as the error file prints it; the text is
// the description of what failed.
//
// A fault the operator can act on (a printer that refuses jobs, a queue that
// is gone) also carries an operator text: a plain sentence in the operator's
// words saying what happened and what to do. The reporters then show only
// that sentence; the code and the technical text go to the error file.
class Fault : public std::exception {
public:
    // The generic "unspecified failure" code that database providers report.
    static constexpr std::int32_t kGeneric = -2147467259;

    Fault(std::int32_t code, QString message) : m_code(code), m_message(std::move(message)) {}
    Fault(std::int32_t code, QString message, QString operatorText)
        : m_code(code), m_message(std::move(message)), m_operatorText(std::move(operatorText)) {}

    std::int32_t code() const noexcept { return m_code; }
    const QString& message() const noexcept { return m_message; }
    // Empty for a fault only a developer can read.
    const QString& operatorText() const noexcept { return m_operatorText; }
    const char* what() const noexcept override { return "tolva::Fault"; }

private:
    std::int32_t m_code;
    QString m_message;
    QString m_operatorText;
};

} // namespace tolva
