// The meter side of the framed family: the neopost (type 11), which acknowledges command 5 and
// answers command 2 with its registers, and the high-speed machine (type 31), which answers its
// one command with its registers. A wrong command frame gets no answer.
#include "protocols/framed/framed.h"
#include "sim/families/families.h"

namespace meter::sim {

namespace {

class Framed : public Family {
  public:
    const char* name() const override { return "framed"; }
    bool plays(std::int16_t code) const override { return code == 11 || code == 31; }

    Take take(ByteView input, const Registers& r, std::int16_t code) override {
        const FramedTaken t = takecommand(input, code);
        switch (t.kind) {
        case FramedTaken::Kind::notmine:
            return Take::none();
        case FramedTaken::Kind::needmore:
            return Take::more();
        case FramedTaken::Kind::rejected:
            return Take::reject(t.consumed, t.reason);
        case FramedTaken::Kind::request:
            break;
        }
        const RegisterValues values{r.total, r.used, r.unused, r.pieces, r.head};
        if (t.type == 31)
            return Take::request(t.consumed, buildhighspeedreply(values, t.seqchar), t.note);
        if (t.command == 5)
            return Take::request(t.consumed, buildacknowledgement(t.seqchar), t.note);
        return Take::request(t.consumed, buildneopostreply(values, t.seqchar), t.note);
    }
};

} // namespace

std::unique_ptr<Family> familyframed() {
    return std::make_unique<Framed>();
}

} // namespace meter::sim
