#pragma once
// What the parts of the client share: each is the client's own and outlives every part.

#include "core/ClientLog.h"
#include "core/ClientView.h"
#include "core/EventLoop.h"
#include "core/Settings.h"
#include "core/ViewState.h"

namespace vorta {

struct ClientContext {
    ViewState& view;
    IClientView& frontEnd;
    SharedSettings& settings;  // written on the loop's thread, read by any
    ClientLog& log;
    EventLoop& loop;
};

}  // namespace vorta
