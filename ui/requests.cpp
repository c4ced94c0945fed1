#include "ui/requests.h"

#include "ui/user_interface.h"

void request(user_interface& ui, ui_request r)
{
    ui.pending = r;
}

ui_request take_request(user_interface& ui)
{
    const ui_request r = ui.pending;
    ui.pending = ui_request::none;
    return r;
}
