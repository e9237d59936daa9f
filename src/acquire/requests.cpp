#include "acquire/requests.h"

#include "acquire/families/read5400.h"
#include "acquire/families/readframed.h"
#include "acquire/families/readpitney.h"

namespace meter {

void sendrequest(Driver& d, std::int16_t code, std::string_view name) {
    RequestBuffer buffer{};
    if (code == 12 || code == 13)
        buffer = request5400(d, name);
    else if (code == 21 || code == 22)
        buffer = requestpitney(d, name);
    d.link().sendrequest(code, buffer);
}

std::uint8_t nextsequence(Driver& d, std::uint8_t& value) {
    switch (d.state().itype) {
    case 21:
    case 22:
        return nextpitney(d, value);
    case 11:
    case 31:
        return nextframed(d, value);
    default:
        return 0;
    }
}

} // namespace meter
