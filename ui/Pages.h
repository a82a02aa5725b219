// The four pages of the wizard, reachable from everywhere as the pages call each other.
#pragma once

namespace installer {

class TForm1;
class TForm3;
class TForm4;
class TForm5;

extern TForm1* Form1;  ///< welcome page, the main page
extern TForm3* Form3;  ///< install page
extern TForm4* Form4;  ///< folder chooser, shown modally
extern TForm5* Form5;  ///< exit confirmation, shown modally

/// Creates the pages in their fixed order: the welcome page (which runs the installed-product
/// check), the install page (which takes the current directory as the medium's root), the
/// folder chooser and the exit confirmation. An error in a creation handler is reported and
/// creation goes on. With `elevateForWizard` (setup.exe itself, not the tests), a process
/// that can ask for administrator rights starts an elevated copy after the check and ends
/// (RunElevatedIfNeeded).
void CreateWizardPages(bool elevateForWizard = false);
/// Destroys the pages (tests create them more than once in one process).
void DestroyWizardPages();

}  // namespace installer
