#include "platform/qt/CManual.h"

#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QKeySequence>

CManual::CManual(QWidget* parent) : QLineEdit(parent)
{
    setAlignment(Qt::AlignCenter);
    setAcceptDrops(false);
    // Keys are taken one by one; composed input would bypass the filter.
    setAttribute(Qt::WA_InputMethodEnabled, false);
}

bool CManual::isAccepted(QChar c)
{
    switch (c.unicode()) {
    case '+':
    case '-':
    case ' ':
    case '8':
    case '6':
    case '2':
    case '4':
        return true;
    default:
        return false;
    }
}

void CManual::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        // Left to the dialog.
        QLineEdit::keyPressEvent(event);
        return;
    default:
        break;
    }

    if (event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut)
        || event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)) {
        event->accept();
        return;
    }

    const QString text = event->text();
    if (text.isEmpty() || (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        // Keys that type nothing (cursor keys, shift ...) and shortcuts.
        QLineEdit::keyPressEvent(event);
        return;
    }

    event->accept();
    for (const QChar c : text) {
        if (!isAccepted(c))
            continue;  // dropped
        // The character lands in the box, the box is emptied again, and the
        // key is reported; auto-repeat reports each repetition.
        insert(QString(c));
        clear();
        emit keyboardChar(static_cast<char>(c.unicode()));
    }
}

void CManual::inputMethodEvent(QInputMethodEvent* event)
{
    event->accept();
}

void CManual::contextMenuEvent(QContextMenuEvent* event)
{
    // No paste or undo menu: nothing but single keys may reach the box.
    event->accept();
}
