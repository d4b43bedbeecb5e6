#include "ui/test_doubles.h"

#include <QApplication>
#include <cstdlib>

#include "ui/dialog.h"

namespace marvek::ui {

void EnsureTestApplication() {
    if (QApplication::instance()) return;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "marvek-test";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt's own globals may be gone by the time statics are torn down.
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
}

int FakeServices::MessageBox(const MessageRequest& request) {
    messages.push_back(request);
    if (onMessage) onMessage(request);
    if (messageAnswers.empty()) return IDOK;
    const int answer = messageAnswers.front();
    messageAnswers.pop_front();
    return answer;
}

std::optional<std::vector<std::filesystem::path>> FakeServices::OpenFiles(
    const OpenFilesRequest& request) {
    openRequests.push_back(request);
    if (openAnswers.empty()) return std::nullopt;
    auto answer = openAnswers.front();
    openAnswers.pop_front();
    return answer;
}

std::optional<std::filesystem::path> FakeServices::SaveFile(const SaveFileRequest& request) {
    saveRequests.push_back(request);
    if (saveAnswers.empty()) return std::nullopt;
    auto answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
}

int FakeServices::RunModal(Dialog& dialog) {
    dialog.Create();
    modalCaptions.push_back(dialog.Template().caption);
    if (!dialog.IsEnded()) {
        if (!modalScripts.empty()) {
            auto script = std::move(modalScripts.front());
            modalScripts.pop_front();
            script(dialog);
        } else {
            dialog.SendCommand(IDOK);
        }
    }
    return dialog.IsEnded() ? dialog.Result() : IDCANCEL;
}

std::vector<DrawCall> RecordingSurface::Calls(DrawCall::Kind kind) const {
    std::vector<DrawCall> out;
    for (const DrawCall& c : calls)
        if (c.kind == kind) out.push_back(c);
    return out;
}

std::vector<DrawCall> RecordingSurface::Texts(const std::string& text) const {
    std::vector<DrawCall> out;
    for (const DrawCall& c : calls)
        if (c.kind == DrawCall::TextOut && c.text == text) out.push_back(c);
    return out;
}

void RecordingSurface::Rectangle(int left, int top, int right, int bottom) {
    calls.push_back({DrawCall::Rectangle, left, top, right, bottom, kBlack, {}});
}

void RecordingSurface::SelectPen(Rgb colour) {
    pen_ = colour;
    calls.push_back({DrawCall::SelectPen, 0, 0, 0, 0, colour, {}});
}

void RecordingSurface::SelectDefaultPen() {
    pen_ = kBlack;
    calls.push_back({DrawCall::SelectDefaultPen, 0, 0, 0, 0, kBlack, {}});
}

void RecordingSurface::SetPixel(int x, int y, Rgb colour) {
    calls.push_back({DrawCall::SetPixel, x, y, 0, 0, colour, {}});
}

void RecordingSurface::TextOut(int x, int y, std::string_view text) {
    calls.push_back({DrawCall::TextOut, x, y, 0, 0, text_, std::string(text)});
}

void RecordingSurface::SetTextColor(Rgb colour) {
    text_ = colour;
    calls.push_back({DrawCall::SetTextColor, 0, 0, 0, 0, colour, {}});
}

void RecordingSurface::SetTransparentBackground() {
    calls.push_back({DrawCall::SetTransparentBackground, 0, 0, 0, 0, kBlack, {}});
}

void RecordingSurface::OnMoveTo(int x, int y) {
    calls.push_back({DrawCall::MoveTo, x, y, 0, 0, pen_, {}});
}

void RecordingSurface::DrawLine(Point from, Point to) {
    calls.push_back({DrawCall::LineTo, from.x, from.y, to.x, to.y, pen_, {}});
}

}  // namespace marvek::ui

// The font library keeps a cache for the life of the process; under the leak checker of the
// sanitizer builds that is not a leak of ours.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
