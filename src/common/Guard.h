#pragma once

#include "common/Fault.h"
#include "common/Reporter.h"

#include <QString>
#include <type_traits>
#include <utility>

namespace tolva {

// Which reporter a procedure's handler calls.
enum class Report { Msg, Log };

inline void report(Reporter& reporter, Report how, const QString& procedure, const Fault& fault) {
    if (how == Report::Msg)
        reporter.ErrorMsg(procedure, fault);
    else
        reporter.ErrorLog(procedure, fault);
}

// The one handler every procedure uses: runs the body; a Fault thrown inside is
// reported under the procedure's name and the procedure's failure value is
// returned instead. Faults never travel further up.
template <typename Body>
auto guard(Reporter& reporter, Report how, const QString& procedure, std::invoke_result_t<Body> failure,
           Body&& body) -> std::invoke_result_t<Body> {
    try {
        return std::forward<Body>(body)();
    } catch (const Fault& fault) {
        report(reporter, how, procedure, fault);
        return failure;
    }
}

// The same for procedures without a result.
template <typename Body>
void guardVoid(Reporter& reporter, Report how, const QString& procedure, Body&& body) {
    try {
        std::forward<Body>(body)();
    } catch (const Fault& fault) {
        report(reporter, how, procedure, fault);
    }
}

// For procedures whose failures ask the operator: each step runs on its own;
// a failing step asks whether to go on. Returns false when the operator said No
// (the procedure is then left), true when the step passed or Yes was answered.
template <typename Step> bool askStep(Reporter& reporter, const QString& procedure, Step&& step) {
    try {
        std::forward<Step>(step)();
        return true;
    } catch (const Fault& fault) {
        return reporter.ErrorAsk(procedure, fault) == Reporter::kYes;
    }
}

} // namespace tolva
