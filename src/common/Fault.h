#pragma once

#include <QString>
#include <cstdint>
#include <exception>

namespace tolva {

// A failing operation (database, socket, file, conversion) throws a Fault.
// The code is a signed 32-bit number as the error file prints it; the text is
// the description shown to the operator.
class Fault : public std::exception {
public:
    // The generic "unspecified failure" code that database providers report.
    static constexpr std::int32_t kGeneric = -2147467259;

    Fault(std::int32_t code, QString message) : m_code(code), m_message(std::move(message)) {}

    std::int32_t code() const noexcept { return m_code; }
    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return "tolva::Fault"; }

private:
    std::int32_t m_code;
    QString m_message;
};

} // namespace tolva
