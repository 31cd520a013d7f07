#include "app/fatal_box.h"

#include <QApplication>
#include <QMessageBox>

#include "base/encoding.h"
#include "base/fatal.h"

namespace vantrelo {
namespace {
constexpr const char* kCaption = "\xb4\xed\xce\xf3"; /* 错误 */
}

void presentFatalInMessageBox(const char* gbkText) {
    if (!qApp) {
        presentFatalOnStderr(gbkText);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QString::fromStdString(textToUtf8(kCaption)),
                    QString::fromStdString(textToUtf8(Text(gbkText))), QMessageBox::Ok, nullptr);
    box.setTextFormat(Qt::PlainText);
    box.setObjectName(QStringLiteral("fatalStopBox"));
    box.exec();
}

void installFatalMessageBox() { setFatalPresenter(presentFatalInMessageBox); }

}  // namespace vantrelo
