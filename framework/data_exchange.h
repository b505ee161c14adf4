#pragma once

#include <cstdint>
#include <functional>

class QAbstractButton;
class QString;
class QButtonGroup;
class QLineEdit;
class QWidget;

// Copies values between a dialog's members and its controls, in one
// direction. Loading blocks the controls' signals, so a dialog never hears
// its own exchange. Saving stops at the first edit that holds no number:
// that edit gets a request for a number and the focus, and its member and
// the later ones keep their values.
class CDataExchange {
public:
    using NumberRequest = std::function<void(QLineEdit* edit)>;

    explicit CDataExchange(bool save) : saving(save) {}

    // A check box or push-like button: 0 clear, 1 (any non-zero on loading)
    // ticked.
    void Check(QAbstractButton* box, int32_t& value);
    // A radio group numbered in template order: the checked button's number,
    // -1 when none is checked.
    void Radio(QButtonGroup* group, int32_t& value);
    // An edit holding a float, shown with six significant digits.
    void Float(QLineEdit* edit, float& value);

    bool Failed() const { return failed; }

    // Where the request for a number goes; a message box unless replaced.
    static void SetNumberRequest(NumberRequest request);

private:
    bool saving;
    bool failed = false;
};

// The number in `text` (blanks around it allowed, '.' as the decimal
// point), or false when it is not one finite float.
bool ParseFloat(const QString& text, float& value);
