#pragma once
// What a synchronisation run leaves for administrators: its status in the registry for
// detection rules, and, when the deployment's list asks for it, a fleet report.
#include <string>

#include "logdriver/LogDriver.h"
#include "sync/FleetReport.h"
#include "sync/UpdateResult.h"

namespace ornivel {

// Records the run of the installation `folder` (ending with a backslash) and starts its report
// when the accepted list asks for one. The report being sent, or null; it lives until the
// process ends (FleetReport::finish waits for it within its limit).
FleetReport* recordRun(const std::wstring& folder, const RunOutcome& outcome, bool updateOnly, LogDriver& log);

} // namespace ornivel
