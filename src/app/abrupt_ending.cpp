#include "app/abrupt_ending.h"

#include <exception>
#include <iostream>

#include "app/main_window.h"
#include "app/outcome.h"
#include "session/session.h"

namespace qv {

namespace {

// Runs one step of the ending; an error inside it is noted and the ending
// goes on with its next step.
template <typename Step>
void guarded(Session& session, Step step) {
    try {
        step();
    } catch (const std::exception& error) {
        session.window.memo2.append(std::string("Error while ending the run: ") + error.what());
    } catch (...) {
        session.window.memo2.append("Error while ending the run");
    }
}

} // namespace

bool runUnderWay(const Session& session) {
    return !session.window.closed && (session.Timer4.enabled() || session.outcomePending);
}

void EndRunAbruptly(Session& session, const std::string& line) {
    guarded(session, [&] { session.window.memo2.append(line); });
    std::cerr << "QuorvexUpdate: " << line << "\n";
    if (runUnderWay(session)) {
        const std::uint8_t code =
            session.ResultCode != result_code::kSuccess ? session.ResultCode : result_code::kProgrammingFailed;
        // The timers stop first: nothing of the run may tick again.
        for (WindowTimer* timer : {&session.Timer1, &session.Timer3, &session.Timer4}) {
            session.setTimer(*timer, false);
        }
        guarded(session, [&] { session.deviceTree.RescanDevices(); });
        guarded(session, [&] { RecordOutcome(session, 16, {"Failure"}, code); });
    }
    guarded(session, [&] {
        if (!session.window.closed) FormClose(session);
    });
}

} // namespace qv
