#pragma once
// XButton: a push button of a dialog template, bound to the dialog by subclassing. It adds nothing to the
// button's own behaviour; the dialog sets its text and receives its commands.

#include "win/Window.h"

namespace ui
{

class XButton : public win::Window
{
};

}  // namespace ui
