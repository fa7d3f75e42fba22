#pragma once

#include <string>
#include <variant>
#include <vector>

#include "core/ControlIds.h"
#include "core/DialogFields.h"

class QLineEdit;
class QString;
class QWidget;

// The kind of control that shows a dialog field, and so how the field is put
// in and read back.
enum class FieldWidget {
    Text,           // a line edit's text
    Check,          // a check box, 1 when checked
    RadioGroup,     // the group the id's radio belongs to: the index of the checked radio, -1 for none
    ListSelection,  // the selected entry of a list box, empty for none
    ComboText,      // the text of an editable combo box
    LabelText,      // a label's text
};

// One field of the exchange and the control that shows it.
struct FieldBinding {
    ControlId id;
    FieldWidget kind;
    std::variant<std::string*, int*> field;  // in the DialogFields the table was made for
};

// Every field of `fields` with its control, in the order of the exchange; the
// one table both directions of the exchange walk. The axis rows come from the
// axis-control table.
std::vector<FieldBinding> dialogFieldTable(DialogFields& fields);

// Puts the row's field into its control `w`, and reads it back.
void showField(QWidget* w, const FieldBinding& row);
void readField(const QWidget* w, const FieldBinding& row);

// A value shown from its start; a read-only box also carries the whole text
// as its tool tip, for where the box is too narrow.
void showInEdit(QLineEdit* edit, const QString& value);
