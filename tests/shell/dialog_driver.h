#pragma once
// Driving the program's real dialogs from a test, as a user would: wait for a
// modal dialog to show, type a name into a file dialog, press its button.
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "base/encoding.h"

namespace vantrelo::dialog_driver {

inline void closeModalWidgets() {
    for (int i = 0; i < 10; ++i) {
        QWidget* w = QApplication::activeModalWidget();
        if (!w) return;
        if (auto* dialog = qobject_cast<QDialog*>(w))
            dialog->done(QDialog::Rejected);
        else
            w->hide();
    }
}

inline constexpr char kWaitingTimer[] = "vantrelo-waiting-for-dialog";

// At the end of a test: every dialog a test waited for has shown.
inline void expectNothingAwaited() {
    for (QTimer* timer : QCoreApplication::instance()->findChildren<QTimer*>(kWaitingTimer)) {
        if (timer->isActive()) ADD_FAILURE() << "a dialog the test waited for never showed";
        delete timer;
    }
}

// Runs act, from the event loop, on the first modal widget of type T that is
// shown. Should none turn up, every modal widget is closed so the test ends.
template <class T>
void whenShown(std::function<void(T*)> act) {
    auto* timer = new QTimer(QCoreApplication::instance());
    timer->setObjectName(kWaitingTimer);
    auto ticks = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, act, ticks] {
        auto* widget = qobject_cast<T*>(QApplication::activeModalWidget());
        if (widget && widget->isVisible()) {
            timer->stop();
            timer->deleteLater();
            act(widget);
        } else if (++*ticks > 500) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "the expected dialog never showed";
            closeModalWidgets();
        }
    });
    timer->start(10);
}

inline QPushButton* acceptButton(QFileDialog* dialog) {
    auto* box = dialog->findChild<QDialogButtonBox*>("buttonBox");
    for (QAbstractButton* b : box->buttons())
        if (box->buttonRole(b) == QDialogButtonBox::AcceptRole) return qobject_cast<QPushButton*>(b);
    return nullptr;
}

inline QLineEdit* nameBox(QFileDialog* dialog) { return dialog->findChild<QLineEdit*>("fileNameEdit"); }

// Types name into the dialog's file name box, as the user does: with the box
// focused, so that a file selected in the list gives way to the typed name.
inline void typeName(QFileDialog* dialog, const QString& name) {
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    nameBox(dialog)->setFocus();
    ASSERT_TRUE(nameBox(dialog)->hasFocus());
    nameBox(dialog)->setText(name);
}

// Types name and presses the dialog's open/save button.
inline void chooseIn(QFileDialog* dialog, const QString& name) {
    typeName(dialog, name);
    acceptButton(dialog)->click();
}

inline QString q(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }
inline Text t(const std::filesystem::path& p) { return textFromUtf8(p.string()); }

}  // namespace vantrelo::dialog_driver
