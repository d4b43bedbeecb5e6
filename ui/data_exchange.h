#pragma once
// Moves values between a dialog's controls and its members, in either direction. Reading
// checks the text and the ranges; a refused value shows the standard message, puts the focus
// on the control and stops the exchange, so the dialog stays open.

#include <string>

namespace marvek::ui {

class Dialog;
class ScrollBarControl;

// The standard messages of a refused value ("%1" and "%2" are the bounds).
inline constexpr const char* kEnterNumberMessage = "Please enter a number.";
inline constexpr const char* kEnterIntegerMessage = "Please enter an integer.";
inline constexpr const char* kNumberRangeMessage = "Please enter a number between %1 and %2.";
inline constexpr const char* kIntegerRangeMessage = "Please enter an integer between %1 and %2.";

class DataExchange {
public:
    DataExchange(Dialog& dialog, bool saveAndValidate);

    // True: controls -> members (with checks); false: members -> controls.
    bool Saving() const { return saving_; }
    bool Failed() const { return failed_; }

    void Control(int id, ScrollBarControl& control);
    void Text(int id, std::string& value);
    // Floats are shown with 6 significant digits, doubles with 15, as the standard exchange does.
    void Text(int id, float& value);
    void Text(int id, double& value);
    void Text(int id, int& value);
    // Range checks of the value last exchanged; they act only while saving.
    void MinMax(float value, float min, float max);
    void MinMax(double value, double min, double max);
    void MinMax(int value, int min, int max);
    // 1 checked, 0 not.
    void Check(int id, int& value);
    // Index of the checked button in the radio group starting at `firstId`; -1 if none.
    void Radio(int firstId, int& value);

    // Refuses the value last exchanged with `message` (a whole sentence that names the field),
    // as a failed range check would: message, focus on the control, exchange stopped.
    void Refuse(const std::string& message);

    // The message of a refused value (the bounds filled in).
    static std::string RangeMessage(const char* pattern, const std::string& min,
                                    const std::string& max);

private:
    bool Prepare(int id);
    void Fail(const std::string& message, bool nameField = true);

    Dialog& dialog_;
    bool saving_;
    bool failed_ = false;
    int lastId_ = -1;
};

}  // namespace marvek::ui
