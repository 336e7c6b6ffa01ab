#pragma once
// The user guide: a short Chinese text shipped inside the program, in a text browser.

class QWidget;

namespace tesvaron {

// Opens the guide beside `parent`, or raises it when it is open already. Not modal: the window
// stays usable while the guide is read.
void showUserGuide(QWidget* parent);

} // namespace tesvaron
