// The entry routine's work: the loop, the main frame, and the optional game folder.
#pragma once

class QCoreApplication;
class QTranslator;

namespace App {

// Loads Qt's own Simplified Chinese texts (qtbase_zh_CN.qm from Qt's translations folder);
// null, with Qt's English left, where the file is missing.
QTranslator* InstallQtTranslations(QCoreApplication& app);

// Runs the program; the exit code is 1 after a normal close, 0 when the main window
// can't be made.
int Run(int argc, char** argv);

}  // namespace App
