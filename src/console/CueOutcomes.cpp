#include "console/CueOutcomes.h"

#include <algorithm>

namespace kv {

void CueOutcomes::Reset(int cueCount) {
    marks_.assign(static_cast<size_t>(std::max(cueCount, 0)), Outcome::None);
    notSent_ = 0;
}

void CueOutcomes::RunStarts(int first) {
    for (int i = std::max(first, 0); i < Count(); ++i) {
        CueDone(i, Outcome::None);
    }
}

void CueOutcomes::CueDone(int cue, Outcome outcome) {
    if (cue < 0 || cue >= Count()) {
        return;
    }
    Outcome& mark = marks_[static_cast<size_t>(cue)];
    notSent_ += (outcome == Outcome::NotSent ? 1 : 0) - (mark == Outcome::NotSent ? 1 : 0);
    mark = outcome;
}

CueOutcomes::Outcome CueOutcomes::At(int cue) const {
    return cue >= 0 && cue < Count() ? marks_[static_cast<size_t>(cue)] : Outcome::None;
}

CueRowLook CueRowLookFor(CueOutcomes::Outcome outcome) {
    switch (outcome) {
        case CueOutcomes::Outcome::Sent:
            return {QStringLiteral("\u2714 "), QStringLiteral("#c8f0c8"), QStringLiteral("#000000"),
                    QStringLiteral("отправлен"), false};
        case CueOutcomes::Outcome::NotSent:
            return {QStringLiteral("\u2716 "), QStringLiteral("#d00000"), QStringLiteral("#ffffff"),
                    QStringLiteral("НЕ ОТПРАВЛЕН (причина в журнале)"), true};
        case CueOutcomes::Outcome::Passed:
            return {QStringLiteral("\u2714 "), QStringLiteral("#dcdcf0"), QStringLiteral("#000000"),
                    QStringLiteral("пройден (пульты запускают сами)"), false};
        case CueOutcomes::Outcome::None:
            break;
    }
    return {};
}

NotSentLook NotSentLookFor(int notSent) {
    return {QStringLiteral("Не отправлено: ") + QString::number(notSent), notSent > 0};
}

}  // namespace kv
