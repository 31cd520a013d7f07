#pragma once
// The stop box: no owner window, caption "错误", the stop icon, one OK button.

namespace vantrelo {

// The presenter for fatalStop; needs a QApplication.
void presentFatalInMessageBox(const char* gbkText);
// Installs it.
void installFatalMessageBox();

}  // namespace vantrelo
