// The windowing layer: layout in dialog units, data exchange with its refusals, command
// routing, scroll codes and the recording surface.
#include <gtest/gtest.h>
#include <QLineEdit>
#include <QMenuBar>
#include <QScrollBar>
#include <QTest>

#include "ui/data_exchange.h"
#include "ui/dialog.h"
#include "ui/scroll_bar.h"
#include "ui/test_doubles.h"

using namespace marvek::ui;

namespace {

constexpr int kValueEdit = 1001;
constexpr int kCountEdit = 1002;
constexpr int kNameEdit = 1003;
constexpr int kBar = 1004;
constexpr int kCheck = 1005;
constexpr int kRadioA = 1006;
constexpr int kRadioB = 1007;

class SampleDialog : public Dialog {
public:
    SampleDialog() : Dialog(MakeTemplate()) {}
    static DialogTemplate MakeTemplate() {
        DialogTemplate t;
        t.caption = "Sample";
        t.width = 200;
        t.height = 100;
        t.controls = {
            {ControlKind::Edit, kValueEdit, "", 10, 10, 40, 12},
            {ControlKind::Edit, kCountEdit, "", 10, 30, 40, 12},
            {ControlKind::Edit, kNameEdit, "", 10, 50, 40, 12},
            {ControlKind::HScrollBar, kBar, "", 60, 10, 100, 10},
            {ControlKind::CheckBox, kCheck, "Check", 60, 30, 50, 10},
            {ControlKind::RadioButton, kRadioA, "A", 60, 50, 30, 10, kGroupStart},
            {ControlKind::RadioButton, kRadioB, "B", 100, 50, 30, 10},
            {ControlKind::PushButton, IDOK, "OK", 140, 80, 50, 14, kDefault},
        };
        t.menu = {{"File", {{"One", 40001}, MenuItem::Separator(), {"Two", 40002}}},
                  {"Help", {{"About", 40003}}, true}};
        return t;
    }
    float m_fValue = 0.5f;
    int m_nCount = 3;
    std::string m_strName = "name";
    int m_bCheck = 1;
    int m_nRadio = 1;
    std::vector<std::pair<int, int>> scrolls;
    ScrollBarControl m_ctlBar;

    void DoDataExchange(DataExchange& dx) override {
        dx.Control(kBar, m_ctlBar);
        dx.Text(kValueEdit, m_fValue);
        dx.MinMax(m_fValue, 0.0f, 0.5f);
        dx.Text(kCountEdit, m_nCount);
        dx.MinMax(m_nCount, 1, 9);
        dx.Text(kNameEdit, m_strName);
        dx.Check(kCheck, m_bCheck);
        dx.Radio(kRadioA, m_nRadio);
    }
    void OnHScroll(int code, int pos, ScrollBarControl* bar) override {
        scrolls.emplace_back(code, pos);
        if (bar && code == SB_LINERIGHT) bar->SetScrollPos(bar->GetScrollPos() + 1);
    }
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureTestApplication(); }
    FakeServices services;
    ScopedServices scope{services};
};

TEST_F(DialogTest, ControlsArePlacedInDialogUnitsOfTheFont) {
    SampleDialog dlg;
    dlg.Create();
    const auto [bx, by] = Dialog::BaseUnits(dlg.font());
    ASSERT_GT(bx, 0);
    ASSERT_GT(by, 0);
    const QRect g = dlg.GetDlgItem(kBar)->geometry();
    EXPECT_EQ(g.x(), (60 * bx + 2) / 4);
    EXPECT_EQ(g.y(), (10 * by + 4) / 8);
    EXPECT_EQ(g.width(), (100 * bx + 2) / 4);
    EXPECT_EQ(dlg.GetClientRect().Width(), (200 * bx + 2) / 4);
    EXPECT_EQ(dlg.GetClientRect().Height(), (100 * by + 4) / 8);
    EXPECT_EQ(dlg.windowTitle().toStdString(), "Sample");
}

TEST_F(DialogTest, ExchangeShowsMembersAndReadsThemBack) {
    SampleDialog dlg;
    dlg.Create();
    EXPECT_EQ(dlg.GetDlgItemText(kValueEdit), "0.5");
    EXPECT_EQ(dlg.GetDlgItemText(kCountEdit), "3");
    EXPECT_EQ(dlg.GetDlgItemText(kNameEdit), "name");
    dlg.SetDlgItemText(kValueEdit, " 0.25 ");
    dlg.SetDlgItemText(kCountEdit, "7");
    dlg.SetDlgItemText(kNameEdit, "other");
    ASSERT_TRUE(dlg.UpdateData(true));
    EXPECT_FLOAT_EQ(dlg.m_fValue, 0.25f);
    EXPECT_EQ(dlg.m_nCount, 7);
    EXPECT_EQ(dlg.m_strName, "other");
    EXPECT_EQ(dlg.m_bCheck, 1);
    EXPECT_EQ(dlg.m_nRadio, 1);
    EXPECT_TRUE(services.messages.empty());
}

