#pragma once
// Test doubles of the ui services: scripted answers that record what was asked, and a drawing
// surface that records every call. With them a window runs offscreen without blocking.

#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/drawing_surface.h"
#include "ui/services.h"

namespace marvek::ui {

// Creates the QApplication of a test process once, on the offscreen platform unless the
// environment names another.
void EnsureTestApplication();

class FakeServices : public Services {
public:
    // What was asked, in order.
    std::vector<MessageRequest> messages;
    std::vector<OpenFilesRequest> openRequests;
    std::vector<SaveFileRequest> saveRequests;
    std::vector<std::string> modalCaptions;  // caption of every dialog run modally

    // Scripted answers, consumed front first. When a queue is empty: message boxes answer
    // IDOK, file dialogs are cancelled, and a modal dialog is ended with OnOK's behaviour
    // (Enter), or IDCANCEL if that leaves it open.
    std::deque<int> messageAnswers;
    std::deque<std::optional<std::vector<std::filesystem::path>>> openAnswers;
    std::deque<std::optional<std::filesystem::path>> saveAnswers;
    // Each script gets the created dialog (controls can be set, commands sent) and decides how
    // it ends, e.g. by dialog.SendCommand(IDOK); a dialog left open counts as cancelled.
    std::deque<std::function<void(Dialog&)>> modalScripts;
    // Called with each message box as it would appear (to look at the windows under it).
    std::function<void(const MessageRequest&)> onMessage;

    int MessageBox(const MessageRequest& request) override;
    std::optional<std::vector<std::filesystem::path>> OpenFiles(
        const OpenFilesRequest& request) override;
    std::optional<std::filesystem::path> SaveFile(const SaveFileRequest& request) override;
    int RunModal(Dialog& dialog) override;
};

struct DrawCall {
    enum Kind {
        Rectangle,
        SelectPen,
        SelectDefaultPen,
        MoveTo,
        LineTo,
        SetPixel,
        TextOut,
        SetTextColor,
        SetTransparentBackground
    };
    Kind kind;
    int x = 0, y = 0;    // point, or left/top of a rectangle, or line start
    int x2 = 0, y2 = 0;  // right/bottom of a rectangle, or line end
    Rgb colour;          // pen, pixel or text colour in force
    std::string text;
};

class RecordingSurface : public DrawingSurface {
public:
    explicit RecordingSurface(Rect client) : client_(client) {}

    std::vector<DrawCall> calls;
    // The calls of one kind, in order.
    std::vector<DrawCall> Calls(DrawCall::Kind kind) const;
    // Text calls whose text equals `text`.
    std::vector<DrawCall> Texts(const std::string& text) const;

    Rect GetClientRect() const override { return client_; }
    void Rectangle(int left, int top, int right, int bottom) override;
    void SelectPen(Rgb colour) override;
    void SelectDefaultPen() override;
    void SetPixel(int x, int y, Rgb colour) override;
    void TextOut(int x, int y, std::string_view text) override;
    void SetTextColor(Rgb colour) override;
    void SetTransparentBackground() override;

protected:
    void OnMoveTo(int x, int y) override;
    void DrawLine(Point from, Point to) override;

private:
    Rect client_;
    Rgb pen_ = kBlack;
    Rgb text_ = kBlack;
};

}  // namespace marvek::ui
