#pragma once

#include <QLineEdit>

// The keyboard control box (1080). Only the keys that drive the active axis
// get through: "+", "-", " ", "8", "6", "2" and "4". Each accepted character is
// reported once and the box is emptied again at once; every other character
// is dropped. Tab, Escape and Enter keep their dialog meaning.
class CManual : public QLineEdit {
    Q_OBJECT
public:
    explicit CManual(QWidget* parent = nullptr);

    static bool isAccepted(QChar c);

signals:
    void keyboardChar(char c);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};
