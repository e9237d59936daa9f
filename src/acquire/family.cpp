// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquire/family.h"

namespace meter {

void SequenceReading::begin(std::string& record) {
    record_ = &record;
    next_ = 0;
    awaited_ = 0;
    restart();
}

Step SequenceReading::next() {
    while (next_ < sequence_.size()) {
        const Action& action = sequence_[next_++];
        switch (action.what) {
        case Action::Do::poll:
            return Step::poll();
        case Action::Do::send:
            return request(action.item);
        case Action::Do::resend:
            if (!has(action.item)) return request(action.item);
            break;
        case Action::Do::await:
            awaited_ = action.item;
            return Step::await();
        case Action::Do::judge:
            if (Reason why = judge(awaited_)) return Step::fail(std::move(why));
            break;
        case Action::Do::end:
            return finish();
        }
    }
    return finish();
}

FamilyTable makefamilytable(const MachineTypes& types, const FamilyMakers& makers) {
    FamilyTable table;
    for (const MachineType& type : types) {
        if (!type.line) continue;
        if (const auto it = makers.find(type.family); it != makers.end())
            table[type.code] = it->second;
    }
    return table;
}

FamilyTable standardfamilies() {
    return makefamilytable(machinetypes(), standardmakers());
}

} // namespace meter
