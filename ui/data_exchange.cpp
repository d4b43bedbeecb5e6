#include "ui/data_exchange.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QRadioButton>
#include <QScrollBar>
#include <cctype>
#include <cfloat>
#include <climits>
#include <cmath>

#include "core/io/number_format.h"
#include "ui/dialog.h"
#include "ui/scroll_bar.h"
#include "ui/services.h"

namespace marvek::ui {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

// A whole-field number: blanks around it allowed, nothing else; finite only.
bool ParseWholeDouble(std::string_view text, double& value) {
    const std::string_view t = Trim(text);
    if (t.empty()) return false;
    std::size_t used = 0;
    const double v = ParseDouble(t, &used);
    if (used != t.size() || !std::isfinite(v)) return false;
    value = v;
    return true;
}

bool ParseWholeInt(std::string_view text, int& value) {
    const std::string_view t = Trim(text);
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    if (i == t.size()) return false;
    for (std::size_t k = i; k < t.size(); ++k)
        if (!std::isdigit(static_cast<unsigned char>(t[k]))) return false;
    const double v = ParseDouble(t);
    if (v < INT_MIN || v > INT_MAX) return false;
    value = static_cast<int>(v);
    return true;
}

}  // namespace

DataExchange::DataExchange(Dialog& dialog, bool saveAndValidate)
    : dialog_(dialog), saving_(saveAndValidate) {}

bool DataExchange::Prepare(int id) {
    lastId_ = id;
    return !failed_ && dialog_.GetDlgItem(id) != nullptr;
}

std::string DataExchange::RangeMessage(const char* pattern, const std::string& min,
                                       const std::string& max) {
    std::string s = pattern;
    if (auto p = s.find("%1"); p != std::string::npos) s.replace(p, 2, min);
    if (auto p = s.find("%2"); p != std::string::npos) s.replace(p, 2, max);
    return s;
}

void DataExchange::Refuse(const std::string& message) {
    if (!saving_ || failed_) return;
    Fail(message, false);
}

void DataExchange::Fail(const std::string& message, bool nameField) {
    failed_ = true;
    const bool wasRefusing = dialog_.refusing_;
    dialog_.refusing_ = true;
    // The generic sentences say what is wanted; the field's own label says where.
    const std::string field = nameField ? dialog_.FieldName(lastId_) : std::string();
    ShowMessage(&dialog_, field.empty() ? message : field + ": " + message, kApplicationName,
                MessageButtons::Ok, MessageIcon::Warning);
    dialog_.GotoDlgCtrl(lastId_);
    dialog_.refusing_ = wasRefusing;
}

void DataExchange::Control(int id, ScrollBarControl& control) {
    if (failed_) return;
    if (!control.IsAttached()) {
        control.Attach(dialog_.ScrollBarWidget(id), id);
        dialog_.boundScrollBars_[id] = &control;
    }
}

void DataExchange::Text(int id, std::string& value) {
    if (!Prepare(id)) return;
    if (saving_)
        value = dialog_.GetDlgItemText(id);
    else
        dialog_.SetDlgItemText(id, value);
}

void DataExchange::Text(int id, float& value) {
    if (!Prepare(id)) return;
    if (!saving_) {
        dialog_.SetDlgItemText(id, FormatSignificant(value, FLT_DIG));
        return;
    }
    double d = 0;
    if (!ParseWholeDouble(dialog_.GetDlgItemText(id), d) || std::fabs(d) > FLT_MAX) {
        Fail(kEnterNumberMessage);
        return;
    }
    value = static_cast<float>(d);
}

void DataExchange::Text(int id, double& value) {
    if (!Prepare(id)) return;
    if (!saving_) {
        dialog_.SetDlgItemText(id, FormatSignificant(value, DBL_DIG));
        return;
    }
    double d = 0;
    if (!ParseWholeDouble(dialog_.GetDlgItemText(id), d)) {
        Fail(kEnterNumberMessage);
        return;
    }
    value = d;
}

void DataExchange::Text(int id, int& value) {
    if (!Prepare(id)) return;
    if (!saving_) {
        dialog_.SetDlgItemText(id, FormatInt(value));
        return;
    }
    int v = 0;
    if (!ParseWholeInt(dialog_.GetDlgItemText(id), v)) {
        Fail(kEnterIntegerMessage);
        return;
    }
    value = v;
}

void DataExchange::MinMax(float value, float min, float max) {
    if (!saving_ || failed_) return;
    if (value < min || value > max)
        Fail(RangeMessage(kNumberRangeMessage, FormatSignificant(min, FLT_DIG),
                          FormatSignificant(max, FLT_DIG)));
}

void DataExchange::MinMax(double value, double min, double max) {
    if (!saving_ || failed_) return;
    if (value < min || value > max)
        Fail(RangeMessage(kNumberRangeMessage, FormatSignificant(min, DBL_DIG),
                          FormatSignificant(max, DBL_DIG)));
}

void DataExchange::MinMax(int value, int min, int max) {
    if (!saving_ || failed_) return;
    if (value < min || value > max)
        Fail(RangeMessage(kIntegerRangeMessage, FormatInt(min), FormatInt(max)));
}

void DataExchange::Check(int id, int& value) {
    if (!Prepare(id)) return;
    auto* button = qobject_cast<QAbstractButton*>(dialog_.GetDlgItem(id));
    if (!button) return;
    if (saving_)
        value = button->isChecked() ? 1 : 0;
    else
        button->setChecked(value != 0);
}

void DataExchange::Radio(int firstId, int& value) {
    if (!Prepare(firstId)) return;
    auto* first = qobject_cast<QRadioButton*>(dialog_.GetDlgItem(firstId));
    if (!first || !first->group()) return;
    const QList<QAbstractButton*> buttons = first->group()->buttons();
    if (saving_) {
        value = -1;
        for (qsizetype i = 0; i < buttons.size(); ++i)
            if (buttons[i]->isChecked()) value = static_cast<int>(i);
        return;
    }
    first->group()->setExclusive(false);
    for (qsizetype i = 0; i < buttons.size(); ++i) buttons[i]->setChecked(i == value);
    first->group()->setExclusive(true);
}

}  // namespace marvek::ui
