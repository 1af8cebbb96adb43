#pragma once

class QMessageBox;

namespace zeb {

// Makes a message box at least as wide as its title needs on the title bar,
// so that a short text does not cut the title.
void KeepTitleWhole(QMessageBox& box);

}  // namespace zeb
