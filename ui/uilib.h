// Everything a window of the program needs from the skin engine, in one include: the window
// base classes, the controls, the builder, menus and DPI. Windows derive from
// ui::WindowImplBase (see ui/qt/window_impl_base.h for a worked example).
#pragma once

#include "ui/controls/combo.h"
#include "ui/controls/container.h"
#include "ui/controls/control.h"
#include "ui/controls/edit.h"
#include "ui/controls/label.h"
#include "ui/controls/list.h"
#include "ui/controls/menu_controls.h"
#include "ui/controls/progress.h"
#include "ui/controls/scrollbar.h"
#include "ui/manager/dpi.h"
#include "ui/manager/notify.h"
#include "ui/manager/paint_manager.h"
#include "ui/markup/builder.h"
#include "ui/markup/markup.h"
#include "ui/qt/menu.h"
#include "ui/qt/window_impl_base.h"
#include "ui/qt/window_wnd.h"

// Code written against the library's original namespace reads unchanged.
namespace DuiLib = ui;
