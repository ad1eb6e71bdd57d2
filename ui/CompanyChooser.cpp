#include "ui/CompanyChooser.h"

namespace ornivel {

// Placeholder until the chooser window lands.
int runCompanyChooser(HINSTANCE, const CompanyCatalog&) { return 0; }

} // namespace ornivel
