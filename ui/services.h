#pragma once
// The services windows ask the desktop for: message boxes, file dialogs and running a dialog
// modally. Windows reach them through Services(); tests install doubles with ScopedServices.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QWidget;
class QString;

namespace marvek::ui {

class Dialog;

enum class MessageButtons { Ok, OkCancel, YesNoCancel };
enum class MessageIcon { None, Information, Warning, Error };

struct MessageRequest {
    const Dialog* owner = nullptr;  // none: a box of its own, not tied to a window
    std::string text;
    std::string caption;
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::None;
};

struct OpenFilesRequest {
    const Dialog* owner = nullptr;
    std::string filter = "CSV Files (*.CSV)";  // "Name (*.ext)"; matched case-insensitively
    std::string defaultExtension = "csv";
    bool multiSelect = true;
};

struct SaveFileRequest {
    const Dialog* owner = nullptr;
    std::string filter = "CSV Files (*.CSV)";
    std::string defaultExtension = "csv";  // appended when the name has no extension
    std::string initialName;
    bool promptOverwrite = true;
};

class Services {
public:
    virtual ~Services() = default;
    // Returns IDOK or IDCANCEL (IDYES, IDNO or IDCANCEL for YesNoCancel).
    virtual int MessageBox(const MessageRequest& request) = 0;
    // The chosen files in the dialog's order; nullopt when cancelled.
    virtual std::optional<std::vector<std::filesystem::path>> OpenFiles(
        const OpenFilesRequest& request) = 0;
    // nullopt when cancelled (also when an overwrite was refused).
    virtual std::optional<std::filesystem::path> SaveFile(const SaveFileRequest& request) = 0;
    // Runs `dialog` modally and returns the code it ended with (IDOK, IDCANCEL, ...).
    virtual int RunModal(Dialog& dialog) = 0;
};

// The services in force (the Qt ones unless a test installed others).
Services& GetServices();

// Installs `services` for the lifetime of this object, then restores the previous ones.
class ScopedServices {
public:
    explicit ScopedServices(Services& services);
    ~ScopedServices();
    ScopedServices(const ScopedServices&) = delete;
    ScopedServices& operator=(const ScopedServices&) = delete;

private:
    Services* previous_;
};

// Ends any press of a scroll bar's arrow or thumb, as its release would. Called before a modal
// box or window opens; a held arrow must not keep stepping under it.
void ReleasePressedScrollBars();

// Shorthands for the common calls (a message releases pressed scroll bars first).
int ShowMessage(const Dialog* owner, const std::string& text, const std::string& caption,
                MessageButtons buttons = MessageButtons::Ok, MessageIcon icon = MessageIcon::None);

// The real desktop dialogs.
class QtServices : public Services {
public:
    int MessageBox(const MessageRequest& request) override;
    std::optional<std::vector<std::filesystem::path>> OpenFiles(
        const OpenFilesRequest& request) override;
    std::optional<std::filesystem::path> SaveFile(const SaveFileRequest& request) override;
    int RunModal(Dialog& dialog) override;
};

// Converts between file names and Qt strings without losing non-UTF-8 bytes.
std::filesystem::path PathFromQString(const QString& s);
QString QStringFromPath(const std::filesystem::path& p);

}  // namespace marvek::ui
