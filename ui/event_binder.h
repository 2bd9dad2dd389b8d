#pragma once
// The binders of the window layer's classes are all one shape: keep the handler in the slot of
// its event and hand it back. This defines one; only the layer's own sources include it.

#include "ui/event_handler.h"

// Defines Owner::Bind<Name>(handler) for the owner's event `event` (an argument of its Slot()).
#define BELVANE_DEFINE_BINDER(Owner, Name, event)        \
  EventHandler Owner::Bind##Name(EventHandler handler) { \
    Slot(event) = handler;                               \
    return handler;                                      \
  }
