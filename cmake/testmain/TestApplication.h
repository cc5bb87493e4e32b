#pragma once
// The QApplication of a test program that needs one: made on first use, it lives until the
// last test has run and goes before the program exits, while Qt's own globals still exist;
// top-level widgets left over (menus, popups, dialogs) go with it. Link qxm_testapp.
class QApplication;

namespace qxm {

QApplication& testApplication();

} // namespace qxm
