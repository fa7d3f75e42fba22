// The exchange of the dialog fields with the controls, both directions driven
// by one table.

#include "platform/qt/DialogFieldTable.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include "core/AxisTable.h"

std::vector<FieldBinding> dialogFieldTable(DialogFields& f)
{
    using C = ControlId;
    using K = FieldWidget;
    std::vector<FieldBinding> table = {
        {C::LogFile, K::Text, &f.logFile},
        {C::Beam, K::Text, &f.beam},
        {C::TargetSubstrate, K::Text, &f.targetSubstrate},
        {C::Degrader, K::Text, &f.degrader},
        {C::NominalLet, K::Text, &f.nominalLet},
        {C::NominalRange, K::Text, &f.nominalRange},
        {C::EffectiveLet, K::Text, &f.effectiveLet},
        {C::EffectiveRange, K::Text, &f.effectiveRange},
        {C::DutLocation, K::Text, &f.dutLocation},
        {C::DutPosition, K::Text, &f.positionName},
    };
    for (std::size_t a = 0; a < kAxisControls.size(); ++a) {
        const AxisControls& axis = kAxisControls[a];
        table.insert(table.end(), {{axis.value, K::Text, &f.axisValue[a]},
                                   {axis.unit, K::Text, &f.axisUnit[a]},
                                   {axis.locked, K::Check, &f.locked[a]}});
    }
    table.insert(table.end(), {
        {kAxisControls[0].radio, K::RadioGroup, &f.activeAxis},
        {C::EnergyPerNucleon, K::Text, &f.energyPerNucleon},
        {C::EnergyMeV, K::Text, &f.energyMeV},
        {C::Layers, K::Text, &f.layers},
        {C::PositionList, K::ListSelection, &f.positionListSelection},
        {C::NewPositionName, K::Text, &f.newPositionName},
        {C::NewAxisValue, K::Text, &f.newAxisValue},
        {C::Status, K::Text, &f.status},
        {C::DirectControl, K::Check, &f.directControl},
        {C::SetGoal, K::Text, &f.goal},
        {C::UnitLet, K::RadioGroup, &f.unitChoice},
        {C::Bragg, K::Check, &f.bragg},
        {C::DirectCommand, K::ComboText, &f.directCommand},
        {C::UserLine, K::LabelText, &f.userLine},
        {C::FinestStep, K::Check, &f.finestStep},
    });
    return table;
}

void showInEdit(QLineEdit* edit, const QString& value)
{
    edit->setText(value);
    edit->setCursorPosition(0);
    if (edit->isReadOnly())
        edit->setToolTip(value);
}

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }
std::string ss(const QString& text) { return text.toStdString(); }

void selectListText(QListWidget* list, const QString& text)
{
    const QSignalBlocker blocker(list);
    list->clearSelection();
    list->setCurrentItem(nullptr);
    if (text.isEmpty())
        return;
    QListWidgetItem* match = nullptr;
    for (int i = 0; i < list->count() && match == nullptr; ++i)
        if (list->item(i)->text().compare(text, Qt::CaseInsensitive) == 0)
            match = list->item(i);
    for (int i = 0; i < list->count() && match == nullptr; ++i)
        if (list->item(i)->text().startsWith(text, Qt::CaseInsensitive))
            match = list->item(i);
    if (match != nullptr) {
        list->setCurrentItem(match);
        match->setSelected(true);
        list->scrollToItem(match);
    }
}

void selectInGroup(QButtonGroup* group, int index)
{
    if (QAbstractButton* button = group->button(index)) {
        button->setChecked(true);
        return;
    }
    group->setExclusive(false);
    for (QAbstractButton* button : group->buttons())
        button->setChecked(false);
    group->setExclusive(true);
}

}  // namespace

void showField(QWidget* w, const FieldBinding& row)
{
    const auto& field = row.field;
    switch (row.kind) {
    case FieldWidget::Text:
        if (auto* edit = qobject_cast<QLineEdit*>(w))
            showInEdit(edit, qs(*std::get<std::string*>(field)));
        break;
    case FieldWidget::Check:
        if (auto* box = qobject_cast<QAbstractButton*>(w))
            box->setChecked(*std::get<int*>(field) != 0);
        break;
    case FieldWidget::RadioGroup:
        selectInGroup(qobject_cast<QAbstractButton*>(w)->group(), *std::get<int*>(field));
        break;
    case FieldWidget::ListSelection:
        selectListText(qobject_cast<QListWidget*>(w), qs(*std::get<std::string*>(field)));
        break;
    case FieldWidget::ComboText:
        qobject_cast<QComboBox*>(w)->setEditText(qs(*std::get<std::string*>(field)));
        break;
    case FieldWidget::LabelText:
        qobject_cast<QLabel*>(w)->setText(qs(*std::get<std::string*>(field)));
        break;
    }
}

void readField(const QWidget* w, const FieldBinding& row)
{
    const auto& field = row.field;
    switch (row.kind) {
    case FieldWidget::Text: {
        const auto* edit = qobject_cast<const QLineEdit*>(w);
        *std::get<std::string*>(field) = edit != nullptr ? ss(edit->text()) : std::string();
        break;
    }
    case FieldWidget::Check: {
        const auto* box = qobject_cast<const QAbstractButton*>(w);
        *std::get<int*>(field) = box != nullptr && box->isChecked() ? 1 : 0;
        break;
    }
    case FieldWidget::RadioGroup:
        *std::get<int*>(field) = qobject_cast<const QAbstractButton*>(w)->group()->checkedId();
        break;
    case FieldWidget::ListSelection: {
        const QList<QListWidgetItem*> selected = qobject_cast<const QListWidget*>(w)->selectedItems();
        *std::get<std::string*>(field) = selected.isEmpty() ? std::string() : ss(selected.first()->text());
        break;
    }
    case FieldWidget::ComboText:
        *std::get<std::string*>(field) = ss(qobject_cast<const QComboBox*>(w)->currentText());
        break;
    case FieldWidget::LabelText:
        *std::get<std::string*>(field) = ss(qobject_cast<const QLabel*>(w)->text());
        break;
    }
}
