#pragma once

#include <string>

#include "core/Ui.h"

class QWidget;

// A modal message box as the console asks for it: text, icon, the button set
// and the default button. Like the platform's own boxes it cannot be escaped or
// closed from the frame when it offers neither Cancel nor a lone OK; the
// answer is the button pressed.
Button runMessageBox(QWidget* parent, const std::string& text, Icon icon, Buttons buttons, Button defaultButton,
                     const std::string& caption);
