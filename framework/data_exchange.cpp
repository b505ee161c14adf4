#include "framework/data_exchange.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalBlocker>

#include <cmath>

namespace {

CDataExchange::NumberRequest& Request()
{
    static CDataExchange::NumberRequest request = [](QLineEdit* edit) {
        QMessageBox::information(edit->window(), QStringLiteral("Tavimeter"), QStringLiteral("Please enter a number."));
    };
    return request;
}

} // namespace

void CDataExchange::SetNumberRequest(NumberRequest request)
{
    Request() = std::move(request);
}

bool ParseFloat(const QString& text, float& value)
{
    bool ok = false;
    const double parsed = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(parsed) || !std::isfinite(static_cast<float>(parsed)))
        return false;
    value = static_cast<float>(parsed);
    return true;
}

void CDataExchange::Check(QAbstractButton* box, int32_t& value)
{
    if (failed)
        return;
    if (saving) {
        value = box->isChecked() ? 1 : 0;
        return;
    }
    const QSignalBlocker quiet(box);
    box->setChecked(value != 0);
}

void CDataExchange::Radio(QButtonGroup* group, int32_t& value)
{
    if (failed)
        return;
    if (saving) {
        value = group->checkedId();
        return;
    }
    const QSignalBlocker quiet(group);
    QAbstractButton* button = group->button(value);
    if (button) {
        const QSignalBlocker quietButton(button);
        button->setChecked(true);
        return;
    }
    // No button for the value: none checked.
    const bool exclusive = group->exclusive();
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons()) {
        const QSignalBlocker quietButton(b);
        b->setChecked(false);
    }
    group->setExclusive(exclusive);
}

void CDataExchange::Float(QLineEdit* edit, float& value)
{
    if (failed)
        return;
    if (!saving) {
        const QSignalBlocker quiet(edit);
        edit->setText(QString::number(static_cast<double>(value), 'g', 6));
        return;
    }
    float parsed = 0.0f;
    if (ParseFloat(edit->text(), parsed)) {
        value = parsed;
        return;
    }
    failed = true;
    Request()(edit);
    edit->setFocus();
}
