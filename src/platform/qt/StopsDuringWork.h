#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <vector>

// A long computation on the window's thread (a recomputation of a fast beam
// takes about a tenth of a second) must not hold back the operator's stops.
// Now and then it lets the event loop turn with only the stops let through:
// a click on one of the stop controls, Space in the keyboard box, Escape.
// Timers go on too (the read-back and its limit watch); any other input is
// dropped, as a busy window would have kept it from the operator anyway.
class StopsDuringWork : public QObject {
public:
    StopsDuringWork(std::vector<QPointer<QWidget>> stopControls, QPointer<QWidget> keyboard);
    // At most every 10 ms; never within itself.
    void service();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isStop(QObject* watched, QEvent* event) const;

    std::vector<QPointer<QWidget>> stopControls_;
    QPointer<QWidget> keyboard_;
    QElapsedTimer sinceLast_;
    bool servicing_ = false;
};
