#include "acquire/requests.h"

namespace meter {

void sendrequest(Driver& d, std::int16_t code, std::string_view name) {
    (void)name;
    RequestBuffer buffer{};
    d.link().sendrequest(code, buffer);
}

std::uint8_t nextsequence(Driver& d, std::uint8_t& value) {
    (void)d;
    (void)value;
    return 0;
}

} // namespace meter
