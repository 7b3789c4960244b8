// The framework layer: a small replacement of the Windows class framework,
// holding only what the program uses, thin over Win32.
#pragma once
#include "framework/afx_app.h"
#include "framework/afx_controls.h"
#include "framework/afx_dialog.h"
#include "framework/afx_file.h"
#include "framework/afx_gdi.h"
#include "framework/afx_ptrlist.h"
#include "framework/afx_string.h"
#include "framework/afx_wnd.h"
