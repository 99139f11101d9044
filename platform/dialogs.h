#pragma once
#include <functional>
#include <string>

namespace platform {

struct FileDialogRequest {
    bool save = false;
    std::string initial_folder;
    std::string filter;             // "Description|*.ext|Other|*.x" as the system writes it
    std::string default_extension;  // without the point
    std::string title;
    int filter_index = 1;
};

enum class MessageBoxResult { Yes, No, Ok, Cancel };

struct MessageBoxRequest {
    std::string caption;
    std::string text;
    bool yes_no = true;  // Yes and No buttons; otherwise a single OK
};

// The chosen path, or "" when cancelled or when no dialog tool is available (zenity).
std::string file_dialog(const FileDialogRequest& request);

// Yes or No (OK for a plain box). Without a dialog tool the answer is No (or Cancel).
MessageBoxResult message_box(const MessageBoxRequest& request);

// Tests replace the dialogs with their own answers; an empty function restores the real ones.
void set_file_dialog_handler(std::function<std::string(const FileDialogRequest&)> handler);
void set_message_box_handler(std::function<MessageBoxResult(const MessageBoxRequest&)> handler);

}  // namespace platform
