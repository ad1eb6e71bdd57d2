#pragma once
// The window that offers one button per company and sets up the chosen company's folder.
#include <windows.h>

#include "launcher/CompanyCatalog.h"

namespace ornivel {

// Shows the chooser and returns when its window has been closed.
int runCompanyChooser(HINSTANCE instance, const CompanyCatalog& catalog);

} // namespace ornivel
