// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquire/driver.h"
#include "core/machinetypes.h"
#include "sim/meter.h"
#include "support/virtualstation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>

namespace meter {
namespace {

using testing::VirtualStation;

// Every row is read either by its family's reading sequence or, without line settings, through
// the vendor library; and exactly one meter side plays it. No family is there for no row.
TEST(MachineTable, EveryRow_OneReadingAndOneMeterSideNoFamilyUnused) {
    const FamilyTable families = standardfamilies();
    const FamilyMakers& entries = standardmakers();
    const auto sides = sim::allfamilies();
    auto used = [](std::string_view family) {
        return std::any_of(machinetypes().begin(), machinetypes().end(),
                           [family](const MachineType& t) { return family == t.family; });
    };
    for (const MachineType& type : machinetypes()) {
        const auto entry = families.find(type.code);
        if (type.line)
            EXPECT_TRUE(entry != families.end() && entry->second && entry->second(type))
                << type.text << ": its family knows its model \"" << type.model << '"';
        else
            EXPECT_EQ(entry, families.end()) << type.text << " goes through the vendor library";
        const auto plays = [&](const auto& side) {
            return side->name() == std::string_view(type.family);
        };
        EXPECT_EQ(std::count_if(sides.begin(), sides.end(), plays), 1) << type.text;
    }
    const auto serial = std::count_if(machinetypes().begin(), machinetypes().end(),
                                      [](const MachineType& t) { return t.line.has_value(); });
    EXPECT_EQ(families.size(), static_cast<std::size_t>(serial)) << "every serial type";
    for (const auto& [name, entry] : entries)
        EXPECT_TRUE(used(name)) << name;
    for (const auto& side : sides)
        EXPECT_TRUE(used(side->name())) << side->name();
}

// A made-up eighth meter, to show that a new type is one row and one family on each side.
// Asked with 7E 50 7F (the rest of the request buffer zero) it answers "#", the last four
// digits of its piece count and a carriage return.
namespace tiny {

constexpr std::int16_t code = 61;
const MachineType row{"tiny", code, "tiny", LineSettings{19200, 'e', 7, 1}, 3, 250, 2, 0};
constexpr std::size_t replysize = 6;

// Asks once and waits, by the row's poll period and limit, for the six bytes of the reply.
constexpr Action sequence[] = {{Action::Do::send, 0}, {Action::Do::await, 0}, {Action::Do::end}};

class Reading : public SequenceReading {
  public:
    explicit Reading(const MachineType& row) : SequenceReading(row, sequence) {}
    Taken take(ByteView bytes) override {
        reply_.insert(reply_.end(), bytes.begin(), bytes.end());
        return {bytes.size(), {}};
    }
    Step expired(const WaitCount& count) override {
        return Step::done(Reason(ReasonCode::no_reply, "总件数", count.pollimit));
    }

  private:
    void restart() override { reply_.clear(); }
    Step request(std::size_t) override {
        return send({0x7E, 'P', 0x7F, 0, 0, 0, 0, 0, 0, 0, 0}, "总件数");
    }
    bool has(std::size_t) const override { return reply_.size() >= replysize; }
    Step finish() override {
        if (reply_[0] != '#' || reply_[replysize - 1] != '\r')
            return Step::fail(Reason(ReasonCode::block_unframed, "register reply"));
        record() = std::string(42, '0') + std::string(reply_.begin() + 1, reply_.begin() + 5) +
                   std::string(10, '0');
        return Step::done();
    }

    Bytes reply_;
};

class Meter : public sim::Family {
  public:
    const char* name() const override { return "tiny"; }
    Take take(ByteView input, const sim::Registers& r, std::int16_t) override {
        if (input.empty() || input[0] != 0x7E) return Take::none();
        if (input.size() < 11) return Take::more();
        if (input[1] != 'P' || input[2] != 0x7F) return Take::reject(11, "not a request");
        // Laid out as text in one piece (GCC 12 at -O2 sees false overflows in a vector grown
        // a byte at a time).
        const std::string text = "#" + r.pieces.substr(r.pieces.size() - 4) + "\r";
        return Take::request(11, Bytes(text.begin(), text.end()), "piece count");
    }
};

VirtualStation station() {
    FamilyMakers makers = standardmakers();
    makers["tiny"] = [](const MachineType& r) { return std::make_unique<Reading>(r); };
    MachineTypes types = machinetypes();
    types.push_back(row);
    return VirtualStation(std::move(types), makers, [] {
        auto sides = sim::allfamilies();
        sides.push_back(std::make_unique<Meter>());
        return sides;
    });
}

} // namespace tiny

TEST(MachineTable, AnEighthTypeIsOneRowAndOneFamilyOnEachSide) {
    EXPECT_EQ(VirtualStation().read(tiny::code), "refused") << "not in the standard table";
    EXPECT_EQ(tiny::row.waitlimitms(), 5000) << "the window's progress limit: 20 polls of 250 ms";

    const std::string record = std::string(42, '0') + "4321" + std::string(10, '0');
    const struct {
        const char* what;
        sim::Faults faults;
        std::string record;
        std::string received;
        std::int64_t ms;
        std::string reason;
    } cases[] = {
        {"answered", {}, record, " 23 34 33 32 31 D", 250, ""},
        {"in three pieces", {.chunk = 2, .gapms = 300}, record, " 23 34 33 32 31 D", 750, ""},
        {"silent",
         {.silent = true},
         allzerorecord,
         "",
         5000,
         "no reply to 总件数 after 20 polls; not a single byte came back: check the machine type, "
         "the cable and the port"},
    };
    for (const auto& c : cases) {
        VirtualStation st = tiny::station();
        st.play(tiny::code, c.faults);
        EXPECT_EQ(st.read(tiny::code), c.record) << c.what;
        EXPECT_EQ(st.driver.outcome().reason.english(), c.reason) << c.what;
        EXPECT_EQ(st.device.opens().back().settings.text(), "19200,e,7,1") << c.what;
        EXPECT_EQ(st.sent(), " 7E 50 7F,") << c.what << ": the row's echo length";
        EXPECT_EQ(st.received(), c.received) << c.what;
        EXPECT_EQ(st.pacer.nowms(), c.ms) << c.what << ": the row's poll period and limit";
        EXPECT_FALSE(st.device.isopen()) << c.what;
    }
}

} // namespace
} // namespace meter
