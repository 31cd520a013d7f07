#pragma once
// The two commands of the settings panel: 选择头像 (choose an avatar picture)
// and 制作名片 (save the card). Both use the window's one file dialog.
namespace vantrelo {

class CommandContext;

// Lets the user pick a picture and puts its full path into the avatar field,
// which redraws the card. Cancelled: nothing changes.
void chooseAvatar(CommandContext& context);

// Lets the user pick a file name and writes the card shown in the preview
// there: PNG or JPEG data for names ending in .png, .jpg or .jpeg, BMP data for
// every other name. A save that fails is reported in a box over the window and
// leaves any file of that name as it was; success is silent.
void saveCard(CommandContext& context);

}  // namespace vantrelo
