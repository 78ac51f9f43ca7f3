#include "core/engine_contract.h"

namespace tidemark {

const char* OutcomeName(Outcome outcome) {
    switch (outcome) {
    case Outcome::Listed: return "listed";
    case Outcome::Done: return "deleted";
    case Outcome::Recycled: return "recycled";
    case Outcome::Deferred: return "reboot";
    case Outcome::Missing: return "missing";
    case Outcome::Refused: return "refused";
    case Outcome::Failed: return "failed";
    }
    return "failed";
}

void WalkTotals::Count(Outcome outcome) {
    switch (outcome) {
    case Outcome::Listed: ++listed; break;
    case Outcome::Done: ++done; break;
    case Outcome::Recycled: ++recycled; break;
    case Outcome::Deferred: ++deferred; break;
    case Outcome::Missing: ++missing; break;
    case Outcome::Refused: ++refused; break;
    case Outcome::Failed: ++failed; break;
    }
}

}  // namespace tidemark