TEST_F(DialogTest, RefusedValuesShowTheStandardMessageAndKeepTheDialogOpen) {
    struct Case {
        const char* value;
        const char* count;
        std::string message;
    };
    const Case cases[] = {
        {"abc", "3", kEnterNumberMessage},
        {"0.3x", "3", kEnterNumberMessage},
        {"", "3", kEnterNumberMessage},
        {"nan", "3", kEnterNumberMessage},
        {"0.6", "3", "Please enter a number between 0 and 0.5."},
        {"0.5", "2.5", kEnterIntegerMessage},
        {"0.5", "10", "Please enter an integer between 1 and 9."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.value) + " / " + c.count);
        FakeServices local;
        ScopedServices use(local);
        SampleDialog dlg;
        dlg.Create();
        dlg.SetDlgItemText(kValueEdit, c.value);
        dlg.SetDlgItemText(kCountEdit, c.count);
        dlg.SendCommand(IDOK);
        EXPECT_FALSE(dlg.IsEnded());
        ASSERT_EQ(local.messages.size(), 1u);
        EXPECT_EQ(local.messages[0].text, c.message);
        EXPECT_EQ(local.messages[0].owner, &dlg);
    }
}

TEST_F(DialogTest, OkEndsWithTheValuesTakenAndCancelWithout) {
    SampleDialog ok;
    ok.Create();
    ok.SetDlgItemText(kCountEdit, "5");
    ok.SendCommand(IDOK);
    EXPECT_TRUE(ok.IsEnded());
    EXPECT_EQ(ok.Result(), IDOK);
    EXPECT_EQ(ok.m_nCount, 5);

    SampleDialog cancel;
    cancel.Create();
    cancel.SetDlgItemText(kCountEdit, "5");
    QTest::keyClick(&cancel, Qt::Key_Escape);
    EXPECT_TRUE(cancel.IsEnded());
    EXPECT_EQ(cancel.Result(), IDCANCEL);
    EXPECT_EQ(cancel.m_nCount, 3);
}

TEST_F(DialogTest, EnterClicksTheDefaultButton) {
    SampleDialog dlg;
    dlg.Create();
    QTest::keyClick(dlg.GetDlgItem(kNameEdit), Qt::Key_Return);
    EXPECT_TRUE(dlg.IsEnded());
    EXPECT_EQ(dlg.Result(), IDOK);
}

TEST_F(DialogTest, MenuKeepsOrderSeparatorsAndRoutesCommands) {
    SampleDialog dlg;
    dlg.Create();
    ASSERT_EQ(dlg.MenuPopups().size(), 2u);
    const auto actions = dlg.MenuPopups()[0]->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[0]->text().remove('&').toStdString(), "One");
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_EQ(actions[2]->text().remove('&').toStdString(), "Two");
    EXPECT_EQ(dlg.MenuPopups()[1]->title().remove('&').toStdString(), "Help");
    EXPECT_FALSE(dlg.TriggerMenuCommand(49999));
    EXPECT_FALSE(dlg.SendCommand(40001));  // nothing handles it
}

TEST_F(DialogTest, ScrollBarActionsArriveAsScrollCodesAndOnlyTheWindowMovesTheThumb) {
    SampleDialog dlg;
    dlg.Create();
    dlg.m_ctlBar.SetScrollRange(0, 4);
    dlg.m_ctlBar.SetScrollPos(2);
    QScrollBar* bar = dlg.ScrollBarWidget(kBar);
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);  // window ignores it
    EXPECT_EQ(bar->value(), 2);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);  // window moves one right
    EXPECT_EQ(bar->value(), 3);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    const std::vector<std::pair<int, int>> expected = {{SB_LINELEFT, 1}, {SB_LINERIGHT, 3},
                                                       {SB_PAGELEFT, 2}, {SB_PAGERIGHT, 4},
                                                       {SB_LEFT, 0},     {SB_RIGHT, 4}};
    EXPECT_EQ(dlg.scrolls, expected);
    EXPECT_EQ(bar->value(), 3);
}

TEST_F(DialogTest, ModalDoubleRunsScriptsAndRecordsCaptions) {
    services.modalScripts.push_back([](Dialog& d) {
        d.SetDlgItemText(kCountEdit, "8");
        d.SendCommand(IDOK);
    });
    services.modalScripts.push_back([](Dialog&) {});  // left open: cancelled
    SampleDialog first;
    EXPECT_EQ(first.DoModal(), IDOK);
    EXPECT_EQ(first.m_nCount, 8);
    SampleDialog second;
    EXPECT_EQ(second.DoModal(), IDCANCEL);
    EXPECT_EQ(services.modalCaptions, (std::vector<std::string>{"Sample", "Sample"}));
}

TEST_F(DialogTest, RecordingSurfaceKeepsTheDrawingPositionAndPen) {
    RecordingSurface dc({0, 0, 100, 100});
    EXPECT_EQ(dc.GetCurrentPosition(), (Point{0, 0}));
    dc.SelectPen({255, 0, 0});
    dc.LineTo(5, 6);
    dc.MoveTo(10, 10);
    dc.LineTo(20, 30);
    const auto lines = dc.Calls(DrawCall::LineTo);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].x, 0);
    EXPECT_EQ(lines[0].x2, 5);
    EXPECT_EQ(lines[1].x, 10);
    EXPECT_EQ(lines[1].y2, 30);
    EXPECT_EQ(lines[1].colour, (Rgb{255, 0, 0}));
    EXPECT_EQ(dc.GetCurrentPosition(), (Point{20, 30}));
}

}  // namespace
