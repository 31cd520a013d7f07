#include "shell/commands.h"

#include <QMessageBox>
#include <QString>

#include "base/encoding.h"
#include "graphics/canvas.h"
#include "graphics/encoders/encoders.h"
#include "shell/command_context.h"
#include "shell/file_dialog.h"
#include "shell/write_file.h"

namespace vantrelo {
namespace {

// 图片文件(*.bmp;*.jpg;*.gif)|*.bmp;*.jpg;*.gif
const Text kAvatarFilter("\xCD\xBC\xC6\xAC\xCE\xC4\xBC\xFE(*.bmp;*.jpg;*.gif)|*.bmp;*.jpg;*.gif");
// 图片文件(*.bmp)|*.bmp
const Text kCardFilter("\xCD\xBC\xC6\xAC\xCE\xC4\xBC\xFE(*.bmp)|*.bmp");
// 错误
const Text kErrorCaption("\xB4\xED\xCE\xF3");
// 名片保存失败：
const Text kSaveFailed("\xC3\xFB\xC6\xAC\xB1\xA3\xB4\xE6\xCA\xA7\xB0\xDC\xA3\xBA");

QString toQString(const Text& text) { return QString::fromStdString(textToUtf8(text)); }

// The card in the format its name promises: a forum rejects an upload whose
// contents do not match its extension.
Bytes cardFileData(const Canvas& preview, const Text& path) {
    const CardFileFormat format = cardFileFormatForName(path);
    if (format == CardFileFormat::Bmp) return preview.snapshotBmp();
    const PixelImage* picture = preview.backingImage();
    if (!picture) return {};
    return format == CardFileFormat::Png ? encodePng(*picture) : encodeJpeg(*picture, 90);
}

void reportSaveFailure(QWidget* owner, const Text& path, int error) {
    const Text message = kSaveFailed + path + Text("\r\n") + writeErrorText(error);
    QMessageBox box(QMessageBox::Warning, toQString(kErrorCaption), toQString(message), QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);  // a path is never markup
    box.exec();
}

}  // namespace

void chooseAvatar(CommandContext& context) {
    FileDialog& dialog = context.fileDialog();
    dialog.setFilter(kAvatarFilter);
    dialog.setKind(FileDialogKind::Open);
    if (dialog.open(context.mainWidget()) != FileDialogResult::Chosen) return;
    // Raises the field's text changed, so the card is redrawn before this returns.
    context.setAvatarPathText(dialog.fileName());
}

void saveCard(CommandContext& context) {
    FileDialog& dialog = context.fileDialog();
    dialog.setFilter(kCardFilter);
    dialog.setKind(FileDialogKind::Save);
    dialog.setDefaultExtension(Text("bmp"));
    if (dialog.open(context.mainWidget()) != FileDialogResult::Chosen) return;
    const Text path = dialog.fileName();
    const Bytes data = cardFileData(context.previewCanvas(), path);
    const WriteResult result = writeFile(path, std::span<const Bytes>(&data, 1));
    if (!result.ok) reportSaveFailure(context.mainWidget(), path, result.error);
}

}  // namespace vantrelo
