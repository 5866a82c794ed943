// For measurements: loads and closes every whole-model skin of the open game in turn, each
// with the first animation beside it playing for a moment, and writes after each close the
// process's resident memory and malloc's bytes in use, its open file descriptors and the
// view's texture names.
#pragma once

#include <QString>

namespace App {

class CVellModelBrowserMainFrame;

// spec: "LOADS,REPORT_FILE". The report ends with a line "done".
void StartSoak(CVellModelBrowserMainFrame& frame, const QString& spec);

}  // namespace App
