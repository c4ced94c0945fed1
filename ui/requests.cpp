#include "ui/requests.h"

static ui_request s_pending = ui_request::none;

void request(ui_request r)
{
    s_pending = r;
}

ui_request take_request()
{
    const ui_request r = s_pending;
    s_pending = ui_request::none;
    return r;
}
