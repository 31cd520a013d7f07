#pragma once
// What the two commands (choose an avatar, save the card) need of the main
// window. The window implements it; tests may implement it over real widgets.
#include "base/text.h"

class QWidget;

namespace vantrelo {

class Canvas;
class FileDialog;

class CommandContext {
public:
    virtual ~CommandContext() = default;
    // The owner of the dialogs the commands open.
    virtual QWidget* mainWidget() = 0;
    // The window's file dialog component (通用对话框1).
    virtual FileDialog& fileDialog() = 0;
    // Sets the text of the avatar field; raises its text changed, which runs
    // renderCard nested before this returns.
    virtual void setAvatarPathText(const Text& path) = 0;
    // The canvas that shows the finished card; the save command exports it.
    virtual Canvas& previewCanvas() = 0;
};

// The commands themselves live in shell/commands.h:
//   void chooseAvatar(CommandContext&);  void saveCard(CommandContext&);

}  // namespace vantrelo
